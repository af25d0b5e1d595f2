#pragma once
// The list of stored notes: every note in the data folder with the facts about it that cost no
// more than its record's bytes (shown or hidden, title, alarm) and when its files last changed.
// This is the one place that knows which notes there are while the program runs: NoteFiles
// tells it of the program's own writes and removals, the data folder watcher of what other
// programs do, and refresh() looks at the folder again for whoever must not trust either (a
// folder without a watcher).
//
// At start the folder is listed and every record read on a thread of its own: no record is
// parsed whole (a few keys are looked up in its bytes) and no body is read, so notes kept
// hidden cost the start next to nothing, and the start opens the shown ones as the scan
// reaches them (scanned()). Records that are no files (a folder, a fifo, a device) are never
// opened: they are left out and told once (takeUnusableRecords).
//
// Everything here runs on the main thread but the scan's reading. Bodies are not read here:
// NoteFiles::readBody reads one on any thread (remembering nothing), and rtf::read makes it a
// document there.

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace stikko {

class NoteFiles;

// What the list knows of one stored note.
struct NoteFacts {
    QByteArray id;
    bool readable = true; // its record could be read; else the fields below are the fallbacks
    // As the note's record says, with the fallbacks of a record read whole (isshow 1, ...).
    int32_t isshow = 1;
    int32_t ismini = 0; // folded to its title bar
    int32_t isalram = 0;
    QByteArray title;         // code page 949
    bool titled = false;      // the record has a title of its own (else `title` is the fallback)
    QByteArray alarmMoment;   // alram_datetime
    qint64 changedMs = 0;     // the later modification time of its record and its body
    qint64 bodyChangedNs = 0; // its body's modification time (0: no body)

    bool shown() const { return isshow != 0; }
    QDateTime changed() const { return QDateTime::fromMSecsSinceEpoch(changedMs); }
};

class NoteCatalogue : public QObject {
    Q_OBJECT
  public:
    explicit NoteCatalogue(NoteFiles& files);
    ~NoteCatalogue() override;
    NoteCatalogue(const NoteCatalogue&) = delete;
    NoteCatalogue& operator=(const NoteCatalogue&) = delete;

    // --- The scan at start --------------------------------------------------------------
    // Lists the data folder and reads every record, on a thread of its own; the list is
    // taken from it when it ends (on the event loop, or by the first call that needs it).
    // A scan that runs already is dropped first. Its notes can be walked as it reads them.
    class Scan;
    class Reading {
      public:
        // How many notes the scan found, once it has listed the folder (waits for that).
        qsizetype size() const;
        // The facts of the `i`-th note in ascending order of file names, once its record is
        // read (waits for that).
        NoteFacts at(qsizetype i) const;

      private:
        friend class NoteCatalogue;
        explicit Reading(std::shared_ptr<Scan> scan) : scan_(std::move(scan)) {}
        std::shared_ptr<Scan> scan_;
    };
    Reading startScan();
    // The scan that runs, if one does.
    std::optional<Reading> scanning();

    // --- The list ---------------------------------------------------------------------------
    // Every stored note in ascending order of its file name (as the notes open at start);
    // a scan still running is waited for first.
    QList<NoteFacts> notes();
    std::optional<NoteFacts> find(QByteArrayView id);
    // The list holds every stored note: a scan of the data folder in use has ended (and the
    // list has followed every change told since).
    bool complete();
    // Lists the folder again and looks at each note's files (a stat each); a record whose file
    // changed is read again. What changed is told as by the watcher's reports.
    void refresh();
    // Names in the data folder that would be notes' records but are no plain files (folders,
    // fifos, devices), each given once; they are never opened.
    QStringList takeUnusableRecords();

    // --- Between runs -------------------------------------------------------------------
    // The notes that were shown when the list last knew them all (at the end of the last run,
    // or a moment after the last change to which notes are shown), in the list's order: the
    // start opens these at once and finds whatever changed since with its scan. Empty when
    // nothing is remembered for this data folder. Kept in the user's cache folder, never in
    // the data folder: it is this computer's, and no loss when gone.
    QByteArrayList rememberedShown();
    // Remembers the notes the list says are shown, when the list is complete; the file is
    // only written when that changed. Done by itself a moment after any change of them.
    void rememberShown();
    // Where that is kept for the data folder in use.
    QString rememberedShownPath() const;

    // --- What happens to the notes --------------------------------------------------------
    // The program wrote a note's record (`bytes`) or its body, or removed its files.
    void recordWritten(QByteArrayView id, QByteArrayView bytes);
    void bodyWritten(QByteArrayView id);
    void removed(QByteArrayView id);
    // A note's files may have changed elsewhere: they are looked at again.
    void reread(QByteArrayView id);

  signals:
    // The scan's list is in place.
    void scanFinished();
    // A note came, changed (record, body or both) or went, whoever did it.
    void noteAdded(const QByteArray& id);
    void noteChanged(const QByteArray& id);
    void noteRemoved(const QByteArray& id);

  private:
    struct Entry;
    // The list is of this folder; a test that moves the program elsewhere starts a new one.
    void followFolder();
    void finishScan();
    void scanEnded(quint64 generation);
    // Puts what note `id`'s files hold now into the list (or takes it out), and tells what
    // changed.
    void update(const QByteArray& id);
    // Puts `entry` in its place, replacing the one of its id; tells it when `tell`.
    void put(Entry entry, bool tell);
    void drop(const QByteArray& id);
    void reindex();

    NoteFiles& files_;
    QString folder_;                     // the data folder the list is of
    std::vector<Entry> entries_;         // in the order of their file names
    QHash<QByteArray, qsizetype> index_; // id -> place in entries_
    QSet<QByteArray> touched_;           // changed by the program while a scan ran
    QStringList unusable_;               // records that are no files, not told yet
    QSet<QString> told_;                 // ... and those told
    QTimer* remember_ = nullptr;         // rememberShown a moment after a change
    std::shared_ptr<Scan> scan_;
    quint64 scans_ = 0;
    bool complete_ = false;
};

} // namespace stikko
