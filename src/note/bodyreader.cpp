#include "note/bodyreader.h"

#include "platform/rtf.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextDocument>
#include <QThread>
#include <sys/stat.h>
#include <system_error>

namespace stikko {

struct BodyReader::Job {
    QString path;
    QFont font;
    NoteFiles::BodyRead file;
    std::unique_ptr<QTextDocument> document;
};

bool BodyReader::isLarge(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           qint64(info.st_size) >= kBackgroundBytes;
}

BodyReader::BodyReader(QObject* parent) : QObject(parent) {}

BodyReader::~BodyReader() {
    drop();
}

void BodyReader::start(const QString& path, const QFont& font) {
    drop();
    if (worker_.joinable())
        worker_.join();
    auto job = std::make_shared<Job>();
    job->path = path;
    job->font = font;
    job_ = job;
    QThread* home = thread();
    const auto work = [job, home] {
        job->file = NoteFiles::readBody(job->path);
        if (job->file.load.state == FileState::Loaded) {
            job->document = std::make_unique<QTextDocument>();
            job->document->setDefaultFont(job->font);
            rtf::read(job->file.load.rtf, *job->document);
            job->document->moveToThread(home); // the note's, from now on
        }
        job->file.load.rtf.clear(); // the document holds it now
    };
    const quint64 generation = ++generation_;
    try {
        worker_ = std::thread([this, work, generation] {
            work();
            QMetaObject::invokeMethod(
                this, [this, generation] { done(generation); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        work(); // no thread to be had: read here, told once the caller has returned
        worker_ = std::thread([] {});
        QMetaObject::invokeMethod(
            this, [this, generation] { done(generation); }, Qt::QueuedConnection);
    }
}

void BodyReader::done(quint64 generation) {
    if (generation != generation_ || !job_)
        return;
    // Told by the thread as its last deed: the document is complete; the thread itself is
    // joined later.
    const std::shared_ptr<Job> job = std::exchange(job_, nullptr);
    emit read(job->file, job->document.release());
}

void BodyReader::finish() {
    if (job_ && worker_.joinable())
        worker_.join();
    done(generation_);
}

void BodyReader::drop() {
    if (worker_.joinable())
        worker_.join();
    ++generation_;
    job_.reset();
}

bool BodyReader::busy() const {
    return job_ != nullptr;
}

} // namespace stikko
