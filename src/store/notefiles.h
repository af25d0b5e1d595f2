#pragma once
// The one owner of the notes' files. A note is two files in the data folder: <id>.ini with its
// record and <id>.rtf with its body. Every path to them is made here, and every read, write and
// removal of them goes through here (the private readFile and writeFile are the only places
// that touch their bytes). Writes are atomic: one that cannot complete leaves the old file
// byte for byte and says so; a file that could not be read is never written over.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <optional>

namespace stikko {

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

class NoteFiles {
  public:
    // The data folder, ending in '/': the program folder's "./data/".
    QString dataFolder() const;
    QString recordPath(QByteArrayView id) const;
    QString bodyPath(QByteArrayView id) const;

    // True when `id` can name a note: not empty, fits a record's id field, has an exact code-page
    // form, and cannot lead out of the data folder.
    static bool isNoteId(QByteArrayView id);
    // The stored notes: for every "<id>.ini" in the data folder (the name ends in exactly that,
    // does not begin with '.' and does not contain "default"), its id, in ascending order of the
    // file names. Names that are no valid id are left out.
    QByteArrayList listIds() const;
    // True when the note's record file is there.
    bool exists(QByteArrayView id) const;

    // Fills `record` (whose oid names the note) from its record file; every missing key takes its
    // fallback. Missing and Unreadable both leave the fallbacks in every field.
    FileState loadRecord(NoteRecord& record);
    // Writes `record` into its record file, keeping the lines the record does not own. False
    // when the file was not written (`error` says why); a file that exists but could not be
    // read is never overwritten.
    bool saveRecord(const NoteRecord& record, QString* error = nullptr);

    BodyLoad loadBody(QByteArrayView id);
    // Replaces the body file with `rtf`.
    bool saveBody(QByteArrayView id, QByteArrayView rtf, QString* error = nullptr);

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
};

// The program's one NoteFiles.
NoteFiles& noteFiles();

} // namespace stikko
