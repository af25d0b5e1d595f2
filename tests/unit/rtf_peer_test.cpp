// An independent RTF reader reads the files our writer makes and finds the same text, Korean
// included. The reader is LibreOffice (headless, installed by install-deps): it knows code page
// 949 fonts, \uN with its fallback, and rich-edit bullets.
#include "platform/rtf.h"
#include "support/rtf_testdocs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <memory>
#include <vector>

using namespace stikko;

namespace {

// What a plain-text export should show: one line per paragraph (and per line break); a
// bulleted paragraph as "• " and its text, the way the peer labels list items.
QString expectedLines(const QTextDocument& document) {
    QString out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        text.replace(QChar::LineSeparator, u'\n');
        out += (block.textList() ? u"• "_qs : QString()) + text + u'\n';
    }
    return out;
}

// The peer's export, its byte-order mark dropped and the indent before a list label removed.
// The peer also reads each space of a run of spaces as a six-per-em space (U+2006) and a space,
// whoever wrote the file; that is folded back.
QString normalisedExport(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(u"\u2006 "_qs, u" "_qs);
    static const QRegularExpression labelIndent(QStringLiteral("^ +(?=• )"),
                                                QRegularExpression::MultilineOption);
    text.remove(labelIndent);
    return text;
}

void buildSampleNote(QTextDocument& document) {
    document.setDefaultFont(test::noteDefaultFont());
    QTextCursor cursor(&document);
    cursor.insertText(u"작성일:24/06/01 오후 03:12:45"_qs);
    cursor.insertBlock();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setForeground(QColor(255, 0, 0));
    cursor.insertText(u"회의 결과"_qs, bold);
    cursor.insertText(u" — 똠방각하, café, 日本語, €10, 😀\tand {braces} \\ back;slash"_qs, QTextCharFormat());
    cursor.insertBlock();
    cursor.createList(QTextListFormat::ListDisc);
    cursor.insertText(u"첫째 항목"_qs);
    cursor.insertBlock();
    QTextCharFormat big;
    big.setFontPointSize(20);
    big.setFontFamilies({u"굴림"_qs});
    cursor.insertText(u"둘째 항목"_qs, big);
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(u"줄 바꿈\u2028다음 줄"_qs);
    cursor.insertBlock();
    cursor.insertBlock();
    cursor.insertText(u"끝"_qs);
}

} // namespace

class RtfPeerTest : public QObject {
    Q_OBJECT

  private slots:
    void independentReader_findsTheSameText();
};

void RtfPeerTest::independentReader_findsTheSameText() {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QFAIL("soffice not found: scripts/install-deps installs libreoffice-writer-nogui");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::vector<std::unique_ptr<QTextDocument>> documents;
    documents.push_back(std::make_unique<QTextDocument>());
    buildSampleNote(*documents.back());
    for (unsigned seed = 1; seed <= 8; ++seed) {
        documents.push_back(std::make_unique<QTextDocument>());
        test::fillRandomDocument(*documents.back(), seed * 7919);
    }
    QStringList files;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("note%1.rtf").arg(i));
        QVERIFY(rtf::saveFile(path, *documents[i]));
        files << path;
    }

    // One run for all files: starting the peer costs far more than converting. Its own
    // profile keeps it away from any user's settings and from other runs.
    QProcess peer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    peer.setProcessEnvironment(env);
    peer.setProcessChannelMode(QProcess::MergedChannels);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    peer.start(soffice,
               QStringList{QStringLiteral("-env:UserInstallation=") +
                               QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                           QStringLiteral("--headless"), QStringLiteral("--norestore"),
                           QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
                           QStringLiteral("--outdir"), outDir} +
                   files);
    QVERIFY2(peer.waitForFinished(240000), "the peer reader did not finish in 4 minutes");
    const QByteArray log = peer.readAll();
    QVERIFY2(peer.exitStatus() == QProcess::NormalExit && peer.exitCode() == 0, log.constData());

    for (std::size_t i = 0; i < documents.size(); ++i) {
        QFile exported(QDir(outDir).filePath(QStringLiteral("note%1.txt").arg(i)));
        QVERIFY2(exported.open(QIODevice::ReadOnly), qPrintable(exported.fileName() + u"\n"_qs + log));
        const QStringList got = normalisedExport(exported.readAll()).split(u'\n');
        const QStringList want = expectedLines(*documents[i]).split(u'\n');
        for (qsizetype line = 0; line < std::min(got.size(), want.size()); ++line)
            QVERIFY2(got[line] == want[line],
                     qPrintable(QStringLiteral("note%1 line %2:\n  peer: %3\n  ours: %4")
                                    .arg(i)
                                    .arg(line + 1)
                                    .arg(got[line], want[line])));
        QCOMPARE(got.size(), want.size());
    }
}

QTEST_MAIN(RtfPeerTest)
#include "rtf_peer_test.moc"
