#pragma once
// Printing a note: a one-page A4 report with a framed header (the note's title and the date
// and time of printing), the body's rich text below it, and a closing footer line, shown in a
// print preview from which the user prints it or saves it as PDF.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

class QPainter;
class QPrinter;
class QTextDocument;
class QWidget;

namespace stikko {

// The page in millimetres, from the paper's top-left corner.
namespace report {
inline constexpr double kPaperWidth = 210.0;
inline constexpr double kPaperHeight = 297.0;
inline constexpr double kMargin = 15.0;
inline constexpr double kBandWidth = 180.0;
inline constexpr double kHeaderHeight = 16.93;
inline constexpr double kFooterHeight = 7.41;
// The title band takes what the header and footer leave of the 267 mm between the margins
// (242.66 of its designed 247.65), so the footer's closing line lies on the bottom margin.
inline constexpr double kTitleBandHeight = kPaperHeight - 2 * kMargin - kHeaderHeight - kFooterHeight;
inline constexpr double kTitleTop = 5.3;  // of the title, in the header band
inline constexpr double kDateTop = 10.6;  // of the date and time, in the header band
inline constexpr double kDateInset = 2.1; // between the date's right end and the frame
inline constexpr double kBodyInset = 2.1; // of the body's box, from the title band's left and top
inline constexpr double kBodyWidth = 175.9;
inline constexpr double kBodyHeight = 242.6; // as designed; cut at the title band's lower edge
} // namespace report

// What the page shows.
struct ReportPage {
    QString title;
    QString printedAt;                   // the date and time, already formatted
    const QTextDocument* body = nullptr; // null prints no body
};

// The printed date and time as a Korean system writes them, with 오전/오후 and seconds.
QString ReportDateText(const QDateTime& moment);

// Paints the page. The painter's origin is the paper's top-left corner and `dotsPerMm` device
// pixels make one millimetre. The body is laid out for the painter's device, so its point
// sizes come out true on paper; lines that do not fit its box are left out.
void PaintReportPage(QPainter& painter, double dotsPerMm, const ReportPage& page);

// A4 portrait, 15 mm margins, one copy, automatic paper bin, no duplex, all pages; the
// painter's origin is the paper's corner.
void SetUpReportPrinter(QPrinter& printer);

// Renders the page on a printer set up by SetUpReportPrinter; false if it cannot be painted.
bool PrintReport(QPrinter& printer, const ReportPage& page);

// The print form: it carries the report of one print command and is never shown itself.
class TfrmStikko_print : public QObject {
    Q_OBJECT
  public:
    explicit TfrmStikko_print(QObject* owner = nullptr);
    ~TfrmStikko_print() override;

    // Loads the body of note `id` from its body file; false when it cannot be read.
    bool LoadBody(QByteArrayView id);
    // The report of this moment (the date and time are taken from the clock each time).
    ReportPage page() const;
    // Shows the report in a modal print preview, owned by `parent`, until the user closes it.
    void Preview(QWidget* parent);

    QString qlabTitle;                 // the title label's caption
    QTextDocument* qrichDoc = nullptr; // the body, owned by the form
};

// The print form of the running print command, or null.
extern TfrmStikko_print* frmStikko_print;

// The print command, once note `id` has stored its body in its body file: builds the print form,
// loads the body, previews it modally and frees the form. If the body cannot be loaded the
// user is told once and the form is freed; false then. Also false, doing nothing, while
// another print command runs. `owner` may be destroyed during the preview.
bool ShowPrintPreview(QWidget* owner, const QString& title, const QByteArray& id);

} // namespace stikko
