#pragma once
// Reads the note files into a NoteIndex on a thread of its own, so that the windows never wait
// for it: every stored note once (after start-up), and single notes again when another
// program changed them. It only reads: nothing of what it finds is ever written, and a file
// it cannot read is listed with a mark. It keeps no bookkeeping of NoteFiles (which belongs to
// the GUI thread): it reads the files the way any other program would.

#include "store/noteindex.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace stikko {

class NoteIndexReader : public QObject {
    Q_OBJECT
  public:
    // Fills `index` (which outlives the reader) from the notes in `dataFolder` (ending in '/').
    NoteIndexReader(NoteIndex& index, const QString& dataFolder, QObject* parent = nullptr);
    // Stops the worker between two notes and waits for it.
    ~NoteIndexReader() override;

    // Reads every stored note; the index is complete once they are all in.
    void readAll();
    // Reads note `id` again; a note whose record is gone leaves the index.
    void read(const QByteArray& id);
    // True from readAll until its last note is in the index.
    bool reading() const { return readingAll_; }

    // The thread time the last complete readAll took.
    std::chrono::nanoseconds lastReadAllTime() const { return lastReadAllTime_; }

    // Note `id` as its files in `dataFolder` hold it; `gone` when its record is not there.
    // Safe on any thread.
    static IndexedNote readNote(const QString& dataFolder, const QByteArray& id, bool* gone);

  signals:
    // readAll's last note is in the index.
    void readAllDone();

  private:
    struct Job {
        bool all = false;
        QByteArray id;
        quint64 askedAt = 0;
    };
    void work();
    void runAll(quint64 askedAt);
    void runOne(const Job& job);
    // Hands what was read to the index, on the GUI thread.
    void deliver(std::vector<NoteIndex::Entry> entries, QByteArrayList gone, quint64 askedAt, qsizetype done,
                 qsizetype total, bool last);

    NoteIndex& index_;
    const QString folder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stop_ = false;
    std::thread worker_;
    bool readingAll_ = false;
    std::chrono::nanoseconds lastReadAllTime_{0};
};

} // namespace stikko
