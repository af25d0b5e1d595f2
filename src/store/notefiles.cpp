#include "store/notefiles.h"

#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/rtf.h"
#include "store/notecatalogue.h"
#include "store/subfunction.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <vector>

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

// The whole of a file, read without remembering it.
std::optional<QByteArray> readBytes(const QString& path, FileState& state) {
    if (!QFileInfo::exists(path)) {
        state = FileState::Missing;
        return std::nullopt;
    }
    std::optional<QByteArray> bytes = readWholeFile(path, rtf::kMaxFileSize);
    state = bytes ? FileState::Loaded : FileState::Unreadable;
    return bytes;
}

// Files larger than this carry a stamp when seen (see SeenContent::stamp).
constexpr qint64 kStampedSize = qint64(1) << 20;

std::optional<SeenContent::Stamp> stampOf(const struct stat& info) {
    return SeenContent::Stamp{quint64(info.st_dev), quint64(info.st_ino),
                              qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// True when the file `info` describes is the one `seen` was stamped from, untouched since.
bool stampHolds(const struct stat& info, const SeenContent& seen) {
    return seen.stamp && S_ISREG(info.st_mode) && qint64(info.st_size) == seen.size &&
           stampOf(info) == seen.stamp;
}

// `seen` for `bytes` just written to `path` or read from it; a large file's stamp is taken
// when the stat before the read (`before`, if given) and the one now agree with each other
// and with the bytes, so that a file replaced meanwhile is never taken for what was seen.
SeenContent seenAt(const QString& path, QByteArrayView bytes, const struct stat* before = nullptr) {
    SeenContent seen = SeenContent::of(bytes);
    if (seen.size <= kStampedSize)
        return seen;
    struct stat now {};
    if (::stat(QFile::encodeName(path).constData(), &now) != 0 || !S_ISREG(now.st_mode) ||
        qint64(now.st_size) != seen.size)
        return seen;
    if (before && (stampOf(*before) != stampOf(now) || before->st_size != now.st_size))
        return seen;
    seen.stamp = stampOf(now);
    return seen;
}

// True when `path` holds what `seen` says (or no file, when it says none): a stat, and a read
// only when the size fits and no stamp tells.
bool fileHolds(const QString& path, const SeenContent& seen) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return (errno == ENOENT || errno == ENOTDIR) && seen.isAbsent();
    if (seen.isAbsent() || !S_ISREG(info.st_mode) || info.st_size != seen.size)
        return false;
    if (stampHolds(info, seen))
        return true;
    FileState state = FileState::Missing;
    const std::optional<QByteArray> bytes = readBytes(path, state);
    return bytes && SeenContent::of(*bytes) == seen;
}

QString seenKey(const QString& path) {
    return QDir::cleanPath(path);
}

// The id in a note file's name: the name cut at its first `suffix`, which must be its end
// ("a.ini.old.ini" is no note "a", and upper-case ".INI" is no note at all), and a valid id.
std::optional<QByteArray> idInName(QStringView name, const QString& suffix) {
    if (name.startsWith(u'.') || name.contains(QLatin1String("default"), Qt::CaseSensitive))
        return std::nullopt;
    const qsizetype cut = name.indexOf(suffix, 0, Qt::CaseSensitive);
    if (cut < 0 || cut != name.size() - suffix.size())
        return std::nullopt;
    const QStringView text = name.left(cut);
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
    QByteArray id = ascii ? text.toLatin1() : cp949::encode(text);
    if ((!ascii && cp949::decode(id) != text) || !NoteFiles::isNoteId(id))
        return std::nullopt;
    return id;
}

// --- Conflict copies ------------------------------------------------------------------------

constexpr char kValueSection[] = "VALUE_SECTION";
// Room for the two letters that tell a conflict's note from the note it copies: an id the clock
// makes (18 bytes) keeps all of itself.
constexpr qsizetype kConflictStem = qsizetype(sizeof(NoteRecord::oid)) - 1 - 2;
// The copies of a note's record and body that one conflict makes may carry stamps a second
// or so apart.
constexpr qint64 kConflictPairSeconds = 2;
constexpr int kConflictAttempts = 16;

// `record` with its id keys naming `to` instead of `from`: oid, and the file names at the end
// of ini_name and doc_name (whose folder part, the one of whichever computer last wrote the
// file, is kept, so that every computer makes the same bytes). Nothing else changes.
QByteArray renamedRecord(const QByteArray& record, QByteArrayView from, QByteArrayView to) {
    IniFile ini = IniFile::fromBytes(record);
    ini.writeString(kValueSection, "oid", to);
    for (const auto& [key, suffix] : {std::pair{"ini_name", ".ini"}, std::pair{"doc_name", ".rtf"}}) {
        if (!ini.hasKey(kValueSection, key))
            continue;
        QByteArray value = ini.readString(kValueSection, key);
        const QByteArray tail = from.toByteArray() + suffix;
        const qsizetype at = value.size() - tail.size();
        if (value.endsWith(tail) && (at == 0 || value[at - 1] == '/' || value[at - 1] == '\\')) {
            value.truncate(at);
            ini.writeString(kValueSection, key, value + to.toByteArray() + suffix);
        }
    }
    return ini.toBytes();
}

// A record with `keys` of its value section emptied where it has them.
QByteArray withoutKeys(const QByteArray& record, std::initializer_list<const char*> keys) {
    IniFile ini = IniFile::fromBytes(record);
    for (const char* key : keys)
        if (ini.hasKey(kValueSection, key))
            ini.writeString(kValueSection, key, "");
    return ini.toBytes();
}

// A record with its id keys emptied: two records that differ only there say the same.
QByteArray withoutIds(const QByteArray& record) {
    return withoutKeys(record, {"oid", "ini_name", "doc_name"});
}

// A record without what moving, resizing and folding a note and typing in it change (the
// title comes from the text): two records that differ only there hold the same settings.
QByteArray withoutPlaceAndTitle(const QByteArray& record) {
    return withoutKeys(record, {"oid", "ini_name", "doc_name", "scr_x", "scr_y", "scr_width", "scr_height",
                                "ismini", "title"});
}

// A note made from another stands this far right of and below it, so both are seen.
constexpr qint64 kBesideStep = 24;

// `record` placed a step right of and below where it says (a place it does not say stays
// unsaid). Nothing of the screen is looked at: every computer makes the same bytes.
QByteArray placedBeside(const QByteArray& record) {
    constexpr int32_t kNoValue = std::numeric_limits<int32_t>::min();
    IniFile ini = IniFile::fromBytes(record);
    for (const char* key : {"scr_x", "scr_y"}) {
        const int32_t value = ini.readInteger(kValueSection, key, kNoValue);
        if (value != kNoValue)
            ini.writeInteger(
                kValueSection, key,
                int32_t(std::min<qint64>(qint64(value) + kBesideStep, std::numeric_limits<int32_t>::max())));
    }
    return ini.toBytes();
}

// The conflict copy of the note's other file made in the same conflict as `copy`: the same
// tag, else the same device at most kConflictPairSeconds apart (the nearest; the first name of
// two as near).
std::optional<QString> conflictPartner(const QString& folder, const ConflictCopyName& copy) {
    const QString prefix = cp949::decode(copy.original) + QLatin1String(".sync-conflict-");
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    std::optional<QString> best;
    qint64 bestDistance = kConflictPairSeconds + 1;
    for (const QString& name : names) {
        if (!name.startsWith(prefix))
            continue;
        const std::optional<ConflictCopyName> other = NoteFiles::conflictCopyName(name);
        if (!other || other->body == copy.body || other->original != copy.original)
            continue;
        if (other->tag == copy.tag)
            return name;
        if (other->device != copy.device || !other->stamp.isValid() || !copy.stamp.isValid())
            continue;
        const qint64 distance = std::abs(other->stamp.secsTo(copy.stamp));
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

// True when `path` is free for `bytes` (nothing = a file that must not be there): no such
// name, or a file that already holds exactly those bytes.
bool freeFor(const QString& path, const std::optional<QByteArray>& bytes) {
    if (!nameTaken(path))
        return true;
    if (!bytes)
        return false;
    FileState state = FileState::Missing;
    const std::optional<QByteArray> there = readBytes(path, state);
    return there && *there == *bytes;
}

} // namespace

SeenContent SeenContent::of(QByteArrayView bytes) {
    SeenContent seen;
    seen.size = bytes.size();
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256);
    std::copy_n(hash.constData(), std::min<qsizetype>(hash.size(), qsizetype(seen.hash.size())),
                reinterpret_cast<char*>(seen.hash.data()));
    return seen;
}

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
    // Printable ASCII is its own code-page form; only other bytes need the (costly) round trip.
    if (std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x20 && c < 0x7f; }))
        return true;
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
        if (std::optional<QByteArray> id = idInName(name, kRecordSuffix))
            ids.append(*id);
    }
    return ids;
}

bool NoteFiles::exists(QByteArrayView id) const {
    return QFileInfo::exists(recordPath(id));
}

std::optional<NoteFileName> NoteFiles::noteFileName(QStringView name) {
    if (std::optional<QByteArray> id = idInName(name, kRecordSuffix))
        return NoteFileName{*id, false};
    if (std::optional<QByteArray> id = idInName(name, kBodySuffix))
        return NoteFileName{*id, true};
    return std::nullopt;
}

std::optional<NoteFileName> NoteFiles::noteFileName(QByteArrayView rawName) {
    const bool ascii =
        std::all_of(rawName.begin(), rawName.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    if (!ascii)
        return noteFileName(QStringView(QFile::decodeName(rawName.toByteArray())));
    // As idInName, on the bytes: printable ASCII is its own code-page form.
    for (const auto& [suffix, body] :
         {std::pair{QByteArrayView(".ini"), false}, {QByteArrayView(".rtf"), true}}) {
        if (rawName.startsWith('.') || rawName.contains(QByteArrayView("default")))
            return std::nullopt;
        const qsizetype cut = rawName.indexOf(suffix);
        if (cut < 0 || cut != rawName.size() - suffix.size())
            continue;
        const QByteArrayView id = rawName.first(cut);
        if (!isNoteId(id))
            return std::nullopt;
        return NoteFileName{id.toByteArray(), body};
    }
    return std::nullopt;
}

std::optional<ConflictCopyName> NoteFiles::conflictCopyName(QStringView name) {
    static const QRegularExpression pattern(
        QStringLiteral("^(.+)\\.(sync-conflict-([0-9]{8})-([0-9]{6})(?:-([A-Z0-9]{7}))?)\\.(ini|rtf)$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const QString original = match.captured(1);
    if (original.startsWith(u'.') || name.contains(QLatin1String("default"), Qt::CaseSensitive))
        return std::nullopt;
    ConflictCopyName copy;
    copy.original = cp949::encode(original);
    if (cp949::decode(copy.original) != original)
        return std::nullopt;
    copy.tag = match.captured(2);
    copy.stamp =
        QDateTime::fromString(match.captured(3) + match.captured(4), QStringLiteral("yyyyMMddhhmmss"));
    copy.device = match.captured(5);
    copy.body = match.captured(6) == QLatin1String("rtf");
    return copy;
}

void NoteFiles::remember(const QString& path, const SeenContent& seen) {
    seen_.insert(seenKey(path), seen);
}

std::optional<SeenContent> NoteFiles::lastSeen(const QString& path) const {
    const auto it = seen_.constFind(seenKey(path));
    if (it == seen_.constEnd())
        return std::nullopt;
    return *it;
}

bool NoteFiles::holdsWhatItSaw(const QString& path) const {
    const std::optional<SeenContent> seen = lastSeen(path);
    return seen && fileHolds(path, *seen);
}

bool NoteFiles::bodyWriteUnderWay(const QString& path) const {
    return bodyWrites_.contains(seenKey(path));
}

bool NoteFiles::changedElsewhere(const QString& path) const {
    const std::optional<SeenContent> seen = lastSeen(path);
    if (!seen)
        return false;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return (errno == ENOENT || errno == ENOTDIR) && !seen->isAbsent();
    if (!S_ISREG(info.st_mode))
        return false;
    if (seen->isAbsent() || info.st_size != seen->size)
        return true;
    if (stampHolds(info, *seen))
        return false;
    FileState state = FileState::Missing;
    const std::optional<QByteArray> bytes = readBytes(path, state);
    return bytes && SeenContent::of(*bytes) != *seen;
}

std::optional<QByteArray> NoteFiles::readFile(const QString& path, FileState& state) {
    struct stat before {};
    const bool stated = ::stat(QFile::encodeName(path).constData(), &before) == 0;
    std::optional<QByteArray> bytes = readBytes(path, state);
    if (bytes) {
        remember(path, seenAt(path, *bytes, stated ? &before : nullptr));
    } else if (state == FileState::Missing) {
        // Found missing after the program removed it: still its own removal.
        const std::optional<SeenContent> seen = lastSeen(path);
        if (!seen || !seen->removed)
            remember(path, SeenContent::absent());
    }
    return bytes;
}

bool NoteFiles::writeFile(const QString& path, QByteArrayView bytes, QString* error) {
    if (!writeFileAtomically(path, bytes, error))
        return false;
    wrote(path, bytes);
    return true;
}

void NoteFiles::wrote(const QString& path, QByteArrayView bytes) {
    written(path, seenAt(path, bytes), bytes);
}

void NoteFiles::written(const QString& path, const SeenContent& seen, std::optional<QByteArrayView> record) {
    remember(path, seen);
    written_.insert(seenKey(path), seen);
    // The list of notes follows what the program writes into the data folder.
    const QString folder = dataFolder();
    if (path.startsWith(folder)) {
        if (const std::optional<NoteFileName> file = noteFileName(QStringView(path).sliced(folder.size()))) {
            if (file->body)
                catalogue_->bodyWritten(file->id);
            else if (record)
                catalogue_->recordWritten(file->id, *record);
            else
                catalogue_->reread(file->id);
        }
    }
}

FileState NoteFiles::loadRecord(NoteRecord& record) {
    const QString path = recordPath(noteId(record));
    FileState state = FileState::Missing;
    const std::optional<QByteArray> bytes = readFile(path, state);
    ReadNoteRecord(record, IniFile::fromBytes(bytes.value_or(QByteArray()), path));
    return state;
}

bool NoteFiles::prepareRecord(const NoteRecord& record, AtomicWrite& write, QString* error,
                              bool* changedElsewhere) {
    const QByteArrayView id = noteId(record);
    if (!isNoteId(id)) {
        if (error)
            *error = QStringLiteral("no valid note id");
        return false;
    }
    const QString path = recordPath(id);
    write.path = path;
    supersede(path);
    // Read afresh: lines the record does not own (and edits made meanwhile to them) are kept.
    FileState state = FileState::Missing;
    const std::optional<QByteArray> bytes = readBytes(path, state);
    if (state == FileState::Unreadable) {
        if (error)
            *error = QStringLiteral("%1 exists but could not be read; not overwriting it").arg(path);
        return false;
    }
    // Someone else's record is taken before it is written over.
    const std::optional<SeenContent> content = bytes ? std::optional(SeenContent::of(*bytes)) : std::nullopt;
    if (const std::optional<SeenContent> seen = lastSeen(path);
        seen && (content ? seen->isAbsent() || *content != *seen : !seen->isAbsent())) {
        if (error)
            *error = QStringLiteral("%1 was changed elsewhere since it was read").arg(path);
        if (changedElsewhere)
            *changedElsewhere = true;
        return false;
    }
    if (content)
        remember(path, *content);
    else if (!lastSeen(path))
        remember(path, SeenContent::absent());
    IniFile ini = IniFile::fromBytes(bytes.value_or(QByteArray()), path);
    // The file as read (it writes back byte for byte), kept for the comparison below rather
    // than parsed again from the bytes.
    const IniFile read = ini;
    WriteNoteRecord(ini, record, true);
    write.bytes = ini.toBytes();
    // A file that already says so is left alone (most notes, each time the program starts),
    // also when it names another computer's folder.
    write.written = bytes && (*bytes == write.bytes ||
                              read.sameWithoutValues(ini, kValueSection, {"ini_name", "doc_name"}));
    return true;
}

bool NoteFiles::saveRecord(const NoteRecord& record, QString* error, bool* changedElsewhere) {
    AtomicWrite write;
    if (!prepareRecord(record, write, error, changedElsewhere))
        return false;
    return write.written || writeFile(write.path, write.bytes, error);
}

struct NoteFiles::RecordGroup {
    explicit RecordGroup(std::vector<AtomicWrite> files) : writes(std::move(files)) {}
    StagedWrites writes;
    std::vector<std::optional<SeenContent>> seen; // what the checks found in each file
    QSet<QString> keys;                           // the group's files
    QSet<QString> superseded;                     // ... saved or removed since the checks
    std::function<void()> ready;
    quint64 generation = 0;
    std::thread worker;
};

NoteFiles::NoteFiles()
    : callbacks_(std::make_unique<QObject>()), catalogue_(std::make_unique<NoteCatalogue>(*this)) {}

NoteCatalogue& NoteFiles::catalogue() {
    return *catalogue_;
}

NoteFiles::~NoteFiles() {
    // A group never finished is dropped: its temporaries go, the files stay as they were.
    if (group_ && group_->worker.joinable())
        group_->worker.join();
}

void NoteFiles::supersede(const QString& path) {
    if (group_ && group_->keys.contains(seenKey(path)))
        group_->superseded.insert(seenKey(path));
}

void NoteFiles::saveRecordsInBackground(std::span<RecordSave> saves, std::function<void()> ready) {
    // Finishing here would leave the last group's windows untold: the caller finishes first.
    Q_ASSERT(!group_);
    finishRecords();
    std::vector<AtomicWrite> writes;
    std::vector<RecordSave*> later;
    QSet<QString> paths;
    for (RecordSave& save : saves) {
        save.error.clear();
        save.changedElsewhere = false;
        save.pending = false;
        const QString key = seenKey(recordPath(noteId(*save.record)));
        if (paths.contains(key)) {
            later.push_back(&save);
            continue;
        }
        paths.insert(key);
        AtomicWrite write;
        const bool writable = prepareRecord(*save.record, write, &save.error, &save.changedElsewhere);
        save.saved = writable && write.written;
        save.pending = writable && !write.written;
        if (save.pending) {
            writes.push_back(std::move(write));
        }
    }
    if (!writes.empty()) {
        group_ = std::make_unique<RecordGroup>(std::move(writes));
        for (std::size_t i = 0; i < group_->writes.size(); ++i) {
            const QString& path = group_->writes.file(i).path;
            group_->seen.push_back(lastSeen(path));
            group_->keys.insert(seenKey(path));
        }
        group_->ready = std::move(ready);
        group_->generation = ++groups_;
        // Only the group's own StagedWrites is touched over there, until finishRecords joins.
        // The word goes to this object's own context, not to the application: should this
        // object go before it is delivered, it goes with it.
        const auto work = [this, staged = &group_->writes, context = callbacks_.get(),
                           generation = group_->generation] {
            staged->stage();
            if (QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    context, [this, generation] { recordsStaged(generation); }, Qt::QueuedConnection);
        };
        try {
            group_->worker = std::thread(work);
        } catch (const std::system_error&) {
            work(); // no thread to be had: written here, put in place all the same when finished
        }
    }
    // A second record of the same note is composed from the file as it is now: it is saved
    // on its own, and the group's write of the first is dropped for it.
    for (RecordSave* save : later)
        save->saved = saveRecord(*save->record, &save->error, &save->changedElsewhere);
}

void NoteFiles::recordsStaged(quint64 generation) {
    if (!group_ || group_->generation != generation)
        return; // finished already
    // The callee finishes the group, which holds this function.
    const std::function<void()> ready = group_->ready;
    if (ready)
        ready();
}

std::vector<NoteFiles::RecordResult> NoteFiles::finishRecords() {
    std::vector<RecordResult> results;
    if (!group_)
        return results;
    const std::unique_ptr<RecordGroup> group = std::move(group_);
    if (group->worker.joinable())
        group->worker.join();
    for (std::size_t i = 0; i < group->writes.size(); ++i) {
        const AtomicWrite& file = group->writes.file(i);
        RecordResult& result = results.emplace_back();
        if (group->superseded.contains(seenKey(file.path))) {
            group->writes.discard(i);
            result.superseded = true;
        } else if (lastSeen(file.path) != group->seen[i] || !holdsWhatItSaw(file.path)) {
            // Taken since, or to be taken: what is there now stands.
            group->writes.discard(i);
            result.changedElsewhere = true;
            result.error = QStringLiteral("%1 was changed elsewhere since it was read").arg(file.path);
        } else if (group->writes.commit(i)) {
            wrote(file.path, file.bytes);
            result.saved = true;
        } else {
            result.error = file.error;
        }
    }
    return results;
}

BodyLoad NoteFiles::loadBody(QByteArrayView id) {
    BodyLoad load;
    if (std::optional<QByteArray> bytes = readFile(bodyPath(id), load.state))
        load.rtf = std::move(*bytes);
    return load;
}

bool NoteFiles::saveBody(QByteArrayView id, QByteArrayView rtf, QString* error, bool* changedElsewhere) {
    if (!isNoteId(id)) {
        if (error)
            *error = QStringLiteral("no valid note id");
        return false;
    }
    const QString path = bodyPath(id);
    if (this->changedElsewhere(path)) {
        if (error)
            *error = QStringLiteral("%1 was changed elsewhere since it was read").arg(path);
        if (changedElsewhere)
            *changedElsewhere = true;
        return false;
    }
    return writeFile(path, rtf, error);
}

NoteFiles::BodyRead NoteFiles::readBody(const QString& path) {
    BodyRead read;
    read.path = path;
    struct stat before {};
    const bool stated = ::stat(QFile::encodeName(path).constData(), &before) == 0;
    if (std::optional<QByteArray> bytes = readBytes(path, read.load.state)) {
        read.seen = seenAt(path, *bytes, stated ? &before : nullptr);
        read.load.rtf = std::move(*bytes);
    }
    return read;
}

void NoteFiles::bodyRead(const BodyRead& read) {
    if (read.load.state == FileState::Loaded) {
        remember(read.path, read.seen);
    } else if (read.load.state == FileState::Missing) {
        // As readFile: found missing after the program removed it is still its own removal.
        const std::optional<SeenContent> seen = lastSeen(read.path);
        if (!seen || !seen->removed)
            remember(read.path, SeenContent::absent());
    }
}

std::optional<NoteFiles::BodyWrite> NoteFiles::prepareBodyWrite(QByteArrayView id, QString* error,
                                                                bool* changedElsewhere) {
    if (!isNoteId(id)) {
        if (error)
            *error = QStringLiteral("no valid note id");
        return std::nullopt;
    }
    BodyWrite write;
    write.path = bodyPath(id);
    if (this->changedElsewhere(write.path)) {
        if (error)
            *error = QStringLiteral("%1 was changed elsewhere since it was read").arg(write.path);
        if (changedElsewhere)
            *changedElsewhere = true;
        return std::nullopt;
    }
    write.expected = lastSeen(write.path);
    ++bodyWrites_[seenKey(write.path)];
    return write;
}

void NoteFiles::writeBody(BodyWrite& write, QByteArrayView rtf) {
    // What came meanwhile from elsewhere (a synchroniser) is not written over: it is taken first.
    if (write.expected && !fileHolds(write.path, *write.expected)) {
        write.changedElsewhere = true;
        write.error = QStringLiteral("%1 was changed elsewhere since it was read").arg(write.path);
        return;
    }
    write.saved = writeFileAtomically(write.path, rtf, &write.error);
    if (write.saved)
        write.written = seenAt(write.path, rtf);
}

bool NoteFiles::bodyWritten(const BodyWrite& write) {
    if (const auto it = bodyWrites_.find(seenKey(write.path)); it != bodyWrites_.end() && --*it <= 0)
        bodyWrites_.erase(it);
    if (write.saved)
        written(write.path, write.written, std::nullopt);
    return write.saved;
}

bool NoteFiles::remove(QByteArrayView id) {
    if (!isNoteId(id))
        return false;
    bool gone = true;
    const bool trash = trashAvailable();
    for (const QString& path : {recordPath(id), bodyPath(id)}) {
        supersede(path); // a pending write would bring the note back
        if (!nameTaken(path))
            continue;
        if ((trash && QFile::moveToTrash(path)) || QFile::remove(path)) {
            SeenContent seen;
            seen.removed = true;
            remember(path, seen);
        } else {
            gone = false;
        }
    }
    catalogue_->removed(id);
    return gone;
}

QByteArray NoteFiles::conflictNoteId(QByteArrayView original, QStringView tag, int attempt) {
    constexpr int kLetters = 26;
    if (attempt < 0 || attempt >= kConflictAttempts)
        return {};
    // The original cut to the stem's length, never inside a double-byte character.
    char stem[kConflictStem + 1];
    cp949::copyToField(stem, sizeof stem, original);
    const QByteArray hash =
        QCryptographicHash::hash(original.toByteArray() + '\n' + tag.toUtf8(), QCryptographicHash::Sha256);
    QByteArray id(stem);
    for (int i = 0; i < 2; ++i)
        id += char('a' + static_cast<unsigned char>(hash[2 * attempt + i]) % kLetters);
    if (!isNoteId(id) || id.contains("default"))
        return {};
    return id;
}

bool NoteFiles::setAsideHere(const QString& fileName) const {
    const std::optional<ConflictCopyName> copy = conflictCopyName(fileName);
    if (!copy)
        return false;
    const auto written =
        written_.constFind(seenKey(copy->body ? bodyPath(copy->original) : recordPath(copy->original)));
    if (written == written_.constEnd())
        return false;
    FileState state = FileState::Missing;
    const std::optional<QByteArray> bytes = readBytes(dataFolder() + fileName, state);
    return bytes && SeenContent::of(*bytes) == *written;
}

std::optional<QByteArray> NoteFiles::adoptConflictCopy(const QString& fileName, QString* error) {
    const auto fail = [error](const QString& reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const std::optional<ConflictCopyName> copy = conflictCopyName(fileName);
    if (!copy)
        return fail(QStringLiteral("%1 is no conflict copy of a note file").arg(fileName));
    const QString folder = dataFolder();
    // Adopted already, with the copy of the other file, or removed.
    if (!nameTaken(folder + fileName))
        return QByteArray();

    QString recordCopy, bodyCopy;
    (copy->body ? bodyCopy : recordCopy) = fileName;
    if (std::optional<QString> partner = conflictPartner(folder, *copy))
        (copy->body ? recordCopy : bodyCopy) = *partner;
    // The body says what was written: its copy's tag names the note when there is one.
    const QString tag = bodyCopy.isEmpty() ? copy->tag : conflictCopyName(bodyCopy)->tag;

    // What the new note is made of: the copies, and the note's own file where there is no copy.
    FileState ownRecordState = FileState::Missing, ownBodyState = FileState::Missing;
    const std::optional<QByteArray> ownRecord = readBytes(recordPath(copy->original), ownRecordState);
    const std::optional<QByteArray> ownBody = readBytes(bodyPath(copy->original), ownBodyState);
    std::optional<QByteArray> record = ownRecord;
    std::optional<QByteArray> body = ownBody;
    if (recordCopy.isEmpty() && ownRecordState == FileState::Unreadable)
        return fail(QStringLiteral("%1 could not be read").arg(recordPath(copy->original)));
    if (bodyCopy.isEmpty() && ownBodyState == FileState::Unreadable)
        return fail(QStringLiteral("%1 could not be read").arg(bodyPath(copy->original)));
    for (const auto& [name, part] : {std::pair{recordCopy, &record}, std::pair{bodyCopy, &body}}) {
        if (name.isEmpty())
            continue;
        FileState state = FileState::Missing;
        *part = readBytes(folder + name, state);
        if (!*part)
            return fail(QStringLiteral("%1 could not be read").arg(folder + name));
    }

    const auto removeCopies = [&] {
        for (const QString& name : {recordCopy, bodyCopy})
            if (!name.isEmpty())
                QFile::remove(folder + name); // one left behind is adopted again, into the same note
    };
    // A copy that says only what the note says adds nothing; nor does a copy of the record
    // alone that says only where the note stood and how large it was.
    const bool sameRecord = recordCopy.isEmpty() ||
                            (ownRecord && withoutIds(*record) == withoutIds(*ownRecord)) ||
                            (bodyCopy.isEmpty() && ownRecord &&
                             withoutPlaceAndTitle(*record) == withoutPlaceAndTitle(*ownRecord));
    const bool sameBody = bodyCopy.isEmpty() || ownBody == body;
    if (ownRecord && sameRecord && sameBody) {
        removeCopies();
        return QByteArray();
    }

    const std::optional<QByteArray> id = makeNoteFrom(copy->original, tag, record, body, error);
    if (id)
        removeCopies();
    return id;
}

std::optional<QByteArray> NoteFiles::copyAsNewNote(QByteArrayView id, QString* error) {
    const auto fail = [error](const QString& reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (!isNoteId(id))
        return fail(QStringLiteral("no valid note id"));
    FileState recordState = FileState::Missing, bodyState = FileState::Missing;
    const std::optional<QByteArray> record = readBytes(recordPath(id), recordState);
    const std::optional<QByteArray> body = readBytes(bodyPath(id), bodyState);
    if (recordState == FileState::Unreadable || bodyState == FileState::Unreadable || (!record && !body))
        return fail(QStringLiteral("%1 could not be read").arg(recordPath(id)));
    // The same version copied again finds the note made from it before.
    const QByteArray version = QCryptographicHash::hash(
        record.value_or(QByteArray()) + '\0' + body.value_or(QByteArray()), QCryptographicHash::Blake2b_256);
    return makeNoteFrom(id, QLatin1String("copy-") + QLatin1String(version.toHex().left(16)), record, body,
                        error);
}

std::optional<QByteArray> NoteFiles::makeNoteFrom(QByteArrayView original, QStringView tag,
                                                  const std::optional<QByteArray>& record,
                                                  const std::optional<QByteArray>& body, QString* error) {
    // A file that holds the bytes already (made by another computer from the same copy) is
    // not written again.
    const auto put = [this, error](const QString& path, const QByteArray& bytes) {
        if (nameTaken(path)) {
            remember(path, SeenContent::of(bytes));
            return true;
        }
        return writeFile(path, bytes, error);
    };
    for (int attempt = 0; attempt < kConflictAttempts; ++attempt) {
        const QByteArray id = conflictNoteId(original, tag, attempt);
        if (id.isEmpty() || id == original)
            continue;
        // Without a record to copy, a record that names the note and leaves the rest to the
        // fallbacks, the same on every computer.
        const QByteArray newRecord = placedBeside(renamedRecord(record.value_or(QByteArray()), original, id));
        if (!freeFor(recordPath(id), newRecord) || !freeFor(bodyPath(id), body))
            continue;
        // The body first: once the record is there, the note is.
        if (body && !put(bodyPath(id), *body))
            return std::nullopt;
        if (!put(recordPath(id), newRecord))
            return std::nullopt;
        return id;
    }
    if (error)
        *error = QStringLiteral("no free note id for a copy of %1").arg(idText(original));
    return std::nullopt;
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
