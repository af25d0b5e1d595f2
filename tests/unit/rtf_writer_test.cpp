// The RTF writer: its dialect, and round trips through the reader.
#include "platform/rtf.h"
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
    QCOMPARE(test::describeDocument(loaded), test::describeDocument(original));
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
    QVERIFY2(saved.contains(
                 "plain\\par\r\n"
                 "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\u8226\\'B7}}"
                 "\\fi-200\\li200 first\\par\r\n"
                 "{\\pntext\\f1\\'B7\\tab}second\\par\r\n"
                 "\\pard after\\par\r\n}"),
             saved.constData());
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
