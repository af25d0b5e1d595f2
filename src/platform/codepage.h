#pragma once
// Code page 949 (Korean): the byte strings of note records and RTF bodies.
// Convert through these functions, not QStringEncoder("CP949") directly: under ICU that name
// is IBM's table (backslash as 0x82, no extended Hangul syllables); these use Windows' table.

#include <QByteArray>
#include <QString>
#include <cstddef>

namespace stikko::cp949 {

// True for a byte that begins a double-byte character (0x81-0xFE).
bool isLeadByte(unsigned char byte);
// True when every byte is below 0x80: ASCII, which reads the same in every code page the
// program knows. Most fields and much text are: making a converter costs far more than
// converting a short field.
bool isAscii(QByteArrayView bytes);

// CP949 bytes to text; bytes that are not CP949 become U+FFFD.
QString decode(QByteArrayView bytes);
// Text to CP949 bytes; characters without a CP949 form become '?'.
QByteArray encode(QStringView text);
// True when `bytes` decode as CP949 without error.
bool isValid(QByteArrayView bytes);
// The longest head of `text` whose CP949 form (as encode gives it) takes at most `limit`
// bytes; a character, surrogate pair included, is never split.
QStringView headWithin(QStringView text, qsizetype limit);

// Copies `bytes` into a fixed field of `capacity` bytes (terminator included): cut so it
// never overruns and never ends on the lead byte of a split character; always terminated.
void copyToField(char* field, std::size_t capacity, QByteArrayView bytes);
template <std::size_t N> void copyToField(char (&field)[N], QByteArrayView bytes) {
    copyToField(field, N, bytes);
}
// Same, from text.
template <std::size_t N> void copyToField(char (&field)[N], QStringView text) {
    copyToField(field, N, encode(text));
}
// The bytes of a zero-terminated field of `capacity` bytes, up to its terminator (never past
// the field).
QByteArrayView fieldBytes(const char* field, std::size_t capacity);
template <std::size_t N> QByteArrayView fieldBytes(const char (&field)[N]) {
    return fieldBytes(field, N);
}
// The text of a zero-terminated field (never reads past the field).
template <std::size_t N> QString fieldText(const char (&field)[N]) {
    return decode(fieldBytes(field, N));
}

} // namespace stikko::cp949
