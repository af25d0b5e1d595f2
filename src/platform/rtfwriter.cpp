// QTextDocument -> RTF bytes, in the dialect of the Windows rich-edit control: code page 949,
// Korean fonts with \fcharset129, CP949 text as \'hh pairs, lists as \pntext plus \pn,
// pictures as \pict. What that control does not know is written in forms it skips by the
// rules of the format (ignorable destinations, unknown words, \u with its code-page fallback),
// so word processors find fonts, languages, links and pictures that the control never sees.
//
// The output depends only on the document's content and formats, so writing what was read
// from our own output gives the same bytes again.

#include "platform/rtf.h"
#include "platform/rtfcharsets.h"
#include "platform/rtfpicture.h"

#include <QFont>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace stikko::rtf {

namespace {

constexpr int kBulletHang = 200; // twips from a bullet to its text, as the control writes it
constexpr int kNumberHang = 360; // a number needs more room than a bullet
constexpr int kHexLine = 128;    // picture bytes per line, in hex digits

struct Props {
    int font = 0;
    int halfPoints = 24;
    int fg = 0; // colour table index, 0 = automatic
    int bg = 0;
    int vertical = 0;
    bool bold = false, italic = false, underline = false, strike = false;
    bool operator==(const Props&) const = default;
};

struct Para {
    int align = 0;
    int left = 0, first = 0, right = 0, before = 0, after = 0;
    bool bullet = false;
    // A numbered paragraph: its list, the list's numbers and this item's.
    const QTextList* numbered = nullptr;
    QTextListFormat::Style style = QTextListFormat::ListDecimal;
    QString prefix, suffix;
    int number = 0;
    QString label;
    // The same paragraph properties; a numbered paragraph of another list counts as changed.
    bool sameAs(const Para& o) const {
        return align == o.align && left == o.left && first == o.first && right == o.right &&
               before == o.before && after == o.after && bullet == o.bullet && numbered == o.numbered;
    }
};

// The text before or after a list's numbers as it can be written: no characters that have no
// text form here, and as short as readers keep it.
QString numberText(QString text) {
    text.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || u == 0x7F || u == 0x2028 || u == 0x2029 || u == 0xFFFC || u == 0xFDD0 ||
               u == 0xFDD1;
    });
    return text.left(16);
}

// The list table's number format of a number style.
int levelFormat(QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListUpperRoman:
        return 1;
    case QTextListFormat::ListLowerRoman:
        return 2;
    case QTextListFormat::ListUpperAlpha:
        return 3;
    case QTextListFormat::ListLowerAlpha:
        return 4;
    default:
        return 0;
    }
}

// The \pn word of a number style.
const char* numberWord(QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListLowerAlpha:
        return "pnlcltr";
    case QTextListFormat::ListUpperAlpha:
        return "pnucltr";
    case QTextListFormat::ListLowerRoman:
        return "pnlcrm";
    case QTextListFormat::ListUpperRoman:
        return "pnucrm";
    default:
        return "pndec";
    }
}

bool isNumberStyle(QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListDecimal:
    case QTextListFormat::ListLowerAlpha:
    case QTextListFormat::ListUpperAlpha:
    case QTextListFormat::ListLowerRoman:
    case QTextListFormat::ListUpperRoman:
        return true;
    default:
        return false;
    }
}

// A control word as the reader keeps a picture's form: letters, then digits. Forms and extra
// words are written back only in that shape.
bool isWord(QByteArrayView word) {
    qsizetype i = 0;
    while (i < word.size() && word[i] >= 'a' && word[i] <= 'z')
        ++i;
    if (i == 0)
        return false;
    while (i < word.size() && word[i] >= '0' && word[i] <= '9')
        ++i;
    return i == word.size();
}

// None or more such words, each after its backslash.
bool isWords(QByteArrayView words) {
    if (words.isEmpty())
        return true;
    if (words[0] != '\\')
        return false;
    qsizetype start = 1;
    while (true) {
        const qsizetype end = words.indexOf('\\', start);
        if (!isWord(words.sliced(start, (end < 0 ? words.size() : end) - start)))
            return false;
        if (end < 0)
            return true;
        start = end + 1;
    }
}

int toTwips(qreal pixels, int lo, int hi) {
    const qreal twips = pixels * 15;
    if (!std::isfinite(twips))
        return 0;
    return static_cast<int>(std::clamp<qreal>(std::round(twips), lo, hi));
}

class Writer {
  public:
    explicit Writer(const QTextDocument& document);
    QByteArray run();

  private:
    void writeParagraph(const QTextBlock& block, const Para& para, bool changed);
    QByteArray tables();
    Props propsOf(const QTextFormat& format, int formatIndex);
    Para paraOf(const QTextBlock& block) const;
    int fontIndex(const QString& family);
    int colourIndex(const QBrush& brush);

    void word(const char* name) {
        body_ += '\\';
        body_ += name;
        needSpace_ = true;
    }
    void word(const char* name, int value) {
        word(name);
        body_ += QByteArray::number(value);
    }
    void raw(const char* text) {
        body_ += text;
        needSpace_ = false;
    }
    void switchTo(const Props& props);
    // Writes `text` in `props`; the properties go out before the first character that is
    // written, so a fragment that writes nothing leaves no trace. True when anything was written.
    // Without properties (a font name, a number's text, a link address) nothing is switched.
    bool text(QStringView text, const Props* props, QByteArray& out, bool fontName = false);
    void numbering(const Para& para, const QTextBlock& block, bool changed);
    void openLink(const QString& address);
    void closeLink();
    void picture(const Picture& picture);
    void pict(const PictureBlob& blob, QSizeF size);

    const QTextDocument& document_;
    QFont defaultFont_;
    QString defaultFamily_;
    QByteArray body_;
    bool needSpace_ = false;

    std::vector<QString> fonts_;
    QHash<QString, int> fontIndex_;
    int symbolFont_ = -1;
    std::vector<QRgb> colours_;
    // The lists of the list table (1, 2, ...) in the order they first appear: each numbered
    // list, and one for all bullets (null).
    std::vector<const QTextList*> lists_;
    QHash<const QTextList*, int> listIndex_;
    int tableList(const QTextList* list);
    QHash<QRgb, int> colourIndex_;
    QHash<int, Props> propsCache_;

    Props current_;
    bool fontKnown_ = false, sizeKnown_ = false;
    // The properties outside the open link's group, which its end restores.
    struct Outside {
        Props props;
        bool fontKnown, sizeKnown;
    };
    std::optional<Outside> link_;
};

Writer::Writer(const QTextDocument& document) : document_(document), defaultFont_(document.defaultFont()) {
    const QStringList families = defaultFont_.families();
    defaultFamily_ = families.isEmpty() ? defaultFont_.family() : families.first();
}

int Writer::fontIndex(const QString& family) {
    const auto found = fontIndex_.constFind(family);
    if (found != fontIndex_.constEnd())
        return *found;
    const int index = static_cast<int>(fonts_.size()) + (symbolFont_ >= 0 ? 1 : 0);
    fonts_.push_back(family);
    fontIndex_.insert(family, index);
    return index;
}

int Writer::colourIndex(const QBrush& brush) {
    if (brush.style() == Qt::NoBrush || brush.color().alpha() == 0)
        return 0;
    const QRgb rgb = brush.color().rgb() | 0xFF000000u;
    const auto found = colourIndex_.constFind(rgb);
    if (found != colourIndex_.constEnd())
        return *found;
    colours_.push_back(rgb);
    const int index = static_cast<int>(colours_.size());
    colourIndex_.insert(rgb, index);
    return index;
}

Props Writer::propsOf(const QTextFormat& base, int formatIndex) {
    const auto cached = propsCache_.constFind(formatIndex);
    if (cached != propsCache_.constEnd())
        return *cached;
    const QTextCharFormat format = base.toCharFormat();
    Props p;
    // The family the document names, never the face that displays it: a substituted Korean font
    // keeps its own name in the file.
    QString family;
    const QStringList families = format.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty())
        family = families.first();
    if (family.isEmpty())
        family = defaultFamily_;
    p.font = fontIndex(family);

    qreal points = 0;
    if (format.hasProperty(QTextFormat::FontPointSize))
        points = format.doubleProperty(QTextFormat::FontPointSize);
    else if (format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 0.75; // pixels at 96 dpi
    else if (defaultFont_.pointSizeF() > 0)
        points = defaultFont_.pointSizeF();
    else
        points = defaultFont_.pixelSize() * 0.75;
    if (!(points > 0 && points < 100000))
        points = 12;
    p.halfPoints = std::clamp(static_cast<int>(std::lround(points * 2)), kMinHalfPoints, kMaxHalfPoints);

    p.bold = format.hasProperty(QTextFormat::FontWeight) ? format.fontWeight() >= QFont::DemiBold
                                                         : defaultFont_.weight() >= QFont::DemiBold;
    p.italic = format.hasProperty(QTextFormat::FontItalic) ? format.fontItalic() : defaultFont_.italic();
    if (format.hasProperty(QTextFormat::TextUnderlineStyle))
        p.underline = format.underlineStyle() != QTextCharFormat::NoUnderline;
    else if (format.hasProperty(QTextFormat::FontUnderline))
        p.underline = format.boolProperty(QTextFormat::FontUnderline);
    else
        p.underline = defaultFont_.underline();
    p.strike =
        format.hasProperty(QTextFormat::FontStrikeOut) ? format.fontStrikeOut() : defaultFont_.strikeOut();
    switch (format.verticalAlignment()) {
    case QTextCharFormat::AlignSuperScript:
        p.vertical = 1;
        break;
    case QTextCharFormat::AlignSubScript:
        p.vertical = 2;
        break;
    default:
        break;
    }
    p.fg = colourIndex(format.foreground());
    p.bg = colourIndex(format.background());
    propsCache_.insert(formatIndex, p);
    return p;
}

Para Writer::paraOf(const QTextBlock& block) const {
    const QTextBlockFormat format = block.blockFormat();
    Para p;
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
        p.align = 1;
    else if (align & Qt::AlignJustify)
        p.align = 3;
    else if (align & Qt::AlignRight)
        p.align = 2;
    if (const QTextList* list = block.textList()) {
        const QTextListFormat listFormat = list->format();
        if (isNumberStyle(listFormat.style())) {
            p.numbered = list;
            p.style = listFormat.style();
            p.prefix = numberText(listFormat.numberPrefix());
            // Unset, the suffix the model shows is a full stop.
            p.suffix =
                numberText(listFormat.hasProperty(QTextFormat::ListNumberSuffix) ? listFormat.numberSuffix()
                                                                                 : QStringLiteral("."));
            p.number = list->itemNumber(block) + 1;
            p.label = list->itemText(block);
        } else {
            p.bullet = true;
        }
    }
    const int left = toTwips(format.leftMargin(), 0, kMaxTwips);
    if (p.bullet || p.numbered) {
        // The bullet or number hangs in the first-line indent; a first-line indent of its own
        // has no place.
        const int hang = p.bullet ? kBulletHang : kNumberHang;
        p.left = left + hang;
        p.first = -hang;
    } else {
        p.left = left;
        p.first = toTwips(format.textIndent(), -left, kMaxTwips);
    }
    p.right = toTwips(format.rightMargin(), 0, kMaxTwips);
    p.before = toTwips(format.topMargin(), 0, kMaxTwips);
    p.after = toTwips(format.bottomMargin(), 0, kMaxTwips);
    return p;
}

void Writer::switchTo(const Props& p) {
    if (!fontKnown_ || p.font != current_.font) {
        // The same font for high-ANSI and double-byte text as for the rest: readers that give
        // each kind of character a font of its own (word processors) find the note's font for
        // Korean too. The rich-edit control knows these words from word processors' files.
        word("hich");
        word("af", p.font);
        word("dbch");
        word("af", p.font);
        word("loch");
        word("f", p.font);
    }
    if (!sizeKnown_ || p.halfPoints != current_.halfPoints)
        word("fs", p.halfPoints);
    fontKnown_ = sizeKnown_ = true;
    if (p.fg != current_.fg)
        word("cf", p.fg);
    if (p.bg != current_.bg)
        word("highlight", p.bg);
    if (p.bold != current_.bold)
        p.bold ? word("b") : word("b", 0);
    if (p.italic != current_.italic)
        p.italic ? word("i") : word("i", 0);
    if (p.underline != current_.underline)
        p.underline ? word("ul") : word("ulnone");
    if (p.strike != current_.strike)
        p.strike ? word("strike") : word("strike", 0);
    if (p.vertical != current_.vertical)
        word(p.vertical == 1 ? "super" : p.vertical == 2 ? "sub" : "nosupersub");
    current_ = p;
}

bool Writer::text(QStringView text, const Props* props, QByteArray& out, bool fontName) {
    static const char hex[] = "0123456789abcdef";
    bool wrote = false;
    const auto start = [&] {
        if (!wrote && props)
            switchTo(*props);
        wrote = true;
    };
    const auto escape = [&](unsigned char byte) {
        out += "\\'";
        out += hex[byte >> 4];
        out += hex[byte & 15];
    };
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x80) {
            if (c == u'\t' && !fontName) {
                start();
                word("tab");
            } else if (c < 0x20 || c == 0x7F) {
                continue; // controls are not text
            } else if (c == u'\\' || c == u'{' || c == u'}') {
                start();
                out += '\\';
                out += char(c);
                needSpace_ = false;
            } else if (c == u';' && fontName) {
                escape(';'); // a literal ';' would end the name
            } else {
                start();
                if (needSpace_)
                    out += ' ';
                out += char(c);
                needSpace_ = false;
            }
            continue;
        }
        if (c == 0x2028) {
            if (!fontName) {
                start();
                word("line");
            }
            continue;
        }
        if (c == 0x2029 || c == 0xFFFC || c == 0xFDD0 || c == 0xFDD1)
            continue; // separators and embedded objects have no text form here
        start();
        if (const std::uint16_t code = detail::cp949Code(c)) {
            escape(static_cast<unsigned char>(code >> 8));
            escape(static_cast<unsigned char>(code & 0xFF));
        } else {
            // \uc1 is in force: one '?' for readers without Unicode. An astral character is
            // written as its two surrogates, each a signed 16-bit value.
            out += "\\u";
            out += QByteArray::number(static_cast<int>(static_cast<std::int16_t>(c)));
            out += '?';
        }
        needSpace_ = false;
    }
    return wrote;
}

// The list table's number of a list (null: the one list of all bullets).
int Writer::tableList(const QTextList* list) {
    int index = listIndex_.value(list, -1);
    if (index < 0) {
        index = static_cast<int>(lists_.size());
        lists_.push_back(list);
        listIndex_.insert(list, index);
    }
    return index + 1;
}

// A list paragraph's bullet or number: its text before the paragraph, and where the
// properties change, its numbering, both as the rich-edit control writes them (the bullet is
// the Symbol font's bullet byte), then the list of the list table for word processors. These
// take the bullet from the list table: from \pntxtb they would read the byte in the document's
// code page, which has no such single byte.
void Writer::numbering(const Para& para, const QTextBlock& block, bool changed) {
    if (para.bullet) {
        if (symbolFont_ < 0)
            symbolFont_ = static_cast<int>(fonts_.size());
        raw("{\\pntext\\f");
        body_ += QByteArray::number(symbolFont_);
        raw("\\'B7\\tab}");
        if (changed) {
            raw("{\\*\\pn\\pnlvlblt\\pnf");
            body_ += QByteArray::number(symbolFont_);
            raw("\\pnindent0{\\pntxtb\\'B7}}");
            word("ls", tableList(nullptr));
            word("ilvl", 0);
        }
        return;
    }
    if (!para.numbered)
        return;
    // The number in the font its paragraph begins with (the caret's, when it is empty).
    const QTextBlock::iterator first = block.begin();
    const int font = !first.atEnd() && first.fragment().isValid()
                         ? propsOf(first.fragment().charFormat(), first.fragment().charFormatIndex()).font
                         : propsOf(block.charFormat(), block.charFormatIndex()).font;
    raw("{\\pntext");
    word("f", font);
    text(para.label, nullptr, body_);
    word("tab");
    raw("}");
    if (changed) {
        // The number the paragraph starts with: a list that goes on after other paragraphs
        // says where it goes on. Word processors take the list of the list table instead
        // (\ls, a word the control skips), which also tells two lists apart.
        raw("{\\*\\pn");
        word("pnlvlbody");
        word("pnf", font);
        word("pnindent", 0);
        word("pnstart", para.number);
        word(numberWord(para.style));
        if (!para.prefix.isEmpty()) {
            raw("{");
            word("pntxtb");
            text(para.prefix, nullptr, body_);
            raw("}");
        }
        if (!para.suffix.isEmpty()) {
            raw("{");
            word("pntxta");
            text(para.suffix, nullptr, body_);
            raw("}");
        }
        raw("}");
        word("ls", tableList(para.numbered));
        word("ilvl", 0);
    }
}

void Writer::openLink(const QString& address) {
    // A field the rich-edit control shows as its result, the link's text.
    link_ = Outside{current_, fontKnown_, sizeKnown_};
    raw("{\\field{\\*\\fldinst HYPERLINK \"");
    QString quoted = address;
    quoted.replace(u'"', QStringLiteral("%22")).remove(u'\t');
    text(quoted, nullptr, body_);
    raw("\"}{\\fldrslt ");
}

void Writer::closeLink() {
    raw("}}");
    current_ = link_->props;
    fontKnown_ = link_->fontKnown;
    sizeKnown_ = link_->sizeKnown;
    link_.reset();
}

void Writer::pict(const PictureBlob& blob, QSizeF size) {
    static const char hex[] = "0123456789abcdef";
    raw("{\\pict");
    body_ += blob.extra;
    if (blob.native.isValid() && !blob.native.isEmpty()) {
        word("picw", blob.native.width());
        word("pich", blob.native.height());
    }
    word("picwgoal", toTwips(size.width(), 1, kMaxPictureSide * 15));
    word("pichgoal", toTwips(size.height(), 1, kMaxPictureSide * 15));
    word(blob.kind.constData());
    const qsizetype bytes = blob.data.size();
    const qsizetype start = body_.size();
    body_.resize(start + 2 + bytes * 2 + (bytes * 2 / kHexLine + 1) * 2);
    char* out = body_.data() + start;
    for (qsizetype i = 0; i < bytes; ++i) {
        if (i % (kHexLine / 2) == 0) {
            *out++ = '\r';
            *out++ = '\n';
        }
        const auto byte = static_cast<unsigned char>(blob.data[i]);
        *out++ = hex[byte >> 4];
        *out++ = hex[byte & 15];
    }
    body_.truncate(out - body_.constData());
    raw("}");
}

// A picture: as it came when that is a form the rich-edit control reads; otherwise its own form
// for readers that prefer it (\shppict, which the control skips as an ignorable destination),
// then the control's form for the rest (\nonshppict, which such readers skip).
void Writer::picture(const Picture& picture) {
    if (!isWord(picture.stored.kind) || !isWords(picture.stored.extra))
        return;
    const bool beside = !picture.fallback.isEmpty() && isWord(picture.fallback.kind) &&
                        isWords(picture.fallback.extra) && !isRichEditForm(picture.stored.kind);
    if (!beside) {
        pict(picture.stored, picture.size);
        return;
    }
    raw("{\\*\\shppict");
    pict(picture.stored, picture.size);
    raw("}{\\nonshppict");
    pict(picture.fallback, picture.size);
    raw("}");
}

// One paragraph: its properties when they differ from the one before (`changed`), its bullet
// or number, its text, and its mark.
void Writer::writeParagraph(const QTextBlock& block, const Para& para, bool changed) {
    if (changed)
        word("pard");
    numbering(para, block, changed);
    if (changed) {
        if (para.first)
            word("fi", para.first);
        if (para.left)
            word("li", para.left);
        if (para.right)
            word("ri", para.right);
        if (para.before)
            word("sb", para.before);
        if (para.after)
            word("sa", para.after);
        if (para.align)
            word(para.align == 1 ? "qc" : para.align == 2 ? "qr" : "qj");
    }
    bool wrote = false;
    QString address; // of the link being written
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const QTextCharFormat format = fragment.charFormat();
        const Props props = propsOf(format, fragment.charFormatIndex());
        const QString href = format.isAnchor() ? format.anchorHref().trimmed() : QString();
        if (href != address) {
            if (link_)
                closeLink();
            address = href;
            if (!address.isEmpty())
                openLink(address);
        }
        if (format.isImageFormat()) {
            if (std::optional<Picture> shown = pictureOf(format)) {
                completePicture(*shown);
                for (const QChar ch : fragment.text()) {
                    if (ch == QChar::ObjectReplacementCharacter) {
                        switchTo(props); // the picture keeps the properties it stands in
                        picture(*shown);
                        wrote = true;
                    }
                }
            }
            continue;
        }
        wrote |= text(fragment.text(), &props, body_);
    }
    if (link_)
        closeLink();
    if (!wrote) { // an empty line keeps the look the caret would type with
        Props mark = propsOf(block.charFormat(), block.charFormatIndex());
        mark.vertical = 0;
        switchTo(mark);
    }
    // Superscript never reaches a paragraph mark, where it shows nothing: some readers
    // misplace the break or drop the line's text when it does.
    if (current_.vertical) {
        word("nosupersub");
        current_.vertical = 0;
    }
    word("par");
    raw("\r\n");
}

// The document's start: the header, the font table and the colour table.
QByteArray Writer::tables() {
    QByteArray out;
    out.reserve(body_.size() + 512);
    out += "{\\rtf1\\ansi\\ansicpg949\\deff0\\deflang1033\\deflangfe1042{\\fonttbl";
    const int fontCount = static_cast<int>(fonts_.size()) + (symbolFont_ >= 0 ? 1 : 0);
    for (int index = 0, named = 0; index < fontCount; ++index) {
        out += "{\\f";
        out += QByteArray::number(index);
        if (index == symbolFont_) {
            out += "\\fnil\\fcharset2 Symbol;}";
            continue;
        }
        out += "\\fnil\\fcharset129 ";
        needSpace_ = false;
        text(fonts_[static_cast<std::size_t>(named++)], nullptr, out, true);
        out += ";}";
    }
    out += "}\r\n";
    if (!colours_.empty()) {
        out += "{\\colortbl ;";
        for (const QRgb rgb : colours_) {
            out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) +
                   "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
        }
        out += "}\r\n";
    }
    if (!lists_.empty()) {
        // The lists for word processors, in ignorable destinations the control skips: one level
        // each, a bullet, or a number between the list's texts before and after it.
        out += "{\\*\\listtable";
        for (std::size_t i = 0; i < lists_.size(); ++i) {
            const QByteArray id = QByteArray::number(i + 1);
            if (!lists_[i]) {
                out += "{\\list\\listtemplateid" + id +
                       "{\\listlevel\\levelnfc23\\levelstartat1\\levelfollow0"
                       "{\\leveltext\\'01\\u8226 ?;}{\\levelnumbers;}\\fi-" +
                       QByteArray::number(kBulletHang) + "\\li" + QByteArray::number(kBulletHang) +
                       "}\\listid" + id + "}";
                continue;
            }
            const QTextListFormat format = lists_[i]->format();
            const QString prefix = numberText(format.numberPrefix());
            const QString suffix =
                numberText(format.hasProperty(QTextFormat::ListNumberSuffix) ? format.numberSuffix()
                                                                             : QStringLiteral("."));
            out += "{\\list\\listtemplateid" + id + "{\\listlevel\\levelnfc" +
                   QByteArray::number(levelFormat(format.style())) +
                   "\\levelstartat1\\levelfollow0{\\leveltext\\'";
            const auto byte = [](qsizetype value) {
                return QByteArray::number(value & 0xFF, 16).rightJustified(2, '0');
            };
            out += byte(prefix.size() + 1 + suffix.size());
            needSpace_ = false;
            text(prefix, nullptr, out, true);
            out += "\\'00";
            needSpace_ = false;
            text(suffix, nullptr, out, true);
            out += ";}{\\levelnumbers\\'" + byte(prefix.size() + 1) + ";}\\fi-" +
                   QByteArray::number(kNumberHang) + "\\li" + QByteArray::number(kNumberHang) + "}\\listid" +
                   id + "}";
        }
        out += "}\r\n{\\*\\listoverridetable";
        for (std::size_t i = 0; i < lists_.size(); ++i) {
            const QByteArray id = QByteArray::number(i + 1);
            out += "{\\listoverride\\listid" + id + "\\listoverridecount0\\ls" + id + "}";
        }
        out += "}\r\n";
    }
    return out;
}

QByteArray Writer::run() {
    body_.reserve(1024);
    // Font 0 (\deff0) is the font the text begins with.
    if (const QTextBlock first = document_.begin(); first.isValid()) {
        const QTextBlock::iterator it = first.begin();
        if (!it.atEnd() && it.fragment().isValid())
            propsOf(it.fragment().charFormat(), it.fragment().charFormatIndex());
        else
            propsOf(first.charFormat(), first.charFormatIndex());
    }

    Para previous;
    bool firstBlock = true;
    for (QTextBlock block = document_.begin(); block.isValid(); block = block.next()) {
        Para para = paraOf(block);
        const bool changed = firstBlock || !para.sameAs(previous);
        firstBlock = false;
        writeParagraph(block, para, changed);
        previous = std::move(para);
    }

    QByteArray out = tables();
    // Korean as the language of the text, for readers that choose fonts and spelling by it.
    out += "\\viewkind4\\uc1\\lang1042\\langfe1042";
    out += body_;
    out += "}\r\n";
    return out;
}

} // namespace

QByteArray write(const QTextDocument& document) {
    Writer writer(document);
    return writer.run();
}

} // namespace stikko::rtf
