#include "platform/ini.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using stikko::IniFile;
using stikko::test::readAll;

class IniTest : public QObject {
    Q_OBJECT

  private slots:
    void lookup_ignoresAsciiCaseOnly();
    void duplicates_firstSectionAndFirstKeyCount();
    void readInteger_data();
    void readInteger();
    void missingKeySectionOrFile_givesFallback();
    void write_replacesInPlaceAppendsToSectionOrFile();
    void write_keepsEveryUntouchedLineByteForByte();
    void lineEnds_stayAsTheFileHasThem();
    void byteOrderMark_toleratedAndKept();
    void nulAndStrayHighBytes_neverCrash();
    void hugeLine_readAndKept();
    void valueWithLineBreak_staysOneLine();
    void sameWithoutValues_data();
    void sameWithoutValues();
    void lookUp_findsWhatTheParserReads_data();
    void lookUp_findsWhatTheParserReads();
    void save_replacesFileAtomically();
    void save_failsWithoutFolderOrOverDirectory();
    void save_failedWrite_leavesOldFileIntact();
    void save_unreadableFile_isNotOverwritten();
};

void IniTest::lookup_ignoresAsciiCaseOnly() {
    IniFile ini = IniFile::fromBytes("[Value_Section]\nTITLE = abc\n[x]\n\xC0=upper\n\xE0=lower\n");
    QCOMPARE(ini.readString("VALUE_SECTION", "title"), QByteArray("abc"));
    QCOMPARE(ini.readString("value_section", "Title"), QByteArray("abc"));
    // Bytes above 0x7F belong to double-byte characters: never folded.
    QCOMPARE(ini.readString("X", "\xE0"), QByteArray("lower"));
    QCOMPARE(ini.readString("X", "\xC0"), QByteArray("upper"));

    ini.writeString("VALUE_SECTION", "title", "new");
    QCOMPARE(ini.toBytes(), QByteArray("[Value_Section]\nTITLE=new\n[x]\n\xC0=upper\n\xE0=lower\n"));
}

void IniTest::duplicates_firstSectionAndFirstKeyCount() {
    IniFile ini = IniFile::fromBytes("[s]\nk=1\nk=2\n[t]\n[S]\nk=3\nonly=4\n");
    QCOMPARE(ini.readInteger("s", "k", -1), 1);
    QCOMPARE(ini.readInteger("s", "only", -1), -1); // lives in the second [S], which is never read
    ini.writeInteger("s", "k", 9);
    ini.writeInteger("s", "only", 5);
    QCOMPARE(ini.toBytes(), QByteArray("[s]\nk=9\nk=2\nonly=5\n[t]\n[S]\nk=3\nonly=4\n"));
}

void IniTest::readInteger_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    const int fb = -77;
    QTest::newRow("plain") << QByteArray("12") << 12;
    QTest::newRow("blanks and sign") << QByteArray(" \t-5 ") << -5;
    QTest::newRow("plus") << QByteArray("+7") << 7;
    QTest::newRow("system colour") << QByteArray("-2147483633") << -2147483633;
    QTest::newRow("max") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("min") << QByteArray("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("just over max") << QByteArray("2147483648") << fb;
    QTest::newRow("just under min") << QByteArray("-2147483649") << fb;
    QTest::newRow("20 digits") << QByteArray("12345678901234567890") << fb;
    QTest::newRow("20 nines") << QByteArray("99999999999999999999") << fb;
    QTest::newRow("garbage") << QByteArray("abc") << fb;
    QTest::newRow("trailing garbage") << QByteArray("12abc") << fb;
    QTest::newRow("inner blank") << QByteArray("1 2") << fb;
    QTest::newRow("hex") << QByteArray("0x10") << fb;
    QTest::newRow("sign only") << QByteArray("-") << fb;
    QTest::newRow("empty") << QByteArray("") << fb;
}

void IniTest::readInteger() {
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    const IniFile ini = IniFile::fromBytes("[s]\nn=" + value + "\n");
    QCOMPARE(ini.readInteger("s", "n", -77), expected);
}

void IniTest::missingKeySectionOrFile_givesFallback() {
    const IniFile ini = IniFile::fromBytes("[s]\nk=v\nnovalue\n; c=1\n");
    QCOMPARE(ini.readString("s", "x", "fb"), QByteArray("fb"));
    QCOMPARE(ini.readString("t", "k", "fb"), QByteArray("fb"));
    QCOMPARE(ini.readString("s", "novalue", "fb"), QByteArray("fb"));
    QCOMPARE(ini.readString("s", "; c", "fb"), QByteArray("fb"));
    QCOMPARE(ini.readString("s", "k", "fb"), QByteArray("v"));

    QTemporaryDir dir;
    const IniFile missing(dir.path() + "/nofolder/none.ini");
    QVERIFY(!missing.existed());
    QCOMPARE(missing.readInteger("s", "k", 42), 42);
    QVERIFY(!QFileInfo::exists(dir.path() + "/nofolder"));
}

void IniTest::write_replacesInPlaceAppendsToSectionOrFile() {
    IniFile ini = IniFile::fromBytes("[a]\nx=1\ny = 2\n\n[b]\nz=3");
    ini.writeInteger("a", "y", 20);    // in place
    ini.writeInteger("a", "w", 4);     // after the last filled line of [a], before the blank line
    ini.writeString("b", "v", "text"); // [b] ends without a line end
    ini.writeString("c", "u", "new");  // new section at the end
    QCOMPARE(ini.toBytes(), QByteArray("[a]\nx=1\ny=20\nw=4\n\n[b]\nz=3\nv=text\n[c]\nu=new\n"));

    IniFile empty = IniFile::fromBytes({});
    empty.writeString("s", "k", "");
    QCOMPARE(empty.toBytes(), QByteArray("[s]\nk=\n"));
}

void IniTest::write_keepsEveryUntouchedLineByteForByte() {
    const QByteArray before = "; a comment\n"
                              "orphan=before any section\n"
                              "[s]\n"
                              "  unknown =  spaced value  \n"
                              "a line without an equals sign\n"
                              "k=old\n"
                              "[other]\n"
                              "keep=me\n";
    IniFile ini = IniFile::fromBytes(before);
    ini.writeString("s", "k", "new");
    QByteArray expected = before;
    expected.replace("k=old", "k=new");
    QCOMPARE(ini.toBytes(), expected);
    QCOMPARE(ini.readString("s", "unknown"), QByteArray("spaced value"));
}

void IniTest::lineEnds_stayAsTheFileHasThem() {
    IniFile crlf = IniFile::fromBytes("[s]\r\nk=1\r\n");
    QCOMPARE(crlf.readInteger("s", "k", 0), 1); // no '\r' left on the value
    crlf.writeInteger("s", "k", 2);
    crlf.writeInteger("s", "n", 3);
    crlf.writeInteger("t", "m", 4);
    QCOMPARE(crlf.toBytes(), QByteArray("[s]\r\nk=2\r\nn=3\r\n[t]\r\nm=4\r\n"));

    // Each existing line keeps its own end; new lines take the first one seen.
    IniFile mixed = IniFile::fromBytes("[s]\nk=1\r\nj=2\n");
    mixed.writeInteger("s", "k", 5);
    mixed.writeInteger("s", "n", 6);
    QCOMPARE(mixed.toBytes(), QByteArray("[s]\nk=5\r\nj=2\nn=6\n"));
}

void IniTest::byteOrderMark_toleratedAndKept() {
    IniFile ini = IniFile::fromBytes("\xEF\xBB\xBF[VALUE_SECTION]\r\ntitle=x\r\n");
    QCOMPARE(ini.readString("VALUE_SECTION", "title"), QByteArray("x"));
    ini.writeString("VALUE_SECTION", "title", "y");
    QCOMPARE(ini.toBytes(), QByteArray("\xEF\xBB\xBF[VALUE_SECTION]\r\ntitle=y\r\n"));
}

void IniTest::nulAndStrayHighBytes_neverCrash() {
    const QByteArray nul(1, '\0');
    const QByteArray bytes =
        "[s]\nk=a" + nul + "b\n\xFF\xFE\x80=\x81\n[" + nul + "\xFF\nn=" + nul + "5\nz=\xB0\n";
    IniFile ini = IniFile::fromBytes(bytes);
    QCOMPARE(ini.readString("s", "k"), QByteArray("a\0b", 3));
    QCOMPARE(ini.readString("s", "\xFF\xFE\x80"), QByteArray("\x81"));
    QCOMPARE(ini.readInteger(QByteArrayView("\0\xFF", 2), "n", -1), -1);
    QCOMPARE(ini.readString(QByteArrayView("\0\xFF", 2), "z"), QByteArray("\xB0"));
    ini.writeInteger("s", "k", 1);
    QByteArray expected = bytes;
    expected.replace(QByteArray("k=a\0b", 5), "k=1");
    QCOMPARE(ini.toBytes(), expected);
}

void IniTest::hugeLine_readAndKept() {
    const QByteArray big(1 << 20, 'x');
    IniFile ini = IniFile::fromBytes("[s]\nbig=" + big + "\nk=1\n");
    QCOMPARE(ini.readString("s", "big").size(), big.size());
    ini.writeInteger("s", "k", 2);
    QCOMPARE(ini.toBytes(), "[s]\nbig=" + big + "\nk=2\n");
}

void IniTest::valueWithLineBreak_staysOneLine() {
    IniFile ini = IniFile::fromBytes("[s]\n");
    ini.writeString("s", "title", "a\r\n[evil]\nisshow=0");
    QCOMPARE(ini.toBytes(), QByteArray("[s]\ntitle=a  [evil] isshow=0\n"));
    QVERIFY(!ini.hasKey("evil", "isshow"));
}

void IniTest::sameWithoutValues_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("same");
    const QByteArray base = "[V]\r\nid=1\r\npath=/x/a\r\n";
    QTest::newRow("identical") << base << base << true;
    QTest::newRow("only the value") << base << QByteArray("[V]\r\nid=1\r\npath=/y/bb\r\n") << true;
    QTest::newRow("blanks around it") << base << QByteArray("[V]\r\nid=1\r\n path = /y \r\n") << true;
    QTest::newRow("key spelt otherwise") << base << QByteArray("[V]\r\nid=1\r\nPATH=/x/a\r\n") << false;
    QTest::newRow("other key differs") << base << QByteArray("[V]\r\nid=2\r\npath=/x/a\r\n") << false;
    QTest::newRow("line end differs") << base << QByteArray("[V]\r\nid=1\r\npath=/y\n") << false;
    QTest::newRow("missing on one side") << base << QByteArray("[V]\r\nid=1\r\n") << false;
    QTest::newRow("second of two counts")
        << QByteArray("[v]\npath=a\npath=b\n") << QByteArray("[v]\npath=c\npath=d\n") << false;
    QTest::newRow("first of two") << QByteArray("[v]\npath=a\npath=b\n")
                                  << QByteArray("[v]\npath=c\npath=b\n") << true;
    QTest::newRow("other section") << QByteArray("[w]\npath=a\n[V]\n") << QByteArray("[w]\npath=b\n[V]\n")
                                   << false;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[V]\npath=a\n") << QByteArray("[V]\npath=a\n")
                                     << false;
    QTest::newRow("empty already, no last line end")
        << QByteArray("[V]\npath=a\nkey=x") << QByteArray("[V]\npath=\nkey=x") << true;
}

void IniTest::sameWithoutValues() {
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, same);
    // Agrees with emptying the keys in copies and comparing the bytes, both ways round.
    const auto emptied = [](IniFile ini) {
        for (const char* key : {"path", "absent"})
            if (ini.hasKey("v", key))
                ini.writeString("v", key, "");
        return ini.toBytes();
    };
    const IniFile x = IniFile::fromBytes(a), y = IniFile::fromBytes(b);
    QCOMPARE(emptied(x) == emptied(y), same);
    QCOMPARE(x.sameWithoutValues(y, "v", {"path", "absent"}), same);
    QCOMPARE(y.sameWithoutValues(x, "v", {"path", "absent"}), same);
}

void IniTest::lookUp_findsWhatTheParserReads_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray nul(1, '\0');
    QTest::newRow("plain") << QByteArray("[s]\nk=1\nt=title\n[a]\nk=2\n");
    QTest::newRow("case, blanks, CRLF") << QByteArray("[ S ]\r\n  K = 1 \r\nT=\r\n[A]\r\nk =2");
    QTest::newRow("duplicates") << QByteArray("[s]\nk=1\nk=2\n[a]\n[S]\nk=3\nt=4\n[a]\nk=5\n");
    QTest::newRow("comments, odd lines, CR only")
        << QByteArray(";[a]\r[s]\r;k=0\rjunk\r=x\rk\rk==1\r[a\rk=2\r");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[s]\nk=1\n");
    QTest::newRow("keys before any section") << QByteArray("k=0\nt=0\n[s]\nt=1\n");
    QTest::newRow("missing") << QByteArray("[x]\nk=1\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("nul and high bytes")
        << "[s]\nk=a" + nul + "b\n\xB0\xA1=\xC0\n[a]\nt\xFF=1\nk=" + nul + "\n";
}

void IniTest::lookUp_findsWhatTheParserReads() {
    QFETCH(QByteArray, bytes);
    const IniFile ini = IniFile::fromBytes(bytes);
    std::vector<IniFile::Lookup> lookups;
    for (const char* section : {"s", "a", "none"})
        for (const char* key : {"k", "t", "", "\xB0\xA1"})
            lookups.push_back({section, key, {}});
    // The same lookups in any order, each alone and all together, find the same.
    for (const bool together : {true, false}) {
        if (together) {
            IniFile::lookUp(bytes, lookups);
        } else {
            for (IniFile::Lookup& lookup : lookups)
                IniFile::lookUp(bytes, std::span(&lookup, 1));
        }
        for (const IniFile::Lookup& lookup : lookups) {
            const QByteArray what = lookup.section.toByteArray() + '/' + lookup.key.toByteArray();
            QVERIFY2(lookup.value.has_value() == ini.hasKey(lookup.section, lookup.key), what.constData());
            if (lookup.value)
                QCOMPARE(lookup.value->toByteArray(), ini.readString(lookup.section, lookup.key));
        }
    }
}

void IniTest::save_replacesFileAtomically() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.ini";
    {
        IniFile ini(path);
        QVERIFY(!ini.existed());
        ini.writeString("s", "k", "v");
        QVERIFY2(ini.save(), qPrintable(ini.errorString()));
    }
    QCOMPARE(readAll(path), QByteArray("[s]\nk=v\n"));
    IniFile again(path);
    QVERIFY(again.existed());
    again.writeString("s", "k", "w");
    QVERIFY(again.save());
    QCOMPARE(readAll(path), QByteArray("[s]\nk=w\n"));
    // Nothing is left behind but the file itself.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.ini"});
}

void IniTest::save_failsWithoutFolderOrOverDirectory() {
    QTemporaryDir dir;
    IniFile noFolder(dir.path() + "/missing/a.ini");
    noFolder.writeString("s", "k", "v");
    QVERIFY(!noFolder.save());
    QVERIFY(!noFolder.errorString().isEmpty());
    QVERIFY(!QFileInfo::exists(dir.path() + "/missing"));

    QDir(dir.path()).mkdir("b.ini");
    IniFile overDir(dir.path() + "/b.ini");
    overDir.writeString("s", "k", "v");
    QVERIFY(!overDir.save());
    QVERIFY(QFileInfo(dir.path() + "/b.ini").isDir());

    QVERIFY(!IniFile::fromBytes("[s]\n").save()); // no file name
}

void IniTest::save_failedWrite_leavesOldFileIntact() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.ini";
    const QByteArray old = "[s]\nk=old\n";
    // A small document fails only when the last buffered bytes are flushed; a big one at once.
    for (const qsizetype size : {qsizetype(600), qsizetype(64 * 1024)}) {
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        IniFile ini(path);
        ini.writeString("s", "k", QByteArray(size, 'n'));
        {
            // The new contents cannot be written in full: the disk "fills up" halfway.
            stikko::test::FileSizeLimit limit(size / 2);
            QVERIFY(limit.isActive());
            QVERIFY(!ini.save());
            QVERIFY(!ini.errorString().isEmpty());
        }
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.ini"});
        QVERIFY(ini.save()); // the same document goes through once the disk has room
        QCOMPARE(readAll(path), "[s]\nk=" + QByteArray(size, 'n') + "\n");
    }
}

void IniTest::save_unreadableFile_isNotOverwritten() {
    if (stikko::test::ignoresFileModes())
        QSKIP("file modes do not bind this user (root)");
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.ini";
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[s]\nprecious=1\n");
    }
    QFile::setPermissions(path, QFile::WriteOwner);
    IniFile ini(path);
    ini.writeString("s", "k", "v");
    QVERIFY(!ini.save());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(readAll(path), QByteArray("[s]\nprecious=1\n"));
}

QTEST_GUILESS_MAIN(IniTest)
#include "ini_test.moc"
