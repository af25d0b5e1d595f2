#include "platform/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstring>

namespace stikko::cp949 {
namespace {

// ICU knows two tables under similar names. "CP949" resolves to IBM's 949, which maps the
// backslash to 0x82 and lacks the extended Hangul syllables (U+B620 becomes a wrong pair).
// The Windows table is "windows-949"; fall back to the other names only if ICU lacks it.
const char* codecName() {
    static const char* const name = [] {
        for (const char* candidate : {"windows-949", "windows-949-2000", "CP949"}) {
            if (QStringEncoder(candidate).isValid())
                return candidate;
        }
        return "CP949";
    }();
    return name;
}

// Length of the longest prefix of `bytes` (at most `limit` bytes) that ends on a character
// boundary. Lead and trail ranges overlap, so boundaries are found by walking from the start.
qsizetype boundaryAtMost(QByteArrayView bytes, qsizetype limit) {
    qsizetype pos = 0;
    while (pos < limit && pos < bytes.size()) {
        const qsizetype len = isLeadByte(static_cast<unsigned char>(bytes[pos])) ? 2 : 1;
        if (pos + len > limit)
            break;
        pos += len;
    }
    return pos;
}

// True when the last character of `bytes` is a lead byte with no trail byte after it.
bool endsInsideCharacter(QByteArrayView bytes) {
    qsizetype pos = 0;
    while (pos < bytes.size())
        pos += isLeadByte(static_cast<unsigned char>(bytes[pos])) ? 2 : 1;
    return pos > bytes.size();
}

// Text all in ASCII, which encodes without a converter (see isAscii for bytes).
bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

bool isLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool isAscii(QByteArrayView bytes) {
    unsigned char any = 0;
    for (const char c : bytes)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

QString decode(QByteArrayView bytes) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(codecName());
    QString text = decoder.decode(bytes);
    // The decoder keeps a dangling lead byte for a next chunk that never comes.
    if (endsInsideCharacter(bytes))
        text += QChar(QChar::ReplacementCharacter);
    return text;
}

QByteArray encode(QStringView text) {
    if (isAscii(text))
        return text.toLatin1();
    QStringEncoder encoder(codecName());
    return encoder.encode(text);
}

QStringView headWithin(QStringView text, qsizetype limit) {
    if (isAscii(text))
        return text.left(std::max<qsizetype>(limit, 0));
    // Each character on its own: one without a CP949 form takes the one byte of its '?'.
    QStringEncoder encoder(codecName());
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype length =
            text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate() ? 2 : 1;
        const QStringView character = text.sliced(end, length);
        bytes += character.front().unicode() < 0x80 ? 1 : QByteArray(encoder.encode(character)).size();
        if (bytes > limit)
            break;
        end += length;
    }
    return text.left(end);
}

bool isValid(QByteArrayView bytes) {
    if (isAscii(bytes))
        return true;
    if (endsInsideCharacter(bytes))
        return false;
    QStringDecoder decoder(codecName());
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QByteArrayView fieldBytes(const char* field, std::size_t capacity) {
    const void* end = std::memchr(field, '\0', capacity);
    return QByteArrayView(field,
                          end ? static_cast<const char*>(end) - field : static_cast<qsizetype>(capacity));
}

void copyToField(char* field, std::size_t capacity, QByteArrayView bytes) {
    if (!field || capacity == 0)
        return;
    // A field is a C string: nothing after an embedded NUL could be read back anyway.
    const char* data = bytes.data();
    qsizetype size = bytes.size();
    if (const void* nul = size > 0 ? std::memchr(data, '\0', static_cast<std::size_t>(size)) : nullptr)
        size = static_cast<const char*>(nul) - data;
    const auto room = static_cast<qsizetype>(capacity - 1);
    qsizetype length = size;
    if (size > room)
        length = boundaryAtMost(QByteArrayView(data, size), room);
    if (length > 0)
        std::memmove(field, data, static_cast<std::size_t>(length)); // the source may be the field
    // Zero the rest so that records compare and copy byte for byte.
    std::memset(field + length, 0, capacity - static_cast<std::size_t>(length));
}

} // namespace stikko::cp949
