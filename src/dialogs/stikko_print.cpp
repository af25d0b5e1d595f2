#include "dialogs/stikko_print.h"

#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "platform/rtf.h"
#include "platform/userdialogs.h"
#include "store/notefiles.h"
#include "theme/fonts.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace stikko {

TfrmStikko_print* frmStikko_print = nullptr;

namespace {

// A one-page note is far smaller; a larger file is left as it is.
constexpr qint64 kMaxPdfSize = qint64(64) << 20;

QFont reportFont(double points, double dotsPerMm, bool bold) {
    QFont font = fonts::proportional();
    font.setPixelSize(qMax(1, qRound(points / 72.0 * 25.4 * dotsPerMm)));
    font.setBold(bold);
    return font;
}

// The body's default font: 13 pixels of a 96-dpi screen.
QFont bodyDefaultFont() {
    QFont font = fonts::proportional();
    font.setPointSizeF(13.0 * 72.0 / 96.0);
    return font;
}

// The height of the part of `document` that shows whole lines only, at most `limit`.
double wholeLinesHeight(QTextDocument& document, double limit) {
    double cut = limit;
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        if (box.top() >= cut)
            break;
        const QTextLayout* lines = block.layout();
        if (!lines)
            continue;
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double top = box.top() + line.y();
            if (top + line.height() > cut) {
                cut = qMin(cut, top);
                break;
            }
        }
    }
    return cut;
}

void paintBody(QPainter& painter, double dotsPerMm, double headerHeight, const QTextDocument& body) {
    using namespace report;
    std::unique_ptr<QTextDocument> document(body.clone());
    // Laid out for the painter's device, so point sizes are measured in its pixels.
    document->documentLayout()->setPaintDevice(painter.device());
    document->setDocumentMargin(0);
    const double width = kBodyWidth * dotsPerMm;
    document->setTextWidth(width);

    const double left = kMargin + kBodyInset;
    const double top = kMargin + headerHeight + kBodyInset;
    // The footer keeps its place on the bottom margin; a taller header takes from the body.
    const double bandBottom = kMargin + kHeaderHeight + kTitleBandHeight;
    const double boxHeight = qMin(kBodyHeight, bandBottom - top) * dotsPerMm;
    const double shown = wholeLinesHeight(*document, boxHeight);
    if (shown <= 0)
        return;

    painter.save();
    painter.translate(left * dotsPerMm, top * dotsPerMm);
    const QRectF clip(0, 0, width, shown);
    painter.setClipRect(clip, Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    context.palette.setColor(QPalette::Text, Qt::black);
    document->documentLayout()->draw(&painter, context);
    painter.restore();
}

// A destination of a PDF character map that stands for no character of the text: the control
// characters and the no-break space, which the Korean fonts draw with their blank glyph.
bool isBlankStandIn(QByteArrayView code) {
    bool ok = false;
    const int value = code.toByteArray().toInt(&ok, 16);
    return ok && code.size() == 4 && ((value >= 0x01 && value < 0x20) || value == 0xA0);
}

// Mends one line of a character map's "beginbfrange" section, in place: "<from> <to> <code>"
// (a run of glyphs from `from` to `to`, the first of them `code`) or "<from> <to> [<code> ...]"
// (a code for each). A stand-in of a blank for one glyph becomes the space.
void mendRangeLine(char* line, qsizetype length) {
    const QByteArrayView view(line, length);
    QList<std::pair<qsizetype, qsizetype>> codes; // where each code's hex digits are, and how many
    for (qsizetype at = view.indexOf('<'); at >= 0; at = view.indexOf('<', at)) {
        const qsizetype end = view.indexOf('>', at);
        if (end < 0)
            return;
        codes.append({at + 1, end - at - 1});
        at = end;
    }
    if (codes.size() < 3)
        return;
    const bool array = view.contains('[');
    const bool oneGlyph =
        view.sliced(codes[0].first, codes[0].second) == view.sliced(codes[1].first, codes[1].second);
    if (!array && !oneGlyph)
        return; // a run of glyphs for a run of characters
    for (qsizetype i = 2; i < codes.size(); ++i) {
        const auto [at, size] = codes[i];
        static constexpr std::array<char, 4> kSpace{'0', '0', '2', '0'}; // U+0020, as the map writes it
        if (isBlankStandIn(view.sliced(at, size)))
            std::copy(kSpace.begin(), kSpace.end(), line + at);
    }
}

// Qt's PDF writer gives each glyph of a font the first character the font maps to it. The
// Korean fonts map the control characters to their blank glyph, so every space of a printed
// note read as U+0001 when its text was extracted or copied ("typedrightaway"). The writer's
// character maps are plain text with codes of fixed width: they are mended in place, and the
// file's layout stays as it was.
void mendPdfSpaces(QByteArray& pdf) {
    static constexpr QByteArrayView kBegin("beginbfrange");
    static constexpr QByteArrayView kEnd("endbfrange");
    qsizetype at = 0;
    while ((at = pdf.indexOf(kBegin, at)) >= 0) {
        const qsizetype end = pdf.indexOf(kEnd, at);
        if (end < 0)
            return;
        qsizetype line = pdf.indexOf('\n', at) + 1;
        while (line > 0 && line < end) {
            qsizetype next = pdf.indexOf('\n', line);
            if (next < 0 || next > end)
                next = end;
            mendRangeLine(pdf.data() + line, next - line);
            line = next + 1;
        }
        at = end + kEnd.size();
    }
}

// The PDF file `printer` has just written, with its spaces mended (mendPdfSpaces). The
// printed page is there whatever comes of this: a file that cannot be mended stays as written.
void mendPrintedPdf(const QPrinter& printer) {
    const QString path = printer.outputFileName();
    std::optional<QByteArray> pdf = readWholeFile(path, kMaxPdfSize);
    if (!pdf) {
        qWarning("stikko: cannot read the printed %s again to mend its spaces", qPrintable(path));
        return;
    }
    const QByteArray written = *pdf;
    mendPdfSpaces(*pdf);
    QString error;
    if (*pdf != written && !writeFileAtomically(path, *pdf, &error))
        qWarning("stikko: cannot mend the spaces of the printed %s: %s", qPrintable(path), qPrintable(error));
}

} // namespace

QString ReportDateText(const QDateTime& moment) {
    // As a Korean desktop writes the date and time: 2026-12-07 오후 3:04:05.
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    return korean.toString(moment, QStringLiteral("yyyy-MM-dd AP h:mm:ss"));
}

void PaintReportPage(QPainter& painter, double dotsPerMm, const ReportPage& page) {
    using namespace report;
    const auto mm = [dotsPerMm](double length) { return length * dotsPerMm; };
    const double left = kMargin;
    const double right = kMargin + kBandWidth;
    const double top = kMargin;
    const QFont titleFont = reportFont(14, dotsPerMm, true);
    const QFont dateFont = reportFont(10, dotsPerMm, false);
    // The centred title wraps within what the date leaves free on both sides, so a long one
    // never runs into it.
    const double dateWidth =
        QFontMetricsF(dateFont, painter.device()).horizontalAdvance(page.printedAt) / dotsPerMm;
    const double titleWidth = kBandWidth - 2 * (kDateInset + (dateWidth > 0 ? dateWidth + kDateInset : 0));
    // The title wraps and grows with its text: a title longer than a line makes the header
    // band taller, so no word of it is cut off.
    const double titleHeight =
        QFontMetricsF(titleFont, painter.device())
            .boundingRect(QRectF(0, 0, mm(titleWidth), 1e6),
                          Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, page.title)
            .height() /
        dotsPerMm;
    const double headerHeight = qBound(kHeaderHeight, kTitleTop + titleHeight + kDateInset,
                                       kHeaderHeight + kTitleBandHeight - kBodyInset);
    const double headerBottom = top + headerHeight;
    const double footerBottom = top + kHeaderHeight + kTitleBandHeight + kFooterHeight;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(QRectF(mm(left), mm(top), mm(kBandWidth), mm(footerBottom - top)), Qt::white);

    // The header's title and the date and time stay inside the header band.
    painter.save();
    painter.setClipRect(QRectF(mm(left), mm(top), mm(kBandWidth), mm(headerHeight)));
    painter.setPen(Qt::black);
    painter.setFont(titleFont);
    painter.drawText(QRectF(mm(left + (kBandWidth - titleWidth) / 2), mm(top + kTitleTop), mm(titleWidth),
                            mm(headerHeight - kTitleTop)),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, page.title);
    painter.setFont(dateFont);
    painter.drawText(QRectF(mm(left), mm(top + kDateTop), mm(kBandWidth - kDateInset), mm(kHeaderHeight)),
                     Qt::AlignRight | Qt::AlignTop, page.printedAt);
    painter.restore();

    if (page.body)
        paintBody(painter, dotsPerMm, headerHeight, *page.body);

    // One box: the header's frame, the two side lines of all three bands, the footer's bottom.
    QPen pen(Qt::black);
    pen.setWidthF(qMax(1.0, mm(0.25)));
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(QPointF(mm(left), mm(top)), QPointF(mm(right), mm(footerBottom))));
    painter.drawLine(QPointF(mm(left), mm(headerBottom)), QPointF(mm(right), mm(headerBottom)));
    painter.restore();
}

void SetUpReportPrinter(QPrinter& printer) {
    using namespace report;
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMargin, kMargin, kMargin, kMargin),
                                      QPageLayout::Millimeter));
    printer.setFullPage(true);
    printer.setCopyCount(1);
    printer.setPaperSource(QPrinter::Auto);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setDocName(QStringLiteral("Stikko Print"));
}

bool PrintReport(QPrinter& printer, const ReportPage& page) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    PaintReportPage(painter, printer.resolution() / 25.4, page);
    // A PDF file, not the preview's pages, which the preview draws through the same printer.
    const bool pdfFile = printer.paintEngine() && printer.paintEngine()->type() == QPaintEngine::Pdf &&
                         printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    if (!painter.end())
        return false;
    if (pdfFile)
        mendPrintedPdf(printer);
    return true;
}

TfrmStikko_print::TfrmStikko_print(QObject* owner) : QObject(owner), qrichDoc(new QTextDocument(this)) {
    setObjectName(QStringLiteral("frmStikko_print"));
    qrichDoc->setDefaultFont(bodyDefaultFont());
}

TfrmStikko_print::~TfrmStikko_print() {
    if (frmStikko_print == this)
        frmStikko_print = nullptr;
}

bool TfrmStikko_print::LoadBody(QByteArrayView id) {
    const BodyLoad body = noteFiles().loadBody(id);
    if (body.state != FileState::Loaded)
        return false;
    rtf::read(body.rtf, *qrichDoc);
    return true;
}

ReportPage TfrmStikko_print::page() const {
    return ReportPage{qlabTitle, ReportDateText(env::now()), qrichDoc};
}

void TfrmStikko_print::Preview(QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer);
    QPointer<QPrintPreviewDialog> dialog = new QPrintPreviewDialog(&printer, parent);
    dialog->setWindowTitle(QStringLiteral("Stikko Print"));
    dialog->setWindowState(Qt::WindowNoState);
    keepAboveNotes(dialog);
    connect(dialog, &QPrintPreviewDialog::paintRequested, this, [this, dialog](QPrinter* target) {
        if (PrintReport(*target, page()))
            return;
        // Told as the print command tells what stops it.
        const QString where = target->outputFormat() == QPrinter::PdfFormat
                                  ? QDir::toNativeSeparators(target->outputFileName())
                                  : target->printerName();
        dialogs().showError(dialog, QStringLiteral("인쇄하지 못했습니다.\n%1").arg(where));
    });
    dialog->exec();
    delete dialog.data(); // gone already when its parent went during the preview
}

bool ShowPrintPreview(QWidget* owner, const QString& title, const QByteArray& id) {
    if (frmStikko_print)
        return false;
    // The form belongs to this command, not to the note window: whatever happens to the
    // window meanwhile, the form is freed here and the pointer cleared.
    auto form = std::make_unique<TfrmStikko_print>();
    frmStikko_print = form.get();
    form->qlabTitle = title;
    if (!form->LoadBody(id)) {
        form.reset();
        dialogs().showError(owner,
                            QStringLiteral("메모 내용을 읽지 못해 인쇄할 수 없습니다.\n%1")
                                .arg(QDir::toNativeSeparators(QDir::cleanPath(noteFiles().bodyPath(id)))));
        return false;
    }
    QPointer<QWidget> parent(owner);
    form->Preview(parent);
    return true;
}

} // namespace stikko
