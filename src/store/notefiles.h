#pragma once
// The one owner of the notes' files. A note is two files in the data folder: <id>.ini with its
// record and <id>.rtf with its body. Every path to them is made here, and every read, write and
// removal of them goes through here (the private readFile and writeFile are the only places
// that touch their bytes). Writes are atomic: one that cannot complete leaves the old file
// byte for byte and says so; a file that could not be read is never written over.

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QObject;

namespace stikko {

struct AtomicWrite;
class NoteCatalogue;
struct NoteRecord;

// What reading one of a note's files found.
enum class FileState {
    Missing,    // there is no such file
    Loaded,     // it was read in full
    Unreadable, // it is there but could not be read (no permission, a folder, too large, an I/O error)
};

struct BodyLoad {
    FileState state = FileState::Missing;
    QByteArray rtf; // the body's bytes when Loaded
};

// What the program last saw in one of a note's files: enough to tell whether the file still
// holds it, without keeping the bytes.
struct SeenContent {
    qint64 size = -1;                     // -1: there was no file
    std::array<unsigned char, 32> hash{}; // BLAKE2b-256 of the bytes
    bool removed = false;                 // no file, because the program removed it itself
    // For a large file (a body of megabytes): what a stat said of it as it was read or
    // written. A file that still has this inode, size and modification time holds the same
    // bytes (a rename brings another inode, a write in place another time), so it is not read
    // and hashed again to tell.
    struct Stamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 mtimeNs = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    std::optional<Stamp> stamp;

    static SeenContent of(QByteArrayView bytes);
    static SeenContent absent() { return {}; }
    bool isAbsent() const { return size < 0; }
    // The same bytes (or no file) seen: the stamps do not count.
    friend bool operator==(const SeenContent& a, const SeenContent& b) {
        return a.size == b.size && a.hash == b.hash && a.removed == b.removed;
    }
};

// One of a note's files as a name in the data folder.
struct NoteFileName {
    QByteArray id;
    bool body = false; // <id>.rtf rather than <id>.ini
};

// A copy of a note file that a synchroniser set aside because the file was changed on two
// computers at once: "<id>.sync-conflict-<yyyymmdd>-<hhmmss>-<device>.ini" (or .rtf; older
// versions leave out the device). The device named is the one whose change kept the name.
struct ConflictCopyName {
    QByteArray original; // the note it is a copy of
    QString tag;         // "sync-conflict-<yyyymmdd>-<hhmmss>-<device>"
    QDateTime stamp;     // when the copy was made, by that computer's clock
    QString device;
    bool body = false; // a copy of the .rtf rather than of the .ini
};

class NoteFiles {
  public:
    NoteFiles();
    ~NoteFiles();
    NoteFiles(const NoteFiles&) = delete;
    NoteFiles& operator=(const NoteFiles&) = delete;

    // The data folder, ending in '/': the program folder's "./data/".
    QString dataFolder() const;
    QString recordPath(QByteArrayView id) const;
    QString bodyPath(QByteArrayView id) const;

    // True when `id` can name a note: not empty, fits a record's id field, has an exact code-page
    // form, and cannot lead out of the data folder.
    static bool isNoteId(QByteArrayView id);
    // The list of stored notes with what their records say (notecatalogue.h), which this class
    // keeps told of its writes and removals.
    NoteCatalogue& catalogue();

    // The stored notes: for every "<id>.ini" in the data folder (the name ends in exactly that,
    // does not begin with '.' and does not contain "default"), its id, in ascending order of the
    // file names. Names that are no valid id are left out.
    QByteArrayList listIds() const;
    // True when the note's record file is there.
    bool exists(QByteArrayView id) const;

    // The note file a name in the data folder is, by the rule listIds() follows: nothing for
    // every other name (hidden files, temporary files of writers and synchronisers, names with
    // "default", conflict copies, upper-case extensions).
    static std::optional<NoteFileName> noteFileName(QStringView name);
    // The same for a name as the file system gives it (its bytes, as readdir lists it), with
    // no decoding for the plain ASCII names the program gives its notes: for folders of many.
    static std::optional<NoteFileName> noteFileName(QByteArrayView rawName);
    // The conflict copy a name in the data folder is, if it is one of a note file.
    static std::optional<ConflictCopyName> conflictCopyName(QStringView name);

    // What the program last read from `path` or wrote to it (or that it found or left no file
    // there); nothing when it has done neither since it started. Every read and write of a note
    // file through this class is remembered.
    std::optional<SeenContent> lastSeen(const QString& path) const;
    // True when the file at `path` is still what the program last saw there: its own last write
    // or what it last read, or still absent. False when someone else has made, changed or
    // removed it since, and for a file the program has not seen. Costs a stat, and a read only
    // when the size is what it was.
    bool holdsWhatItSaw(const QString& path) const;
    // True when someone else has made, changed or removed the file at `path` since the program
    // last read or wrote it: a change from elsewhere that has not been taken yet. False for a
    // file the program has not seen, and for one it cannot look at (a write finds that out).
    bool changedElsewhere(const QString& path) const;

    // Makes a synchroniser's conflict copy `fileName` (a name in the data folder) a note of its
    // own, together with the copy of the note's other file made in the same conflict (the same
    // tag, or the same device at most two seconds apart), and removes the copies. A copy of the
    // body alone takes the record of the note it copies; a copy of the record alone takes its
    // body. The new id is the old one (cut to 18 bytes) followed by two lower-case letters
    // drawn from a hash of the old id and the tag: every computer that adopts the same copy
    // makes the same files under the same id. An id whose files exist with other bytes is never
    // written over; the next letters drawn are tried instead. The new note stands a step below
    // and right of the one it copies, so both are seen. A copy of the record alone that differs
    // from the note's record only in place, size, folding or title (what moving a note and
    // typing change; the title comes from the text) holds nothing the user would miss and is
    // only removed.
    // Returns the id of the note that holds the copy now (new, or made before from the same
    // copy); empty when there was nothing to adopt (the copy is gone, or said nothing the note
    // does not say: it is then only removed); nothing, with `error` set, when it could not be
    // done (the copies are then left as they are).
    std::optional<QByteArray> adoptConflictCopy(const QString& fileName, QString* error = nullptr);
    // True when the conflict copy `fileName` holds what this program last wrote into the note
    // file it copies: the synchroniser set this computer's own version aside here. Every
    // computer that shares the notes gets the copy; the one whose version it is adopts it at
    // once, the others only when it is still there a good while later (its version may come
    // from a computer whose program is not running), so that two computers do not write the
    // same new note at the same moment.
    bool setAsideHere(const QString& fileName) const;
    // The id that the copies tagged `tag` of note `original` take at the `attempt`-th try
    // (0, 1, ...); empty when that try yields no valid id.
    static QByteArray conflictNoteId(QByteArrayView original, QStringView tag, int attempt);
    // Makes what note `id`'s files hold now a note of its own, as adoptConflictCopy makes a
    // conflict copy one (an id derived from `id` and the body's bytes, a step below and right);
    // the note's own files stay as they are. For the version another computer wrote while this
    // one has text of its own not yet saved. The new id; nothing, with `error` set, when it
    // could not be made.
    std::optional<QByteArray> copyAsNewNote(QByteArrayView id, QString* error = nullptr);

    // Fills `record` (whose oid names the note) from its record file; every missing key takes its
    // fallback. Missing and Unreadable both leave the fallbacks in every field.
    FileState loadRecord(NoteRecord& record);
    // Writes `record` into its record file, keeping the lines the record does not own. False
    // when the file was not written (`error` says why); a file that exists but could not be
    // read is never overwritten, nor one changed elsewhere since the program last saw it
    // (`changedElsewhere` is then set: the caller takes that change first). A file that differs
    // from the record only in ini_name and doc_name, which name this computer's folder, is left
    // as it is: two computers sharing the notes would otherwise rewrite each other's records.
    bool saveRecord(const NoteRecord& record, QString* error = nullptr, bool* changedElsewhere = nullptr);
    // One record of a group that saveRecordsInBackground writes: `saved`, `error` and
    // `changedElsewhere` say what saveRecord would have returned and set for it, unless it is
    // `pending`: written later, told by finishRecords.
    struct RecordSave {
        const NoteRecord* record = nullptr;
        bool saved = false;
        bool changedElsewhere = false;
        bool pending = false;
        QString error;
    };
    // Saves each record of `saves` (of different notes) as saveRecord would, with the same
    // checks and the same bookkeeping (the notes opened at start, when many files lack keys
    // they now get). Only the checks run now; the writes are made and flushed to the disk side
    // by side on a thread of their own, and finishRecords puts them in place. Each save gets
    // what is known now: saved when its file holds the record already, or refused as
    // saveRecord refuses; `pending` when its record is being written. `ready` is called on this
    // thread, from its event loop, once the writes wait for finishRecords (not if that ran
    // first, nor once this object is gone). One group at a time: finish the last one first.
    void saveRecordsInBackground(std::span<RecordSave> saves, std::function<void()> ready);
    // True from saveRecordsInBackground until finishRecords.
    bool recordsPending() const { return group_ != nullptr; }
    // What came of one pending record of the group: what saveRecord would have returned and
    // set, or `superseded` when the note's record was saved (or the note removed) through this
    // class since: its later state stands, and this write is dropped.
    struct RecordResult {
        bool saved = false;
        bool changedElsewhere = false;
        bool superseded = false;
        QString error;
    };
    // Waits for the group's writes, then renames each record whose own flush succeeded into
    // place, unless the file no longer holds what the checks saw (changed elsewhere: the file
    // is left as it is) or the note's record was saved or removed since (superseded). Every
    // temporary not renamed is removed. The pending records' results, in the order of `saves`;
    // nothing when no group is pending.
    std::vector<RecordResult> finishRecords();

    BodyLoad loadBody(QByteArrayView id);
    // Replaces the body file with `rtf`; as saveRecord, never over a file changed elsewhere.
    bool saveBody(QByteArrayView id, QByteArrayView rtf, QString* error = nullptr,
                  bool* changedElsewhere = nullptr);

    // A body read on another thread (a large one, which takes a while; or every body, to know
    // its text in the background): readBody reads it anywhere and remembers nothing, bodyRead
    // takes in here what was seen, as loadBody would have, for a note that shows it.
    struct BodyRead {
        QString path;
        BodyLoad load;
        SeenContent seen;
    };
    static BodyRead readBody(const QString& path);
    void bodyRead(const BodyRead& read);
    // A body written on another thread: prepared here with the checks saveBody makes (nothing,
    // with `error` and `changedElsewhere` set as saveBody sets them, when it must not be
    // written), written anywhere by writeBody, taken in here by bodyWritten.
    struct BodyWrite {
        QString path;
        std::optional<SeenContent> expected; // what the file held when it was prepared
        bool saved = false;
        bool changedElsewhere = false;
        QString error;
        SeenContent written;
    };
    std::optional<BodyWrite> prepareBodyWrite(QByteArrayView id, QString* error = nullptr,
                                              bool* changedElsewhere = nullptr);
    // Writes `rtf` as the write prepared, unless the file no longer holds what it held then
    // (changed elsewhere meanwhile: nothing is written).
    static void writeBody(BodyWrite& write, QByteArrayView rtf);
    // Takes in what writeBody did; what saveBody would have returned.
    bool bodyWritten(const BodyWrite& write);
    // True from prepareBodyWrite until bodyWritten for the file at `path`: what is there may
    // be the program's own write, not taken in yet.
    bool bodyWriteUnderWay(const QString& path) const;

    // Moves both files of a note to the desktop's trash, or removes them where there is no
    // trash. True when neither file is left in the data folder.
    bool remove(QByteArrayView id);

    // Removes the temporary files that writes cut short by a kill left in the data folder.
    int removeLeftovers();

    // Where a body goes that cannot be written into the data folder when the program ends:
    // the user's XDG state folder + "stikko/recovery/", ending in '/'.
    QString recoveryFolder() const;
    // Writes `rtf` as <id>.rtf in the recovery folder (under a new name when one is there
    // already); the path written, or nothing.
    std::optional<QString> saveRecoveryCopy(QByteArrayView id, QByteArrayView rtf, QString* error = nullptr);
    // The body files waiting in the recovery folder.
    QStringList recoveryFiles() const;

  private:
    std::optional<QByteArray> readFile(const QString& path, FileState& state);
    bool writeFile(const QString& path, QByteArrayView bytes, QString* error);
    // Remembers that `bytes` were written to `path`: the program's own write, not a change.
    void wrote(const QString& path, QByteArrayView bytes);
    // The same for a write whose bytes were seen elsewhere (`record`: a record's bytes).
    void written(const QString& path, const SeenContent& seen, std::optional<QByteArrayView> record);
    // Everything saveRecord does before writing: reads the file afresh, refuses one that is
    // unreadable or changed elsewhere (false, with `error` and `changedElsewhere` set as
    // saveRecord sets them), remembers what it read, and makes `write` the write that puts
    // `record` into the file; `write.written` already when the file holds it.
    bool prepareRecord(const NoteRecord& record, AtomicWrite& write, QString* error, bool* changedElsewhere);
    void remember(const QString& path, const SeenContent& seen);
    // The note files of a new note made from `record` and `body` of note `original`, under the
    // first free id drawn for `tag`.
    std::optional<QByteArray> makeNoteFrom(QByteArrayView original, QStringView tag,
                                           const std::optional<QByteArray>& record,
                                           const std::optional<QByteArray>& body, QString* error);

    // A save or removal of the record at `path` now: a pending group's write of it is dropped.
    void supersede(const QString& path);
    // The group saveRecordsInBackground is writing.
    struct RecordGroup;
    void recordsStaged(quint64 generation);

    // Keyed by the cleaned path: what the program last saw, and what it last wrote.
    QHash<QString, SeenContent> seen_;
    QHash<QString, SeenContent> written_;
    QHash<QString, int> bodyWrites_; // bodies written in the background now: how many writes each
    std::unique_ptr<RecordGroup> group_;
    quint64 groups_ = 0; // groups started so far
    // What a group's worker posts its word to, on the thread that made this object: going
    // with it, it takes along a word not delivered yet.
    std::unique_ptr<QObject> callbacks_;
    std::unique_ptr<NoteCatalogue> catalogue_;
};

// The program's one NoteFiles.
NoteFiles& noteFiles();

} // namespace stikko
