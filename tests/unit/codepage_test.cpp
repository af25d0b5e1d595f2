#include "platform/codepage.h"

#include <QTest>
#include <cstring>

namespace cp = stikko::cp949;

class CodepageTest : public QObject {
    Q_OBJECT

  private slots:
    void encode_usesTheWindowsTable();
    void decode_badBytesBecomeReplacementCharacters();
    void copyToField_neverOverrunsOrSplits();
    void copyToField_stopsAtNulAndClearsTheRest();
};

void CodepageTest::encode_usesTheWindowsTable() {
    QCOMPARE(cp::encode(u"작성일"), QByteArray("\xC0\xDB\xBC\xBA\xC0\xCF"));
    // IBM's table of the same number maps these differently; notes from Windows need these.
    QCOMPARE(cp::encode(u"C:\\똠"), QByteArray("C:\\\x8C\x63"));
    QCOMPARE(cp::decode("\x8C\x63\\"), QStringView(u"똠\\").toString());
    // No code-page form: one '?' per character, surrogate pairs included.
    QCOMPARE(cp::encode(QString::fromUtf8("a\xC3\xA9\xF0\x9F\x98\x80z")), QByteArray("a??z"));
}

void CodepageTest::decode_badBytesBecomeReplacementCharacters() {
    QCOMPARE(cp::decode("\xB0\xA1\xB0"),
             QStringView(u"가\uFFFD").toString()); // dangling lead byte at the end
    QVERIFY(cp::decode("\xB0\x20").startsWith(QChar(QChar::ReplacementCharacter)));
    QVERIFY(cp::isValid("\xB0\xA1 abc"));
    QVERIFY(!cp::isValid("\xB0"));
    QVERIFY(!cp::isValid("\xB0\x20"));
    QVERIFY(cp::isLeadByte(0x81) && cp::isLeadByte(0xFE));
    QVERIFY(!cp::isLeadByte(0x80) && !cp::isLeadByte(0xFF) && !cp::isLeadByte('A'));
}

void CodepageTest::copyToField_neverOverrunsOrSplits() {
    struct {
        char field[6];
        char guard[4];
    } box;
    std::memset(&box, 0x5A, sizeof box);
    // "가나다" is six bytes; five fit, but byte five begins the third syllable.
    cp::copyToField(box.field, QByteArrayView("\xB0\xA1\xB3\xAA\xB4\xD9"));
    QCOMPARE(QByteArray(box.field), QByteArray("\xB0\xA1\xB3\xAA"));
    QCOMPARE(QByteArray(box.guard, 4), QByteArray(4, 0x5A));

    // Trail bytes of Korean syllables lie in the lead-byte range too: with room for four
    // bytes, byte four of "가나다" ends "나" and must not be taken for a lead byte.
    char four[5];
    cp::copyToField(four, QByteArrayView("\xB0\xA1\xB3\xAA\xB4\xD9"));
    QCOMPARE(QByteArray(four), QByteArray("\xB0\xA1\xB3\xAA"));
    cp::copyToField(four, QByteArrayView("a\xB0\xA1\xB3\xAA"));
    QCOMPARE(QByteArray(four), QByteArray("a\xB0\xA1"));

    cp::copyToField(box.field, QStringView(u"abcdefgh"));
    QCOMPARE(QByteArray(box.field), QByteArray("abcde"));
    QCOMPARE(QByteArray(box.guard, 4), QByteArray(4, 0x5A));
}

void CodepageTest::copyToField_stopsAtNulAndClearsTheRest() {
    char field[8];
    std::memset(field, 'x', sizeof field);
    cp::copyToField(field, QByteArrayView("ab\0cd", 5));
    QCOMPARE(QByteArray(field, 8), QByteArray("ab\0\0\0\0\0\0", 8));
    // Copying a field onto itself is harmless.
    cp::copyToField(field, QByteArrayView(field, 2));
    QCOMPARE(QByteArray(field), QByteArray("ab"));
    char text[4] = "\xB0\xA1z";
    QCOMPARE(cp::fieldText(text), QStringView(u"가z").toString());
}

QTEST_GUILESS_MAIN(CodepageTest)
#include "codepage_test.moc"
