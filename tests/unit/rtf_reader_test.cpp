// The RTF reader: files as the rich-edit control and word processors write them, the syntax's
// corners, code pages, and broken input.
#include "platform/rtf.h"
#include "support/rtf_testdocs.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

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
