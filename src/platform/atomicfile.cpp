#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <fcntl.h>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace stikko {

namespace {

// True when `path` is a plain file that already holds exactly `bytes`. Rewriting it would
// change nothing but cost a flush to the disk; a note is written several times while it is
// opened, almost always with what its file already says.
bool alreadyHolds(const QString& path, QByteArrayView bytes) {
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink() || info.size() != bytes.size())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.readAll() == bytes;
}

struct PendingFile {
    QString path;
    QByteArray bytes;
};

// The open batch's files, in the order they were first written, and their index by path.
struct BatchState {
    std::vector<PendingFile> files;
    QHash<QString, std::size_t> index;
};
BatchState* openBatch = nullptr;

QString batchKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Writes one chunk of files: every temporary file first, their data sent to the disk together,
// then one wait per file (the first one commits the file system's journal for all), then the
// renames. Failures are added to `failed`.
void commitChunk(const std::vector<const PendingFile*>& chunk, QStringList& failed) {
    struct Staged {
        const PendingFile* file;
        std::unique_ptr<QTemporaryFile> temp;
    };
    std::vector<Staged> staged;
    staged.reserve(chunk.size());
    for (const PendingFile* file : chunk) {
        auto temp = std::make_unique<QTemporaryFile>(file->path + QStringLiteral(".XXXXXX"));
        temp->setAutoRemove(true);
        if (!temp->open() ||
            temp->write(file->bytes.constData(), file->bytes.size()) != file->bytes.size() || !temp->flush()) {
            failed << file->path;
            continue;
        }
        if (QFileInfo::exists(file->path)) {
            temp->setPermissions(QFile::permissions(file->path));
        }
#ifdef SYNC_FILE_RANGE_WRITE
        ::sync_file_range(temp->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
        staged.push_back({file, std::move(temp)});
    }
    // Each flush waits for the disk on its own; the disk serves many at once, so they are
    // issued side by side. Only the flushes run beside the GUI thread, which waits for them.
    std::vector<char> synced(staged.size(), 0);
    std::atomic<std::size_t> next{0};
    const auto flushSome = [&] {
        for (std::size_t i = next++; i < staged.size(); i = next++) {
            synced[i] = ::fdatasync(staged[i].temp->handle()) == 0 ? 1 : 0;
        }
    };
    const std::size_t helpers = std::min<std::size_t>(staged.size() / 4, 15);
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i) {
        threads.emplace_back(flushSome);
    }
    flushSome();
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (!synced[i]) {
            failed << staged[i].file->path;
            staged[i].temp.reset(); // removes the temporary file
        }
    }
    for (Staged& entry : staged) {
        if (!entry.temp) {
            continue;
        }
        const QByteArray from = QFile::encodeName(entry.temp->fileName());
        const QByteArray to = QFile::encodeName(entry.file->path);
        if (::rename(from.constData(), to.constData()) == 0) {
            entry.temp->setAutoRemove(false);
        } else {
            failed << entry.file->path;
        }
        entry.temp.reset();
    }
}

} // namespace

WriteBatch::WriteBatch() {
    if (openBatch == nullptr) {
        openBatch = new BatchState;
        outer_ = true;
    }
}

WriteBatch::~WriteBatch() {
    if (outer_) {
        commit();
        delete openBatch;
        openBatch = nullptr;
    }
}

qsizetype WriteBatch::size() const {
    return openBatch != nullptr ? static_cast<qsizetype>(openBatch->files.size()) : 0;
}

QStringList WriteBatch::commit() {
    QStringList failed;
    if (!outer_ || openBatch == nullptr) {
        return failed;
    }
    std::vector<PendingFile> files;
    files.swap(openBatch->files);
    openBatch->index.clear();
    // Chunks keep the number of open files small.
    constexpr std::size_t kChunk = 256;
    std::vector<const PendingFile*> chunk;
    for (const PendingFile& file : files) {
        if (alreadyHolds(file.path, file.bytes)) {
            continue;
        }
        chunk.push_back(&file);
        if (chunk.size() == kChunk) {
            commitChunk(chunk, failed);
            chunk.clear();
        }
    }
    if (!chunk.empty()) {
        commitChunk(chunk, failed);
    }
    return failed;
}

std::optional<QByteArray> pendingWrite(const QString& path) {
    if (openBatch == nullptr || openBatch->files.empty()) {
        return std::nullopt;
    }
    const auto it = openBatch->index.constFind(batchKey(path));
    if (it == openBatch->index.constEnd()) {
        return std::nullopt;
    }
    return openBatch->files[*it].bytes;
}

bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no file name"));
    if (openBatch != nullptr) {
        const QString key = batchKey(path);
        const auto it = openBatch->index.constFind(key);
        if (it != openBatch->index.constEnd()) {
            openBatch->files[*it].bytes = bytes.toByteArray();
        } else {
            openBatch->index.insert(key, openBatch->files.size());
            openBatch->files.push_back({path, bytes.toByteArray()});
        }
        return true;
    }
    if (alreadyHolds(path, bytes))
        return true;
    QSaveFile file(path);
    // Unbuffered, so that a failing write shows at write() itself: QSaveFile::commit() does
    // not notice a failure of the final flush of its buffer and would rename a cut file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace stikko
