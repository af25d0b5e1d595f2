#pragma once
// Writing a whole file so that a crash, a full disk or a refused write never leaves it half
// written: the bytes go to a temporary file in the same folder, which then replaces the old
// file in one rename. On any failure the old file is left exactly as it was.

#include <QByteArrayView>
#include <QString>

namespace stikko {

// Replaces `path` with `bytes`. Creates no folders. Returns false (and, if `error` is given,
// a reason) when the file could not be written in full.
bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error = nullptr);

} // namespace stikko
