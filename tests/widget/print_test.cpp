// The printed page of a note, rendered to an image and to PDF, and the print command's
// hand-off to the preview.

#include "dialogs/stikko_print.h"
#include "platform/appenv.h"
#include "support/testenv.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace stikko;

namespace {

constexpr double kDotsPerMm = 10.0;
constexpr char kId[] = "20040201_090503_07";

QImage renderPage(const ReportPage& page) {
    QImage image(qRound(210 * kDotsPerMm), qRound(297 * kDotsPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(kDotsPerMm * 1000));
    image.setDotsPerMeterY(qRound(kDotsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintReportPage(painter, kDotsPerMm, page);
    return image;
}

bool dark(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

// Centres, in millimetres, of the runs of dark pixels along a column or a row.
QList<double> inkRuns(const QImage& image, bool alongColumn, double atMm) {
    const int fixed = qRound(atMm * kDotsPerMm);
    const int length = alongColumn ? image.height() : image.width();
    QList<double> runs;
    int start = -1;
    for (int i = 0; i <= length; ++i) {
        const bool ink = i < length && (alongColumn ? dark(image, fixed, i) : dark(image, i, fixed));
        if (ink && start < 0)
            start = i;
        if (!ink && start >= 0) {
            runs.append((start + i - 1) / 2.0 / kDotsPerMm);
            start = -1;
        }
    }
    return runs;
}

// The bounding box of the ink inside a rectangle given in millimetres, in millimetres.
QRectF inkBox(const QImage& image, const QRectF& areaMm) {
    const QRect area(qRound(areaMm.left() * kDotsPerMm), qRound(areaMm.top() * kDotsPerMm),
                     qRound(areaMm.width() * kDotsPerMm), qRound(areaMm.height() * kDotsPerMm));
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (dark(image, x, y)) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
    if (right < 0)
        return {};
    return QRectF(left / kDotsPerMm, top / kDotsPerMm, (right - left + 1) / kDotsPerMm,
                  (bottom - top + 1) / kDotsPerMm);
}

void compareRuns(const QList<double>& actual, const QList<double>& expected) {
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(
            qAbs(actual[i] - expected[i]) <= 0.5,
            qPrintable(
                QStringLiteral("line %1 at %2 mm, expected %3 mm").arg(i).arg(actual[i]).arg(expected[i])));
}

QString pdfText(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A body of `count` numbered lines.
void fillLines(QTextDocument& document, int count) {
    QTextCursor cursor(&document);
    for (int i = 1; i <= count; ++i) {
        if (i > 1)
            cursor.insertBlock();
        cursor.insertText(QStringLiteral("line %1 본문").arg(i, 3, 10, QChar(u'0')));
    }
}

constexpr double kTop = 15.0, kHeaderBottom = 15.0 + 16.93, kBottom = 282.0, kLeft = 15.0, kRight = 195.0;
constexpr double kBoxBottom = kHeaderBottom + 2.1 + 240.56;

} // namespace

class PrintTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestEnv> env_;

    // Note kId's body file holding `bytes`.
    void storeBody(const QByteArray& bytes) {
        QVERIFY(env_->writeFile(QStringLiteral("data/%1.rtf").arg(QLatin1String(kId)), bytes));
    }

  private slots:
    void init() {
        env_ = std::make_unique<test::TestEnv>();
        env_->setNow(QDateTime(QDate(2004, 2, 1), QTime(9, 5, 3)));
    }
    void cleanup() { env_.reset(); }

    void emptyBodyPrintsTheFramedPageWithTitleAndDate() {
        const QImage image =
            renderPage({QStringLiteral("장보기 목록"), QStringLiteral("2004-02-01 09:05"), nullptr});
        // Horizontal lines: the header's top and bottom and the footer's closing line; they end
        // exactly on the margins, so the box fills the 180 x 267 mm between them.
        compareRuns(inkRuns(image, true, 40.0), {kTop, kHeaderBottom, kBottom});
        // Vertical lines: both sides, all the way down, and nothing else in the body.
        compareRuns(inkRuns(image, false, 150.0), {kLeft, kRight});
        compareRuns(inkRuns(image, false, 278.0), {kLeft, kRight});
        QVERIFY(inkBox(image, QRectF(0, 0, 210, kTop - 0.5)).isEmpty());     // above the box
        QVERIFY(inkBox(image, QRectF(0, kBottom + 0.5, 210, 14)).isEmpty()); // below it
        QVERIFY(inkBox(image, QRectF(kLeft + 0.5, kHeaderBottom + 0.5, 179, kBottom - kHeaderBottom - 1))
                    .isEmpty());

        // The title: centred, its top near 5.3 mm below the band's top; the date: right-aligned
        // 2.1 mm from the frame, its top near 10.6 mm below the band's top.
        const QRectF title = inkBox(image, QRectF(kLeft + 0.5, kTop + 0.5, 179, 9.8));
        QVERIFY(!title.isEmpty());
        QVERIFY2(qAbs(title.center().x() - 105.0) < 1.0, qPrintable(QString::number(title.center().x())));
        QVERIFY2(title.top() > kTop + 5.3 && title.top() < kTop + 6.8,
                 qPrintable(QString::number(title.top())));
        const QRectF date = inkBox(image, QRectF(120, kTop + 10.5, kRight - 0.5 - 120, 6.0));
        QVERIFY(!date.isEmpty());
        QVERIFY2(qAbs(date.right() - (kRight - 2.1)) < 0.8, qPrintable(QString::number(date.right())));
        QVERIFY2(date.top() > kTop + 10.6 && date.top() < kTop + 12.0,
                 qPrintable(QString::number(date.top())));
        // 14-point bold title is taller than the 10-point date.
        QVERIFY(title.height() > date.height());
    }

    // A title longer than a line wraps, and the header band grows to hold all of it; the body
    // starts below, the footer keeps its place.
    void longTitle_wrapsAndGrowsTheHeader() {
        const QString title =
            QStringLiteral("아주 긴 제목은 여러 줄로 접혀서 머리글 칸을 키웁니다 ").repeated(4);
        QTextDocument body;
        fillLines(body, 3);
        const QImage image = renderPage({title.trimmed(), QStringLiteral("now"), &body});
        const QList<double> lines = inkRuns(image, true, kLeft + 0.6);
        QCOMPARE(lines.size(), 3);
        const double headerBottom = lines[1];
        QVERIFY2(headerBottom > kHeaderBottom + 4.0, qPrintable(QString::number(headerBottom)));
        compareRuns({lines[0], lines[2]}, {kTop, kBottom});
        const QRectF titleInk = inkBox(image, QRectF(kLeft + 0.5, kTop + 0.5, 179, headerBottom - kTop - 1));
        QVERIFY2(titleInk.height() > 10.0, qPrintable(QString::number(titleInk.height()))); // several lines
        const QRectF bodyInk = inkBox(image, QRectF(kLeft + 0.5, headerBottom + 0.5, 179, 40));
        QVERIFY(bodyInk.top() >= headerBottom + 2.0);
    }

    void longBodyStopsAtItsBox() {
        QTextDocument body;
        fillLines(body, 300);
        const QImage image = renderPage({QStringLiteral("long"), QStringLiteral("now"), &body});
        // The body starts 2.1 mm inside the title band's corner.
        const QRectF ink =
            inkBox(image, QRectF(kLeft + 0.5, kHeaderBottom + 0.5, 179, kBottom - kHeaderBottom - 1));
        QVERIFY2(ink.left() >= kLeft + 2.1 && ink.left() < kLeft + 3.0,
                 qPrintable(QString::number(ink.left())));
        QVERIFY2(ink.top() >= kHeaderBottom + 2.1 && ink.top() < kHeaderBottom + 4.0,
                 qPrintable(QString::number(ink.top())));
        // It fills its box down to the last whole line, and nothing lies below the box.
        QVERIFY2(ink.bottom() <= kBoxBottom && ink.bottom() > kBoxBottom - 8.0,
                 qPrintable(QString::number(ink.bottom())));
        QVERIFY(inkBox(image, QRectF(kLeft + 0.5, kBoxBottom, 179, kBottom - kBoxBottom - 0.5)).isEmpty());
    }

    void pdfHoldsTitleDateAndTheBodyThatFits() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext (poppler-utils) is needed: make deps");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("note.pdf"));
        QTextDocument body;
        body.setDefaultFont(QFont(QStringLiteral("NanumGothic"), 10));
        fillLines(body, 300);
        QTextCursor(&body).insertText(QStringLiteral("typed right away 작성일:26/12/07 오후 11:26:48\n"));
        QPrinter printer(QPrinter::HighResolution);
        SetUpReportPrinter(printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        const QString date = ReportDateText(env::now());
        // As a Korean desktop writes it, whatever the locale the tests run in.
        QCOMPARE(date, QStringLiteral("2004-02-01 오전 9:05:03"));
        QCOMPARE(ReportDateText(QDateTime(QDate(2026, 12, 7), QTime(15, 4, 5))),
                 QStringLiteral("2026-12-07 오후 3:04:05"));
        QVERIFY(PrintReport(printer, {QStringLiteral("장보기 목록"), date, &body}));

        // The text keeps its spaces (the Korean fonts' blank glyph also serves the control
        // characters, which the PDF writer would name for it).
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("장보기 목록")), qPrintable(text.left(200)));
        QVERIFY2(text.contains(QStringLiteral("typed right away 작성일:26/12/07 오후 11:26:48")),
                 qPrintable(text.left(300)));
        QVERIFY(!text.contains(QChar(1)));
        QVERIFY(text.contains(date));
        QVERIFY(text.contains(QStringLiteral("line 001 본문")));
        QVERIFY(!text.contains(QStringLiteral("line 300")));
        QCOMPARE(text.count(QChar(u'\f')), 1); // one page

        // The page is A4 portrait with 15 mm margins.
        const QPageLayout layout = printer.pageLayout();
        QCOMPARE(layout.pageSize().id(), QPageSize::A4);
        QCOMPARE(layout.orientation(), QPageLayout::Portrait);
        QCOMPARE(layout.margins(QPageLayout::Millimeter), QMarginsF(15, 15, 15, 15));
    }

    void bodyKeepsItsPointSizeOnPaper() {
        // 12-point text is about 4.2 mm from line to line whatever the device's resolution.
        QTextDocument body;
        QFont font(QStringLiteral("NanumGothic"));
        font.setPointSize(12);
        body.setDefaultFont(font);
        fillLines(body, 11);
        const QImage image = renderPage({QString(), QString(), &body});
        const QRectF ink = inkBox(image, QRectF(kLeft + 0.5, kHeaderBottom + 0.5, 179, 100));
        const double pitch = (ink.height()) / 10.5; // ten gaps and most of one line
        QVERIFY2(pitch > 3.8 && pitch < 5.2, qPrintable(QString::number(pitch)));
    }

    void previewShowsTheStoredBody() {
        storeBody("plain body");
        QWidget owner;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            QVERIFY(frmStikko_print);
            seen = preview->windowTitle() == QStringLiteral("Stikko Print") &&
                   !(preview->windowState() & Qt::WindowMaximized) &&
                   frmStikko_print->qlabTitle == QStringLiteral("제목") &&
                   frmStikko_print->qrichDoc->toPlainText() == QStringLiteral("plain body") &&
                   preview->printer()->pageLayout().pageSize().id() == QPageSize::A4 &&
                   preview->printer()->copyCount() == 1 &&
                   preview->printer()->duplex() == QPrinter::DuplexNone;
            preview->reject();
        });
        QVERIFY(ShowPrintPreview(&owner, QStringLiteral("제목"), kId));
        QVERIFY(seen);
        QCOMPARE(frmStikko_print, nullptr);
        QVERIFY(env_->dialogs.errors.isEmpty());
    }

    // A printer that fails while the preview prints is told, as the print command tells its
    // own failures.
    void printerFailingInThePreview_isTold() {
        storeBody("plain body");
        QWidget owner;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("no such folder/note.pdf"));
        QTimer::singleShot(0, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            QVERIFY(env_->dialogs.errors.isEmpty()); // the preview's own pages were drawn
            QPrinter* printer = preview->printer();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            emit preview->paintRequested(printer);
            preview->reject();
        });
        QVERIFY(ShowPrintPreview(&owner, QStringLiteral("제목"), kId));
        QCOMPARE(env_->dialogs.errors.size(), 1);
        QVERIFY2(env_->dialogs.errors[0].contains(QStringLiteral("no such folder")),
                 qPrintable(env_->dialogs.errors[0]));
        QVERIFY(!QFileInfo::exists(pdf));
    }

    void unreadableBodyIsReportedOnceAndLeavesNoForm() {
        QWidget owner;
        bool previewShown = false;
        QTimer::singleShot(0, [&] {
            if (auto* modal = QApplication::activeModalWidget()) {
                previewShown = true;
                modal->close();
            }
        });
        QVERIFY(!ShowPrintPreview(&owner, QStringLiteral("t"), kId));
        QCoreApplication::processEvents();
        QVERIFY(!previewShown);
        QCOMPARE(env_->dialogs.errors.size(), 1);
        QVERIFY(env_->dialogs.errors[0].contains(QStringLiteral("%1.rtf").arg(QLatin1String(kId))));
        QCOMPARE(frmStikko_print, nullptr);
        QVERIFY(owner.findChildren<QObject*>().isEmpty());
    }

    void ownerGoingAwayDuringThePreviewIsSafe() {
        storeBody("x");
        auto* owner = new QWidget;
        QTimer::singleShot(0, [&] {
            QVERIFY(QApplication::activeModalWidget());
            delete owner; // e.g. the note was hidden from the tray meanwhile
        });
        QVERIFY(ShowPrintPreview(owner, QStringLiteral("t"), kId));
        QCOMPARE(frmStikko_print, nullptr);
    }
};

QTEST_MAIN(PrintTest)
#include "print_test.moc"
