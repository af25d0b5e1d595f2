#include "store/notefiles.h"

#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/rtf.h"
#include "store/subfunction.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace stikko {

namespace {

const QString kRecordSuffix = QStringLiteral(".ini");
const QString kBodySuffix = QStringLiteral(".rtf");

QString idText(QByteArrayView id) {
    return cp949::decode(id);
}

// True when something (a file, a folder, a link, even a dangling one) has this name.
bool nameTaken(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The desktop's trash lives in the user's XDG data folder. Qt puts what it trashes into
// files/ and info/ beside the working directory when that folder does not exist yet, so it is
// made first; where it cannot be made there is no trash.
bool trashAvailable() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return !data.isEmpty() && QDir().mkpath(data);
}

} // namespace

NoteFiles& noteFiles() {
    static NoteFiles files;
    return files;
}

QString NoteFiles::dataFolder() const {
    return env::storageFolder() + QLatin1String(kDataFolder);
}

QString NoteFiles::recordPath(QByteArrayView id) const {
    return dataFolder() + idText(id) + kRecordSuffix;
}

QString NoteFiles::bodyPath(QByteArrayView id) const {
    return dataFolder() + idText(id) + kBodySuffix;
}

bool NoteFiles::isNoteId(QByteArrayView id) {
    if (id.isEmpty() || id.size() >= qsizetype(sizeof(NoteRecord::oid)) || id.contains('/') ||
        id.contains('\0') || id == "." || id == "..")
        return false;
    return cp949::isValid(id) && cp949::encode(cp949::decode(id)) == id;
}

QByteArrayList NoteFiles::listIds() const {
    QStringList names;
    ListFiles(dataFolder(), QStringLiteral("*.ini"), names);
    // Sorted as the list box of names was: ascending, without regard to case.
    names.sort(Qt::CaseInsensitive);
    QByteArrayList ids;
    ids.reserve(names.size());
    for (const QString& name : std::as_const(names)) {
        // The id is the name cut at its first ".ini", and that must be its end: "a.ini.old.ini"
        // is no note "a", and upper-case ".INI" is no note at all.
        const qsizetype cut = name.indexOf(kRecordSuffix, 0, Qt::CaseSensitive);
        if (cut < 0 || cut != name.size() - kRecordSuffix.size())
            continue;
        const QString text = name.left(cut);
        const QByteArray id = cp949::encode(text);
        if (cp949::decode(id) != text || !isNoteId(id))
            continue;
        ids.append(id);
    }
    return ids;
}

bool NoteFiles::exists(QByteArrayView id) const {
    return QFileInfo::exists(recordPath(id));
}

std::optional<QByteArray> NoteFiles::readFile(const QString& path, FileState& state) {
    if (!QFileInfo::exists(path)) {
        state = FileState::Missing;
        return std::nullopt;
    }
    std::optional<QByteArray> bytes = readWholeFile(path, rtf::kMaxFileSize);
    state = bytes ? FileState::Loaded : FileState::Unreadable;
    return bytes;
}

bool NoteFiles::writeFile(const QString& path, QByteArrayView bytes, QString* error) {
    return writeFileAtomically(path, bytes, error);
}

FileState NoteFiles::loadRecord(NoteRecord& record) {
    const QString path = recordPath(noteId(record));
    FileState state = FileState::Missing;
    const std::optional<QByteArray> bytes = readFile(path, state);
    ReadNoteRecord(record, IniFile::fromBytes(bytes.value_or(QByteArray()), path));
    return state;
}

bool NoteFiles::saveRecord(const NoteRecord& record, QString* error) {
    const QByteArrayView id = noteId(record);
    if (!isNoteId(id)) {
        if (error)
            *error = QStringLiteral("no valid note id");
        return false;
    }
    const QString path = recordPath(id);
    // Read afresh: lines the record does not own (and edits made meanwhile to them) are kept.
    FileState state = FileState::Missing;
    const std::optional<QByteArray> bytes = readFile(path, state);
    if (state == FileState::Unreadable) {
        if (error)
            *error = QStringLiteral("%1 exists but could not be read; not overwriting it").arg(path);
        return false;
    }
    IniFile ini = IniFile::fromBytes(bytes.value_or(QByteArray()), path);
    WriteNoteRecord(ini, record, true);
    const QByteArray updated = ini.toBytes();
    // A file that already says so is left alone (most notes, each time the program starts).
    if (bytes && *bytes == updated)
        return true;
    return writeFile(path, updated, error);
}

BodyLoad NoteFiles::loadBody(QByteArrayView id) {
    BodyLoad load;
    if (std::optional<QByteArray> bytes = readFile(bodyPath(id), load.state))
        load.rtf = std::move(*bytes);
    return load;
}

bool NoteFiles::saveBody(QByteArrayView id, QByteArrayView rtf, QString* error) {
    if (!isNoteId(id)) {
        if (error)
            *error = QStringLiteral("no valid note id");
        return false;
    }
    return writeFile(bodyPath(id), rtf, error);
}

bool NoteFiles::remove(QByteArrayView id) {
    if (!isNoteId(id))
        return false;
    bool gone = true;
    const bool trash = trashAvailable();
    for (const QString& path : {recordPath(id), bodyPath(id)}) {
        if (!nameTaken(path))
            continue;
        if (trash && QFile::moveToTrash(path))
            continue;
        if (!QFile::remove(path))
            gone = false;
    }
    return gone;
}

int NoteFiles::removeLeftovers() {
    return removeLeftoverTemporaries(dataFolder(), {kRecordSuffix, kBodySuffix});
}

QString NoteFiles::recoveryFolder() const {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state) + QStringLiteral("/stikko/recovery/");
}

std::optional<QString> NoteFiles::saveRecoveryCopy(QByteArrayView id, QByteArrayView rtf, QString* error) {
    const QString folder = recoveryFolder();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return std::nullopt;
    }
    // An earlier copy of the same note may still wait for the user: it is never replaced.
    QString path = folder + idText(id) + kBodySuffix;
    if (nameTaken(path)) {
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        path = folder + idText(id) + QLatin1Char('.') + stamp + kBodySuffix;
        for (int n = 2; nameTaken(path); ++n)
            path = folder + idText(id) + QLatin1Char('.') + stamp + QLatin1Char('-') + QString::number(n) +
                   kBodySuffix;
    }
    // Not a note file: it goes straight to the writer.
    if (!writeFileAtomically(path, rtf, error))
        return std::nullopt;
    return path;
}

QStringList NoteFiles::recoveryFiles() const {
    const QString folder = recoveryFolder();
    QStringList files;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name))
        files << folder + name;
    return files;
}

} // namespace stikko
