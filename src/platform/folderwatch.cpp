#include "platform/folderwatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace stikko {

namespace {

// In the folder: files made, written in place, closed after writing, renamed in or out,
// removed, their modes or times changed; and the folder itself going away.
constexpr quint32 kFolderEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                  IN_DELETE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// In the folder that holds it: the folder made or moved in.
constexpr quint32 kParentEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

QString reason(const QString& folder, int error) {
    return QStringLiteral("cannot watch %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

FolderWatch::FolderWatch(QObject* parent) : QObject(parent) {}

FolderWatch::~FolderWatch() {
    stop();
}

bool FolderWatch::start(const QString& folder, QString* error) {
    stop();
    folder_ = QDir::cleanPath(folder);
    parent_ = QFileInfo(folder_).path();
    leaf_ = QFileInfo(folder_).fileName();

    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        if (error)
            *error = reason(folder_, errno);
        return false;
    }
    parentWatch_ = ::inotify_add_watch(fd_, QFile::encodeName(parent_).constData(), kParentEvents);
    const int parentErrno = errno;
    if (!watchFolder() && parentWatch_ < 0) {
        if (error)
            *error = reason(folder_, parentErrno);
        stop();
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &FolderWatch::readEvents);
    return true;
}

void FolderWatch::stop() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = folderWatch_ = parentWatch_ = -1;
}

bool FolderWatch::watchFolder() {
    const int watch = ::inotify_add_watch(fd_, QFile::encodeName(folder_).constData(), kFolderEvents);
    if (watch < 0)
        return false;
    // The same folder keeps its watch; the one of a folder replaced by another goes.
    if (watch != folderWatch_ && folderWatch_ >= 0)
        ::inotify_rm_watch(fd_, folderWatch_);
    folderWatch_ = watch;
    return true;
}

void FolderWatch::readEvents() {
    ++wakeups_;
    alignas(inotify_event) char buffer[16 * 1024];
    // A receiver may stop the watch: nothing more is told then.
    while (fd_ >= 0) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break;
        for (const char* at = buffer; at < buffer + length && fd_ >= 0;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                emit eventsLost();
                continue;
            }
            const QString name = event->len ? QFile::decodeName(event->name) : QString();
            if (event->wd == parentWatch_) {
                const int before = folderWatch_;
                if (name == leaf_ && watchFolder() && folderWatch_ != before)
                    emit folderBack();
                continue;
            }
            if (event->wd != folderWatch_ || folderWatch_ < 0)
                continue;
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                ::inotify_rm_watch(fd_, folderWatch_);
                folderWatch_ = -1;
                emit folderGone();
                continue;
            }
            if (name.isEmpty() || (event->mask & IN_ISDIR))
                continue;
            if (event->mask & (IN_CREATE | IN_MODIFY))
                emit nameChanged(name, Change::Writing);
            else if (event->mask & IN_ATTRIB)
                emit nameChanged(name, Change::Attributes);
            else
                emit nameChanged(name, Change::Settled);
        }
    }
    if (fd_ >= 0)
        emit eventsRead();
}

} // namespace stikko
