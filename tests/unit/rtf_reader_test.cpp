// The RTF reader: files as the rich-edit control and word processors write them (Korean
// formatting, pictures, links, numbered lists), the syntax's corners, code pages, and broken input.
#include "platform/rtf.h"
#include "platform/rtfpicture.h"
#include "support/rtf_testdocs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

#include <vector>

using namespace stikko;

namespace {

// The loaded text, paragraphs and line breaks as "\n" (no-break spaces kept, unlike toPlainText).
QString textOf(const QByteArray& bytes) {
    QTextDocument document;
    rtf::read(bytes, document);
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    return text;
}

QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(STIKKO_TEST_DATA "/rtf/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

QTextCharFormat formatAt(const QTextDocument& document, int block, int offset) {
    QTextBlock b = document.findBlockByNumber(block);
    for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (offset >= f.position() - b.position() && offset < f.position() - b.position() + f.length())
            return f.charFormat();
    }
    return {};
}

QString family(const QTextCharFormat& format) {
    return format.fontFamilies().toStringList().value(0);
}

// How the text `needle` looks where it starts: family, size, and b, i, u for its styles.
QString lookOf(const QTextDocument& document, const QString& needle) {
    const QTextCursor found = document.find(needle);
    if (found.isNull())
        return QStringLiteral("(not found)");
    QTextCursor at(found);
    at.setPosition(found.selectionStart() + 1);
    const QTextCharFormat f = at.charFormat();
    return QStringLiteral("%1 %2%3%4%5")
        .arg(family(f))
        .arg(f.fontPointSize())
        .arg(f.fontWeight() >= QFont::DemiBold ? " b" : "")
        .arg(f.fontItalic() ? " i" : "")
        .arg(f.fontUnderline() ? " u" : "");
}

// Each paragraph as "label text": its list number or bullet, or "-", then its text.
QString labelled(const QTextDocument& document) {
    QStringList lines;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        const QTextList* list = b.textList();
        lines << (list ? list->itemText(b) : u"-"_qs) + u' ' + b.text();
    }
    return lines.join(u'|');
}

QByteArray hex(const QByteArray& bytes) {
    return bytes.toHex();
}

// Picture bytes as the writer lays them out: a line break, then lines of 128 hex digits.
QByteArray hexLines(const QByteArray& bytes) {
    const QByteArray digits = bytes.toHex();
    QByteArray out;
    for (qsizetype i = 0; i < digits.size(); i += 128)
        out += "\r\n" + digits.mid(i, 128);
    return out;
}

void put16(QByteArray& out, int v) {
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}
void put32(QByteArray& out, qint64 v) {
    put16(out, int(v & 0xFFFF));
    put16(out, int((v >> 16) & 0xFFFF));
}

// A 24-bit device-independent bitmap, rows bottom up: `rows` from the top, each of RGB triples.
QByteArray dib(int width, const std::vector<std::vector<QRgb>>& rows) {
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray out;
    put32(out, 40);
    put32(out, width);
    put32(out, qint64(rows.size()));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, qint64(stride) * qint64(rows.size()));
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        for (const QRgb c : *row) {
            out += char(qBlue(c));
            out += char(qGreen(c));
            out += char(qRed(c));
        }
        out += QByteArray(stride - width * 3, '\0');
    }
    return out;
}

// A Windows metafile: its header, then records of (function, parameter bytes), then its end.
QByteArray wmf(const std::vector<std::pair<int, QByteArray>>& records) {
    QByteArray body;
    for (const auto& [function, params] : records) {
        put32(body, 3 + params.size() / 2);
        put16(body, function);
        body += params;
    }
    put32(body, 3);
    put16(body, 0);
    QByteArray out;
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x300);
    put32(out, 9 + body.size() / 2);
    put16(out, 0);
    put32(out, 0);
    put16(out, 0);
    return out + body;
}

QByteArray stretchDib(const QByteArray& bitmap, int width, int height) {
    QByteArray params;
    put32(params, 0x00CC0020);
    put16(params, 0);
    for (int v : {height, width, 0, 0, height, width, 0, 0})
        put16(params, v);
    return params + bitmap;
}

// An enhanced metafile whose one drawing record is StretchDIBits of `bitmap` (header 40 bytes).
QByteArray emf(const QByteArray& bitmap) {
    QByteArray header;
    put32(header, 1);
    put32(header, 88);
    header += QByteArray(32, '\0');              // bounds and frame
    put32(header, 0x464D4520);                   // " EMF"
    put32(header, 0x10000);                      // version
    put32(header, 88 + 80 + bitmap.size() + 20); // bytes
    put32(header, 3);                            // records
    header += QByteArray(88 - header.size(), '\0');
    QByteArray record;
    put32(record, 81);
    put32(record, 80 + bitmap.size());
    record += QByteArray(40, '\0'); // bounds, destination, source
    put32(record, 80);              // the header's offset and size, the bits'
    put32(record, 40);
    put32(record, 120);
    put32(record, bitmap.size() - 40);
    record += QByteArray(16, '\0');
    record += bitmap;
    QByteArray end;
    put32(end, 14);
    put32(end, 20);
    end += QByteArray(12, '\0');
    return header + record + end;
}

// Reading what our writer makes of a document read from `bytes` gives the same bytes again.
void verifyStableRewrite(const QByteArray& bytes) {
    QTextDocument first;
    rtf::read(bytes, first);
    const QByteArray written = rtf::write(first);
    QTextDocument second;
    rtf::read(written, second);
    QCOMPARE(rtf::write(second), written);
}

} // namespace

class RtfReaderTest : public QObject {
    Q_OBJECT

  private slots:
    void richEditFile_loadsKoreanTextAndFormatting();
    void wordProcessorFile_listsFieldsAndDestinations();
    void fontCharsets_chooseTheCodePage();
    void associatedProperties_giveKoreanItsLook_data();
    void associatedProperties_giveKoreanItsLook();
    void pictures_eachForm_data();
    void pictures_eachForm();
    void links_keepTheirAddress_data();
    void links_keepTheirAddress();
    void numberedLists_showTheirNumbers_data();
    void numberedLists_showTheirNumbers();
    void unicode_escapesAndSkipCounts_data();
    void unicode_escapesAndSkipCounts();
    void namedCharacters();
    void plainText_withoutRtfHeader_data();
    void plainText_withoutRtfHeader();
    void brokenInput_recoversText_data();
    void brokenInput_recoversText();
    void hugeInput_readsInBoundedTime();
    void binaryGarbage_neverCrashes_andRewritesStably();
    void everyFixture_rewritesStably();
};

void RtfReaderTest::richEditFile_loadsKoreanTextAndFormatting() {
    QTextDocument document;
    rtf::read(fixture("richedit_korean.rtf"), document);
    QCOMPARE(document.toPlainText(),
             u"작성일:08/03/15 오후 03:12:45\n회의 결과 똠방\n빨강 red\n파랑\nitalic\n"_qs);
    QCOMPARE(document.blockCount(), 6); // the NUL after the closing brace adds nothing

    const QTextCharFormat date = formatAt(document, 0, 0);
    QCOMPARE(family(date), u"굴림체"_qs);
    QCOMPARE(date.fontPointSize(), 9.0);
    QCOMPARE(date.fontWeight(), int(QFont::Normal));
    QCOMPARE(formatAt(document, 1, 0).fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(document, 1, 3).fontWeight(), int(QFont::Normal));

    // Bullets: both paragraphs in one list, the \pntext bullet not repeated as text.
    QTextBlock red = document.findBlockByNumber(2);
    QVERIFY(red.textList());
    QCOMPARE(red.textList()->format().style(), QTextListFormat::ListDisc);
    QCOMPARE(document.findBlockByNumber(3).textList(), red.textList());
    QCOMPARE(red.blockFormat().leftMargin(), 0.0);
    QCOMPARE(formatAt(document, 2, 0).foreground().color(), QColor(255, 0, 0));
    QCOMPARE(formatAt(document, 2, 3).foreground().style(), Qt::NoBrush);

    const QTextCharFormat blue = formatAt(document, 3, 0);
    QCOMPARE(family(blue), u"굴림"_qs);
    QCOMPARE(blue.fontPointSize(), 14.0);
    QVERIFY(blue.fontUnderline());
    QCOMPARE(blue.foreground().color(), QColor(0, 0, 255));

    QTextBlock italic = document.findBlockByNumber(4);
    QVERIFY(!italic.textList());
    QCOMPARE(italic.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(formatAt(document, 4, 0).fontItalic());
    QCOMPARE(document.findBlockByNumber(5).text(), QString());
}

void RtfReaderTest::wordProcessorFile_listsFieldsAndDestinations() {
    QTextDocument document;
    rtf::read(fixture("wordprocessor_lists.rtf"), document);
    // No header, info, style sheet, field instruction, broken picture or unknown destination
    // text; numbered items show their numbers as list items, not as text.
    QCOMPARE(document.toPlainText(),
             u"목록:\n한국어\n글머리\n번호\n링크 end\n\ndataafter\n가나mark\nnumbered"_qs);
    QCOMPARE(family(formatAt(document, 0, 0)), u"굴림체"_qs); // {\*\falt} is not part of the name
    QCOMPARE(document.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignJustify);
    QTextBlock first = document.findBlockByNumber(1);
    QVERIFY(first.textList());
    QCOMPARE(document.findBlockByNumber(2).textList(), first.textList());
    QCOMPARE(first.blockFormat().leftMargin(), 400 / 15.0); // \li800 less the \fi-400 hang
    // The list table's numbered list ("1.") and the old numbering words' ("1)").
    const QTextList* numbered = document.findBlockByNumber(3).textList();
    QVERIFY(numbered && numbered != first.textList());
    QCOMPARE(numbered->itemText(document.findBlockByNumber(3)), u"1."_qs);
    const QTextList* old = document.findBlockByNumber(8).textList();
    QVERIFY(old && old != numbered);
    QCOMPARE(old->itemText(document.findBlockByNumber(8)), u"1)"_qs);
    const QTextCharFormat link = formatAt(document, 4, 0);
    QVERIFY(link.fontUnderline());
    QCOMPARE(link.foreground().color(), QColor(255, 0, 0));
    QCOMPARE(link.anchorHref(), u"http://example.com/"_qs);
    QVERIFY(!formatAt(document, 4, 3).isAnchor());
    QCOMPARE(formatAt(document, 7, 2).background().color(), QColor(255, 255, 0));
}

void RtfReaderTest::fontCharsets_chooseTheCodePage() {
    QTextDocument document;
    rtf::read(fixture("codepages.rtf"), document);
    // Default charset -> \ansicpg1251; Shift-JIS (with a 0x5C trail byte), GBK, Big5, 1252,
    // Greek; \cpg949 over charset 0; and a change of font between two bytes of Korean.
    QCOMPARE(document.toPlainText(), u"Привет\n日本語 ソ\n中文\n中文\ncafé\nΕλλάδα\n가\n가°¡"_qs);
    QCOMPARE(family(formatAt(document, 1, 0)), u"MS Mincho"_qs);
}

void RtfReaderTest::associatedProperties_giveKoreanItsLook_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("look");
    // LibreOffice writes each run in a group, double-byte text's properties after \dbch.
    QTest::addRow("LibreOffice bold")
        << QByteArray("{\\dbch\\ab\\dbch \\u44405\\'3f\\u44172\\'3f}{\\loch  plain}") << u"굵게"_qs
        << u"Liberation Serif 12 b"_qs;
    QTest::addRow("LibreOffice bold, Latin beside")
        << QByteArray("{\\dbch\\ab\\dbch \\u44405\\'3f\\u44172\\'3f}{\\loch  plain}") << u"plain"_qs
        << u"Liberation Serif 12"_qs;
    QTest::addRow("LibreOffice 20 pt")
        << QByteArray("{\\dbch\\afs40\\dbch \\u51060\\'3f\\u49901\\'3f}{\\loch small}") << u"이십"_qs
        << u"Liberation Serif 20"_qs;
    QTest::addRow("LibreOffice font") << QByteArray("{\\dbch\\afs32\\af1\\dbch \\u45208\\'3f\\u45588\\'3f }"
                                                    "{\\hich\\af1\\loch\\fs32\\b\\f1\\loch bold}")
                                      << u"나눔"_qs << u"NanumGothic 16"_qs;
    QTest::addRow("LibreOffice italic, underline")
        << QByteArray("{\\dbch\\ai\\aul\\dbch \\u44592\\'3f}") << u"기"_qs << u"Liberation Serif 12 i u"_qs;
    QTest::addRow("digits side with Korean")
        << QByteArray("{\\dbch\\afs40\\dbch \\u44032\\'3f 12 \\u45208\\'3f}") << u"12"_qs
        << u"Liberation Serif 20"_qs;
    QTest::addRow("letters do not") << QByteArray("{\\dbch\\afs40\\dbch AB\\u44032\\'3f}") << u"AB"_qs
                                    << u"Liberation Serif 12"_qs;
    QTest::addRow("a run of spaces goes by its declaration")
        << QByteArray("x{\\dbch\\afs40\\dbch  }y") << u" "_qs << u"Liberation Serif 20"_qs;
    // Word: \ab under \rtlch is right-to-left text's; \b is everyone's; \dbch\af names the font of
    // double-byte text, whose bytes are in that font's code page.
    QTest::addRow("Word font, right-to-left bold")
        << QByteArray("{\\rtlch\\fcs1 \\ab\\af0\\afs28 \\ltrch\\fcs0 \\f0\\fs20\\lang1033\\langfe1042"
                      "\\loch\\af0\\hich\\af0\\dbch\\af2 \\'b0\\'a1\\'b3\\'aa}")
        << u"가나"_qs << u"굴림 10"_qs;
    QTest::addRow("Word bold") << QByteArray(
                                      "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\b\\f0\\fs24\\loch\\af0\\hich\\af0"
                                      "\\dbch\\af2 \\'b1\\'bd}")
                               << u"굵"_qs << u"굴림 12 b"_qs;
    QTest::addRow("plain forgets") << QByteArray("{\\dbch\\afs40\\plain \\u44032\\'3f}") << u"가"_qs
                                   << u"Liberation Serif 12"_qs;
    QTest::addRow("under loch, nothing apart")
        << QByteArray("{\\loch\\afs40\\ab \\u44032\\'3f}") << u"가"_qs << u"Liberation Serif 12"_qs;
    QTest::addRow("rich edit, no associated words")
        << QByteArray("{\\f2\\fs18 \\'b0\\'a1}") << u"가"_qs << u"굴림 9"_qs;
}

void RtfReaderTest::associatedProperties_giveKoreanItsLook() {
    QFETCH(QByteArray, body);
    QFETCH(QString, needle);
    QFETCH(QString, look);
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Liberation Serif;}"
        "{\\f1\\fnil\\fcharset0 NanumGothic;}{\\f2\\fnil\\fcharset129 \\'b1\\'bc\\'b8\\'b2;}}" +
        body + "\\par}";
    QTextDocument document;
    rtf::read(rtf, document);
    QCOMPARE(lookOf(document, needle), look);
    // Our own file keeps the look (it names the font of every kind of character itself).
    QTextDocument again;
    rtf::read(rtf::write(document), again);
    QCOMPARE(lookOf(again, needle), look);
}

void RtfReaderTest::pictures_eachForm_data() {
    QTest::addColumn<QByteArray>("pict");
    QTest::addColumn<QString>("picture");    // as describeDocument shows it
    QTest::addColumn<QByteArray>("written"); // what the saved file holds of it

    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    image.setPixel(0, 0, qRgb(0, 0, 255));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    QImage green(16, 16, QImage::Format_RGB32);
    green.fill(qRgb(0, 255, 0));
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        green.save(&buffer, "JPEG", 100);
    }
    const QByteArray bitmap =
        dib(2, {{qRgb(0, 0, 255), qRgb(255, 0, 0)}, {qRgb(255, 0, 0), qRgb(255, 0, 0)}});
    const QByteArray metafile = wmf({{0x020B, QByteArray(4, '\0')}, {0x0F43, stretchDib(bitmap, 2, 2)}});
    const QByteArray drawing = wmf({{0x0418, QByteArray(8, '\1')}}); // an ellipse, nothing else

    QTest::addRow("png") << "{\\pict\\picw4\\pich3\\picwgoal600\\pichgoal450\\pngblip " + hex(png) + "}"
                         << u"[picture pngblip 40x30 #0000ff]"_qs
                         << "{\\*\\shppict{\\pict\\picw4\\pich3\\picwgoal600\\pichgoal450\\pngblip\r\n" +
                                hex(png).left(128) + "\r\n";
    QTest::addRow("png scaled, no sizes") << "{\\pict\\picscalex50\\picscaley200\\pngblip\n" + hex(png) + "}"
                                          << u"[picture pngblip 2x6 #0000ff]"_qs
                                          << QByteArray("\\picw4\\pich3\\picwgoal30\\pichgoal90\\pngblip");
    QTest::addRow("jpeg, bytes after \\bin")
        << "{\\pict\\jpegblip\\bin" + QByteArray::number(jpeg.size()) + " " + jpeg + "}"
        << u"[picture jpegblip 16x16 #00ff0"_qs
        << QByteArray("\\picw16\\pich16\\picwgoal240\\pichgoal240\\jpegblip");
    QTest::addRow("device-independent bitmap")
        << "{\\pict\\picwgoal300\\pichgoal300\\dibitmap0 " + hex(bitmap) + "}"
        << u"[picture dibitmap0 20x20 #0000ff]"_qs
        << "{\\pict\\picw2\\pich2\\picwgoal300\\pichgoal300\\dibitmap0" + hexLines(bitmap) + "}";
    QTest::addRow("metafile with a bitmap")
        << "{\\pict\\picw53\\pich53\\wmetafile8 " + hex(metafile) + "}"
        << u"[picture wmetafile8 2x2 #0000ff]"_qs
        << "{\\pict\\picw53\\pich53\\picwgoal30\\pichgoal30\\wmetafile8" + hexLines(metafile) + "}";
    QTest::addRow("enhanced metafile with a bitmap")
        << "{\\pict\\picwgoal150\\pichgoal150\\emfblip " + hex(emf(bitmap)) + "}"
        << u"[picture emfblip 10x10 #0000ff]"_qs
        << QByteArray("{\\nonshppict{\\pict\\picw265\\pich265\\picwgoal150");
    QTest::addRow("a drawing, kept undrawn")
        << "{\\pict\\picw2646\\pich1323\\wmetafile8 " + hex(drawing) + "}"
        << u"[picture wmetafile8 100x50 undrawn]"_qs
        << "{\\pict\\picw2646\\pich1323\\picwgoal1500\\pichgoal750\\wmetafile8" + hexLines(drawing) + "}";
    // Word pairs a PNG with a metafile for older readers; the metafile is kept for them.
    QTest::addRow("shppict and nonshppict")
        << "{\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn x}{\\sv 1}}}\\pngblip " + hex(png) +
               "}}{\\nonshppict{\\pict\\picw53" + "\\pich53\\wmetafile8 " + hex(metafile) + "}}"
        << u"[picture pngblip 4x3 #0000ff]"_qs
        << "{\\nonshppict{\\pict\\picw53\\pich53\\picwgoal60\\pichgoal45\\wmetafile8" + hexLines(metafile) +
               "}}";
    QTest::addRow("an object shows its result")
        << "{\\object\\objemb{\\*\\objclass Paint.Picture}{\\*\\objdata 01050000}{\\result "
           "{\\pict\\dibitmap0 " +
               hex(bitmap) + "}}}"
        << u"[picture dibitmap0 2x2 #0000ff]"_qs << QByteArray("\\dibitmap0");
}

void RtfReaderTest::pictures_eachForm() {
    QFETCH(QByteArray, pict);
    QFETCH(QString, picture);
    QFETCH(QByteArray, written);
    const QByteArray rtf = "{\\rtf1\\ansi before" + pict + "after\\par}";
    QTextDocument document;
    document.setDefaultFont(test::noteDefaultFont());
    rtf::read(rtf, document);
    QCOMPARE(document.toRawText(), u"before\uFFFCafter"_qs);
    const QString described = test::describeDocument(document);
    QVERIFY2(described.contains(picture), qPrintable(described));
    // The document holds the image the layout draws.
    const QTextCharFormat format = formatAt(document, 0, 6);
    QVERIFY(format.isImageFormat());
    QVERIFY(document.resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name())).isValid());

    const QByteArray saved = rtf::write(document);
    QVERIFY2(saved.contains(written), saved.constData());
    QTextDocument again;
    again.setDefaultFont(test::noteDefaultFont());
    rtf::read(saved, again);
    QCOMPARE(test::describeDocument(again), described);
    QCOMPARE(rtf::write(again), saved);
}

void RtfReaderTest::links_keepTheirAddress_data() {
    QTest::addColumn<QByteArray>("instruction");
    QTest::addColumn<QString>("address");
    QTest::addRow("quoted") << QByteArray("HYPERLINK \"https://example.com/a b\"")
                            << u"https://example.com/a b"_qs;
    QTest::addRow("unquoted, in a group")
        << QByteArray("{ HYPERLINK https://example.com/ }") << u"https://example.com/"_qs;
    QTest::addRow("with a place") << QByteArray("HYPERLINK \"http://example.com/\" \\\\l \"part\"")
                                  << u"http://example.com/#part"_qs;
    QTest::addRow("with a tip") << QByteArray("HYPERLINK \\\\o \"tip\" \"mailto:x@example.com\"")
                                << u"mailto:x@example.com"_qs;
    QTest::addRow("Korean in the address")
        << QByteArray("HYPERLINK \"http://\\'b0\\'a1.kr/\"") << u"http://가.kr/"_qs;
    QTest::addRow("a place only: no address") << QByteArray("HYPERLINK \\\\l \"part\"") << QString();
    QTest::addRow("another field") << QByteArray("PAGE") << QString();
}

void RtfReaderTest::links_keepTheirAddress() {
    QFETCH(QByteArray, instruction);
    QFETCH(QString, address);
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg949 see {\\field{\\*\\fldinst " + instruction +
                           "}{\\fldrslt {\\ul text}}} after\\par}";
    QTextDocument document;
    rtf::read(rtf, document);
    QCOMPARE(document.toPlainText(), u"see text after"_qs);
    QCOMPARE(formatAt(document, 0, 4).anchorHref(), address);
    QCOMPARE(formatAt(document, 0, 4).fontUnderline(), true);
    QVERIFY(!formatAt(document, 0, 9).isAnchor());
    // Written back as a link field around the same text.
    QTextDocument again;
    rtf::read(rtf::write(document), again);
    QCOMPARE(again.toPlainText(), u"see text after"_qs);
    QCOMPARE(formatAt(again, 0, 4).anchorHref(), address);
    QVERIFY(!formatAt(again, 0, 9).isAnchor());
    verifyStableRewrite(rtf);
}

void RtfReaderTest::numberedLists_showTheirNumbers_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("labels");
    // A list table as word processors write it: level 0 "1.", level 1 "a)".
    const QByteArray table =
        "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat1"
        "{\\leveltext \\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-283\\li709}"
        "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\leveltemplateid2 \\'02\\'01);}"
        "{\\levelnumbers\\'01;}}\\listid1}"
        "{\\list{\\listlevel\\levelnfc0\\levelstartat5{\\leveltext \\'02\\'00.;}}\\listid2}"
        "{\\list{\\listlevel\\levelnfc0{\\leveltext \\'04\\'00.\\'00.;}}\\listid3}}"
        "{\\listoverridetable{\\listoverride\\listid1\\ls1}{\\listoverride\\listid2\\ls2}"
        "{\\listoverride\\listid3\\ls3}}";
    QTest::addRow("list table, levels, resumed")
        << table + "{\\listtext 1.\\tab}\\ls1\\ilvl0 one\\par{\\listtext a)\\tab}\\ilvl1 sub a\\par"
                   "{\\listtext b)\\tab}sub b\\par{\\listtext 2.\\tab}\\ilvl0 two\\par{\\listtext "
                   "a)\\tab}\\ilvl1 "
                   "again\\par\\pard plain\\par{\\listtext 3.\\tab}\\ls1 three\\par"
        << u"1. one|a) sub a|b) sub b|2. two|a) again|- plain|3. three"_qs;
    QTest::addRow("list table, starting at 5: literal")
        << table + "{\\listtext 5.\\tab}\\ls2 five\\par" << u"- 5.\tfive"_qs;
    QTest::addRow("list table, two numbers in one: literal")
        << table + "{\\listtext 1.1.\\tab}\\ls3 deep\\par" << u"- 1.1.\tdeep"_qs;
    QTest::addRow("rich edit numbering")
        << QByteArray(
               "{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pndec{\\pntxta.}}"
               "\\fi-360\\li360 one\\par{\\pntext\\f0 2.\\tab}two\\par")
        << u"1. one|2. two"_qs;
    QTest::addRow("rich edit numbering, resumed")
        << QByteArray(
               "{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}one\\par"
               "\\pard plain\\par{\\pntext 2.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart2{\\pntxta .}}two\\par")
        << u"1. one|- plain|2. two"_qs;
    QTest::addRow("roman numbers in brackets")
        << QByteArray(
               "{\\pntext (I)\\tab}{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart1{\\pntxtb (}{\\pntxta )}}x\\par")
        << u"(I) x"_qs;
    QTest::addRow("a number style the model lacks: literal")
        << QByteArray("{\\pntext \\'b0\\'a1.\\tab}{\\*\\pn\\pnlvlbody\\pnganada\\pnstart1{\\pntxta .}}x\\par")
        << u"- 가.\tx"_qs;
    QTest::addRow("starting at 4 with nothing before: literal")
        << QByteArray("{\\pntext 4.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart4{\\pntxta .}}x\\par")
        << u"- 4.\tx"_qs;
}

void RtfReaderTest::numberedLists_showTheirNumbers() {
    QFETCH(QByteArray, body);
    QFETCH(QString, labels);
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg949{\\fonttbl{\\f0\\fnil\\fcharset129 \\'b1\\'bc\\'b8\\'b2;}}" + body + "}";
    QTextDocument document;
    rtf::read(rtf, document);
    QCOMPARE(labelled(document), labels);
    // Written in the rich-edit control's numbering, and read back as the same list.
    QTextDocument again;
    rtf::read(rtf::write(document), again);
    QCOMPARE(labelled(again), labels);
    verifyStableRewrite(rtf);
}

void RtfReaderTest::unicode_escapesAndSkipCounts_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addRow("fallback skipped") << QByteArray("{\\rtf1 a\\u44032?b}") << u"a가b"_qs;
    QTest::addRow("uc2 skips a hex pair") << QByteArray("{\\rtf1\\uc2 \\u44032\\'b0\\'a1c}") << u"가c"_qs;
    QTest::addRow("uc0") << QByteArray("{\\rtf1\\uc0 \\u44032\\u45208}") << u"가나"_qs;
    QTest::addRow("uc is per group") << QByteArray("{\\rtf1 {\\uc2 \\u44032xx}\\u45208?y}") << u"가나y"_qs;
    QTest::addRow("skip ends at a brace") << QByteArray("{\\rtf1\\uc3 {\\u44032 a}bc}") << u"가bc"_qs;
    QTest::addRow("skip takes a control word") << QByteArray("{\\rtf1 \\u44032\\ldblquote x}") << u"가x"_qs;
    QTest::addRow("negative value, surrogates") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?!}") << u"😀!"_qs;
    QTest::addRow("lone surrogate") << QByteArray("{\\rtf1 \\u-10179?z}") << u"\uFFFDz"_qs;
    QTest::addRow("upr takes the unicode part")
        << QByteArray("{\\rtf1 {\\upr{ansi}{\\*\\ud{\\u44032?}}}}") << u"가"_qs;
    QTest::addRow("stray star is ignored") << QByteArray("{\\rtf1 a\\*\\par b}") << u"a\nb"_qs;
    QTest::addRow("escaped braces and backslash") << QByteArray("{\\rtf1 \\{\\\\\\}}") << u"{\\}"_qs;
}

void RtfReaderTest::unicode_escapesAndSkipCounts() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

void RtfReaderTest::namedCharacters() {
    QCOMPARE(textOf("{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote "
                    "\\~\\_\\-x\\emspace\\enspace\\tab\\line y}"),
             u"—–•‘’“”\u00A0\u2011x\u2003\u2002\t\ny"_qs);
}

void RtfReaderTest::plainText_withoutRtfHeader_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QStringEncoder cp949("windows-949");
    QTest::addRow("cp949") << QByteArray(cp949(u"가나다\r\n둘째 줄\r\n"_qs)) << u"가나다\n둘째 줄"_qs;
    QTest::addRow("utf-8") << u"가나다\n{\\rtf1 not a header}"_qs.toUtf8()
                           << u"가나다\n{\\rtf1 not a header}"_qs;
    QTest::addRow("utf-8 with BOM") << QByteArray("\xEF\xBB\xBFok") << u"ok"_qs;
    QTest::addRow("latin-1") << QByteArray("caf\xE9 \xFF\rend") << u"café ÿ\nend"_qs;
    QTest::addRow("empty") << QByteArray() << QString();
    QTest::addRow("leading blank before header") << QByteArray("\r\n {\\rtf1 rtf}") << u"rtf"_qs;
}

void RtfReaderTest::plainText_withoutRtfHeader() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(textOf(bytes), text);
}

void RtfReaderTest::brokenInput_recoversText_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addRow("braces too many") << QByteArray("{\\rtf1 a}}} b\\par c") << u"a b\nc"_qs;
    QTest::addRow("braces missing") << QByteArray("{\\rtf1 {\\b bold{\\i both") << u"boldboth"_qs;
    QTest::addRow("truncated in a pair")
        << QByteArray("{\\rtf1\\ansicpg949 \\'b0\\'a1\\'b0") << u"가\uFFFD"_qs;
    QTest::addRow("truncated in a word") << QByteArray("{\\rtf1 abc\\pa") << u"abc"_qs;
    QTest::addRow("truncated in a hex escape") << QByteArray("{\\rtf1 abc\\'b") << u"abc"_qs;
    QTest::addRow("truncated in the font table")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset129 \\'b1") << QString();
    QTest::addRow("bad hex escape") << QByteArray("{\\rtf1 a\\'zzb}") << u"azzb"_qs;
    QTest::addRow("20-digit numbers")
        << QByteArray("{\\rtf1\\fs99999999999999999999 a\\li-99999999999999999999 b\\f99999999999999999999 "
                      "c\\u99999999999999999999 d\\bin99999999999999999999 xyz}")
        << u"abc\uFFFDxyz"_qs; // a \bin longer than the input is no binary data
    QTest::addRow("unknown words and destinations")
        << QByteArray("{\\rtf1 \\foo a\\bar123 b{\\*\\baz hidden}c\\qwertyuiopasdfghjklzxcvbnmqwertyuiop d}")
        << u"abcd"_qs;
    QTest::addRow("binary with braces") << QByteArray("{\\rtf1 x\\bin3 }{\\y}") << u"xy"_qs;
    QTest::addRow("control characters")
        << QByteArray("{\\rtf1 a\\'00\\'01\\'1a\\'7f\x01\x7f b}") << u"a\uFFFD b"_qs;
    // A picture whose bytes are broken is left out, and nothing else.
    QTest::addRow("picture, wrong hex") << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e47zz}b}") << u"ab"_qs;
    QTest::addRow("picture, odd digits") << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e4}b}") << u"ab"_qs;
    QTest::addRow("picture, escaped bytes")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip \\'89\\'50}b}") << u"ab"_qs;
    QTest::addRow("picture, lying binary length")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip\\bin999999 xyz}b\\par c}") << u"ab\nc"_qs;
    QTest::addRow("picture, no form") << QByteArray("{\\rtf1 a{\\pict 89504e470d0a1a0a}b}") << u"ab"_qs;
    QTest::addRow("picture, not what its form says")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip 0102030405}{\\pict\\jpegblip 0102}{\\pict\\emfblip 01}b}")
        << u"ab"_qs;
    QTest::addRow("bitmap whose header lies about its size")
        << QByteArray("{\\rtf1 a{\\pict\\dibitmap0 28000000e8030000e803000001001800000000000000000000000000"
                      "000000000000000000ff00ff}b}")
        << u"ab"_qs;
    QTest::addRow("picture, cut off") << QByteArray("{\\rtf1 a{\\pict\\pngblip 8950") << u"a"_qs;
    QTest::addRow("metafile beside nothing")
        << QByteArray("{\\rtf1 a{\\nonshppict{\\pict\\wmetafile8 0100}}b}") << u"ab"_qs;
}

void RtfReaderTest::brokenInput_recoversText() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
    verifyStableRewrite(rtf);
}

void RtfReaderTest::hugeInput_readsInBoundedTime() {
    // Each of these would be quadratic, or overflow a stack, in a careless reader.
    const int megabyte = 1 << 20;
    QCOMPARE(textOf("{\\rtf1 " + QByteArray("\\b").repeated(megabyte / 2) + " x}"), u"x"_qs);
    QCOMPARE(textOf("{\\rtf1 \\" + QByteArray(megabyte, 'a') + " x}"), u"x"_qs);
    QCOMPARE(textOf("{\\rtf1\\ansicpg949 a" + QByteArray("\\'b0\\'a1").repeated(megabyte / 8) + "}").size(),
             1 + megabyte / 8);
    QCOMPARE(textOf("{\\rtf1 " + QByteArray(1000000, '{') + "deep" + QByteArray(1000000, '}') + " after}"),
             u"deep after"_qs);
    QCOMPARE(textOf("{\\rtf1 " + QByteArray(1000000, '{') + "unclosed"), u"unclosed"_qs);
    QCOMPARE(textOf("{\\rtf1{\\colortbl" + QByteArray(megabyte, ';') + "}" +
                    QByteArray("\\cf7 a\\cf8 b").repeated(1000) + "}")
                 .size(),
             2000);
    QTextDocument lines;
    rtf::read("{\\rtf1 " + QByteArray("\\par").repeated(100000) + "}", lines);
    QCOMPARE(lines.blockCount(), 100000);
    // Picture bytes: 16 MB in hex lines as word processors write them, kept (a form this
    // program does not draw) and written back whole.
    const QByteArray line = QByteArray("0123456789abcdef").repeated(8) + "\r\n";
    QTextDocument big;
    rtf::read("{\\rtf1 a{\\pict\\macpict " + line.repeated(16 * megabyte / 64) + "}b}", big);
    const std::optional<rtf::Picture> picture = rtf::pictureOf(formatAt(big, 0, 1));
    QVERIFY(picture);
    QCOMPARE(picture->stored.data.size(), 16 * megabyte);
    QCOMPARE(picture->stored.data.left(4), QByteArray("\x01\x23\x45\x67"));
    QCOMPARE(rtf::write(big).count("0123456789abcdef"), 16 * megabyte / 8);
}

void RtfReaderTest::binaryGarbage_neverCrashes_andRewritesStably() {
    QRandomGenerator rng(20240601);
    const QByteArray alphabet("{}\\'*;0123456789abcdefuxbinparpntextfonttblcolortbl \r\n\xb0\xa1-?");
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = round % 2 ? QByteArray("{\\rtf1\\ansi\\ansicpg949") : QByteArray();
        const int length = rng.bounded(2000);
        for (int i = 0; i < length; ++i) {
            bytes += round % 3 ? alphabet[rng.bounded(int(alphabet.size()))] : char(rng.bounded(256));
        }
        QTextDocument document;
        rtf::read(bytes, document);
        for (const QChar ch : document.toPlainText())
            QVERIFY2(ch >= u' ' || ch == u'\t' || ch == u'\n', qPrintable(QString::number(ch.unicode(), 16)));
        verifyStableRewrite(bytes);
    }
}

void RtfReaderTest::everyFixture_rewritesStably() {
    // Includes the inputs the fuzzer found (regress_*.rtf).
    const QDir dir(QStringLiteral(STIKKO_TEST_DATA "/rtf"));
    const QStringList names = dir.entryList({QStringLiteral("*.rtf")}, QDir::Files);
    QVERIFY(names.size() >= 4);
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QTextDocument first;
        rtf::read(bytes, first);
        QTextDocument second;
        rtf::read(rtf::write(first), second);
        QVERIFY2(second.toPlainText() == first.toPlainText(), qPrintable(name));
        verifyStableRewrite(bytes);
    }
}

QTEST_MAIN(RtfReaderTest)
#include "rtf_reader_test.moc"
