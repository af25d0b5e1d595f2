#pragma once
// Keeps watch on the data folder for what other programs do to the notes there: a synchroniser
// bringing in notes made, changed or deleted on another computer and its conflict copies, or a
// user copying files in. The program's own reads and writes go through NoteFiles, which
// remembers what it saw; a file that still holds that is never reported.
//
// The kernel tells the names that changed (FolderWatch); nothing runs while nothing happens.
// A burst of events is gathered for a moment, then
// each name in it is looked at once: a stat, and a read only when its size or time moved and
// the size is the one last seen. (QFileSystemWatcher would tell only that something in the
// folder changed, not what, so every change would cost a listing of all the notes; and its
// folder watch does not see a file written in place, nor when its writer is done with it.)
//
// Never taken for notes: hidden names (a synchroniser's temporary ".syncthing.<name>.tmp" and
// ".<name>.~<hex>", its ".stfolder", the atomic writer's ".<name>.stikko-XXXXXX.tmp"), names
// with "default", and anything but "<id>.ini" and "<id>.rtf".

#include "store/notefiles.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

class QTimer;

namespace stikko {

class FolderWatch;

class DataFolderWatcher : public QObject {
    Q_OBJECT
  public:
    // Watches `files`' data folder; reports nothing until start().
    explicit DataFolderWatcher(NoteFiles& files = noteFiles(), QObject* parent = nullptr);
    ~DataFolderWatcher() override;

    // Starts watching the data folder, and the folder that holds it for a data folder that is
    // made again after it was removed or moved away. Every note whose record is there now is
    // taken as known (no noteAdded for it); conflict copies there now are reported like new ones.
    // Call it before the notes are read at start, so nothing that happens in between goes unseen.
    // False, with a reason, when the system refuses (too many watches): the program then works
    // as it would without a watcher.
    bool start(QString* error = nullptr);
    void stop();
    bool isWatching() const;

    // How long a burst of events is gathered before its names are looked at (100 ms), and the
    // grace period (2 s) a note's record may be missing before it counts as removed; a record
    // without a body, a file still being written and a conflict copy without its partner wait
    // as long. A conflict copy that holds another computer's version waits `othersCopy` (60 s):
    // the computer whose version it is makes it a note at once, and its synchroniser brings
    // that here meanwhile; two computers writing the same new note at once would make their
    // synchronisers stumble over each other. It is made a note here only when that computer's
    // program is not running.
    void setTimings(std::chrono::milliseconds gather, std::chrono::milliseconds grace,
                    std::chrono::milliseconds othersCopy = std::chrono::seconds(60));
    // How long start() waits before it lists the folder (on a thread of its own), so that a
    // start with many notes is not slowed by it; what is reported meanwhile waits for the
    // listing. None by default.
    void setListingDelay(std::chrono::milliseconds delay);

    // What the watcher has cost so far: times it woke (the kernel's descriptor or one of its two
    // single-shot timers), names it looked at (one stat each) and files it read.
    struct Counters {
        quint64 wakeups = 0;
        quint64 stats = 0;
        quint64 reads = 0;
    };
    Counters counters() const;

  signals:
    // A note made elsewhere: its record and body are both there and complete, or its record has
    // been there alone for the grace period (a note nobody typed in yet has no body file).
    // Reported once; a body that comes later is a noteChanged.
    void noteAdded(const QByteArray& id);
    // A known note's record and/or body file holds bytes other than the program last read or
    // wrote there (or the body file was removed). Reported within the gather time.
    void noteChanged(const QByteArray& id, bool record, bool body);
    // A known note's record file has been gone for the grace period, and the program did not
    // remove it itself. Not reported while the data folder itself is gone.
    void noteRemoved(const QByteArray& id);
    // A synchroniser's conflict copy of a note file (a name in the data folder) that has been
    // there for the grace period without a further change (`othersCopy` when it holds what
    // this program did not write, see setTimings); NoteFiles::adoptConflictCopy makes it a
    // note. Reported once per name while it stays.
    void conflictCopyFound(const QString& fileName);

  private:
    enum class Look { Absent, Same, Foreign };
    struct Stamp {
        qint64 size = -1;
        qint64 mtimeNs = 0;
        quint64 inode = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    struct Touched {
        std::optional<Look> record, body;
    };

    // A name was made or written in place (`writing`), or settled (closed after writing,
    // renamed, removed), or only its attributes changed (`attributesOnly`).
    void nameEvent(const QString& name, bool writing, bool attributesOnly);
    void eventsRead();
    // Takes out of the names to look at those that hold the program's own last write.
    void dropOwnWrites();
    void dataFolderLost();
    void rescan(bool folderCameBack);
    void process();
    void settle(const QByteArray& id, Touched touched);
    void graceTimeout();
    void armGrace();
    // The listing of the folder at start: set off, and taken in when done.
    void startListing();
    void listingDone(quint64 generation);
    struct Listing {
        QSet<QByteArray> records;
        QStringList conflicts;
        void list(const QString& folder);
    };
    // Drops what the watcher keeps about a note that is gone.
    void forget(const QByteArray& id);
    // Looks at one note file: whether it is gone, still what the program saw, or someone else's.
    Look look(const QString& name, bool* unchanged = nullptr);
    bool complete(const QString& name);
    qint64 now() const { return clock_.elapsed(); }

    NoteFiles& files_;
    QString folder_; // the data folder, ending in '/'
    std::unique_ptr<FolderWatch> watch_;
    bool rescanDue_ = false;
    bool folderCameBack_ = false;
    QTimer* gather_ = nullptr;
    QTimer* grace_ = nullptr;
    std::chrono::milliseconds gatherTime_{100};
    std::chrono::milliseconds graceTime_{2000};
    std::chrono::milliseconds othersCopyTime_{60000};
    QElapsedTimer clock_;

    QSet<QByteArray> known_;             // notes whose record the watcher takes to be there
    QSet<QString> dirty_;                // names with events not looked at yet
    QHash<QString, Stamp> stamps_;       // names as last looked at
    QHash<QString, Look> looks_;         // and what was found then
    QHash<QString, qint64> writing_;     // names being written in place, and when to look anyway
    QHash<QByteArray, qint64> removing_; // notes whose record is gone, and when that counts
    QHash<QByteArray, qint64> adding_;   // new notes with a record and no body yet
    QHash<QString, qint64> conflicts_;   // conflict copies waiting to settle
    QSet<QString> waitedFor_;            // and those that need wait no longer
    Counters counters_;
    std::thread lister_;
    std::shared_ptr<Listing> listing_;
    std::chrono::milliseconds listingDelay_{0};
    quint64 listings_ = 0;
    bool listed_ = true; // the listing of the start is in: known_ holds every note
};

} // namespace stikko
