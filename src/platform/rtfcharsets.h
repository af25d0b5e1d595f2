#pragma once
// Code pages as RTF names them: a font's \fcharset or \cpg, the document's \ansicpg. Used by the
// RTF reader and writer only; note records use the CP949 codec in codepage.h.

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <vector>

namespace stikko::rtf::detail {

// The Windows code page of a font character set, or 0 when the set names none (DEFAULT_CHARSET
// and unknown sets: the document's code page applies). Symbol fonts give kSymbolCodePage.
int codePageForCharset(int charset);
constexpr int kSymbolCodePage = 42;

// True when `codePage` is a double-byte code page and `byte` begins a two-byte character in it.
bool isLeadByte(int codePage, unsigned char byte);

// Decodes text in the code pages one document uses; each decoder is made once.
class Decoders {
  public:
    // Undecodable bytes and a lead byte cut off at the end become U+FFFD.
    QString decode(int codePage, QByteArrayView bytes);

  private:
    struct Entry {
        int codePage;
        QStringDecoder decoder;
    };
    std::vector<Entry> entries_;
};

// The CP949 double-byte code of `ch` (lead byte << 8 | trail byte), or 0 when `ch` is ASCII or
// has no CP949 form that decodes back to it.
std::uint16_t cp949Code(char16_t ch);

// True when `bytes` read as CP949 text: ASCII and well-formed double-byte characters only, none
// of which decodes to a control or private-use character. (Windows' table maps stray bytes such as
// 0x80 and 0xFF to such characters without reporting an error, so the decoder alone cannot tell.)
bool isPlausibleCp949(QByteArrayView bytes);

// The Windows CP949 decoder (ICU's "CP949" is IBM's variant, a different table).
QStringDecoder makeCp949Decoder();

} // namespace stikko::rtf::detail
