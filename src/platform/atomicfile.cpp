#include "platform/atomicfile.h"

#include "platform/appenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace stikko {

namespace {

QString systemError(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

// The file a write of `path` replaces: a symbolic link is kept, and the file it points to is
// the one rewritten, as the user who made the link expects.
QString writeTarget(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : path;
}

// The mode a new file gets: what the user's umask leaves of rw-rw-rw-.
mode_t newFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// A temporary file beside `target` (see isTemporaryFileName), with the mode the target has (or
// a new file would get). Null, with a reason, when it cannot be made or the target must not be
// replaced.
std::unique_ptr<QTemporaryFile> openTemporary(const QString& target, QString* reason) {
    struct stat old {};
    const bool exists = ::stat(QFile::encodeName(target).constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        *reason = QStringLiteral("%1 is not a plain file").arg(target);
        return nullptr;
    }
    // A file the user made read-only stays as it is, although its folder would allow replacing it.
    if (exists && ::access(QFile::encodeName(target).constData(), W_OK) != 0) {
        *reason = QStringLiteral("%1: %2").arg(target, systemError(errno));
        return nullptr;
    }
    const QFileInfo info(target);
    auto temp = std::make_unique<QTemporaryFile>(info.path() + QStringLiteral("/.") + info.fileName() +
                                                 QStringLiteral(".stikko-XXXXXX.tmp"));
    temp->setAutoRemove(true);
    if (!temp->open()) {
        *reason = temp->errorString();
        return nullptr;
    }
    ::fchmod(temp->handle(), exists ? (old.st_mode & 07777) : newFileMode());
    return temp;
}

// Puts every byte of `bytes` into the open file through the writer in use. False, with a
// reason, when the writer fails or stops making progress, or when the file does not come out
// exactly as long as `bytes` (a writer that claims more than it wrote is caught here).
bool writeAllBytes(int fd, QByteArrayView bytes, QString* reason) {
    const env::Environment& environment = env::current();
    qint64 done = 0;
    const qint64 size = bytes.size();
    while (done < size) {
        errno = 0;
        const qint64 written = environment.writeToFile(fd, bytes.data() + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            *reason = systemError(errno);
            return false;
        }
        if (written == 0) {
            *reason = QStringLiteral("no more bytes could be written");
            return false;
        }
        done += written;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size != size) {
        *reason = QStringLiteral("the file came out %1 bytes long instead of %2").arg(info.st_size).arg(size);
        return false;
    }
    return true;
}

// True when `path` is a plain file that already holds exactly `bytes`. Rewriting it would
// change nothing but cost a flush to the disk; a note opened at start writes its record, which
// its file almost always holds already.
bool alreadyHolds(const QString& path, QByteArrayView bytes) {
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink() || info.size() != bytes.size())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.readAll() == bytes;
}

} // namespace

std::optional<QByteArray> readWholeFile(const QString& path, qint64 limit) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size > limit)
        return std::nullopt;
    // Asking for the whole limit at once would reserve (and then give back) that much memory
    // for every file read; the file's own size plus one byte shows whether it grew meanwhile.
    QByteArray bytes = file.read(size + 1);
    if (bytes.size() > size && file.error() == QFileDevice::NoError)
        bytes += file.read(limit + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError || bytes.size() > limit)
        return std::nullopt;
    return bytes;
}

namespace {

// A file's new bytes, written into a temporary beside the file they replace and not yet
// flushed to the disk.
struct Staged {
    std::unique_ptr<QTemporaryFile> temp;
    QString target;
};

// Writes `bytes` into a temporary file beside the file `path` names; nothing, with a reason,
// when that cannot be done.
std::optional<Staged> stageFile(const QString& path, QByteArrayView bytes, QString* reason) {
    if (path.isEmpty()) {
        *reason = QStringLiteral("no file name");
        return std::nullopt;
    }
    Staged staged{nullptr, writeTarget(path)};
    staged.temp = openTemporary(staged.target, reason);
    if (!staged.temp || !writeAllBytes(staged.temp->handle(), bytes, reason))
        return std::nullopt; // the temporary, if any, goes with it
    return staged;
}

// Puts a temporary whose bytes are on the disk in the place of its target.
bool commit(Staged& staged, QString* reason) {
    staged.temp->close();
    if (::rename(QFile::encodeName(staged.temp->fileName()).constData(),
                 QFile::encodeName(staged.target).constData()) != 0) {
        *reason = systemError(errno);
        return false;
    }
    staged.temp->setAutoRemove(false);
    return true;
}

} // namespace

bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!path.isEmpty() && alreadyHolds(path, bytes))
        return true;
    QString reason;
    std::optional<Staged> staged = stageFile(path, bytes, &reason);
    if (!staged)
        return fail(reason);
    if (::fdatasync(staged->temp->handle()) != 0)
        return fail(systemError(errno));
    if (!commit(*staged, &reason))
        return fail(reason);
    return true;
}

StagedWrites::StagedWrites(std::vector<AtomicWrite> files)
    : files_(std::move(files)), temps_(files_.size()), targets_(files_.size()) {}

StagedWrites::~StagedWrites() {
    for (std::size_t i = 0; i < files_.size(); ++i)
        discard(i);
}

void StagedWrites::stage() {
    // A chunk's temporaries are all open at once until flushed: a few dozen at a time keep a
    // thousand notes within the process's limit of open files. Flushed, each is closed and
    // waits by its name.
    constexpr std::size_t kChunk = 64;
    for (std::size_t first = 0; first < files_.size(); first += kChunk) {
        const std::size_t count = std::min(kChunk, files_.size() - first);
        // The bytes go out here, through the writer in use; only the flushes leave this thread.
        std::vector<std::optional<Staged>> staged(count);
        for (std::size_t i = 0; i < count; ++i) {
            AtomicWrite& file = files_[first + i];
            file.error.clear();
            file.written = false;
            staged[i] = stageFile(file.path, file.bytes, &file.error);
        }
        // Each flush waits for the disk, which takes many at once: a few threads share them out.
        std::vector<int> flushErrors(count, 0);
        std::atomic<std::size_t> next{0};
        const auto flushSome = [&] {
            for (std::size_t i = next++; i < count; i = next++) {
                if (staged[i] && ::fdatasync(staged[i]->temp->handle()) != 0)
                    flushErrors[i] = errno;
            }
        };
        constexpr std::size_t kMaxHelpers = 15;
        std::vector<std::thread> helpers;
        for (std::size_t i = 0; i < std::min(count / 4, kMaxHelpers); ++i) {
            try {
                helpers.emplace_back(flushSome);
            } catch (const std::system_error&) {
                break; // no thread to be had: the ones there are (this one at least) do the rest
            }
        }
        flushSome();
        for (std::thread& helper : helpers)
            helper.join();
        for (std::size_t i = 0; i < count; ++i) {
            if (!staged[i])
                continue;
            if (flushErrors[i] != 0) {
                files_[first + i].error = systemError(flushErrors[i]);
                continue; // the temporary goes with its object
            }
            staged[i]->temp->close();
            staged[i]->temp->setAutoRemove(false);
            temps_[first + i] = staged[i]->temp->fileName();
            targets_[first + i] = staged[i]->target;
        }
    }
}

bool StagedWrites::commit(std::size_t i) {
    AtomicWrite& file = files_[i];
    if (temps_[i].isEmpty())
        return file.written;
    // Each file is renamed into place only when its own bytes are on the disk.
    if (::rename(QFile::encodeName(temps_[i]).constData(), QFile::encodeName(targets_[i]).constData()) != 0) {
        file.error = systemError(errno);
        discard(i);
        return false;
    }
    temps_[i].clear();
    file.written = true;
    return true;
}

void StagedWrites::discard(std::size_t i) {
    if (temps_[i].isEmpty())
        return;
    ::unlink(QFile::encodeName(temps_[i]).constData());
    temps_[i].clear();
}

namespace {

// The name of the file a temporary of this writer named `fileName` was to replace; empty for
// any other name.
QString writtenFileName(const QString& fileName) {
    // The name openTemporary gives; the random part is letters and digits, whichever of them
    // the temporary file draws on.
    static const QRegularExpression pattern(QStringLiteral("^\\.(.+)\\.stikko-[A-Za-z0-9]{6}\\.tmp$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

bool isTemporaryFileName(const QString& fileName) {
    return !writtenFileName(fileName).isEmpty();
}

int removeLeftoverTemporaries(const QString& folder, const QStringList& suffixes) {
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString written = writtenFileName(name);
        const bool ours = !written.isEmpty() &&
                          std::any_of(suffixes.cbegin(), suffixes.cend(),
                                      [&](const QString& suffix) { return written.endsWith(suffix); });
        if (ours && QFile::remove(QDir(folder).filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace stikko
