#include "store/noteindexreader.h"

#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/rtf.h"
#include "store/notefiles.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>

namespace stikko {

namespace {

// Notes read are handed over this many at a time: a search typed meanwhile fills in as they
// come, and the GUI thread takes each handful in a moment.
constexpr qsizetype kBatch = 64;

constexpr char kValueSection[] = "VALUE_SECTION";

std::chrono::nanoseconds threadTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// The file's last change in milliseconds since the epoch; nothing when there is no such
// file, and -1 when it cannot be looked at.
std::optional<qint64> lastChangeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? std::nullopt : std::optional<qint64>(-1);
    return qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
}

// The ids of the notes in `folder`, by the names of their record files, in ascending order.
QByteArrayList listIds(const QString& folder) {
    QByteArrayList ids;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return ids;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type == DT_DIR)
            continue;
        const std::optional<NoteFileName> name = NoteFiles::noteFileName(QFile::decodeName(entry->d_name));
        if (name && !name->body)
            ids << name->id;
    }
    ::closedir(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

NoteIndexReader::NoteIndexReader(NoteIndex& index, const QString& dataFolder, QObject* parent)
    : QObject(parent), index_(index), folder_(dataFolder) {}

NoteIndexReader::~NoteIndexReader() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void NoteIndexReader::readAll() {
    readingAll_ = true;
    index_.setComplete(false);
    const std::lock_guard lock(mutex_);
    jobs_.push_back({true, {}, index_.now()});
    if (!worker_.joinable())
        worker_ = std::thread([this] { work(); });
    wake_.notify_one();
}

void NoteIndexReader::read(const QByteArray& id) {
    const std::lock_guard lock(mutex_);
    jobs_.push_back({false, id, index_.now()});
    if (!worker_.joinable())
        worker_ = std::thread([this] { work(); });
    wake_.notify_one();
}

void NoteIndexReader::work() {
    while (true) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        if (job.all)
            runAll(job.askedAt);
        else
            runOne(job);
    }
}

void NoteIndexReader::runAll(quint64 askedAt) {
    const std::chrono::nanoseconds started = threadTime();
    const QByteArrayList ids = listIds(folder_);
    std::vector<NoteIndex::Entry> entries;
    QByteArrayList gone;
    qsizetype done = 0;
    for (const QByteArray& id : ids) {
        {
            const std::lock_guard lock(mutex_);
            if (stop_)
                return;
        }
        bool isGone = false;
        IndexedNote note = readNote(folder_, id, &isGone);
        if (isGone)
            gone << id;
        else
            entries.push_back(NoteIndex::entryFor(std::move(note)));
        ++done;
        if (qsizetype(entries.size()) + gone.size() >= kBatch && done < ids.size()) {
            deliver(std::exchange(entries, {}), std::exchange(gone, {}), askedAt, done, ids.size(), false);
        }
    }
    const std::chrono::nanoseconds took = threadTime() - started;
    QMetaObject::invokeMethod(
        this, [this, took] { lastReadAllTime_ = took; }, Qt::QueuedConnection);
    deliver(std::move(entries), std::move(gone), askedAt, done, ids.size(), true);
}

void NoteIndexReader::runOne(const Job& job) {
    bool isGone = false;
    IndexedNote note = readNote(folder_, job.id, &isGone);
    std::vector<NoteIndex::Entry> entries;
    QByteArrayList gone;
    if (isGone)
        gone << job.id;
    else
        entries.push_back(NoteIndex::entryFor(std::move(note)));
    deliver(std::move(entries), std::move(gone), job.askedAt, -1, -1, false);
}

void NoteIndexReader::deliver(std::vector<NoteIndex::Entry> entries, QByteArrayList gone, quint64 askedAt,
                              qsizetype done, qsizetype total, bool last) {
    // Queued to this object: what is still on its way when the reader goes is dropped with it.
    QMetaObject::invokeMethod(
        this,
        [this, entries = std::move(entries), gone = std::move(gone), askedAt, done, total, last]() mutable {
            if (done >= 0)
                index_.setProgress(done, total);
            index_.putRead(std::move(entries), gone, askedAt);
            if (last) {
                readingAll_ = false;
                index_.setComplete(true);
                emit readAllDone();
            }
        },
        Qt::QueuedConnection);
}

IndexedNote NoteIndexReader::readNote(const QString& dataFolder, const QByteArray& id, bool* gone) {
    IndexedNote note;
    note.id = id;
    *gone = false;
    const QString name = dataFolder + cp949::decode(id);
    const QString recordPath = name + QStringLiteral(".ini");
    const QString bodyPath = name + QStringLiteral(".rtf");

    const std::optional<qint64> recordChanged = lastChangeOf(recordPath);
    if (!recordChanged) {
        *gone = true;
        return note;
    }
    note.lastChange = std::max<qint64>(0, *recordChanged);
    if (const std::optional<QByteArray> record = readWholeFile(recordPath, rtf::kMaxFileSize)) {
        const IniFile ini = IniFile::fromBytes(*record);
        note.title = cp949::decode(ini.readString(kValueSection, "title"));
        // A note without the key is shown; one whose window is folded shows its title only.
        note.hidden = ini.readInteger(kValueSection, "isshow", 1) == 0;
        note.folded = ini.readInteger(kValueSection, "ismini", 0) != 0;
    } else {
        note.unreadable = true;
        note.title = cp949::decode(id);
    }

    // The last change of the text: a body is written only when it changed.
    if (const std::optional<qint64> bodyChanged = lastChangeOf(bodyPath)) {
        note.lastChange = std::max<qint64>(note.lastChange, *bodyChanged < 0 ? 0 : *bodyChanged);
        if (const std::optional<QByteArray> body = readWholeFile(bodyPath, rtf::kMaxFileSize)) {
            note.text = rtf::plainText(*body);
            note.text.squeeze();
        } else {
            note.unreadable = true;
        }
    }
    return note;
}

} // namespace stikko
