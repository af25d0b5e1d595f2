// The RTF writer: its dialect (the rich-edit control's, with what word processors add beside
// it), and round trips through the reader.
#include "platform/rtf.h"
#include "platform/rtfpicture.h"
#include "support/rtf_testdocs.h"
#include "theme/fonts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

using namespace stikko;

namespace {

// Compares two document descriptions line by line: a failure names the first paragraph that differs.
bool sameDescription(const QString& got, const QString& want) {
    const QStringList gotLines = got.split(u'\n'), wantLines = want.split(u'\n');
    for (qsizetype i = 0; i < std::max(gotLines.size(), wantLines.size()); ++i) {
        const QString a = gotLines.value(i), b = wantLines.value(i);
        if (a != b) {
            qWarning("paragraph %lld differs:\n  got:  %s\n  want: %s", static_cast<long long>(i + 1),
                     qPrintable(a), qPrintable(b));
            return false;
        }
    }
    return true;
}

QByteArray roundTripBytes(const QByteArray& bytes, QTextDocument& into) {
    into.setDefaultFont(test::noteDefaultFont());
    rtf::read(bytes, into);
    return rtf::write(into);
}

} // namespace

class RtfWriterTest : public QObject {
    Q_OBJECT

  private slots:
    void generatedDocuments_surviveRoundTrip_data();
    void generatedDocuments_surviveRoundTrip();
    void emptyDocument_staysOneEmptyLine();
    void korean_writtenAsCodePage949Pairs_othersAsUnicode();
    void fontTable_namesDocumentFamilies_notSubstitutes();
    void bullets_writtenInRichEditForm();
    void numbersLinksAndPictures_writtenInFormsTheControlReads();
    void trailingEmptyLines_arePreserved();
    void saveFile_replacesAtomically_andReportsFailure();
    void loadFile_missingFile_leavesDocumentAlone();
};

void RtfWriterTest::generatedDocuments_surviveRoundTrip_data() {
    QTest::addColumn<unsigned>("seed");
    for (unsigned seed = 0; seed < 300; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void RtfWriterTest::generatedDocuments_surviveRoundTrip() {
    QFETCH(unsigned, seed);
    QTextDocument original;
    test::fillRandomDocument(original, seed);
    const QByteArray saved = rtf::write(original);

    QTextDocument loaded;
    const QByteArray savedAgain = roundTripBytes(saved, loaded);
    QVERIFY(sameDescription(test::describeDocument(loaded), test::describeDocument(original)));
    QCOMPARE(loaded.toPlainText(), original.toPlainText());
    QCOMPARE(savedAgain, saved);
}

void RtfWriterTest::emptyDocument_staysOneEmptyLine() {
    QTextDocument empty;
    empty.setDefaultFont(test::noteDefaultFont());
    const QByteArray saved = rtf::write(empty);
    QVERIFY(saved.startsWith("{\\rtf1\\ansi\\ansicpg949\\deff0\\deflang1033\\deflangfe1042{\\fonttbl"));
    QVERIFY(saved.endsWith("\\par\r\n}\r\n"));
    QTextDocument loaded;
    QCOMPARE(roundTripBytes(saved, loaded), saved);
    QCOMPARE(loaded.blockCount(), 1);
    QVERIFY(loaded.isEmpty());
}

void RtfWriterTest::korean_writtenAsCodePage949Pairs_othersAsUnicode() {
    QTextDocument document;
    document.setDefaultFont(test::noteDefaultFont());
    QTextCursor(&document).insertText(u"가 똠 a\\{b}; café 😀\t€"_qs);
    const QByteArray saved = rtf::write(document);
    // 가 = B0A1; 똠 is in the extended range (8C63); é and the emoji have no CP949 form.
    QVERIFY2(saved.contains("\\'b0\\'a1 \\'8c\\'63 a\\\\\\{b\\}; caf\\u233?"), saved.constData());
    QVERIFY2(saved.contains("\\u-10179?\\u-8704?\\tab\\'a2\\'e6\\par"), saved.constData());
    // Korean is the text's language; the note's font serves every kind of character.
    QVERIFY(
        saved.contains("\\viewkind4\\uc1\\lang1042\\langfe1042\\pard\\hich\\af0\\dbch\\af0\\loch\\f0\\fs18"));
}

void RtfWriterTest::fontTable_namesDocumentFamilies_notSubstitutes() {
    fonts::installSubstitutions();
    QTextDocument document;
    document.setDefaultFont(test::noteDefaultFont());
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("one "));
    QTextCharFormat gulim;
    gulim.setFont(QFont(QStringLiteral("굴림"), 14));
    cursor.insertText(QStringLiteral("two"), gulim);
    const QByteArray saved = rtf::write(document);
    QVERIFY2(saved.contains("{\\fonttbl{\\f0\\fnil\\fcharset129 \\'b1\\'bc\\'b8\\'b2\\'c3\\'bc;}"
                            "{\\f1\\fnil\\fcharset129 \\'b1\\'bc\\'b8\\'b2;}}"),
             saved.constData());
    QVERIFY(!saved.contains("Nanum"));
    QVERIFY(saved.contains("one \\hich\\af1\\dbch\\af1\\loch\\f1\\fs28 two\\par"));
}

void RtfWriterTest::bullets_writtenInRichEditForm() {
    QTextDocument document;
    document.setDefaultFont(test::noteDefaultFont());
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("plain"));
    cursor.insertBlock();
    cursor.createList(QTextListFormat::ListDisc);
    cursor.insertText(QStringLiteral("first"));
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("second"));
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(QStringLiteral("after"));
    const QByteArray saved = rtf::write(document);
    QVERIFY2(saved.contains("{\\f1\\fnil\\fcharset2 Symbol;}"), saved.constData());
    // The bullet: as the control writes it, the Symbol font's byte; for word processors, which
    // would take that byte in code page 949, the bullet list of the list table.
    QVERIFY2(saved.contains(
                 "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc23\\levelstartat1"
                 "\\levelfollow0{\\leveltext\\'01\\u8226 ?;}{\\levelnumbers;}\\fi-200\\li200}\\listid1}}"),
             saved.constData());
    QVERIFY2(
        saved.contains("plain\\par\r\n"
                       "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
                       "\\ls1\\ilvl0\\fi-200\\li200 first\\par\r\n"
                       "{\\pntext\\f1\\'B7\\tab}second\\par\r\n"
                       "\\pard after\\par\r\n}"),
        saved.constData());
}

void RtfWriterTest::numbersLinksAndPictures_writtenInFormsTheControlReads() {
    QTextDocument document;
    document.setDefaultFont(test::noteDefaultFont());
    QTextCursor cursor(&document);
    cursor.createList(QTextListFormat::ListDecimal);
    cursor.insertText(QStringLiteral("one"));
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("two"));
    cursor.insertBlock(QTextBlockFormat());
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("https://example.com/?q=\"x\""));
    cursor.insertText(QStringLiteral("link"), link);
    cursor.insertText(QStringLiteral(" after"), QTextCharFormat());
    cursor.insertBlock();
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    image.setPixel(0, 0, qRgb(0, 0, 255));
    rtf::insertPicture(cursor, *rtf::pictureFromImage(image));
    const QByteArray saved = rtf::write(document);

    // Numbers as the control writes them: the number as text, then the numbering it makes;
    // beside that the list of the list table, for word processors, in words the control skips.
    QVERIFY2(saved.contains(
                 "\\pard{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pndec"
                 "{\\pntxta .}}\\ls1\\ilvl0\\fi-360\\li360\\hich\\af0\\dbch\\af0\\loch\\f0\\fs18 one\\par\r\n"
                 "{\\pntext\\f0 2.\\tab}two\\par"),
             saved.constData());
    QVERIFY2(
        saved.contains(
            "\r\n{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat1"
            "\\levelfollow0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li360}\\listid1}}\r\n"
            "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}\r\n"),
        saved.constData());
    // A link field whose result is the link's text; a quote in the address as in a URL.
    QVERIFY2(saved.contains("\\pard{\\field{\\*\\fldinst HYPERLINK \"https://example.com/?q=%22x%22\"}"
                            "{\\fldrslt link}} after\\par"),
             saved.constData());
    // The picture as PNG for readers that take it, and beside it a metafile the control draws.
    const qsizetype preferred =
        saved.indexOf("{\\*\\shppict{\\pict\\picw4\\pich3\\picwgoal60\\pichgoal45\\pngblip\r\n");
    const qsizetype beside =
        saved.indexOf("}}{\\nonshppict{\\pict\\picw106\\pich79\\picwgoal60\\pichgoal45\\wmetafile8\r\n");
    QVERIFY2(preferred > 0 && beside > preferred, saved.constData());
    // Read alone, as the control reads it, the metafile shows the same picture.
    const QByteArray metafile = saved.mid(beside + 15, saved.indexOf('}', beside + 15) - beside - 14);
    QTextDocument alone;
    rtf::read("{\\rtf1 " + metafile + "}", alone);
    const std::optional<rtf::Picture> shown =
        rtf::pictureOf(QTextCursor(alone.begin()).block().begin().fragment().charFormat());
    QVERIFY(shown && shown->drawable);
    QCOMPARE(shown->stored.kind, QByteArray("wmetafile8"));
    QCOMPARE(shown->shown.size(), QSize(4, 3));
    QCOMPARE(shown->shown.pixel(0, 0), qRgb(0, 0, 255));
    QCOMPARE(shown->shown.pixel(3, 2), qRgb(255, 0, 0));

    // Read back, the link has its address and the look of a link (it had none of its own);
    // written again, nothing more changes.
    QTextDocument loaded;
    const QByteArray again = roundTripBytes(saved, loaded);
    QCOMPARE(loaded.findBlockByNumber(1).textList()->itemText(loaded.findBlockByNumber(1)), u"2."_qs);
    const QTextCharFormat linkRead = loaded.find(QStringLiteral("link")).charFormat();
    QCOMPARE(linkRead.anchorHref(), u"https://example.com/?q=%22x%22"_qs);
    QVERIFY(linkRead.fontUnderline());
    QCOMPARE(linkRead.foreground().color(), QColor(0, 0, 255));
    QTextDocument reloaded;
    QCOMPARE(roundTripBytes(again, reloaded), again);
}

void RtfWriterTest::trailingEmptyLines_arePreserved() {
    // The last \par closes the last line; each empty line after text is a \par of its own.
    for (const QString& text : {u"a"_qs, u"a\n"_qs, u"a\n\n"_qs, u"\n"_qs}) {
        QTextDocument document;
        document.setPlainText(text);
        QTextDocument loaded;
        rtf::read(rtf::write(document), loaded);
        QCOMPARE(loaded.toPlainText(), text);
    }
}

void RtfWriterTest::saveFile_replacesAtomically_andReportsFailure() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("note.rtf"));
    QTextDocument first;
    first.setPlainText(QStringLiteral("첫 번째"));
    QString error;
    QVERIFY(rtf::saveFile(path, first, &error));
    QTextDocument second;
    second.setPlainText(QStringLiteral("두 번째"));
    QVERIFY(rtf::saveFile(path, second, &error));
    QTextDocument loaded;
    QVERIFY(rtf::loadFile(path, loaded));
    QCOMPARE(loaded.toPlainText(), QStringLiteral("두 번째"));

    // A file that cannot be written leaves the old one and says why.
    const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/note.rtf"));
    error.clear();
    QVERIFY(!rtf::saveFile(missingFolder, second, &error));
    QVERIFY(!error.isEmpty());
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool denied = !rtf::saveFile(path, first, &error);
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (denied) { // root may write anywhere; then there is nothing to check
        QVERIFY(rtf::loadFile(path, loaded));
        QCOMPARE(loaded.toPlainText(), QStringLiteral("두 번째"));
    }
}

void RtfWriterTest::loadFile_missingFile_leavesDocumentAlone() {
    QTextDocument document;
    document.setPlainText(QStringLiteral("keep me"));
    QVERIFY(!rtf::loadFile(QStringLiteral("/nonexistent/note.rtf"), document));
    QCOMPARE(document.toPlainText(), QStringLiteral("keep me"));
}

QTEST_MAIN(RtfWriterTest)
#include "rtf_writer_test.moc"
