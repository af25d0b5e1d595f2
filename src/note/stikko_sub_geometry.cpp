// Moving by the title bar, resizing by either grip, folding and maximising. Every finished
// gesture stores the window's place or size in the record and writes it once.

#include "note/notedefaults.h"
#include "note/notelayout.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

namespace stikko {

using namespace notelayout;

namespace {
// Quiet time after the last move the window system reports before the place is stored.
constexpr int kPlaceSettleMs = 400;
} // namespace

bool TfrmStikko_sub::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                       type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick;
    if (!mouse || (watched != pnTitle && watched != imgSize && watched != Image1))
        return QWidget::eventFilter(watched, event);

    auto* me = static_cast<QMouseEvent*>(event);
    if (watched == pnTitle) {
        const QPoint pos = me->position().toPoint();
        switch (type) {
        case QEvent::MouseButtonPress:
            pnTitleMouseDown(me->button(), pos);
            break;
        case QEvent::MouseMove:
            pnTitleMouseMove(pos);
            break;
        case QEvent::MouseButtonRelease:
            pnTitleMouseUp(pos);
            break;
        default:
            // The second press of a double click folds, and is a press like any other.
            pnTitleDblClick();
            pnTitleMouseDown(me->button(), pos);
            break;
        }
        return true;
    }

    const QPoint global = me->globalPosition().toPoint();
    switch (type) {
    case QEvent::MouseButtonPress:
        imgSizeMouseDown(me->button(), global);
        break;
    case QEvent::MouseMove:
        imgSizeMouseMove(global);
        break;
    case QEvent::MouseButtonRelease:
        imgSizeMouseUp(global);
        break;
    default: // the second press of a double click starts a resize like the first
        imgSizeMouseDown(me->button(), global);
        break;
    }
    return true;
}

void TfrmStikko_sub::setGestureCursor(Qt::CursorShape shape) {
    if (!cursorOverridden_) {
        QGuiApplication::setOverrideCursor(QCursor(shape));
        cursorOverridden_ = true;
    } else {
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    }
}

void TfrmStikko_sub::endGestureCursor() {
    if (cursorOverridden_) {
        QGuiApplication::restoreOverrideCursor();
        cursorOverridden_ = false;
    }
}

// --- Moving -------------------------------------------------------------------------------

void TfrmStikko_sub::pnTitleMouseDown(Qt::MouseButton button, QPoint pos) {
    commitComposition();
    // On Wayland a window cannot place itself; the compositor moves it for the title bar.
    if (button == Qt::LeftButton && QGuiApplication::platformName().startsWith(u"wayland") &&
        windowHandle() && windowHandle()->startSystemMove())
        return;
    isdragging = true;
    setGestureCursor(Qt::DragMoveCursor);
    drag_x = pos.x();
    drag_y = pos.y();
    record.scr_x = x();
    record.scr_y = y();
}

void TfrmStikko_sub::pnTitleMouseMove(QPoint pos) {
    if (isdragging)
        DragTitleTo(pos.x(), pos.y());
}

void TfrmStikko_sub::pnTitleMouseUp(QPoint pos) {
    if (!isdragging)
        return; // a release whose press did not start a move here
    isdragging = false;
    DragTitleTo(pos.x(), pos.y());
    endGestureCursor();
    record.scr_x = x();
    record.scr_y = y();
    writeRecord();
}

void TfrmStikko_sub::DragTitleTo(int px, int py) {
    // Only the work area's width and height count, as if it started at the screen's origin.
    const QSize area = env::workArea();
    const int left = x();
    const int top = y();
    setGestureCursor(Qt::DragMoveCursor);
    const int sx = left + px;
    const int sy = top + py;
    if (sx >= kEdgeMargin && sx <= area.width() - kEdgeMargin && sy >= kEdgeMargin &&
        sy <= area.height() - kEdgeMargin) {
        // The pointer keeps its place on the title bar.
        move(sx - drag_x, sy - drag_y);
    }
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
    if (isdragging || !isVisible() || isclosed || (x() == record.scr_x && y() == record.scr_y))
        return;
    record.scr_x = x();
    record.scr_y = y();
    writeRecord();
}

// --- Resizing -----------------------------------------------------------------------------

void TfrmStikko_sub::imgSizeMouseDown(Qt::MouseButton, QPoint globalPos) {
    commitComposition();
    isdragging = true;
    setGestureCursor(Qt::SizeFDiagCursor);
    drag_x = globalPos.x();
    drag_y = globalPos.y();
}

void TfrmStikko_sub::imgSizeMouseMove(QPoint globalPos) {
    if (!isdragging)
        return;
    if (width() < kMinWidth || height() < kMinHeight) {
        // The step that went below the minimum is undone on the next move, without a step.
        resize(std::max(width(), kMinWidth), std::max(height(), kMinHeight));
        return;
    }
    ResizeStep(globalPos);
}

void TfrmStikko_sub::ResizeStep(QPoint globalPos) {
    setGestureCursor(Qt::SizeFDiagCursor);
    const int w = width() + globalPos.x() - drag_x;
    drag_x = globalPos.x();
    const int h = height() + globalPos.y() - drag_y;
    drag_y = globalPos.y();
    resize(std::max(1, w), std::max(1, h));
}

void TfrmStikko_sub::imgSizeMouseUp(QPoint) {
    if (!isdragging)
        return;
    isdragging = false;
    record.scr_width = width();
    record.scr_height = height();
    endGestureCursor();
    writeRecord();
}

// --- Folding and maximising ---------------------------------------------------------------

void TfrmStikko_sub::pnTitleDblClick() {
    record.ismini = record.ismini == 0 ? 1 : 0;
    ApplyGeometry();
}

void TfrmStikko_sub::imgMaxClick() {
    commitComposition();
    if (record.ismini == 1) {
        record.ismini = 0; // a folded note only unfolds
    } else {
        const QSize area = env::workArea();
        record.scr_x = 0;
        record.scr_y = 0;
        if (width() == area.width() && height() == area.height()) {
            record.scr_width = noteDefaults().scr_width;
            record.scr_height = noteDefaults().scr_height;
        } else {
            record.scr_width = area.width();
            record.scr_height = area.height();
        }
    }
    ApplyGeometry();
}

void TfrmStikko_sub::ApplyGeometry() {
    const NoteRecord& defaults = noteDefaults();
    int w = record.ismini == 1 ? defaults.scr_width : record.scr_width;
    int h = record.ismini == 1 ? kFoldedHeight : record.scr_height;
    // A size no window can have (a broken or empty file) shows the note at a usable size;
    // the record keeps what it holds until the user moves or resizes the note.
    if (w <= 0)
        w = defaults.scr_width > 0 ? defaults.scr_width : kDesignWidth;
    if (h <= 0)
        h = defaults.scr_height > 0 ? defaults.scr_height : kDesignHeight;
    // A place no mouse can reach (a file from a larger screen, or one edited by hand) is only
    // corrected on the screen; the record keeps it until the user moves the note.
    move(placeWithinReach(QRect(record.scr_x, record.scr_y, w, h), env::screenAreas()));
    resize(w, h);
    writeRecord();
}

namespace notelayout {

QPoint placeWithinReach(const QRect& frame, const QList<QRect>& areas) {
    const QRect titleBar(frame.x(), frame.y(), frame.width(), kTitleBarHeight);
    const int needWidth = std::min(kReachableWidth, std::max(1, frame.width()));
    const QRect* nearest = nullptr;
    qint64 nearestDistance = 0;
    for (const QRect& area : areas) {
        const QRect shown = area.intersected(titleBar);
        if (shown.width() >= needWidth && shown.height() >= kReachableHeight)
            return frame.topLeft();
        // Distance from the title bar's centre to the area (0 inside it).
        const QPoint centre = titleBar.center();
        const qint64 dx =
            std::max<qint64>({qint64(area.left()) - centre.x(), 0, qint64(centre.x()) - area.right()});
        const qint64 dy =
            std::max<qint64>({qint64(area.top()) - centre.y(), 0, qint64(centre.y()) - area.bottom()});
        const qint64 distance = dx * dx + dy * dy;
        if (!nearest || distance < nearestDistance) {
            nearest = &area;
            nearestDistance = distance;
        }
    }
    if (!nearest)
        return frame.topLeft();
    const int x =
        std::max(nearest->left(), std::min(frame.x(), nearest->left() + nearest->width() - frame.width()));
    const int y =
        std::max(nearest->top(), std::min(frame.y(), nearest->top() + nearest->height() - frame.height()));
    return QPoint(x, y);
}

} // namespace notelayout

} // namespace stikko
