#pragma once
// Every stored note's text in memory, shown and hidden, for finding notes as fast as the user
// types. The index knows only what it is told: a note's id, title, plain text, last change and
// marks (hidden, folded, ringing, unreadable), or that it is gone. Two tell it:
// - the program, about what it does itself (a note made, typed in, hidden, deleted): its word
//   is the newest there is;
// - NoteIndexReader, which reads the note files on a worker thread (all of them after
//   start-up, and one again when another program changed it). What it brings was read from
//   the disk some time ago: it never replaces what the program said of that note since it was
//   asked.
// The index writes nothing anywhere.

#include "store/notesearch.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QObject>
#include <QString>
#include <vector>

namespace stikko {

// What the index is told of one note.
struct IndexedNote {
    QByteArray id;
    QString title;
    QString text;          // the body as plain text
    qint64 lastChange = 0; // milliseconds since the epoch
    bool hidden = false;
    bool folded = false;
    bool ringing = false;
    bool unreadable = false; // a file of it could not be read: it is listed with what could be
};

// One note a search found.
struct FoundNote {
    QByteArray id;
    QString title;
    QString text;         // shares the index's copy
    search::Span match;   // the first match in `text`; start -1 when there is none there
    bool inTitle = false; // every word is in the title
    qint64 lastChange = 0;
    bool hidden = false;
    bool folded = false;
    bool ringing = false;
    bool unreadable = false;
};

class NoteIndex : public QObject {
    Q_OBJECT
  public:
    explicit NoteIndex(QObject* parent = nullptr);
    ~NoteIndex() override;

    // A note as the index keeps it: ready for matching. Made on any thread.
    struct Entry {
        IndexedNote note;
        search::Prepared title;
        search::Prepared text;
        quint64 stamp = 0; // when the program last said something of it (0: it never did)
    };
    static Entry entryFor(IndexedNote note);

    // --- What the program says ---------------------------------------------------------
    // Adds the note or replaces what is known of it.
    void put(IndexedNote note);
    // Replaces the title and the marks only; nothing for a note the index does not hold.
    void putMarks(const QByteArray& id, const QString& title, bool hidden, bool folded, bool ringing);
    void remove(const QByteArray& id);

    // --- What the reader brings --------------------------------------------------------
    // A moment to compare with: what the program says after it is newer than a read asked for
    // now.
    quint64 now() const { return clock_; }
    // Notes read from their files as asked at `askedAt`; `gone`: notes whose files were not
    // there. What the program said of a note since `askedAt` stands.
    void putRead(std::vector<Entry> entries, const QByteArrayList& gone, quint64 askedAt);
    // Every stored note has been read once: until then a search may miss some.
    bool complete() const { return complete_; }
    void setComplete(bool complete);
    // How many of how many notes the first reading has brought so far.
    qsizetype readSoFar() const { return readSoFar_; }
    qsizetype toRead() const { return toRead_; }
    void setProgress(qsizetype readSoFar, qsizetype toRead);

    // --- Finding -------------------------------------------------------------------------
    bool contains(const QByteArray& id) const { return slots_.contains(id); }
    qsizetype size() const { return qsizetype(entries_.size()); }
    const IndexedNote* note(const QByteArray& id) const;
    // The notes that match `query` (all of them for an empty one): those with every word in
    // the title first, then by their last change, newest first.
    std::vector<FoundNote> search(const search::Query& query) const;

    // The memory the index holds: in the notes' plain text, and in all.
    struct Memory {
        qint64 text = 0;
        qint64 total = 0;
    };
    Memory memory() const;

  signals:
    // What the index holds changed (or it became complete).
    void changed();

  private:
    void store(Entry entry);
    void drop(const QByteArray& id);

    std::vector<Entry> entries_;
    QHash<QByteArray, qsizetype> slots_;   // id -> place in entries_
    QHash<QByteArray, quint64> removedAt_; // notes the program removed, and when
    quint64 clock_ = 0;
    bool complete_ = false;
    qsizetype readSoFar_ = 0;
    qsizetype toRead_ = 0;
};

} // namespace stikko
