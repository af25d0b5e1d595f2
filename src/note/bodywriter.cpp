#include "note/bodywriter.h"

#include "platform/rtf.h"

#include <QTextDocument>
#include <QTimer>
#include <limits>
#include <system_error>

namespace stikko {

namespace {
// Each slice of the copy takes about this long: the program answers in between.
constexpr qint64 kSliceMs = 10;
} // namespace

struct BodyWriter::Job {
    BodySnapshot copy;
    NoteFiles::BodyWrite write;
};

BodyWriter::BodyWriter(QTextDocument* body, QObject* parent)
    : QObject(parent), capture_(body, this), slices_(new QTimer(this)) {
    slices_->setInterval(0);
    connect(slices_, &QTimer::timeout, this, &BodyWriter::slice);
}

BodyWriter::~BodyWriter() {
    drop();
}

void BodyWriter::start(Prepare prepare) {
    if (busy())
        return;
    prepare_ = std::move(prepare);
    copying_ = true;
    capture_.restart();
    slice();
}

void BodyWriter::slice() {
    if (!copying_)
        return;
    if (!capture_.step(kSliceMs)) {
        slices_->start();
        return;
    }
    slices_->stop();
    copied();
}

void BodyWriter::copied() {
    copying_ = false;
    auto job = std::make_shared<Job>();
    job->copy = capture_.take();
    const std::optional<NoteFiles::BodyWrite> write = prepare_ ? prepare_(job->copy) : std::nullopt;
    if (!write)
        return;
    job->write = *write;
    job_ = job;
    const quint64 generation = ++generation_;
    const auto work = [job] {
        QByteArray bytes;
        {
            const std::unique_ptr<QTextDocument> document = job->copy.toDocument();
            bytes = rtf::write(*document);
        }
        job->copy = BodySnapshot();
        NoteFiles::writeBody(job->write, bytes);
    };
    writing_ = true;
    if (worker_.joinable())
        worker_.join(); // the last one, long done
    try {
        worker_ = std::thread([this, work, generation] {
            work();
            QMetaObject::invokeMethod(
                this, [this, generation] { done(generation); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        work(); // no thread to be had: written here
        done(generation);
    }
}

std::optional<NoteFiles::BodyWrite> BodyWriter::takeIn(bool wait) {
    if (!writing_)
        return std::nullopt;
    // Told by the thread as its last deed: its result is complete, and the thread itself is
    // joined later (its end can take a while that the program need not wait).
    if (wait && worker_.joinable())
        worker_.join();
    writing_ = false;
    const std::shared_ptr<Job> job = std::exchange(job_, nullptr);
    // The files' owner learns of the write whatever becomes of the note.
    noteFiles().bodyWritten(job->write);
    return job->write;
}

void BodyWriter::done(quint64 generation) {
    if (generation != generation_)
        return; // taken in already (finish), or dropped
    if (const std::optional<NoteFiles::BodyWrite> write = takeIn(false))
        emit written(*write);
}

void BodyWriter::finish() {
    if (copying_) {
        slices_->stop();
        capture_.step(std::numeric_limits<qint64>::max());
        copied();
    }
    if (const std::optional<NoteFiles::BodyWrite> write = takeIn(true)) {
        ++generation_; // its queued report is told here
        emit written(*write);
    }
}

void BodyWriter::drop() {
    slices_->stop();
    copying_ = false;
    capture_.restart();
    if (takeIn(true))
        ++generation_; // what came of it is not told
    if (worker_.joinable())
        worker_.join();
}

} // namespace stikko
