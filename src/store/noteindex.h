#pragma once
// Every stored note's text in memory, shown and hidden, for finding notes as fast as the user
// types. The index knows only what it is told: a note's id, title, plain text, last change and
// marks (hidden, folded, ringing, unreadable), or that it is gone. Two tell it:
// - the program: what the list of stored notes (NoteCatalogue) says of a note as it changes,
//   and the text of a note being typed in: its word is the newest there is;
// - NoteIndexReader, which reads the notes' bodies on a worker thread (all of them once the
//   list is read at start, and one again whenever its files changed). What it brings was read
//   from the disk some time ago: it never replaces what the program said of that note since
//   it was asked.
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
    qint64 bodyStamp = 0;    // the body file's modification time (ns) when its text was read
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
        // When the program last said something of it (0: it never did): of its text, and of
        // the rest.
        quint64 stamp = 0;
        quint64 factsStamp = 0;
    };
    static Entry entryFor(IndexedNote note);

    // --- What the program says ---------------------------------------------------------
    // Adds the note or replaces what is known of it.
    void put(IndexedNote note);
    // Replaces what is known of the note but its text (and whether that could be read); a
    // note the index does not hold is added without text, for the reader to bring.
    void putFacts(const IndexedNote& note);
    void remove(const QByteArray& id);

    // --- What the reader brings --------------------------------------------------------
    // A moment to compare with: what the program says after it is newer than a read asked for
    // now.
    quint64 now() const { return clock_; }
    // Notes read from their files as asked at `askedAt`. What the program said of a note
    // since then stands (its text, or the rest), and a note it removed since stays removed.
    void putRead(std::vector<Entry> entries, quint64 askedAt);
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
