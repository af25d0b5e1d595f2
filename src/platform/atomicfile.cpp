#include "platform/atomicfile.h"

#include <QSaveFile>

namespace stikko {

bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no file name"));
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
