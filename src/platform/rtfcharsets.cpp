#include "platform/rtfcharsets.h"

#include "platform/codepage.h"

#include <QList>

#include <array>
#include <memory>

namespace stikko::rtf::detail {

int codePageForCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252; // ANSI
    case 2:
        return kSymbolCodePage;
    case 77:
        return 10000; // Mac Roman
    case 78:
        return 10001; // Mac Japanese
    case 79:
        return 10003; // Mac Korean
    case 80:
        return 10008; // Mac Simplified Chinese
    case 81:
        return 10002; // Mac Traditional Chinese
    case 128:
        return 932; // Shift-JIS
    case 129:
        return 949; // Hangul
    case 130:
        return 1361; // Johab
    case 134:
        return 936; // GB2312 / GBK
    case 136:
        return 950; // Big5
    case 161:
        return 1253; // Greek
    case 162:
        return 1254; // Turkish
    case 163:
        return 1258; // Vietnamese
    case 177:
        return 1255; // Hebrew
    case 178:
        return 1256; // Arabic
    case 186:
        return 1257; // Baltic
    case 204:
        return 1251; // Cyrillic
    case 222:
        return 874; // Thai
    case 238:
        return 1250; // Central European
    case 254:
        return 437; // PC 437
    case 255:
        return 850; // OEM
    default:
        return 0; // DEFAULT_CHARSET and unknown sets
    }
}

bool isLeadByte(int codePage, unsigned char byte) {
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    case 1361:
        return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) ||
               (byte >= 0xE0 && byte <= 0xF9);
    default:
        return false;
    }
}

namespace {

const char* decoderName(int codePage) {
    switch (codePage) {
    case 932:
        return "windows-31j";
    case 936:
        return "windows-936";
    case 949:
        return "windows-949";
    case 950:
        return "windows-950";
    case 874:
        return "windows-874";
    case 1250:
        return "windows-1250";
    case 1251:
        return "windows-1251";
    case 1252:
        return "windows-1252";
    case 1253:
        return "windows-1253";
    case 1254:
        return "windows-1254";
    case 1255:
        return "windows-1255";
    case 1256:
        return "windows-1256";
    case 1257:
        return "windows-1257";
    case 1258:
        return "windows-1258";
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    case 10000:
        return "macintosh";
    case 65001:
        return "UTF-8";
    default:
        return nullptr;
    }
}

// Where a double-byte buffer ends in the middle of a character, the length of its complete part.
qsizetype completePrefix(int codePage, QByteArrayView bytes) {
    const qsizetype n = bytes.size();
    if (!isLeadByte(codePage, 0x81)) // every double-byte code page leads with 0x81; others have no pairs
        return n;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype i = 0;
    if (codePage == 936 || codePage == 949 || codePage == 950) {
        while (i < n)
            i += p[i] >= 0x81 && p[i] <= 0xFE ? 2 : 1;
    } else {
        while (i < n)
            i += isLeadByte(codePage, p[i]) ? 2 : 1;
    }
    return i == n ? n : n - 1;
}

} // namespace

QStringDecoder makeCp949Decoder() {
    QStringDecoder decoder("windows-949", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        decoder = QStringDecoder("windows-949-2000", QStringDecoder::Flag::Stateless);
    return decoder;
}

QString Decoders::decode(int codePage, QByteArrayView bytes) {
    if (bytes.isEmpty())
        return {};
    // Plain ASCII reads the same in every code page the table below knows.
    if (cp949::isAscii(bytes) && codePage != kSymbolCodePage)
        return QString::fromLatin1(bytes);
    if (codePage == kSymbolCodePage) {
        // Symbol fonts draw their own glyphs; the bullet is the one character they carry here.
        QString text = QString::fromLatin1(bytes);
        for (QChar& ch : text)
            if (ch.unicode() == 0xB7)
                ch = QChar(0x2022);
        return text;
    }
    QStringDecoder* decoder = nullptr;
    for (Entry& entry : entries_)
        if (entry.codePage == codePage)
            decoder = &entry.decoder;
    if (!decoder) {
        QStringDecoder made;
        if (codePage == 949) {
            made = makeCp949Decoder();
        } else if (const char* name = decoderName(codePage)) {
            made = QStringDecoder(name, QStringDecoder::Flag::Stateless);
        }
        if (!made.isValid())
            made = QStringDecoder("windows-1252", QStringDecoder::Flag::Stateless);
        entries_.push_back({codePage, std::move(made)});
        decoder = &entries_.back().decoder;
    }
    if (!decoder->isValid())
        return QString::fromLatin1(bytes);
    const qsizetype complete = completePrefix(codePage, bytes);
    QString text = (*decoder)(bytes.first(complete));
    if (complete < bytes.size())
        text += QChar(QChar::ReplacementCharacter);
    return text;
}

namespace {

// Built once from the decoder: every valid double-byte code in turn, the first code of each
// character wins. Decoding all candidates in one call keeps this well under a millisecond.
std::unique_ptr<std::array<std::uint16_t, 0x10000>> buildCp949Table() {
    auto table = std::make_unique<std::array<std::uint16_t, 0x10000>>();
    table->fill(0);
    QByteArray candidates;
    candidates.reserve(126 * 190 * 3);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x41; trail <= 0xFE; ++trail) {
            candidates.append(char(lead));
            candidates.append(char(trail));
            candidates.append('\n');
        }
    }
    QStringDecoder decoder = makeCp949Decoder();
    if (!decoder.isValid())
        return table;
    const QString decoded = decoder(candidates);
    const QList<QStringView> pieces = QStringView(decoded).split(u'\n');
    qsizetype index = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x41; trail <= 0xFE; ++trail, ++index) {
            if (index >= pieces.size())
                return table;
            const QStringView piece = pieces[index];
            if (piece.size() != 1)
                continue;
            const char16_t ch = piece[0].unicode();
            if (ch < 0x80 || ch == 0xFFFD || QChar::isSurrogate(ch))
                continue;
            if ((*table)[ch] == 0)
                (*table)[ch] = static_cast<std::uint16_t>(lead << 8 | trail);
        }
    }
    return table;
}

bool isUnwantedCharacter(char16_t ch) {
    return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F) || (ch >= 0xE000 && ch <= 0xF8FF) || ch == 0xFFFD;
}

} // namespace

std::uint16_t cp949Code(char16_t ch) {
    static const std::unique_ptr<std::array<std::uint16_t, 0x10000>> table = buildCp949Table();
    return (*table)[ch];
}

bool isPlausibleCp949(QByteArrayView bytes) {
    QStringDecoder decoder = makeCp949Decoder();
    if (!decoder.isValid())
        return false;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        if (byte == 0x80 || byte == 0xFF || i + 1 >= n)
            return false;
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        const bool trailOk =
            (trail >= 0x41 && trail <= 0x5A) || (trail >= 0x61 && trail <= 0x7A) || trail >= 0x81;
        if (!trailOk || trail == 0xFF)
            return false;
        i += 2;
    }
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return false;
    for (QChar ch : text)
        if (ch.unicode() >= 0x80 && isUnwantedCharacter(ch.unicode()))
            return false;
    return true;
}

} // namespace stikko::rtf::detail
