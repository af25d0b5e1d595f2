// TXPStyle as the style of wrapped controls and hooked bars: what Qt asks it to draw is read
// from the widget and its style option into the painters' descriptions.
#include "theme/colors.h"
#include "theme/xpstyle.h"

#include <QComboBox>
#include <QFrame>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOption>
#include <QToolBar>
#include <QToolButton>

namespace stikko {

using namespace xp;

namespace {

ColorValue backgroundOf(const QWidget* widget) {
    return colors::fromQColor(widget->palette().color(widget->backgroundRole()));
}

ColorValue parentColorOf(const QWidget* widget) {
    const QWidget* parent = widget->parentWidget();
    return parent != nullptr ? backgroundOf(parent)
                             : colors::resolve(colors::systemColorValue(colors::kButtonFace));
}

MenuFont fontOf(const QWidget* widget, QPalette::ColorRole role) {
    return {widget->font(), colors::fromQColor(widget->palette().color(role))};
}

QImage imageOf(const QIcon& icon, QSize size, QIcon::Mode mode = QIcon::Normal) {
    if (icon.isNull() || size.isEmpty())
        return {};
    return icon.pixmap(size, 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Runs `paint` on a canvas over `painter`, leaving the painter's state as it was.
template <typename Paint> void onCanvas(QPainter* painter, int depth, Paint paint) {
    painter->save();
    {
        XPCanvas canvas(*painter, depth);
        paint(canvas);
    }
    painter->restore();
}

// A tool bar paints its own background unless it says it has none.
// The tag of the separator drawn by `widget` on `bar`: the separator widget's own, else that of
// the separator action it stands for.
int separatorTag(const QToolBar* bar, const QWidget* widget) {
    if (widget == nullptr || widget == bar)
        return 0;
    if (widget->property("Tag").isValid())
        return objectTag(widget);
    if (bar != nullptr) {
        for (QAction* action : bar->actions()) {
            if (action->isSeparator() && bar->widgetForAction(action) == widget)
                return objectTag(action);
        }
    }
    return 0;
}

bool isTransparentBar(const QWidget* bar) {
    return bar->testAttribute(Qt::WA_NoSystemBackground);
}

XPBevel bevelOf(const QStyleOption* option) {
    if (option->state & QStyle::State_Sunken)
        return XPBevel::Lowered;
    if (option->state & QStyle::State_Raised)
        return XPBevel::Raised;
    return XPBevel::None;
}

} // namespace

const TControlSubClass* TXPStyle::activeWrapper(const QWidget* widget) const {
    return active_ ? wrapperOf(widget) : nullptr;
}

bool TXPStyle::drawControlXP(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    const int depth = deviceDepth(painter->device());
    if (element == CE_MenuBarEmptyArea && drawMenuBar_ && qobject_cast<const QMenuBar*>(widget) != nullptr &&
        isOurs(widget)) {
        SetGlobalColor(depth);
        painter->fillRect(option->rect, toColor(palette_.BarColor));
        return true;
    }
    if (element == CE_ToolBar && isBand(widget)) {
        onCanvas(painter, depth,
                 [&](XPCanvas& c) { ControlBarPaint(c, Edges::of(option->rect), backgroundOf(widget)); });
        return true;
    }

    const TControlSubClass* wrapper = activeWrapper(widget);
    if (wrapper == nullptr)
        return false;
    const XPKind kind = wrapper->kind();
    const XPControlState state = wrapper->state();
    const Edges rect = Edges::of(option->rect);

    if ((element == CE_CheckBox && kind == XPKind::CheckBox) ||
        (element == CE_RadioButton && kind == XPKind::RadioButton)) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button == nullptr)
            return false;
        const bool radio = kind == XPKind::RadioButton;
        XPCheckLook look;
        look.color = backgroundOf(widget);
        look.boxRight = option->direction == Qt::RightToLeft;
        look.state = option->state & State_On         ? Qt::Checked
                     : option->state & State_NoChange ? Qt::PartiallyChecked
                                                      : Qt::Unchecked;
        onCanvas(painter, depth, [&](XPCanvas& c) {
            if (radio)
                PaintRadio(c, rect, look, state);
            else
                PaintCheckBox(c, rect, look, state);
        });
        QStyleOptionButton label = *button;
        label.rect = subElementRect(radio ? SE_RadioButtonContents : SE_CheckBoxContents, option, widget);
        QProxyStyle::drawControl(radio ? CE_RadioButtonLabel : CE_CheckBoxLabel, &label, painter, widget);
        return true;
    }
    if (element == CE_PushButton && (kind == XPKind::Button || kind == XPKind::BitBtn)) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button == nullptr)
            return false;
        XPButtonLook look;
        look.caption = button->text;
        look.font = fontOf(widget, QPalette::ButtonText);
        look.parentColor = parentColorOf(widget);
        look.isDefault = button->features & QStyleOptionButton::DefaultButton;
        look.tag = objectTag(widget);
        look.flat = false;
        look.transparent = false;
        look.glyph = imageOf(button->icon, button->iconSize);
        onCanvas(painter, depth, [&](XPCanvas& c) {
            if (kind == XPKind::BitBtn)
                PaintBitButn(c, rect, look, state);
            else
                PaintButton(c, rect, look, state);
        });
        return true;
    }
    if (element == CE_ShapedFrame) {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (frame == nullptr)
            return false;
        if (kind == XPKind::Memo) {
            onCanvas(painter, depth, [&](XPCanvas& c) {
                c.setBrush(backgroundOf(widget));
                c.fillRect(rect);
                PaintEdit(c, rect, parentColorOf(widget), wrapper->savedSingleBorder(), state);
            });
            return true;
        }
        if (kind != XPKind::Panel)
            return false;
        XPPanelLook panel;
        panel.color = backgroundOf(widget);
        panel.bevelWidth = frame->lineWidth;
        switch (frame->frameShape) {
        case QFrame::NoFrame:
            return true;
        case QFrame::WinPanel:
            panel.bevelWidth = 2;
            [[fallthrough]];
        case QFrame::Panel:
        case QFrame::StyledPanel:
            panel.outer = bevelOf(option);
            break;
        case QFrame::Box: // a ridge or a groove: two bevels facing each other
            panel.outer = bevelOf(option);
            panel.inner = panel.outer == XPBevel::Raised ? XPBevel::Lowered : XPBevel::Raised;
            panel.borderWidth = frame->midLineWidth;
            break;
        default:
            return false;
        }
        if (panel.outer == XPBevel::None)
            return false; // a plain line is the application's
        onCanvas(painter, depth, [&](XPCanvas& c) { PaintPanel(c, rect, panel); });
        return true;
    }
    return false;
}

bool TXPStyle::drawPrimitiveXP(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    const int depth = deviceDepth(painter->device());
    if (element == PE_IndicatorToolBarSeparator || element == PE_IndicatorToolBarHandle) {
        const QWidget* bar = qobject_cast<const QToolBar*>(widget) != nullptr
                                 ? widget
                                 : (widget != nullptr ? widget->parentWidget() : nullptr);
        if (element == PE_IndicatorToolBarHandle)
            return isBand(bar); // the band's grip is drawn with the band
        if (bar == nullptr || !isHookedToolBar(bar))
            return false;
        XPToolBarLook look;
        look.color = backgroundOf(bar);
        look.transparent = isTransparentBar(bar);
        // A separator paints itself naming its bar, on a painter of its own.
        const auto* separator = dynamic_cast<const QWidget*>(painter->device());
        const int tag =
            separatorTag(qobject_cast<const QToolBar*>(bar),
                         separator != nullptr && separator->parentWidget() == bar ? separator : widget);
        onCanvas(painter, depth,
                 [&](XPCanvas& c) { ToolBarDrawSeparator(c, Edges::of(option->rect), look, tag); });
        return true;
    }
    const TControlSubClass* wrapper = activeWrapper(widget);
    if (element != PE_PanelLineEdit || wrapper == nullptr ||
        (wrapper->kind() != XPKind::Edit && wrapper->kind() != XPKind::MaskEdit))
        return false;
    onCanvas(painter, depth, [&](XPCanvas& c) {
        const Edges rect = Edges::of(option->rect);
        c.setBrush(colors::fromQColor(option->palette.color(QPalette::Base)));
        c.fillRect(rect);
        PaintEdit(c, rect, parentColorOf(widget), wrapper->savedSingleBorder(), wrapper->state());
    });
    return true;
}

void TXPStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                  QPainter* painter, const QWidget* widget) const {
    const int depth = deviceDepth(painter->device());
    const TControlSubClass* wrapper = activeWrapper(widget);
    const Edges rect = Edges::of(option->rect);
    if (control == CC_ToolButton && wrapper != nullptr && wrapper->kind() == XPKind::SpeedButton) {
        const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
        if (tool != nullptr) {
            XPButtonLook look;
            if (tool->toolButtonStyle != Qt::ToolButtonTextOnly)
                look.glyph = imageOf(tool->icon, tool->iconSize);
            if (tool->toolButtonStyle != Qt::ToolButtonIconOnly)
                look.caption = tool->text;
            look.layout = tool->toolButtonStyle == Qt::ToolButtonTextUnderIcon ? XPGlyphLayout::Top
                                                                               : XPGlyphLayout::Left;
            look.font = fontOf(widget, QPalette::ButtonText);
            look.parentColor = parentColorOf(widget);
            look.flat = tool->state & State_AutoRaise;
            look.transparent = !widget->autoFillBackground(); // what lies behind shows
            look.down = tool->state & State_On;
            look.tag = objectTag(widget);
            onCanvas(painter, depth, [&](XPCanvas& c) { PaintSpeedButton(c, rect, look, wrapper->state()); });
            return;
        }
    }
    if (control == CC_ComboBox && wrapper != nullptr && wrapper->kind() == XPKind::Combo) {
        const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
        if (combo != nullptr) {
            XPComboLook look;
            look.color = colors::fromQColor(option->palette.color(QPalette::Base));
            look.parentColor = parentColorOf(widget);
            look.tag = objectTag(widget);
            look.droppedDown = option->state & State_On;
            onCanvas(painter, depth, [&](XPCanvas& c) {
                c.setBrush(look.color);
                c.fillRect(rect);
                PaintCombo(c, rect, look, wrapper->state());
            });
            return;
        }
    }
    if (control == CC_GroupBox && wrapper != nullptr && wrapper->kind() == XPKind::GroupBox) {
        const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        // A group box with a check box in its caption keeps the application's look.
        if (group != nullptr && !(group->subControls & SC_GroupBoxCheckBox)) {
            XPGroupLook look;
            look.color = backgroundOf(widget);
            look.parentColor = parentColorOf(widget);
            look.caption = group->text;
            look.font = fontOf(widget, QPalette::WindowText);
            look.flat = group->features & QStyleOptionFrame::Flat;
            onCanvas(painter, depth, [&](XPCanvas& c) { PaintGroupBox(c, rect, look, wrapper->state()); });
            return;
        }
    }
    if (control == CC_ToolButton && isToolBarButton(widget)) {
        const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
        const auto* button = static_cast<const QToolButton*>(widget);
        const QWidget* bar = widget->parentWidget();
        if (tool != nullptr) {
            XPToolBarLook look;
            look.color = backgroundOf(bar);
            look.transparent = isTransparentBar(bar);
            look.showCaptions = tool->toolButtonStyle != Qt::ToolButtonIconOnly;
            look.list = tool->toolButtonStyle == Qt::ToolButtonTextBesideIcon;
            const bool enabled = tool->state & State_Enabled;
            const bool hot = enabled && (tool->state & State_MouseOver);
            XPToolButtonLook b;
            if (tool->toolButtonStyle != Qt::ToolButtonTextOnly) {
                b.glyph = imageOf(tool->icon, tool->iconSize);
                if (hot)
                    b.hotGlyph = imageOf(tool->icon, tool->iconSize, QIcon::Active);
            }
            b.caption = tool->text;
            b.dropDown = tool->features & QStyleOptionToolButton::MenuButtonPopup;
            b.hasDropDownMenu = tool->features & QStyleOptionToolButton::HasMenu;
            b.hasMenuItem = b.hasDropDownMenu && button->popupMode() == QToolButton::InstantPopup;
            b.down = tool->state & State_On;
            b.enabled = enabled;
            b.rightToLeft = tool->direction == Qt::RightToLeft;
            int state = 0;
            if (tool->state & State_Sunken)
                state |= xtsSelected;
            if (!enabled)
                state |= xtsDisabled;
            if (tool->state & State_On)
                state |= xtsChecked;
            if (hot)
                state |= xtsHot;
            onCanvas(painter, depth, [&](XPCanvas& c) { ToolBarDrawButton(c, rect, look, b, state); });
            return;
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QRect TXPStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                               SubControl subControl, const QWidget* widget) const {
    const TControlSubClass* wrapper = activeWrapper(widget);
    if (control == CC_ComboBox && wrapper != nullptr && wrapper->kind() == XPKind::Combo) {
        const Edges R = Edges::of(option->rect);
        const bool rtl = option->direction == Qt::RightToLeft;
        const Edges button = comboButtonRect(R, rtl);
        switch (subControl) {
        case SC_ComboBoxArrow:
            return button.toRect();
        case SC_ComboBoxEditField:
            return (rtl ? Edges{button.right, R.top + 3, R.right - 3, R.bottom - 3}
                        : Edges{R.left + 3, R.top + 3, button.left, R.bottom - 3})
                .toRect();
        case SC_ComboBoxFrame:
            return option->rect;
        default:
            break;
        }
    }
    return QProxyStyle::subControlRect(control, option, subControl, widget);
}

QRect TXPStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const {
    const TControlSubClass* wrapper = activeWrapper(widget);
    const bool check = wrapper != nullptr && wrapper->kind() == XPKind::CheckBox &&
                       (element == SE_CheckBoxIndicator || element == SE_CheckBoxContents);
    const bool radio = wrapper != nullptr && wrapper->kind() == XPKind::RadioButton &&
                       (element == SE_RadioButtonIndicator || element == SE_RadioButtonContents);
    if (!check && !radio)
        return QProxyStyle::subElementRect(element, option, widget);
    const bool rtl = option->direction == Qt::RightToLeft;
    const Edges R = Edges::of(option->rect);
    const Edges box = checkBoxRect(R, rtl, radio);
    if (element == SE_CheckBoxIndicator || element == SE_RadioButtonIndicator)
        return box.toRect();
    // The caption follows the box after the usual spacing.
    const int spacing =
        pixelMetric(radio ? PM_RadioButtonLabelSpacing : PM_CheckBoxLabelSpacing, option, widget);
    return (rtl ? Edges{R.left, R.top, box.left - spacing, R.bottom}
                : Edges{box.right + spacing, R.top, R.right, R.bottom})
        .toRect();
}

void TXPStyle::paintRichEditFrames(QWidget* parent) const {
    QPainter painter(parent);
    const int depth = deviceDepth(parent);
    for (const TControlSubClass* wrapper : wrappers_) {
        const QWidget* edit = wrapper->TargetControl();
        if (wrapper->kind() != XPKind::RichEdit || edit == nullptr || edit->parentWidget() != parent ||
            !edit->isVisible())
            continue;
        onCanvas(&painter, depth, [&](XPCanvas& c) {
            PaintRichEdit(c, Edges::of(edit->geometry()), backgroundOf(parent), wrapper->savedSingleBorder(),
                          wrapper->state());
        });
    }
}

} // namespace stikko
