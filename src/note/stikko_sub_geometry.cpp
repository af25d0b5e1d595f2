// The note's place and size: applying them from the record, storing what a gesture, the window
// manager or the rearranging of all notes leaves, folding and maximising. The mouse gestures
// themselves are NoteGestures'.

#include "note/notedefaults.h"
#include "note/notegestures.h"
#include "note/notelayout.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"

#include <QGuiApplication>
#include <QMoveEvent>
#include <QTimer>

namespace stikko {

using namespace notelayout;

namespace {
// Quiet time after the last move the window system reports before the place is stored.
constexpr int kPlaceSettleMs = 400;
} // namespace

void TfrmStikko_sub::applyGeometry() {
    const NoteRecord& defaults = noteDefaults();
    int w = record_.ismini == 1 ? defaults.scr_width : record_.scr_width;
    int h = record_.ismini == 1 ? kFoldedHeight : record_.scr_height;
    // A size no window can have (a broken or empty file) shows the note at a usable size;
    // the record keeps what it holds until the user moves or resizes the note.
    if (w <= 0)
        w = defaults.scr_width > 0 ? defaults.scr_width : kDesignWidth;
    if (h <= 0)
        h = defaults.scr_height > 0 ? defaults.scr_height : kDesignHeight;
    // A place no mouse can reach (a file from a larger screen, or one edited by hand) is only
    // corrected on the screen; the record keeps it until the user moves the note.
    move(placeWithinReach(QRect(record_.scr_x, record_.scr_y, w, h), env::screenAreas()));
    resize(w, h);
}

void TfrmStikko_sub::storePlace() {
    record_.scr_x = x();
    record_.scr_y = y();
    writeRecord();
}

void TfrmStikko_sub::storeSize() {
    record_.scr_width = width();
    record_.scr_height = height();
    writeRecord();
}

void TfrmStikko_sub::placeAt(const QRect& frame) {
    setGeometry(frame);
    record_.scr_x = x();
    record_.scr_y = y();
    record_.scr_width = width();
    record_.scr_height = height();
    record_.ismini = 0;
    show();
    applyStayOnTop();
    writeRecord(); // a failure is told and retried like any other
}

void TfrmStikko_sub::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A move the window manager made (Alt+drag, its keyboard moves) is kept like one by the
    // title bar. The window system reports every step, and also the program's own moves; the
    // place is looked at once the steps have settled, when the program's own moves have long
    // been stored. Where the window system does not tell the places of windows (Wayland),
    // what it reports is no place at all.
    if (!event->spontaneous() || !isVisible() || QGuiApplication::platformName().startsWith(u"wayland"))
        return;
    if (!placeCheck_) {
        placeCheck_ = new QTimer(this);
        placeCheck_->setSingleShot(true);
        placeCheck_->setInterval(kPlaceSettleMs);
        connect(placeCheck_, &QTimer::timeout, this, &TfrmStikko_sub::keepPlaceFromWindowSystem);
    }
    placeCheck_->start();
}

void TfrmStikko_sub::keepPlaceFromWindowSystem() {
    if (gestures_->active() || !isVisible() || closed_ || (x() == record_.scr_x && y() == record_.scr_y))
        return;
    storePlace();
}

// --- Folding and maximising ---------------------------------------------------------------

void TfrmStikko_sub::foldOrUnfold() {
    record_.ismini = record_.ismini == 0 ? 1 : 0;
    applyGeometry();
    writeRecord();
}

void TfrmStikko_sub::imgMaxClick() {
    commitComposition();
    if (record_.ismini == 1) {
        record_.ismini = 0; // a folded note only unfolds
    } else {
        const QSize area = env::workArea();
        record_.scr_x = 0;
        record_.scr_y = 0;
        if (width() == area.width() && height() == area.height()) {
            record_.scr_width = noteDefaults().scr_width;
            record_.scr_height = noteDefaults().scr_height;
        } else {
            record_.scr_width = area.width();
            record_.scr_height = area.height();
        }
    }
    applyGeometry();
    writeRecord();
}

} // namespace stikko
