// An independent RTF reader and writer, LibreOffice (headless, installed by install-deps): it
// reads the files our writer makes and finds the same text, Korean included (it knows code page
// 949 fonts, \uN with its fallback, and rich-edit bullets); a document it writes opens with its
// formatting, pictures, links and lists, and it reads our saved file back with the same; it draws
// the picture form that the Windows rich-edit control reads.
#include "platform/rtf.h"
#include "platform/rtfpicture.h"
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

// What a plain-text export should show: one line per paragraph (and per line break); a list
// item as its label ("•" or its number) and its text, the way the peer labels list items;
// pictures not at all. `items` says which lines begin a list item.
QStringList expectedLines(const QTextDocument& document, QList<bool>& items) {
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        text.remove(QChar::ObjectReplacementCharacter);
        QString label;
        if (const QTextList* list = block.textList())
            label = (list->format().style() == QTextListFormat::ListDisc ? u"•"_qs : list->itemText(block)) +
                    u' ';
        const QStringList parts = (label + text).split(QChar::LineSeparator);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            lines << parts[i];
            items << (i == 0 && !label.isEmpty());
        }
    }
    lines << QString();
    items << false;
    return lines;
}

// The peer's export, its byte-order mark dropped. The peer also reads each space of a run of
// spaces as a six-per-em space (U+2006) and a space, whoever wrote the file; that is folded back.
QStringList normalisedExport(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(u"\u2006 "_qs, u" "_qs);
    return text.split(u'\n');
}

// Runs the peer once over `files` with `args` (a conversion), in its own profile under `dir`
// so that it keeps away from any user's settings and from other runs. Empty when it worked,
// else what went wrong.
QString runPeer(const QTemporaryDir& dir, const QStringList& args, const QStringList& files) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        return QStringLiteral("soffice not found: scripts/install-deps installs libreoffice-writer-nogui");
    QProcess peer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    peer.setProcessEnvironment(env);
    peer.setProcessChannelMode(QProcess::MergedChannels);
    peer.start(soffice,
               QStringList{QStringLiteral("-env:UserInstallation=") +
                               QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                           QStringLiteral("--headless"), QStringLiteral("--norestore")} +
                   args + files);
    if (!peer.waitForFinished(240000))
        return QStringLiteral("the peer did not finish in 4 minutes");
    const QString log = QString::fromLocal8Bit(peer.readAll());
    if (peer.exitStatus() != QProcess::NormalExit || peer.exitCode() != 0)
        return log.isEmpty() ? QStringLiteral("the peer failed") : log;
    return {};
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the formatting test looks at in a document, one item a line: the look of the Korean runs,
// the link, the list numbers, the picture.
QString formattingOf(const QTextDocument& document) {
    QStringList out;
    const auto look = [&](const QString& text) {
        const QTextCursor found = document.find(text);
        if (found.isNull())
            return text + u": missing"_qs;
        QTextCursor at(found);
        at.setPosition(found.selectionStart() + 1);
        const QTextCharFormat f = at.charFormat();
        return QStringLiteral("%1: %2pt%3")
            .arg(text)
            .arg(f.fontPointSize())
            .arg(f.fontWeight() >= QFont::DemiBold ? " bold" : "");
    };
    out << look(u"굵게"_qs) << look(u"보통"_qs) << look(u"이십포인트"_qs);
    const QTextCharFormat link = document.find(u"링크"_qs).charFormat();
    out << u"링크 -> "_qs + link.anchorHref();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (const QTextList* list = block.textList()) {
            const bool bullet = list->format().style() == QTextListFormat::ListDisc;
            out << (bullet ? u"•"_qs : list->itemText(block)) + u' ' + block.text();
        }
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            if (const auto picture = rtf::pictureOf(it.fragment().charFormat())) {
                const QImage& shown = picture->shown;
                out << QStringLiteral("picture %1x%2 %3 %4")
                           .arg(picture->size.width())
                           .arg(picture->size.height())
                           .arg(QColor(shown.pixel(0, 0)).name(),
                                QColor(shown.pixel(shown.width() - 1, 0)).name());
            }
        }
    }
    return out.join(u'\n');
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
    void peerDocument_keepsItsFormatting_bothWays();
    void richEditPictureForm_isDrawnByThePeer();
};

void RtfPeerTest::independentReader_findsTheSameText() {
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

    // One run for all files: starting the peer costs far more than converting.
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const QString failed = runPeer(dir,
                                   {QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
                                    QStringLiteral("--outdir"), outDir},
                                   files);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));

    for (std::size_t i = 0; i < documents.size(); ++i) {
        QFile exported(QDir(outDir).filePath(QStringLiteral("note%1.txt").arg(i)));
        QVERIFY2(exported.open(QIODevice::ReadOnly), qPrintable(exported.fileName()));
        QStringList got = normalisedExport(exported.readAll());
        QList<bool> items;
        const QStringList want = expectedLines(*documents[i], items);
        for (qsizetype line = 0; line < std::min(got.size(), want.size()); ++line) {
            // The peer indents a list item's label.
            if (items[line])
                got[line].remove(QRegularExpression(QStringLiteral("^ +")));
            QVERIFY2(got[line] == want[line],
                     qPrintable(QStringLiteral("note%1 line %2:\n  peer: %3\n  ours: %4")
                                    .arg(i)
                                    .arg(line + 1)
                                    .arg(got[line], want[line])));
        }
        QCOMPARE(got.size(), want.size());
    }
}

void RtfPeerTest::peerDocument_keepsItsFormatting_bothWays() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A document the peer writes: made in HTML, which it converts to its own RTF.
    QImage image(12, 6, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    for (int y = 0; y < 6; ++y)
        for (int x = 6; x < 12; ++x)
            image.setPixel(x, y, qRgb(0, 0, 255));
    QVERIFY(image.save(dir.filePath(QStringLiteral("picture.png"))));
    QVERIFY(
        writeFile(dir.filePath(QStringLiteral("made.html")),
                  u"<html><head><meta charset=\"utf-8\"></head><body>"
                  "<p>앞 <b>굵게</b> 보통</p>"
                  "<p><span style=\"font-size:20pt\">이십포인트</span> small</p>"
                  "<p><a href=\"https://example.com/a?b=c\">링크</a></p>"
                  "<ol><li>첫째</li><li>둘째</li></ol><ul><li>점</li></ul>"
                  "<p><img src=\"picture.png\" width=\"24\" height=\"12\"></p></body></html>"_qs.toUtf8()));
    QString failed = runPeer(dir,
                             {QStringLiteral("--infilter=HTML (StarWriter)"), QStringLiteral("--convert-to"),
                              QStringLiteral("rtf:Rich Text Format"), QStringLiteral("--outdir"),
                              dir.filePath(QStringLiteral("made"))},
                             {dir.filePath(QStringLiteral("made.html"))});
    QVERIFY2(failed.isEmpty(), qPrintable(failed));

    // It opens with each: a Korean bold run, a 20 pt Korean run, the link, the numbered list,
    // the picture (twice its pixels on the page).
    QTextDocument made;
    QVERIFY(rtf::loadFile(dir.filePath(QStringLiteral("made/made.rtf")), made));
    const QString expected =
        u"굵게: 12pt bold\n보통: 12pt\n이십포인트: 20pt\n링크 -> https://example.com/a?b=c\n"
        "1. 첫째\n2. 둘째\n• 점\npicture 24x12 #ff0000 #0000ff"_qs;
    QCOMPARE(formattingOf(made), expected);

    // It survives a save: our file reads back as the same document.
    const QString ours = dir.filePath(QStringLiteral("ours.rtf"));
    QVERIFY(rtf::saveFile(ours, made));
    QTextDocument saved;
    QVERIFY(rtf::loadFile(ours, saved));
    QCOMPARE(test::describeDocument(saved), test::describeDocument(made));

    // The peer reads our file with the same formatting: what it writes of it in turn opens so.
    failed = runPeer(dir,
                     {QStringLiteral("--convert-to"), QStringLiteral("rtf:Rich Text Format"),
                      QStringLiteral("--outdir"), dir.filePath(QStringLiteral("back"))},
                     {ours});
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    const QByteArray back = readFile(dir.filePath(QStringLiteral("back/ours.rtf")));
    QTextDocument peerRead;
    rtf::read(back, peerRead);
    QCOMPARE(formattingOf(peerRead), expected);
    // Its bullet is a bullet (not the replacement character it made of the old bullet text).
    QVERIFY2(back.contains("\\u8226") && !back.contains("\\u65533"), back.constData());
}

void RtfPeerTest::richEditPictureForm_isDrawnByThePeer() {
    // The picture form written for the Windows rich-edit control (a metafile holding a bitmap),
    // alone in a file: an independent reader draws the same picture from it.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 20; x < 40; ++x)
            image.setPixel(x, y, qRgb(0, 0, 255));
    const rtf::PictureBlob metafile = rtf::metafileOf(image, QSizeF(120, 60));
    QByteArray rtfBytes =
        "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fnil\\fcharset129 Arial;}}\\pard{\\pict\\picw" +
        QByteArray::number(metafile.native.width()) + "\\pich" +
        QByteArray::number(metafile.native.height()) + "\\picwgoal1800\\pichgoal900\\" + metafile.kind +
        "\r\n" + metafile.data.toHex() + "}\\par}";
    const QString path = dir.filePath(QStringLiteral("metafile.rtf"));
    QVERIFY(writeFile(path, rtfBytes));
    // Its HTML export draws each picture into an image file of its own.
    const QString failed = runPeer(dir,
                                   {QStringLiteral("--convert-to"), QStringLiteral("html:HTML (StarWriter)"),
                                    QStringLiteral("--outdir"), dir.filePath(QStringLiteral("drawn"))},
                                   {path});
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    const QStringList drawn =
        QDir(dir.filePath(QStringLiteral("drawn")))
            .entryList({QStringLiteral("*.gif"), QStringLiteral("*.png"), QStringLiteral("*.jpg")});
    QCOMPARE(drawn.size(), 1);
    // A red part left of a blue part, of equal size.
    QImage page(dir.filePath(QStringLiteral("drawn/") + drawn.first()));
    QVERIFY(!page.isNull());
    page = page.convertToFormat(QImage::Format_RGB32);
    qint64 red = 0, blue = 0, redX = 0, blueX = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb c = page.pixel(x, y);
            if (qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60)
                ++red, redX += x;
            else if (qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60)
                ++blue, blueX += x;
        }
    }
    QVERIFY2(red > 100 && blue > 100, qPrintable(QStringLiteral("red %1, blue %2").arg(red).arg(blue)));
    QVERIFY(std::abs(red - blue) < std::max(red, blue) / 5);
    QVERIFY(redX / red < blueX / blue);
}

QTEST_MAIN(RtfPeerTest)
#include "rtf_peer_test.moc"
