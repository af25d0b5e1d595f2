#include "store/noteindexreader.h"

#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/rtf.h"

#include <QFile>
#include <cerrno>
#include <ctime>
#include <sys/stat.h>
#include <system_error>

namespace stikko {

namespace {

// Notes read are handed over this many at a time: a search typed meanwhile fills in as they
// come, and the GUI thread takes each handful in a moment.
constexpr qsizetype kBatch = 64;

std::chrono::nanoseconds threadTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
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

IndexedNote NoteIndexReader::noteOf(const NoteFacts& facts) {
    IndexedNote note;
    note.id = facts.id;
    // A record without a title is listed as the find window lists such a note, by its text.
    note.title = facts.titled ? cp949::decode(facts.title) : QString();
    note.lastChange = facts.changedMs;
    note.hidden = !facts.shown();
    note.folded = facts.ismini != 0;
    note.unreadable = !facts.readable;
    note.bodyStamp = facts.bodyChangedNs;
    return note;
}

void NoteIndexReader::readAll(std::vector<IndexedNote> notes) {
    readingAll_ = true;
    index_.setComplete(false);
    ask({true, std::move(notes), index_.now()});
}

void NoteIndexReader::read(std::vector<IndexedNote> notes) {
    if (!notes.empty())
        ask({false, std::move(notes), index_.now()});
}

void NoteIndexReader::ask(Job job) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (worker_.joinable()) {
            wake_.notify_one();
            return;
        }
        try {
            worker_ = std::thread([this] { work(); });
            return;
        } catch (const std::system_error&) {
            // No thread to be had: the bodies are read here and now.
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
    }
    run(job);
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
        run(job);
    }
}

void NoteIndexReader::run(Job& job) {
    const std::chrono::nanoseconds started = threadTime();
    const qsizetype total = qsizetype(job.notes.size());
    std::vector<NoteIndex::Entry> entries;
    qsizetype done = 0;
    for (IndexedNote& note : job.notes) {
        {
            const std::lock_guard lock(mutex_);
            if (stop_)
                return;
        }
        readBody(folder_, note);
        entries.push_back(NoteIndex::entryFor(std::move(note)));
        ++done;
        if (qsizetype(entries.size()) >= kBatch && done < total)
            deliver(std::exchange(entries, {}), job.askedAt, job.all ? done : -1, total, false);
    }
    if (!job.all) {
        deliver(std::move(entries), job.askedAt, -1, -1, false);
        return;
    }
    const std::chrono::nanoseconds took = threadTime() - started;
    QMetaObject::invokeMethod(
        this, [this, took] { lastReadAllTime_ = took; }, Qt::QueuedConnection);
    deliver(std::move(entries), job.askedAt, done, total, true);
}

void NoteIndexReader::deliver(std::vector<NoteIndex::Entry> entries, quint64 askedAt, qsizetype done,
                              qsizetype total, bool last) {
    // Queued to this object: what is still on its way when the reader goes is dropped with it.
    QMetaObject::invokeMethod(
        this,
        [this, entries = std::move(entries), askedAt, done, total, last]() mutable {
            if (done >= 0)
                index_.setProgress(done, total);
            index_.putRead(std::move(entries), askedAt);
            if (last) {
                readingAll_ = false;
                index_.setComplete(true);
                emit readAllDone();
            }
        },
        Qt::QueuedConnection);
}

void NoteIndexReader::readBody(const QString& dataFolder, IndexedNote& note) {
    const QString path = dataFolder + cp949::decode(note.id) + QStringLiteral(".rtf");
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        // A note without a body has no text; one that cannot be looked at is marked.
        if (errno != ENOENT && errno != ENOTDIR)
            note.unreadable = true;
        return;
    }
    // Only a plain file is read: a fifo would hold the reader for good.
    const std::optional<QByteArray> body =
        S_ISREG(info.st_mode) ? readWholeFile(path, rtf::kMaxFileSize) : std::nullopt;
    if (!body) {
        note.unreadable = true;
        return;
    }
    note.text = rtf::plainText(*body);
    note.text.squeeze();
}

} // namespace stikko
