#include "app/single_instance.h"

#include <QDir>
#include <QStandardPaths>

namespace stikko {

SingleInstance::SingleInstance(const QString& folder) {
    QString base = folder;
    if (base.isEmpty()) {
        base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (base.isEmpty()) {
        base = QDir::tempPath();
    }
    QDir().mkpath(base);
    path_ = QDir(base).filePath(QString::fromLatin1(kName) + QStringLiteral(".lock"));
    channelPath_ = QDir(base).filePath(QString::fromLatin1(kName) + QStringLiteral(".socket"));
    lock_ = std::make_unique<QLockFile>(path_);
    // Only a dead owner makes the lock stale; age alone must not, or a long-running instance
    // would lose its marker after the default thirty seconds.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    release();
}

void SingleInstance::release() {
    if (held_) {
        lock_->unlock();
    }
    held_ = false;
}

SingleInstance::Result SingleInstance::acquire() {
    if (!held_) {
        // tryLock removes a lock whose owner process is gone and takes it.
        held_ = lock_->tryLock(0);
    }
    if (held_) {
        return Result::Acquired;
    }
    return lock_->error() == QLockFile::LockFailedError ? Result::HeldElsewhere : Result::Unavailable;
}

} // namespace stikko
