// How TXPStyle takes controls and bars over: which widgets are which kind of control or parent,
// the wrapper that keeps a control's hot, pressed and focus states, and the hooking of menu
// bars, tool bars and bands.
#include "theme/xpstyle.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace stikko {

namespace {

bool isExactly(const QObject* object, const QMetaObject& meta) {
    return object->metaObject() == &meta;
}

TXPControl memberOf(XPKind kind) {
    switch (kind) {
    case XPKind::Combo:
        return xcCombo;
    case XPKind::Edit:
        return xcEdit;
    case XPKind::MaskEdit:
        return xcMaskEdit;
    case XPKind::Memo:
        return xcMemo;
    case XPKind::RichEdit:
        return xcRichEdit;
    case XPKind::CheckBox:
        return xcCheckBox;
    case XPKind::RadioButton:
        return xcRadioButton;
    case XPKind::Button:
        return xcButton;
    case XPKind::BitBtn:
        return xcBitBtn;
    case XPKind::SpeedButton:
        return xcSpeedButton;
    case XPKind::Panel:
        return xcPanel;
    case XPKind::GroupBox:
        return xcGroupBox;
    case XPKind::None:
        break;
    }
    return TXPControl(0);
}

// The kind of parent a control sits on, as the container set names them: a window is a form, a
// plain widget grouping controls a frame, a plain QFrame a panel.
TXPContainers containerKind(const QWidget* parent) {
    if (parent == nullptr)
        return {};
    if (parent->isWindow())
        return xccForm;
    if (qobject_cast<const QToolBar*>(parent) != nullptr)
        return xccToolbar;
    if (qobject_cast<const QGroupBox*>(parent) != nullptr)
        return xccGroupBox;
    if (isExactly(parent, QFrame::staticMetaObject))
        return xccPanel;
    if (const QWidget* up = parent->parentWidget(); up != nullptr) {
        const auto* scroll = qobject_cast<const QScrollArea*>(up->parentWidget());
        if (scroll != nullptr && scroll->widget() == parent)
            return xccScrollBox;
        if (qobject_cast<const QStackedWidget*>(up) != nullptr &&
            qobject_cast<const QTabWidget*>(up->parentWidget()) != nullptr)
            return xccTabSheet;
    }
    if (isExactly(parent, QWidget::staticMetaObject))
        return xccFrame;
    return {};
}

const char* const kToolBarHooked = "xpToolBar";
const char* const kBandHooked = "xpBand";

bool isToolBarSeparator(const QWidget* widget) {
    return qstrcmp(widget->metaObject()->className(), "QToolBarSeparator") == 0;
}

} // namespace

// ---- the wrapper ------------------------------------------------------------------------

TControlSubClass::TControlSubClass(TXPStyle* owner, QWidget* control, XPKind kind)
    : QObject(owner), OwnerMenu(owner), target_(control), kind_(kind) {
    if (control->testAttribute(Qt::WA_SetStyle) && control->style() != owner)
        savedStyle_ = control->style();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        savedSingle_ = edit->hasFrame();
    if (auto* frame = qobject_cast<QFrame*>(control);
        frame != nullptr && (kind == XPKind::Memo || kind == XPKind::RichEdit)) {
        savedFrameShape_ = frame->frameShape();
        savedMargins_ = frame->contentsMargins();
        savedSingle_ = frame->frameShape() != QFrame::NoFrame;
        if (kind == XPKind::RichEdit && savedSingle_) {
            // The frame drawn around the edit takes the place of its own border; the text keeps
            // a margin of two pixels.
            frame->setFrameShape(QFrame::NoFrame);
            const QMargins m = savedMargins_;
            frame->setContentsMargins(std::max(m.left(), 2), std::max(m.top(), 2), std::max(m.right(), 2),
                                      std::max(m.bottom(), 2));
        }
    }
    if (kind == XPKind::CheckBox || kind == XPKind::RadioButton) {
        // A click that changes the check also ends the hot look until the pointer comes back.
        connect(static_cast<QAbstractButton*>(control), &QAbstractButton::toggled, this, [this] {
            MouseInside = false;
            paint();
        });
    }
    control->installEventFilter(this);
}

XPControlState TControlSubClass::state() const {
    XPControlState s;
    s.hot = MouseInside;
    s.mouseDown = MouseButtonDown;
    s.spaceDown = SpaceDown;
    if (target_) {
        s.focused = target_->hasFocus();
        s.enabled = target_->isEnabled();
        s.rightToLeft = target_->layoutDirection() == Qt::RightToLeft;
    }
    return s;
}

void TControlSubClass::paint() {
    if (!target_)
        return;
    target_->update();
    if (kind_ == XPKind::RichEdit && target_->parentWidget() != nullptr)
        target_->parentWidget()->update(target_->geometry().adjusted(-1, -1, 1, 1));
}

bool TControlSubClass::eventFilter(QObject* watched, QEvent* event) {
    if (watched != target_ || !OwnerMenu->Active())
        return false;
    const QWidget* control = target_;
    switch (event->type()) {
    case QEvent::FocusIn:
        MouseInside = true;
        paint();
        break;
    case QEvent::FocusOut:
        MouseInside = false;
        paint();
        break;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
            SpaceDown = true;
            if (!SpaceRepeat) // held down, the key repeats; the pressed look is painted once
                paint();
            SpaceRepeat = true;
        }
        break;
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && !key->isAutoRepeat()) {
            SpaceDown = false;
            SpaceRepeat = false;
            paint();
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a double click is a second press
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            MouseButtonDown = true;
            paint();
        }
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            MouseButtonDown = false;
            paint();
        }
        break;
    case QEvent::EnabledChange:
        if (!control->isEnabled())
            MouseInside = false;
        paint();
        break;
    case QEvent::Enter:
    case QEvent::Leave:
        if (control->isEnabled()) {
            MouseInside = event->type() == QEvent::Enter;
            paint();
        }
        break;
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
        paint();
        break;
    default:
        break;
    }
    return false;
}

void TControlSubClass::remove() {
    QWidget* control = target_;
    target_ = nullptr;
    if (control == nullptr)
        return;
    control->removeEventFilter(this);
    if (kind_ == XPKind::RichEdit) {
        auto* frame = static_cast<QFrame*>(control);
        frame->setFrameShape(QFrame::Shape(savedFrameShape_));
        frame->setContentsMargins(savedMargins_);
        if (QWidget* parent = control->parentWidget())
            parent->update(control->geometry().adjusted(-1, -1, 1, 1));
    } else if (control->style() == OwnerMenu) {
        control->setStyle(savedStyle_); // none: the application's again
    }
    control->update();
}

// ---- kinds and hooking -------------------------------------------------------------------

XPKind TXPStyle::controlKind(const QWidget* w) {
    if (qobject_cast<const QComboBox*>(w) != nullptr)
        return XPKind::Combo;
    if (qobject_cast<const QTextEdit*>(w) != nullptr)
        return XPKind::RichEdit;
    if (qobject_cast<const QPlainTextEdit*>(w) != nullptr)
        return XPKind::Memo;
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->inputMask().isEmpty() ? XPKind::Edit : XPKind::MaskEdit;
    if (qobject_cast<const QCheckBox*>(w) != nullptr)
        return XPKind::CheckBox;
    if (qobject_cast<const QRadioButton*>(w) != nullptr)
        return XPKind::RadioButton;
    if (const auto* button = qobject_cast<const QPushButton*>(w))
        return button->icon().isNull() ? XPKind::Button : XPKind::BitBtn;
    // A tool button on a tool bar is one of the bar's buttons, drawn with the bar.
    if (qobject_cast<const QToolButton*>(w) != nullptr &&
        qobject_cast<const QToolBar*>(w->parentWidget()) == nullptr)
        return XPKind::SpeedButton;
    if (qobject_cast<const QGroupBox*>(w) != nullptr)
        return XPKind::GroupBox;
    if (isExactly(w, QFrame::staticMetaObject))
        return XPKind::Panel;
    return XPKind::None;
}

TControlSubClass* TXPStyle::wrapperOf(const QWidget* control) const {
    return control != nullptr ? wrappers_.value(control, nullptr) : nullptr;
}

void TXPStyle::InitItem(QObject* object, bool enable, bool update) {
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        if (controls_ & xcPopupMenu) {
            hookMenu(menu, enable);
            if (update)
                menu->update();
        }
        return;
    }
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr)
        return;
    if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
        if ((controls_ & xcMainMenu) && objectTag(bar) != kKeepOwnLookTag) {
            hookMenuBar(bar, enable);
            if (update)
                bar->update();
        }
        return;
    }
    if (auto* toolBar = qobject_cast<QToolBar*>(widget)) {
        if (controls_ & xcToolbar)
            hookToolBar(toolBar, enable);
        if ((controls_ & xcControlbar) && qobject_cast<QMainWindow*>(toolBar->parentWidget()) != nullptr)
            hookBand(toolBar, enable);
        if (update)
            toolBar->update();
    }

    const XPKind kind = controlKind(widget);
    if (kind != XPKind::None) {
        const QWidget* parent = widget->parentWidget();
        bool changed = false;
        if (!enable) {
            changed = unwrap(widget);
        } else if ((controls_ & memberOf(kind)) && (containers_ & containerKind(parent)) &&
                   objectTag(widget) != kKeepOwnLookTag && objectTag(parent) != kKeepOwnLookTag) {
            changed = wrap(widget, kind);
        }
        if (update && changed)
            widget->update();
        // A control's insides are its own; panels and group boxes hold controls.
        if (kind != XPKind::Panel && kind != XPKind::GroupBox)
            return;
    }
    InitItems(widget, enable, update);
}

bool TXPStyle::wrap(QWidget* control, XPKind kind) {
    if (wrappers_.contains(control))
        return false;
    auto* wrapper = new TControlSubClass(this, control, kind);
    wrappers_.insert(control, wrapper);
    connect(control, &QObject::destroyed, wrapper, [this, control, wrapper] {
        wrappers_.remove(control);
        wrapper->deleteLater();
    });
    if (kind == XPKind::RichEdit) {
        // Its frame lies outside it, on the parent, drawn after the parent's own painting.
        if (QWidget* parent = control->parentWidget())
            parent->installEventFilter(this);
        wrapper->paint();
    } else {
        control->setStyle(this);
    }
    return true;
}

bool TXPStyle::unwrap(QWidget* control) {
    TControlSubClass* wrapper = wrappers_.take(control);
    if (wrapper == nullptr)
        return false;
    wrapper->remove();
    delete wrapper;
    return true;
}

void TXPStyle::hookWidget(QWidget* widget, bool enable) {
    if (enable) {
        const bool ownStyle = widget->testAttribute(Qt::WA_SetStyle) && widget->style() != this;
        if (ownStyle && !overrideOwnerDraw_)
            return;
        if (widget->style() != this)
            widget->setStyle(this);
    } else if (widget->testAttribute(Qt::WA_SetStyle) && widget->style() == this) {
        widget->setStyle(nullptr);
    }
}

void TXPStyle::hookMenuBar(QMenuBar* bar, bool enable) {
    if (bar->actions().isEmpty())
        return; // a menu bar without items keeps its look
    hookWidget(bar, enable);
    for (QAction* action : bar->actions()) {
        if (QMenu* menu = action->menu())
            hookMenu(menu, enable);
    }
}

void TXPStyle::hookToolBar(QToolBar* bar, bool enable) {
    bar->setProperty(kToolBarHooked, enable);
    for (QObject* child : bar->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr || widget->objectName().startsWith(QLatin1String("qt_")))
            continue; // the bar's own parts (its extension button)
        if (auto* button = qobject_cast<QToolButton*>(widget)) {
            button->setAutoRaise(true); // the bar is flat, and stays so
            hookWidget(button, enable);
            if (QMenu* menu = button->menu(); menu != nullptr && (controls_ & xcMainMenu))
                hookMenu(menu, enable);
        } else if (isToolBarSeparator(widget)) {
            hookWidget(widget, enable);
        }
    }
}

void TXPStyle::hookBand(QToolBar* bar, bool enable) {
    bar->setProperty(kBandHooked, enable);
    hookWidget(bar, enable);
}

bool TXPStyle::isHookedToolBar(const QWidget* bar) const {
    return active_ && qobject_cast<const QToolBar*>(bar) != nullptr && bar->property(kToolBarHooked).toBool();
}

bool TXPStyle::isToolBarButton(const QWidget* widget) const {
    return isOurs(widget) && isHookedToolBar(widget->parentWidget());
}

bool TXPStyle::isBand(const QWidget* widget) const {
    return isOurs(widget) && qobject_cast<const QToolBar*>(widget) != nullptr &&
           widget->property(kBandHooked).toBool();
}

} // namespace stikko
