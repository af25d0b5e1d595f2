#include "app/folder_lock.h"

#include <QDir>
#include <QFileInfo>

namespace stikko {

QString FolderLock::lockPathFor(const QString& dataFolder) {
    // Where the folder really is: two program folders whose data/ is one folder through a
    // symbolic link share one lock. A folder not made yet is where its parent really is.
    const QString data = QDir::cleanPath(QFileInfo(dataFolder).absoluteFilePath());
    QString real = QFileInfo(data).canonicalFilePath();
    if (real.isEmpty()) {
        const QString parent = QFileInfo(QFileInfo(data).absolutePath()).canonicalFilePath();
        real = parent.isEmpty() ? data : parent + QLatin1Char('/') + QFileInfo(data).fileName();
    }
    return QFileInfo(real).absolutePath() + QLatin1Char('/') + QFileInfo(real).fileName() +
           QStringLiteral(".lock");
}

FolderLock::FolderLock(const QString& dataFolder) : path_(lockPathFor(dataFolder)) {
    lock_ = std::make_unique<QLockFile>(path_);
    // Only a dead owner on this machine makes the lock stale, never its age: an instance may
    // run for months. A lock from another machine is never taken over.
    lock_->setStaleLockTime(0);
}

FolderLock::~FolderLock() {
    release();
}

void FolderLock::release() {
    if (held_)
        lock_->unlock();
    held_ = false;
}

FolderLock::Result FolderLock::acquire() {
    if (!held_)
        held_ = lock_->tryLock(0);
    if (held_)
        return Result::Acquired;
    return lock_->error() == QLockFile::LockFailedError ? Result::HeldElsewhere : Result::Unavailable;
}

QString FolderLock::holder() const {
    qint64 pid = 0;
    QString host, application;
    if (!lock_->getLockInfo(&pid, &host, &application))
        return QStringLiteral("another program");
    return QStringLiteral("pid %1 on %2").arg(pid).arg(host);
}

} // namespace stikko
