#include "rtf_testdocs.h"

#include "platform/rtfpicture.h"

#include <QColor>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>

#include <algorithm>
#include <iterator>
#include <optional>

namespace stikko::test {

QFont noteDefaultFont() {
    QFont font(QStringLiteral("굴림체"));
    font.setPixelSize(12);
    return font;
}

namespace {

const char16_t* const kPieces[] = {
    u"memo",          u"Hello, world",    u"a\\b",   u"{x}",       u"semi;colon", u"  ",
    u"-12",           u"tab\there",       u"가나다", u"회의 결과", u"똠방각하",   u"작성일:",
    u"한글 ABC 123",  u"·※①€™",           u"café",   u"naïve ñ",   u"ąę ğ ő",     u"😀",
    u"👍🏽 𝄞", u"line\u2028break", u"?",      u"\\'b0",     u"\\u1234",    u"日本語 中文",
};

const char* const kFamilies[] = {"굴림체", "굴림", "Arial", "돋움", "Courier New"};

const char16_t* const kAddresses[] = {u"https://example.com/", u"http://example.com/a b?c=1&d={x}#top",
                                      u"mailto:someone@example.com", u"ftp://example.com/\\file;1",
                                      u"https://예시.한국/경로"};

// A number style, its text before and after, as word processors and the rich-edit control number.
struct Numbers {
    QTextListFormat::Style style;
    const char16_t* prefix;
    const char16_t* suffix;
};
const Numbers kNumbers[] = {
    {QTextListFormat::ListDecimal, u"", u"."},    {QTextListFormat::ListDecimal, u"(", u")"},
    {QTextListFormat::ListLowerAlpha, u"", u")"}, {QTextListFormat::ListUpperRoman, u"", u"."},
    {QTextListFormat::ListUpperAlpha, u"", u"."}, {QTextListFormat::ListLowerRoman, u"", u""},
};

} // namespace

void fillRandomDocument(QTextDocument& document, unsigned seed) {
    document.clear();
    document.setDefaultFont(noteDefaultFont());
    if (seed == 0)
        return;
    QRandomGenerator rng(seed);
    const auto chance = [&rng](int percent) { return rng.bounded(100) < percent; };
    QTextCursor cursor(&document);
    const int blocks = 1 + rng.bounded(12);
    QTextList* list = nullptr;
    for (int b = 0; b < blocks; ++b) {
        QTextBlockFormat blockFormat;
        const bool bullet = chance(30);
        const bool numbered = bullet && chance(40);
        if (chance(30)) {
            const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                            Qt::AlignJustify};
            blockFormat.setAlignment(aligns[rng.bounded(4)]);
        }
        if (chance(25))
            blockFormat.setLeftMargin(rng.bounded(60));
        if (chance(15))
            blockFormat.setRightMargin(rng.bounded(30));
        if (!bullet && chance(20)) // a first line may start left of the others, never left of the page
            blockFormat.setTextIndent(rng.bounded(40) - std::min(10, int(blockFormat.leftMargin())));
        if (chance(10))
            blockFormat.setTopMargin(rng.bounded(10));
        if (chance(10))
            blockFormat.setBottomMargin(rng.bounded(10));

        QTextCharFormat charFormat;
        const auto randomFormat = [&] {
            QTextCharFormat f;
            if (chance(70))
                f.setFontFamilies({QString::fromUtf8(kFamilies[rng.bounded(5)])});
            static const qreal points[] = {9, 10.5, 20};
            static const int pixels[] = {16, 20}; // whole half-points at 96 dpi
            const int size = rng.bounded(6);
            if (size < 3)
                f.setFontPointSize(points[size]);
            else if (size < 5)
                f.setProperty(QTextFormat::FontPixelSize, pixels[size - 3]);
            if (chance(30))
                f.setFontWeight(QFont::Bold);
            else if (chance(10))
                f.setFontWeight(QFont::Normal);
            if (chance(25))
                f.setFontItalic(true);
            if (chance(25))
                f.setFontUnderline(true);
            if (chance(10))
                f.setFontStrikeOut(true);
            if (chance(25))
                f.setForeground(
                    QColor::fromRgb(rng.bounded(3) * 120, rng.bounded(3) * 120, rng.bounded(256)));
            if (chance(10))
                f.setBackground(QColor(Qt::yellow));
            if (chance(5))
                f.setVerticalAlignment(chance(50) ? QTextCharFormat::AlignSuperScript
                                                  : QTextCharFormat::AlignSubScript);
            return f;
        };
        charFormat = randomFormat();
        charFormat.clearProperty(QTextFormat::TextVerticalAlignment); // invisible on an empty line
        if (b == 0) {
            cursor.setBlockFormat(blockFormat);
            cursor.setBlockCharFormat(charFormat);
        } else {
            cursor.insertBlock(blockFormat, charFormat);
        }
        // A list goes on in the paragraph after it, or starts anew; a numbered one may also go
        // on after other paragraphs.
        const bool numberedList = list && list->format().style() != QTextListFormat::ListDisc;
        if (bullet && list && numbered == numberedList && chance(80)) {
            list->add(cursor.block());
        } else if (numbered) {
            const Numbers& n = kNumbers[rng.bounded(int(std::size(kNumbers)))];
            QTextListFormat listFormat;
            listFormat.setStyle(n.style);
            listFormat.setNumberPrefix(QString::fromUtf16(n.prefix));
            listFormat.setNumberSuffix(QString::fromUtf16(n.suffix));
            list = cursor.createList(listFormat);
        } else if (bullet) {
            list = cursor.createList(QTextListFormat::ListDisc);
        } else if (!numberedList || chance(70)) {
            list = nullptr;
        }
        const int runs = chance(20) ? 0 : 1 + rng.bounded(5);
        for (int r = 0; r < runs; ++r) {
            if (chance(5)) {
                // A small picture of two colours, stored as PNG or (rarely) JPEG.
                QImage image(1 + rng.bounded(6), 1 + rng.bounded(4), QImage::Format_RGB32);
                image.fill(QColor::fromRgb(rng.bounded(2) * 255, 128, rng.bounded(256)));
                image.setPixel(0, 0, qRgb(0, 0, 0));
                std::optional<rtf::Picture> picture = rtf::pictureFromImage(image);
                if (picture && chance(50))
                    picture->size = picture->size * 2.5;
                cursor.setCharFormat(randomFormat());
                rtf::insertPicture(cursor, *picture);
                continue;
            }
            QString text;
            const int pieces = 1 + rng.bounded(3);
            for (int p = 0; p < pieces; ++p)
                text += QString::fromUtf16(kPieces[rng.bounded(int(std::size(kPieces)))]);
            QTextCharFormat format = randomFormat();
            if (chance(10)) {
                // A link, in the look it is read back with when it has none of its own.
                format.setAnchor(true);
                format.setAnchorHref(QString::fromUtf16(kAddresses[rng.bounded(int(std::size(kAddresses)))]));
                format.setFontUnderline(true);
                if (format.foreground().style() == Qt::NoBrush)
                    format.setForeground(QColor(0, 0, 255));
            }
            cursor.insertText(text, format);
        }
    }
}

namespace {

QString describeFormat(const QTextCharFormat& format, const QFont& defaultFont) {
    const QFont font = format.font().resolve(defaultFont);
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    const auto brush = [](const QBrush& b) {
        return b.style() == Qt::NoBrush ? QStringLiteral("none") : b.color().name();
    };
    return QStringLiteral("%1 %2pt%3%4%5%6 fg=%7 bg=%8 v=%9")
               .arg(font.families().value(0, font.family()))
               .arg(points)
               .arg(font.weight() >= QFont::DemiBold ? " b" : "")
               .arg(font.italic() ? " i" : "")
               .arg(font.underline() ? " u" : "")
               .arg(font.strikeOut() ? " s" : "")
               .arg(brush(format.foreground()), brush(format.background()))
               .arg(format.verticalAlignment()) +
           (format.isAnchor() ? QStringLiteral(" link=") + format.anchorHref() : QString());
}

QString describePicture(const QTextFormat& format) {
    const std::optional<rtf::Picture> picture = rtf::pictureOf(format);
    if (!picture)
        return QStringLiteral("[no picture]");
    return QStringLiteral("[picture %1 %2x%3 %4]")
        .arg(QString::fromLatin1(picture->stored.kind))
        .arg(picture->size.width())
        .arg(picture->size.height())
        .arg(picture->drawable ? QColor(picture->shown.pixel(0, 0)).name() : QStringLiteral("undrawn"));
}

QString visible(const QString& text) {
    QString out;
    for (const QChar ch : text) {
        if (ch == u'\t')
            out += QStringLiteral("\\t");
        else if (ch.unicode() == 0x2028)
            out += QStringLiteral("\\n");
        else
            out += ch;
    }
    return out;
}

} // namespace

QString describeDocument(const QTextDocument& document) {
    QString out;
    const QFont defaultFont = document.defaultFont();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat f = block.blockFormat();
        const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask;
        QString list;
        if (const QTextList* textList = block.textList()) {
            const QTextListFormat::Style style = textList->format().style();
            list = style == QTextListFormat::ListDisc
                       ? QStringLiteral(" bullet")
                       : QStringLiteral(" number=") + textList->itemText(block);
        }
        out += QStringLiteral("[align=%1 left=%2 indent=%3 right=%4 top=%5 bottom=%6%7]")
                   .arg(int(align == Qt::AlignLeading ? Qt::AlignLeft : align))
                   .arg(f.leftMargin())
                   .arg(f.textIndent())
                   .arg(f.rightMargin())
                   .arg(f.topMargin())
                   .arg(f.bottomMargin())
                   .arg(list);
        if (block.length() <= 1) {
            out += QStringLiteral(" empty{%1}").arg(describeFormat(block.charFormat(), defaultFont));
        } else {
            QString lastFormat;
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QString format = describeFormat(fragment.charFormat(), defaultFont);
                if (format != lastFormat)
                    out += QStringLiteral(" {%1}").arg(format);
                lastFormat = format;
                if (fragment.charFormat().isImageFormat()) {
                    for (qsizetype i = 0; i < fragment.length(); ++i)
                        out += describePicture(fragment.charFormat());
                    continue;
                }
                out += visible(fragment.text());
            }
        }
        out += u'\n';
    }
    return out;
}

QString plainLines(const QTextDocument& document) {
    QString out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        text.replace(QChar(0x2028), u'\n');
        out += text + u'\n';
    }
    return out;
}

} // namespace stikko::test
