#include "platform/rtf.h"

#include "platform/atomicfile.h"

#include <QFile>
#include <QTextDocument>

namespace stikko::rtf {

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
    return writeFileAtomically(path, write(document), error);
}

} // namespace stikko::rtf
