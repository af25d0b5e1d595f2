#include "note/notegestures.h"

#include "note/notelayout.h"
#include "platform/appenv.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <utility>

namespace stikko {

using namespace notelayout;

NoteGestures::NoteGestures(QWidget* window, QWidget* titleBar, const QList<QWidget*>& grips,
                           std::function<bool(const QPoint&)> onTitleControl)
    : QObject(window), window_(window), titleBar_(titleBar), onTitleControl_(std::move(onTitleControl)),
      grips_(grips) {
    titleBar_->installEventFilter(this);
    for (QWidget* grip : grips_)
        grip->installEventFilter(this);
}

NoteGestures::~NoteGestures() {
    endCursor();
}

bool NoteGestures::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                       type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick;
    if (!mouse || (watched != titleBar_ && !grips_.contains(watched)))
        return QObject::eventFilter(watched, event);

    auto* me = static_cast<QMouseEvent*>(event);
    if (watched == titleBar_) {
        const QPoint pos = me->position().toPoint();
        const QPoint global = me->globalPosition().toPoint();
        // The title bar's own controls take their presses, and the pointer's moves outside a
        // move are the title bar's too (its controls follow the pointer).
        const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
        if ((press && onTitleControl_ && onTitleControl_(pos)) || (!press && !active_))
            return false;
        switch (type) {
        case QEvent::MouseButtonPress:
            titlePressed(me->button(), pos, global);
            break;
        case QEvent::MouseMove:
            titleDragged(global);
            break;
        case QEvent::MouseButtonRelease:
            titleReleased(global);
            break;
        default:
            // The second press of a double click folds, and is a press like any other.
            emit foldRequested();
            titlePressed(me->button(), pos, global);
            break;
        }
        return true;
    }

    const QPoint global = me->globalPosition().toPoint();
    switch (type) {
    case QEvent::MouseMove:
        gripDragged(global);
        break;
    case QEvent::MouseButtonRelease:
        gripReleased();
        break;
    default: // a press, or the second press of a double click: a resize starts
        gripPressed(global);
        break;
    }
    return true;
}

void NoteGestures::setCursor(Qt::CursorShape shape) {
    if (!cursorOverridden_) {
        QGuiApplication::setOverrideCursor(QCursor(shape));
        cursorOverridden_ = true;
    } else {
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    }
}

void NoteGestures::endCursor() {
    if (cursorOverridden_) {
        QGuiApplication::restoreOverrideCursor();
        cursorOverridden_ = false;
    }
}

// --- Moving -------------------------------------------------------------------------------

void NoteGestures::titlePressed(Qt::MouseButton button, QPoint pos, QPoint globalPos) {
    emit started();
    // On Wayland a window cannot place itself; the compositor moves it for the title bar.
    QWindow* handle = window_->windowHandle();
    if (button == Qt::LeftButton && QGuiApplication::platformName().startsWith(u"wayland") && handle &&
        handle->startSystemMove())
        return;
    active_ = true;
    setCursor(Qt::DragMoveCursor);
    anchor_ = pos;
    toScreen_ = window_->pos() + pos - globalPos;
    emit placeTaken();
}

void NoteGestures::titleDragged(QPoint globalPos) {
    if (active_)
        dragTitleTo(globalPos);
}

void NoteGestures::titleReleased(QPoint globalPos) {
    if (!active_)
        return; // a release whose press did not start a move here
    active_ = false;
    dragTitleTo(globalPos);
    endCursor();
    emit moved();
}

void NoteGestures::dragTitleTo(QPoint globalPos) {
    // Only the work area's width and height count, as if it started at the screen's origin.
    const QSize area = env::workArea();
    setCursor(Qt::DragMoveCursor);
    // From the pointer's place on the screen, not on the title bar: a move read after the
    // window was moved for an earlier one is placed on the title bar as it stood before, and
    // would send the note a step too far.
    const QPoint screen = globalPos + toScreen_;
    if (screen.x() >= kEdgeMargin && screen.x() <= area.width() - kEdgeMargin && screen.y() >= kEdgeMargin &&
        screen.y() <= area.height() - kEdgeMargin) {
        window_->move(screen - anchor_);
    }
}

// --- Resizing -----------------------------------------------------------------------------

void NoteGestures::gripPressed(QPoint globalPos) {
    emit started();
    active_ = true;
    setCursor(Qt::SizeFDiagCursor);
    anchor_ = globalPos;
}

void NoteGestures::gripDragged(QPoint globalPos) {
    if (!active_)
        return;
    if (window_->width() < kMinWidth || window_->height() < kMinHeight) {
        // The step that went below the minimum is undone on the next move, without a step.
        window_->resize(std::max(window_->width(), kMinWidth), std::max(window_->height(), kMinHeight));
        return;
    }
    setCursor(Qt::SizeFDiagCursor);
    const QPoint step = globalPos - anchor_;
    anchor_ = globalPos;
    window_->resize(std::max(1, window_->width() + step.x()), std::max(1, window_->height() + step.y()));
}

void NoteGestures::gripReleased() {
    if (!active_)
        return;
    active_ = false;
    endCursor();
    emit resized();
}

} // namespace stikko
