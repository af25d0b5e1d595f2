#include "store/notecatalogue.h"

#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/rtf.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace stikko {

namespace {

// The keys the list reads from each record.
constexpr std::array<std::pair<const char*, const char*>, 5> kFactKeys = {{
    {"VALUE_SECTION", "isshow"},
    {"VALUE_SECTION", "ismini"},
    {"VALUE_SECTION", "title"},
    {"VALUE_ALRAM_SECTION", "isalram"},
    {"VALUE_ALRAM_SECTION", "alram_datetime"},
}};
using RawValues = std::array<std::optional<QByteArray>, kFactKeys.size()>;
constexpr std::size_t kTitleKey = 2;
static_assert(std::string_view(kFactKeys[kTitleKey].second) == "title");

// A record as large as a body may be is still read whole, as a note's opening reads it.
constexpr qint64 kMaxRecordBytes = rtf::kMaxFileSize;

// The remembered shown notes of a folder of many thousands fit well within this.
constexpr qint64 kMaxRememberedBytes = qint64(16) << 20;

// What a stat says of a file, enough to tell that it changed.
struct Stamp {
    qint64 size = -1; // -1: no file
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;

    static Stamp of(const struct stat& info) {
        return {qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec, quint64(info.st_ino),
                quint64(info.st_dev)};
    }
};

qint64 msOf(qint64 ns) {
    return ns / 1000000;
}

// The values of the list's keys in a record's bytes.
RawValues lookUpFacts(QByteArrayView bytes) {
    std::array<IniFile::Lookup, kFactKeys.size()> lookups;
    for (std::size_t i = 0; i < kFactKeys.size(); ++i)
        lookups[i] = {kFactKeys[i].first, kFactKeys[i].second, {}};
    IniFile::lookUp(bytes, lookups);
    RawValues values;
    for (std::size_t i = 0; i < kFactKeys.size(); ++i) {
        if (lookups[i].value)
            values[i] = lookups[i].value->toByteArray();
    }
    return values;
}

// The facts as a record read whole would give them: the values converted, missing ones (all of
// them for an unreadable record) their fallbacks. Main thread: the fallbacks come from the
// defaults and the clock.
NoteFacts factsOf(const QByteArray& id, const RawValues& raw, bool readable, qint64 changedMs) {
    std::array<RecordValue, kFactKeys.size()> values;
    for (std::size_t i = 0; i < kFactKeys.size(); ++i) {
        values[i] = {kFactKeys[i].first, kFactKeys[i].second, {}};
        if (raw[i])
            values[i].value = QByteArrayView(*raw[i]);
    }
    NoteRecord record{};
    ReadNoteFields(record, values);
    NoteFacts facts;
    facts.id = id;
    facts.readable = readable;
    facts.isshow = record.isshow;
    facts.ismini = record.ismini;
    facts.isalram = record.isalram;
    facts.title = cp949::fieldBytes(record.title).toByteArray();
    facts.titled = raw[kTitleKey].has_value();
    facts.alarmMoment = cp949::fieldBytes(record.alram_datetime).toByteArray();
    facts.changedMs = changedMs;
    return facts;
}

// Ascending file names without regard to case, as the list box of names had them; names that
// differ only in case keep a fixed order.
bool nameBefore(const QString& a, const QString& b) {
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

QString recordName(QByteArrayView id) {
    return cp949::decode(id) + QStringLiteral(".ini");
}

QString bodyName(QByteArrayView id) {
    return cp949::decode(id) + QStringLiteral(".rtf");
}

// The bytes of the open plain file `fd` (at most `limit`); nothing when it cannot be read.
std::optional<QByteArray> readOpenFile(int fd, qint64 size, qint64 limit) {
    if (size > limit)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (true) {
        if (done == bytes.size()) {
            // It may have grown since the stat: read on until the end.
            if (bytes.size() >= limit + 1)
                return std::nullopt;
            bytes.resize(std::min<qint64>(bytes.size() * 2 + 4096, limit + 1));
        }
        const ssize_t got = ::read(fd, bytes.data() + done, std::size_t(bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += got;
    }
    if (done > limit)
        return std::nullopt;
    bytes.truncate(done);
    return bytes;
}

// What a record holds, read through `dirFd` (or a path when -1): its values and its stamp.
// Only a plain file is ever opened, and never so that a fifo could block.
struct RecordRead {
    bool regular = false; // false: no file, or no plain file
    bool exists = false;
    bool readable = false;
    RawValues values;
    Stamp stamp;
};
RecordRead readRecord(int dirFd, const QByteArray& name) {
    RecordRead result;
    struct stat info {};
    if (::fstatat(dirFd, name.constData(), &info, 0) != 0)
        return result;
    result.exists = true;
    if (!S_ISREG(info.st_mode))
        return result;
    result.regular = true;
    result.stamp = Stamp::of(info);
    const int fd = ::openat(dirFd, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return result;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        result.stamp = Stamp::of(info);
        if (const std::optional<QByteArray> bytes = readOpenFile(fd, qint64(info.st_size), kMaxRecordBytes)) {
            result.readable = true;
            result.values = lookUpFacts(*bytes);
        }
    } else {
        result.regular = false;
    }
    ::close(fd);
    return result;
}

qint64 mtimeNsAt(int dirFd, const QByteArray& name) {
    struct stat info {};
    if (::fstatat(dirFd, name.constData(), &info, 0) != 0)
        return 0;
    return Stamp::of(info).mtimeNs;
}

// A record in the data folder as its listing finds it.
struct Found {
    QString name;
    QByteArray encodedName;
    QByteArray id;
    RecordRead read;
    qint64 bodyMtimeNs = 0;
};

// The records in `folder`, in the list's order, and the names of records that are no plain
// files (`unusable`). Only names are read, and the type the folder gives them: a link, or a
// name whose type the file system does not give, costs a stat.
std::vector<Found> listRecords(const QString& folder, QStringList& unusable) {
    std::vector<Found> notes;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return notes;
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<NoteFileName> file = NoteFiles::noteFileName(QByteArrayView(entry->d_name));
        if (!file || file->body)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        switch (entry->d_type) {
        case DT_REG:
            break;
        case DT_LNK:
        case DT_UNKNOWN: {
            // A link counts as what it points to; a dangling one is no note.
            struct stat info {};
            if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0)
                continue;
            if (!S_ISREG(info.st_mode)) {
                unusable << name;
                continue;
            }
            break;
        }
        default: // a folder, a fifo, a device, a socket: never opened
            unusable << name;
            continue;
        }
        notes.push_back(Found{name, QByteArray(entry->d_name), file->id, {}, 0});
    }
    ::closedir(dir);
    std::sort(notes.begin(), notes.end(),
              [](const Found& a, const Found& b) { return nameBefore(a.name, b.name); });
    return notes;
}

} // namespace

struct NoteCatalogue::Entry {
    QString name; // the record's file name
    NoteFacts facts;
    Stamp record;
    qint64 bodyMtimeNs = 0;
};

class NoteCatalogue::Scan {
  public:
    QString folder;
    quint64 generation = 0;
    std::thread worker;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable progress;
    // Guarded by the mutex until `ended`; the worker writes found[i] before it counts it read.
    bool listed = false;
    std::size_t read = 0;
    bool ended = false;
    std::vector<Found> found;
    QStringList unusable;

    void run(QObject* catalogue);
};

void NoteCatalogue::Scan::run(QObject* catalogue) {
    const auto tell = [this](auto&& change) {
        {
            const std::lock_guard lock(mutex);
            change();
        }
        progress.notify_all();
    };
    QStringList others;
    std::vector<Found> notes = listRecords(folder, others);
    tell([&] {
        found = std::move(notes);
        unusable = std::move(others);
        listed = true;
    });
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    const int dirFd = dir ? ::dirfd(dir) : -1;
    // The records first, which the opening of notes waits for; the bodies' times after.
    // Told a batch at a time: whoever waits for a record is not woken for each one.
    constexpr std::size_t kBatch = 64;
    for (std::size_t i = 0; i < found.size() && dir; ++i) {
        if (cancelled)
            break;
        Found& note = found[i];
        note.read = readRecord(dirFd, note.encodedName);
        if ((i + 1) % kBatch == 0 || i + 1 == found.size())
            tell([&] { read = i + 1; });
    }
    for (std::size_t i = 0; i < found.size() && dir && !cancelled; ++i)
        found[i].bodyMtimeNs = mtimeNsAt(dirFd, QFile::encodeName(bodyName(found[i].id)));
    if (dir)
        ::closedir(dir);
    tell([&] {
        read = found.size();
        ended = true;
    });
    if (catalogue && !cancelled) {
        QMetaObject::invokeMethod(
            catalogue,
            [catalogue, generation = generation] {
                static_cast<NoteCatalogue*>(catalogue)->scanEnded(generation);
            },
            Qt::QueuedConnection);
    }
}

NoteCatalogue::NoteCatalogue(NoteFiles& files) : files_(files), remember_(new QTimer(this)) {
    // Written a little after a change, so that hiding many notes writes it once.
    constexpr int kRememberDelayMs = 2000;
    remember_->setSingleShot(true);
    remember_->setInterval(kRememberDelayMs);
    connect(remember_, &QTimer::timeout, this, &NoteCatalogue::rememberShown);
}

NoteCatalogue::~NoteCatalogue() {
    if (scan_) {
        scan_->cancelled = true;
        if (scan_->worker.joinable())
            scan_->worker.join();
    }
}

qsizetype NoteCatalogue::Reading::size() const {
    std::unique_lock lock(scan_->mutex);
    scan_->progress.wait(lock, [this] { return scan_->listed; });
    return qsizetype(scan_->found.size());
}

NoteFacts NoteCatalogue::Reading::at(qsizetype i) const {
    std::unique_lock lock(scan_->mutex);
    scan_->progress.wait(lock, [this, i] { return scan_->listed && scan_->read > std::size_t(i); });
    const Found& found = scan_->found[std::size_t(i)];
    lock.unlock();
    NoteFacts facts =
        factsOf(found.id, found.read.values, found.read.readable, msOf(found.read.stamp.mtimeNs));
    // Gone, or no plain file, by the time it was to be read (or the scan was dropped first):
    // nothing to show.
    if (!found.read.regular)
        facts.isshow = 0;
    return facts;
}

void NoteCatalogue::followFolder() {
    const QString folder = files_.dataFolder();
    if (folder == folder_)
        return;
    if (scan_) {
        scan_->cancelled = true;
        if (scan_->worker.joinable())
            scan_->worker.join();
        scan_.reset();
    }
    folder_ = folder;
    complete_ = false;
    entries_.clear();
    index_.clear();
    touched_.clear();
    unusable_.clear();
    told_.clear();
}

NoteCatalogue::Reading NoteCatalogue::startScan() {
    followFolder();
    if (scan_) {
        scan_->cancelled = true;
        if (scan_->worker.joinable())
            scan_->worker.join();
        scan_.reset();
    }
    touched_.clear();
    scan_ = std::make_shared<Scan>();
    scan_->folder = folder_;
    scan_->generation = ++scans_;
    Scan* scan = scan_.get();
    const Reading reading(scan_);
    try {
        scan->worker = std::thread([scan, self = this] { scan->run(self); });
    } catch (const std::system_error&) {
        scan->run(nullptr); // no thread to be had: read here, taken in below
        finishScan();
    }
    return reading;
}

std::optional<NoteCatalogue::Reading> NoteCatalogue::scanning() {
    followFolder();
    if (!scan_)
        return std::nullopt;
    return Reading(scan_);
}

void NoteCatalogue::scanEnded(quint64 generation) {
    if (scan_ && scan_->generation == generation)
        finishScan();
}

void NoteCatalogue::finishScan() {
    if (!scan_)
        return;
    {
        std::unique_lock lock(scan_->mutex);
        scan_->progress.wait(lock, [this] { return scan_->ended; });
    }
    if (scan_->worker.joinable())
        scan_->worker.join();
    // A reading of the scan may still walk it: its notes are copied, not taken.
    const std::shared_ptr<Scan> scan = std::exchange(scan_, nullptr);
    entries_.clear();
    entries_.reserve(scan->found.size());
    for (const Found& found : scan->found) {
        if (!found.read.regular)
            continue; // gone, or made something else, since it was listed
        Entry entry;
        entry.name = found.name;
        entry.record = found.read.stamp;
        entry.bodyMtimeNs = found.bodyMtimeNs;
        entry.facts = factsOf(found.id, found.read.values, found.read.readable,
                              msOf(std::max(entry.record.mtimeNs, entry.bodyMtimeNs)));
        entry.facts.bodyChangedNs = entry.bodyMtimeNs;
        entries_.push_back(std::move(entry));
    }
    reindex();
    complete_ = true;
    for (const QString& name : std::as_const(scan->unusable)) {
        if (!told_.contains(name) && !unusable_.contains(name))
            unusable_ << name;
    }
    // What the program itself changed meanwhile is looked at as it is now.
    for (const QByteArray& id : std::exchange(touched_, {}))
        update(id);
    rememberShown();
    emit scanFinished();
}

QList<NoteFacts> NoteCatalogue::notes() {
    followFolder();
    finishScan();
    QList<NoteFacts> notes;
    notes.reserve(qsizetype(entries_.size()));
    for (const Entry& entry : entries_)
        notes.append(entry.facts);
    return notes;
}

std::optional<NoteFacts> NoteCatalogue::find(QByteArrayView id) {
    followFolder();
    finishScan();
    const auto it = index_.constFind(id.toByteArray());
    if (it == index_.constEnd())
        return std::nullopt;
    return entries_[std::size_t(*it)].facts;
}

bool NoteCatalogue::complete() {
    followFolder(); // a list of another folder is no list of this one
    return complete_;
}

QStringList NoteCatalogue::takeUnusableRecords() {
    followFolder();
    for (const QString& name : std::as_const(unusable_))
        told_.insert(name);
    return std::exchange(unusable_, {});
}

void NoteCatalogue::refresh() {
    followFolder();
    finishScan();
    QStringList unusable;
    QSet<QByteArray> listed;
    for (const Found& found : listRecords(folder_, unusable))
        listed.insert(found.id);
    for (const QString& name : std::as_const(unusable)) {
        if (!told_.contains(name) && !unusable_.contains(name))
            unusable_ << name;
    }
    // Those that went, then every note there now (a stat each, a read where it changed).
    QByteArrayList gone;
    for (const Entry& entry : entries_) {
        if (!listed.contains(entry.facts.id))
            gone << entry.facts.id;
    }
    for (const QByteArray& id : std::as_const(gone))
        drop(id);
    for (const QByteArray& id : std::as_const(listed))
        update(id);
}

void NoteCatalogue::recordWritten(QByteArrayView id, QByteArrayView bytes) {
    followFolder();
    const QByteArray key = id.toByteArray();
    if (scan_) {
        touched_.insert(key);
        return;
    }
    struct stat info {};
    const QByteArray path = QFile::encodeName(folder_ + recordName(id));
    if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        update(key);
        return;
    }
    Entry entry;
    entry.name = recordName(id);
    entry.record = Stamp::of(info);
    if (const auto it = index_.constFind(key); it != index_.constEnd())
        entry.bodyMtimeNs = entries_[std::size_t(*it)].bodyMtimeNs;
    entry.facts =
        factsOf(key, lookUpFacts(bytes), true, msOf(std::max(entry.record.mtimeNs, entry.bodyMtimeNs)));
    put(std::move(entry), true);
}

void NoteCatalogue::bodyWritten(QByteArrayView id) {
    followFolder();
    const QByteArray key = id.toByteArray();
    if (scan_) {
        touched_.insert(key);
        return;
    }
    const auto it = index_.constFind(key);
    if (it == index_.constEnd())
        return; // a body before its record: the record's write brings the note
    Entry entry = entries_[std::size_t(*it)];
    struct stat info {};
    if (::stat(QFile::encodeName(folder_ + bodyName(id)).constData(), &info) == 0)
        entry.bodyMtimeNs = Stamp::of(info).mtimeNs;
    entry.facts.changedMs = msOf(std::max(entry.record.mtimeNs, entry.bodyMtimeNs));
    put(std::move(entry), true);
}

void NoteCatalogue::removed(QByteArrayView id) {
    followFolder();
    if (scan_)
        touched_.insert(id.toByteArray());
    else
        update(id.toByteArray());
}

void NoteCatalogue::reread(QByteArrayView id) {
    removed(id); // looks at the files as they are now, as a removal does
}

void NoteCatalogue::update(const QByteArray& id) {
    const QString name = recordName(id);
    const QByteArray encoded = QFile::encodeName(name);
    const int dirFd = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto it = index_.constFind(id);
    const Entry* old = it == index_.constEnd() ? nullptr : &entries_[std::size_t(*it)];
    struct stat info {};
    const bool exists = dirFd >= 0 && ::fstatat(dirFd, encoded.constData(), &info, 0) == 0;
    if (!exists || !S_ISREG(info.st_mode)) {
        if (exists && !told_.contains(name) && !unusable_.contains(name))
            unusable_ << name;
        if (dirFd >= 0)
            ::close(dirFd);
        drop(id);
        return;
    }
    Entry entry;
    entry.name = name;
    entry.bodyMtimeNs = mtimeNsAt(dirFd, QFile::encodeName(bodyName(id)));
    if (old && old->record == Stamp::of(info)) {
        entry.record = old->record;
        entry.facts = old->facts;
    } else {
        const RecordRead read = readRecord(dirFd, encoded);
        entry.record = read.stamp;
        entry.facts = factsOf(id, read.values, read.readable, 0);
    }
    ::close(dirFd);
    entry.facts.changedMs = msOf(std::max(entry.record.mtimeNs, entry.bodyMtimeNs));
    if (old && old->record == entry.record && old->bodyMtimeNs == entry.bodyMtimeNs)
        return; // nothing new
    put(std::move(entry), true);
}

void NoteCatalogue::put(Entry entry, bool tell) {
    const QByteArray id = entry.facts.id;
    entry.facts.bodyChangedNs = entry.bodyMtimeNs;
    if (const auto it = index_.constFind(id); it != index_.constEnd()) {
        Entry& old = entries_[std::size_t(*it)];
        if (old.facts.shown() != entry.facts.shown())
            remember_->start();
        old = std::move(entry);
        if (tell)
            emit noteChanged(id);
        return;
    }
    const auto at =
        std::lower_bound(entries_.begin(), entries_.end(), entry.name,
                         [](const Entry& e, const QString& name) { return nameBefore(e.name, name); });
    if (entry.facts.shown())
        remember_->start();
    entries_.insert(at, std::move(entry));
    reindex();
    if (tell)
        emit noteAdded(id);
}

void NoteCatalogue::drop(const QByteArray& id) {
    const auto it = index_.constFind(id);
    if (it == index_.constEnd())
        return;
    if (entries_[std::size_t(*it)].facts.shown())
        remember_->start();
    entries_.erase(entries_.begin() + *it);
    reindex();
    emit noteRemoved(id);
}

QString NoteCatalogue::rememberedShownPath() const {
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    // One file per data folder, named after where the folder really is.
    const QString folder = QFileInfo(folder_).canonicalFilePath();
    const QByteArray key = QCryptographicHash::hash(QFile::encodeName(folder.isEmpty() ? folder_ : folder),
                                                    QCryptographicHash::Sha256)
                               .toHex()
                               .left(16);
    return QDir::cleanPath(cache) + QStringLiteral("/stikko/shown-") + QLatin1String(key);
}

QByteArrayList NoteCatalogue::rememberedShown() {
    followFolder();
    const std::optional<QByteArray> bytes = readWholeFile(rememberedShownPath(), kMaxRememberedBytes);
    if (!bytes)
        return {};
    QByteArrayList lines = bytes->split('\n');
    // The first line names the folder; a file of another (a hash's chance) says nothing.
    if (lines.size() < 2 || lines.takeFirst() != QFile::encodeName(folder_) || !lines.last().isEmpty())
        return {};
    lines.removeLast();
    QByteArrayList ids;
    for (const QByteArray& id : std::as_const(lines)) {
        if (NoteFiles::isNoteId(id))
            ids << id;
    }
    return ids;
}

void NoteCatalogue::rememberShown() {
    followFolder();
    remember_->stop();
    if (scan_)
        return; // not complete: the scan's end remembers
    QByteArray text = QFile::encodeName(folder_) + '\n';
    for (const Entry& entry : entries_) {
        // A name that would break the lines is left to the scan.
        if (entry.facts.shown() && !entry.facts.id.contains('\n') && !entry.facts.id.contains('\r'))
            text += entry.facts.id + '\n';
    }
    const QString path = rememberedShownPath();
    if (readWholeFile(path, kMaxRememberedBytes) == text)
        return;
    // Only a help for the next start: where it cannot be kept, the start scans as the first does.
    if (QDir().mkpath(QFileInfo(path).absolutePath()))
        writeFileAtomically(path, text);
}

void NoteCatalogue::reindex() {
    index_.clear();
    index_.reserve(qsizetype(entries_.size()));
    for (std::size_t i = 0; i < entries_.size(); ++i)
        index_.insert(entries_[i].facts.id, qsizetype(i));
}

} // namespace stikko
