#pragma once
// A panel that draws a few small controls itself (the tool bar's buttons and labels, the title
// bar's pictures) instead of holding a widget for each. Every note has a dozen of them, and a
// widget costs a note far more than the drawing: its own events, geometry, style and
// accessibility object. The panel keeps for each control what a widget would: its place, tool
// tip, accessible name and role, whether it is shown, available and on; it follows the pointer
// over them (hot, held down), shows their tool tips, tells of clicks, and gives each an
// accessibility object of its own, so screen readers find them as they found the widgets.

#include "note/notewidgets.h"

#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>

namespace stikko {

class ControlPanel : public Panel {
    Q_OBJECT
  public:
    struct Control {
        QRect rect; // in the panel's coordinates
        QString tip;
        QString name; // what a screen reader says
        QAccessible::Role role = QAccessible::Button;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        bool shown = true;
        bool enabled = true;
        bool checkable = false;
        bool checked = false;
    };

    explicit ControlPanel(QWidget* parent = nullptr);

    int addControl(const Control& control);
    int controlCount() const { return int(controls_.size()); }
    const Control& control(int index) const { return controls_[index]; }
    void setControlRect(int index, const QRect& rect);
    void setControlShown(int index, bool shown);
    void setControlEnabled(int index, bool enabled);
    void setControlChecked(int index, bool checked);
    void setControlTip(int index, const QString& tip);
    void setControlName(int index, const QString& name);
    void setControlCursor(int index, Qt::CursorShape cursor);

    // The shown control at `pos`; -1 for none.
    int controlAt(const QPoint& pos) const;
    // The control under the pointer (-1: none) and the one a mouse button went down on and
    // has not come up from (-1: none).
    int hotControl() const { return hot_; }
    int pressedControl() const { return pressed_; }
    // The mouse button held on pressedControl() (Qt::NoButton while none is).
    Qt::MouseButton pressedButton() const { return pressedButton_; }
    // Acts as a click of the left button on the control (a screen reader's press).
    void clickControl(int index);
    // What a screen reader calls the panel when it has no accessible name of its own.
    virtual QString accessibleCaption() const { return {}; }

  signals:
    // A press and a release of `button` on the same available control.
    void controlClicked(int index, Qt::MouseButton button);

  protected:
    // Draws control `index`, which is shown and meets the part being painted; the panel's
    // background is painted already.
    virtual void paintControl(QPainter& painter, int index) = 0;
    void paintContents(QPainter& painter, const QRect& exposed) override;

    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void setHot(int index);
    void updateControl(int index);
    // Tells a screen reader that the control's `changes` have changed.
    void announce(int index, const QAccessible::State& changes);

    QList<Control> controls_;
    int hot_ = -1;
    int pressed_ = -1;
    Qt::MouseButton pressedButton_ = Qt::NoButton;
};

} // namespace stikko
