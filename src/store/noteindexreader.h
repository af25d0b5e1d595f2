#pragma once
// Reads the notes' bodies into a NoteIndex on a thread of its own, so that the windows never
// wait for it: every stored note once (when the list of stored notes has been read at start),
// and single notes again when their files changed. What a note is called and whether it is
// hidden comes with it from the list of stored notes (NoteCatalogue), which has read the
// records already: the reader reads the bodies only. It only reads: nothing of what it finds
// is ever written, and a body it cannot read is listed with a mark. It keeps no bookkeeping of
// NoteFiles (which belongs to the GUI thread): it reads the files the way any other program
// would.

#include "store/notecatalogue.h"
#include "store/noteindex.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace stikko {

class NoteIndexReader : public QObject {
    Q_OBJECT
  public:
    // Fills `index` (which outlives the reader) from the bodies in `dataFolder` (ending in '/').
    NoteIndexReader(NoteIndex& index, const QString& dataFolder, QObject* parent = nullptr);
    // Stops the worker between two notes and waits for it.
    ~NoteIndexReader() override;

    // What the index is told of a stored note before its body is read.
    static IndexedNote noteOf(const NoteFacts& facts);

    // Reads the body of every note of `notes` (the whole list of stored notes); the index is
    // complete once they are all in.
    void readAll(std::vector<IndexedNote> notes);
    // Reads the bodies of `notes` again.
    void read(std::vector<IndexedNote> notes);
    // True from readAll until its last note is in the index.
    bool reading() const { return readingAll_; }

    // The thread time the last complete readAll took.
    std::chrono::nanoseconds lastReadAllTime() const { return lastReadAllTime_; }

    // `note` with the text of its body in `dataFolder`, or marked unreadable. Safe on any
    // thread.
    static void readBody(const QString& dataFolder, IndexedNote& note);

  signals:
    // readAll's last note is in the index.
    void readAllDone();

  private:
    struct Job {
        bool all = false;
        std::vector<IndexedNote> notes;
        quint64 askedAt = 0;
    };
    void ask(Job job);
    void work();
    void run(Job& job);
    // Hands what was read to the index, on the GUI thread.
    void deliver(std::vector<NoteIndex::Entry> entries, quint64 askedAt, qsizetype done, qsizetype total,
                 bool last);

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
