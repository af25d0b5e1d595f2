#include "platform/rtf.h"

#include <QFile>
#include <QSaveFile>
#include <QTextDocument>

namespace stikko::rtf {

namespace {
// A note body is a few kilobytes; anything near this is not one and is not read into memory.
constexpr qint64 kMaxFileSize = qint64(256) << 20;
} // namespace

bool loadFile(const QString& path, QTextDocument& document) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    if (size > kMaxFileSize)
        return false;
    // Asking for the whole limit at once would reserve (and then give back) that much memory
    // for every note read; the file's own size plus one byte shows whether it grew meanwhile.
    QByteArray bytes = file.read(size + 1);
    if (bytes.size() > size && file.error() == QFileDevice::NoError)
        bytes += file.read(kMaxFileSize + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxFileSize)
        return false;
    read(bytes, document);
    return true;
}

bool saveFile(const QString& path, const QTextDocument& document, QString* error) {
    const QByteArray bytes = write(document);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace stikko::rtf
