#include "note/controlpanel.h"

#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <QWindow>

namespace stikko {

namespace {

// One control of a panel as a screen reader sees it: an accessibility object without a
// widget, made when the reader first asks for it and dropped with the panel's own object.
class ControlAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    ControlAccessible(ControlPanel* panel, int index) : panel_(panel), index_(index) {}

    ControlPanel* panel() const { return panel_; }
    int index() const { return index_; }

    bool isValid() const override { return panel_ && index_ < panel_->controlCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return panel_ ? panel_->window()->windowHandle() : nullptr; }
    QList<std::pair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation) const override {
        return {};
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(panel_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        const ControlPanel::Control& c = panel_->control(index_);
        switch (t) {
        case QAccessible::Name:
            return c.name;
        case QAccessible::Description:
            return c.tip;
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r = panel_->control(index_).rect;
        return QRect(panel_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override {
        return isValid() ? panel_->control(index_).role : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const ControlPanel::Control& c = panel_->control(index_);
        s.invisible = !c.shown || !panel_->isVisible();
        s.disabled = !c.enabled || !panel_->isEnabled();
        s.checkable = c.checkable;
        s.checked = c.checkable && c.checked;
        s.hotTracked = panel_->hotControl() == index_;
        s.pressed = panel_->pressedControl() == index_ && panel_->hotControl() == index_;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    // QAccessibleActionInterface: the one thing a control does is to be pressed.
    QStringList actionNames() const override {
        return isValid() && panel_->control(index_).enabled ? QStringList{pressAction()} : QStringList();
    }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid())
            panel_->clickControl(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QPointer<ControlPanel> panel_;
    int index_;
};

// The panel as a screen reader sees it: its controls first, then the widgets it holds.
class ControlPanelAccessible : public QAccessibleWidget {
  public:
    explicit ControlPanelAccessible(ControlPanel* panel) : QAccessibleWidget(panel, QAccessible::Grouping) {}
    ~ControlPanelAccessible() override {
        for (QAccessible::Id id : std::as_const(children_)) {
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
        }
    }
    ControlPanelAccessible(const ControlPanelAccessible&) = delete;
    ControlPanelAccessible& operator=(const ControlPanelAccessible&) = delete;

    ControlPanel* panel() const { return static_cast<ControlPanel*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && panel()->accessibleName().isEmpty())
            return panel()->accessibleCaption();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return panel()->controlCount() + QAccessibleWidget::childCount(); }

    QAccessibleInterface* child(int index) const override {
        const int controls = panel()->controlCount();
        if (index < 0)
            return nullptr;
        if (index >= controls)
            return QAccessibleWidget::child(index - controls);
        if (children_.size() < controls)
            children_.resize(controls, 0);
        if (children_[index] != 0)
            return QAccessible::accessibleInterface(children_[index]);
        auto* made = new ControlAccessible(panel(), index);
        children_[index] = QAccessible::registerAccessibleInterface(made);
        return made;
    }

    // The control's object, if a reader has asked for it already; null otherwise.
    QAccessibleInterface* madeChild(int index) const {
        return index < children_.size() && children_[index] != 0
                   ? QAccessible::accessibleInterface(children_[index])
                   : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (const auto* control = dynamic_cast<const ControlAccessible*>(child))
            return control->panel() == panel() ? control->index() : -1;
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? -1 : index + panel()->controlCount();
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const int index = panel()->controlAt(panel()->mapFromGlobal(QPoint(x, y)));
        return index >= 0 ? child(index) : QAccessibleWidget::childAt(x, y);
    }

  private:
    mutable QList<QAccessible::Id> children_;
};

QAccessibleInterface* accessibleFactory(const QString&, QObject* object) {
    if (auto* panel = qobject_cast<ControlPanel*>(object))
        return new ControlPanelAccessible(panel);
    return nullptr;
}

} // namespace

ControlPanel::ControlPanel(QWidget* parent) : Panel(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    // The pointer is followed for the hot look and the tool tips.
    setMouseTracking(true);
}

int ControlPanel::addControl(const Control& control) {
    controls_.append(control);
    return int(controls_.size()) - 1;
}

void ControlPanel::setControlRect(int index, const QRect& rect) {
    Control& c = controls_[index];
    if (c.rect == rect)
        return;
    updateControl(index);
    c.rect = rect;
    updateControl(index);
}

void ControlPanel::setControlShown(int index, bool shown) {
    Control& c = controls_[index];
    if (c.shown == shown)
        return;
    c.shown = shown;
    if (!shown && hot_ == index)
        setHot(-1);
    updateControl(index);
    QAccessible::State changes;
    changes.invisible = true;
    announce(index, changes);
}

void ControlPanel::setControlEnabled(int index, bool enabled) {
    Control& c = controls_[index];
    if (c.enabled == enabled)
        return;
    c.enabled = enabled;
    if (!enabled && pressed_ == index)
        pressed_ = -1;
    updateControl(index);
    QAccessible::State changes;
    changes.disabled = true;
    announce(index, changes);
}

void ControlPanel::setControlChecked(int index, bool checked) {
    Control& c = controls_[index];
    if (c.checked == checked)
        return;
    c.checked = checked;
    updateControl(index);
    QAccessible::State changes;
    changes.checked = true;
    announce(index, changes);
}

void ControlPanel::setControlTip(int index, const QString& tip) {
    controls_[index].tip = tip;
}

void ControlPanel::setControlName(int index, const QString& name) {
    controls_[index].name = name;
}

void ControlPanel::setControlCursor(int index, Qt::CursorShape cursor) {
    controls_[index].cursor = cursor;
    if (hot_ == index)
        setCursor(cursor);
}

int ControlPanel::controlAt(const QPoint& pos) const {
    for (int i = 0; i < controlCount(); ++i) {
        if (controls_[i].shown && controls_[i].rect.contains(pos))
            return i;
    }
    return -1;
}

void ControlPanel::clickControl(int index) {
    if (index >= 0 && index < controlCount() && controls_[index].shown && controls_[index].enabled)
        emit controlClicked(index, Qt::LeftButton);
}

void ControlPanel::updateControl(int index) {
    if (index >= 0 && index < controlCount())
        update(controls_[index].rect);
}

void ControlPanel::announce(int index, const QAccessible::State& changes) {
    if (!QAccessible::isActive())
        return;
    // Only an object a reader has already seen can be told of; the others are made afresh.
    auto* self = dynamic_cast<ControlPanelAccessible*>(QAccessible::queryAccessibleInterface(this));
    if (QAccessibleInterface* control = self ? self->madeChild(index) : nullptr) {
        QAccessibleStateChangeEvent event(control, changes);
        QAccessible::updateAccessibility(&event);
    }
}

void ControlPanel::setHot(int index) {
    if (index == hot_)
        return;
    const int was = hot_;
    hot_ = index;
    updateControl(was);
    updateControl(index);
    if (index >= 0 && controls_[index].cursor != Qt::ArrowCursor)
        setCursor(controls_[index].cursor);
    else
        unsetCursor();
}

void ControlPanel::paintContents(QPainter& painter, const QRect& exposed) {
    for (int i = 0; i < controlCount(); ++i) {
        if (controls_[i].shown && controls_[i].rect.intersects(exposed))
            paintControl(painter, i);
    }
}

bool ControlPanel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int index = controlAt(help->pos());
        if (index >= 0 && !controls_[index].tip.isEmpty()) {
            // Shown until the pointer leaves the control, as a widget's own tip would be.
            QToolTip::showText(help->globalPos(), controls_[index].tip, this, controls_[index].rect);
            return true;
        }
        // Elsewhere, and on a control without a tip of its own, the panel's tip (or its
        // parent's), as for a widget without a tip.
    }
    return Panel::event(event);
}

void ControlPanel::mousePressEvent(QMouseEvent* event) {
    const int index = controlAt(event->position().toPoint());
    if (index < 0 || !controls_[index].enabled) {
        Panel::mousePressEvent(event);
        return;
    }
    pressed_ = index;
    pressedButton_ = event->button();
    setHot(index);
    updateControl(index);
    event->accept();
}

void ControlPanel::mouseMoveEvent(QMouseEvent* event) {
    const int index = controlAt(event->position().toPoint());
    // While a button is held on a control, only that control is hot (it shows pressed while
    // the pointer stays on it).
    if (pressed_ >= 0)
        setHot(index == pressed_ ? index : -1);
    else
        setHot(index >= 0 && controls_[index].enabled ? index : -1);
    Panel::mouseMoveEvent(event);
}

void ControlPanel::mouseReleaseEvent(QMouseEvent* event) {
    const int was = pressed_;
    if (was < 0 || event->button() != pressedButton_) {
        Panel::mouseReleaseEvent(event);
        return;
    }
    pressed_ = -1;
    pressedButton_ = Qt::NoButton;
    updateControl(was);
    event->accept();
    const int index = controlAt(event->position().toPoint());
    setHot(index >= 0 && controls_[index].enabled ? index : -1);
    if (index == was && controls_[was].enabled)
        emit controlClicked(was, event->button());
}

void ControlPanel::leaveEvent(QEvent* event) {
    if (pressed_ < 0)
        setHot(-1);
    Panel::leaveEvent(event);
}

} // namespace stikko
