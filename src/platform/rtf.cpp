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
    if (file.size() > kMaxFileSize)
        return false;
    const QByteArray bytes = file.read(kMaxFileSize + 1);
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
