// Fixed fields and the title buffer on arbitrary bytes: never overrun, never split a
// double-byte character, and keep a prefix of what they were given.
#include "platform/codepage.h"
#include "store/subfunction.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
// True when walking `bytes` character by character ends exactly at its end.
bool endsOnBoundary(QByteArrayView bytes) {
    qsizetype pos = 0;
    while (pos < bytes.size())
        pos += stikko::cp949::isLeadByte(static_cast<unsigned char>(bytes[pos])) ? 2 : 1;
    return pos == bytes.size();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int limit = static_cast<int8_t>(data[0]) * 3; // -384 .. 381
    const QByteArray text(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const QByteArray cstring =
        text.left(static_cast<qsizetype>(strnlen(text.constData(), static_cast<std::size_t>(text.size()))));

    char field[21];
    stikko::cp949::copyToField(field, text);
    const QByteArray copied(field);
    if (!cstring.startsWith(copied) || copied.size() > 20)
        std::abort();
    if (copied.size() < cstring.size() && (!endsOnBoundary(copied) || cstring.size() - copied.size() < 1))
        std::abort();

    const QByteArray truncated(stikko::TruncateText(cstring.constData(), limit));
    if (truncated.size() > std::max(0, std::min(limit, 255)) || !cstring.contains(truncated))
        std::abort();

    (void)stikko::cp949::encode(stikko::cp949::decode(text));
    return 0;
}
