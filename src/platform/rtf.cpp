#include "platform/rtf.h"

#include "platform/atomicfile.h"

#include <QFile>
#include <QTextDocument>

namespace stikko::rtf {

bool loadFile(const QString& path, QTextDocument& document) {
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxFileSize);
    if (!bytes)
        return false;
    read(*bytes, document);
    return true;
}

QString plainText(const QByteArray& bytes) {
    QTextDocument document;
    read(bytes, document);
    return document.toPlainText();
}

bool saveFile(const QString& path, const QTextDocument& document, QString* error) {
    return writeFileAtomically(path, write(document), error);
}

} // namespace stikko::rtf
