#include "theme/xpstyle.h"

#include "theme/colors.h"
#include "theme/fonts.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QPaintDevice>
#include <QStyleOptionMenuItem>
#include <QWidgetAction>
#include <algorithm>

namespace stikko {

using namespace xp;

namespace {

// A menu builds the option of each item itself; the style needs the same options while it
// measures, to see the shortcut column the menu adds and to know which action it measures.
using InitOption = void (QMenu::*)(QStyleOptionMenuItem*, const QAction*) const;
struct MenuOptionAccess : QMenu {
    static InitOption initOption() { return &MenuOptionAccess::initStyleOption; }
};

QStyleOptionMenuItem optionOf(const QMenu* menu, const QAction* action) {
    QStyleOptionMenuItem option;
    (menu->*MenuOptionAccess::initOption())(&option, action);
    return option;
}

bool measuredByMenu(const QAction* action) {
    return !action->isSeparator() && action->isVisible() &&
           qobject_cast<const QWidgetAction*>(action) == nullptr;
}

// The width a menu adds to its widest item for the shortcuts: the widest shortcut text in the
// menu's own font.
int menuShortcutColumn(const QMenu* menu) {
    int column = 0;
    const QFontMetrics metrics = menu->fontMetrics();
    for (const QAction* action : menu->actions()) {
        if (!measuredByMenu(action))
            continue;
        const QString text = optionOf(menu, action).text;
        const qsizetype tab = text.indexOf(QLatin1Char('\t'));
        if (tab >= 0)
            column = std::max(column, metrics.horizontalAdvance(text.mid(tab + 1)));
    }
    return column;
}

// The action a size request is for: the first whose option matches.
const QAction* actionMeasured(const QMenu* menu, const QStyleOptionMenuItem& option) {
    for (const QAction* action : menu->actions()) {
        if (!measuredByMenu(action))
            continue;
        const QStyleOptionMenuItem own = optionOf(menu, action);
        if (own.text == option.text && own.checked == option.checked && own.checkType == option.checkType &&
            own.menuItemType == option.menuItemType && own.icon.cacheKey() == option.icon.cacheKey())
            return action;
    }
    return nullptr;
}

QImage glyphOf(const QIcon& icon) {
    if (icon.isNull())
        return {};
    // Pictures come at one natural size (the menus' 16 x 16 image list); others are taken at 16.
    const QList<QSize> sizes = icon.availableSizes();
    const QSize size = sizes.size() == 1 ? sizes.first() : QSize(16, 16);
    return icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

XPMenuItem itemOf(const QStyleOptionMenuItem& option) {
    XPMenuItem item;
    const qsizetype tab = option.text.indexOf(QLatin1Char('\t'));
    item.caption = tab < 0 ? option.text : option.text.left(tab);
    item.shortcut = tab < 0 ? QString() : option.text.mid(tab + 1);
    item.separator =
        option.menuItemType == QStyleOptionMenuItem::Separator || item.caption == QLatin1String("-");
    if (item.separator)
        item.caption.clear();
    item.enabled = option.state & QStyle::State_Enabled;
    item.checked = option.checkType != QStyleOptionMenuItem::NotCheckable && option.checked;
    item.radio = option.checkType == QStyleOptionMenuItem::Exclusive;
    item.isDefault = option.menuItemType == QStyleOptionMenuItem::DefaultItem;
    item.subMenu = option.menuItemType == QStyleOptionMenuItem::SubMenu;
    item.rightToLeft = option.direction == Qt::RightToLeft;
    if (!item.separator)
        item.glyph = glyphOf(option.icon);
    return item;
}

} // namespace

int objectTag(const QObject* object) {
    return object != nullptr ? object->property("Tag").toInt() : 0;
}

TXPStyle::TXPStyle(QWidget* form)
    : form_(form), color_(kButtonFace), iconBackColor_(kButtonFace), menuBarColor_(kButtonFace),
      selectColor_(kHighlight), selectBorderColor_(kHighlight), disabledColor_(kInactiveCaption),
      separatorColor_(kButtonFace), checkedColor_(kHighlight) {
    setParent(form);
    font_.color = kMenuText;
    GetSystemMenuFont(font_);
    selectFontColor_ = font_.color;
}

TXPStyle::~TXPStyle() {
    if (form_)
        InitItems(form_, false, false);
    // Controls that left the form's tree get their own look back too.
    const QList<TControlSubClass*> left = wrappers_.values();
    wrappers_.clear();
    for (TControlSubClass* wrapper : left) {
        wrapper->remove();
        delete wrapper;
    }
}

void TXPStyle::SetForm(QWidget* form) {
    if (form == form_)
        return;
    const bool wasActive = active_;
    SetActive(false);
    if (form_)
        form_->removeEventFilter(this);
    form_ = form;
    SetActive(wasActive);
    watchForm();
}

void TXPStyle::SetFont(const MenuFont& font) {
    font_ = font;
    redrawMenuBar();
}

void TXPStyle::SetMenuBarColor(ColorValue color) {
    menuBarColor_ = color;
    redrawMenuBar();
}

void TXPStyle::SetUseSystemColors(bool use) {
    useSystemColors_ = use;
    redrawMenuBar();
}

void TXPStyle::SetXPContainers(TXPContainers containers) {
    if (containers != containers_ && active_) {
        active_ = false;
        InitItems(form_, false, true);
        active_ = true;
        containers_ = containers;
        InitItems(form_, true, true);
    }
    containers_ = containers;
}

void TXPStyle::SetXPControls(TXPControls controls) {
    if (controls != controls_ && active_) {
        active_ = false;
        InitItems(form_, false, true);
        active_ = true;
        controls_ = controls;
        InitItems(form_, true, true);
    }
    controls_ = controls;
}

void TXPStyle::SetActive(bool active) {
    if (active == active_)
        return;
    active_ = active;
    InitItems(form_, active, true);
    redrawMenuBar();
    emit activeChanged(active);
}

void TXPStyle::SetAutoDetect(bool detect) {
    autoDetect_ = detect;
    watchForm();
}

void TXPStyle::watchForm() {
    // With AutoDetect, menus added to the form later are found as they come.
    if (!form_)
        return;
    if (autoDetect_)
        form_->installEventFilter(this);
    else
        form_->removeEventFilter(this);
}

void TXPStyle::redrawMenuBar() {
    if (!form_)
        return;
    for (QMenuBar* bar : form_->findChildren<QMenuBar*>(Qt::FindDirectChildrenOnly))
        bar->update();
}

void TXPStyle::InitItems(QObject* container, bool enable, bool update) {
    if (container == nullptr)
        return;
    // A copy: hooking may add children (a style's own objects) while the list is walked.
    const QObjectList children = container->children();
    for (QObject* child : children) {
        if (child != nullptr)
            InitItem(child, enable, update);
    }
}

void TXPStyle::InitComponent(QObject* object) {
    if (active_)
        InitItem(object, true, true);
}

void TXPStyle::hookMenu(QMenu* menu, bool enable) {
    if (enable) {
        // A menu without items keeps its look; so does one with a style of its own, unless told.
        if (menu->actions().isEmpty())
            return;
        const bool ownStyle = menu->testAttribute(Qt::WA_SetStyle) && menu->style() != this;
        if (ownStyle && !overrideOwnerDraw_)
            return;
        if (menu->style() != this)
            menu->setStyle(this);
    } else if (menu->testAttribute(Qt::WA_SetStyle) && menu->style() == this) {
        menu->setStyle(nullptr);
    }
    for (QAction* action : menu->actions()) {
        if (QMenu* sub = action->menu(); sub != nullptr && sub != menu)
            hookMenu(sub, enable);
    }
}

void TXPStyle::ActivateMenuItem(QMenu* menu) {
    // Sub-menus made after activation get the style the first time a neighbour is drawn.
    for (QAction* action : menu->actions()) {
        QMenu* sub = action->menu();
        if (sub != nullptr && sub != menu && sub->style() != this)
            hookMenu(sub, true);
    }
}

bool TXPStyle::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && active_ && watched->isWidgetType()) {
        // The parent of a wrapped rich edit: its own painting first, then the edits' frames.
        auto* parent = static_cast<QWidget*>(watched);
        const bool framesHere =
            std::any_of(wrappers_.cbegin(), wrappers_.cend(), [parent](const TControlSubClass* w) {
                return w->kind() == XPKind::RichEdit && w->TargetControl() != nullptr &&
                       w->TargetControl()->parentWidget() == parent;
            });
        if (framesHere) {
            static_cast<QObject*>(parent)->event(event);
            paintRichEditFrames(parent);
            return true;
        }
    }
    if (watched == form_ && event->type() == QEvent::ChildAdded && active_ && autoDetect_) {
        // The child is not built yet; it is looked at once its construction is over.
        QPointer<QObject> child = static_cast<QChildEvent*>(event)->child();
        QMetaObject::invokeMethod(
            this,
            [this, child] {
                if (child && active_ && autoDetect_ && qobject_cast<QMenu*>(child) != nullptr)
                    InitItem(child, true, true);
            },
            Qt::QueuedConnection);
    }
    return QProxyStyle::eventFilter(watched, event);
}

// ---- the working palette ---------------------------------------------------------------

int TXPStyle::deviceDepth(const QPaintDevice* device) const {
    if (forcedDepth_ > 0)
        return forcedDepth_;
    return device != nullptr ? device->depth() : 32;
}

void TXPStyle::SetGlobalColor(int depth) const {
    XPPalette& p = palette_;
    const auto rgb = [](ColorValue value) { return colors::resolve(value); };
    p.HighColorMode = depth >= 16;
    p.FaceLightLevel = 16;
    p.DownLightLevel = 40;
    p.MenuBackColor = rgb(color_);
    p.IconColumnColor = rgb(iconBackColor_);
    if (p.HighColorMode) {
        p.SelectionFillColor = useDimColor_ ? NewColor(selectColor_, 68, depth) : rgb(selectColor_);
        p.CheckBoxFillColor = useDimColor_ ? NewColor(selectColor_, 80, depth) : rgb(selectColor_);
        p.CheckBoxHotFillColor = useDimColor_ ? NewColor(selectColor_, 50, depth) : rgb(selectColor_);
        p.MenuFrameColor = GetShadeColor(kButtonFace, 90);
        p.MenuShadowColor = GetShadeColor(kButtonFace, 76);
    } else {
        p.SelectionFillColor = rgb(selectColor_);
        p.CheckBoxFillColor = kWhite;
        p.CheckBoxHotFillColor = kSilver;
        p.MenuFrameColor = rgb(kButtonShadow);
        p.MenuShadowColor = rgb(kButtonShadow);
    }
    p.SelectionFrameColor = rgb(selectBorderColor_);
    p.SelectionTextColor = rgb(selectFontColor_);
    p.BarColor = rgb(menuBarColor_);
    p.GrayedTextColor = rgb(disabledColor_);
    p.CheckFrameColor = rgb(checkedColor_);
    p.SeparatorLineColor = rgb(separatorColor_);
    if (!useSystemColors_)
        return;
    p.SelectionFrameColor = rgb(kHighlight);
    p.SelectionTextColor = rgb(font_.color);
    p.CheckFrameColor = rgb(kHighlight);
    p.BarColor = rgb(kButtonFace);
    if (p.HighColorMode) {
        p.MenuBackColor = NewColor(kButtonFace, 86, depth);
        p.IconColumnColor = NewColor(kButtonFace, 16, depth);
        p.SelectionFillColor = NewColor(kHighlight, 68, depth);
        p.CheckBoxFillColor = NewColor(kHighlight, 80, depth);
        p.CheckBoxHotFillColor = NewColor(kHighlight, 50, depth);
        p.GrayedTextColor = NewColor(kButtonShadow, 10, depth);
        p.SeparatorLineColor = NewColor(kButtonShadow, 25, depth);
    } else {
        p.MenuBackColor = kWhite;
        p.IconColumnColor = rgb(kButtonFace);
        p.SelectionFillColor = kWhite;
        p.CheckBoxFillColor = kWhite;
        p.CheckBoxHotFillColor = kWhite;
        p.GrayedTextColor = rgb(kButtonShadow);
        p.SeparatorLineColor = rgb(kButtonShadow);
    }
}

// ---- measuring -------------------------------------------------------------------------

QSize TXPStyle::GetImageExtent(const XPMenuItem& item) const {
    QSize extent = item.glyph.isNull() ? QSize(0, 0) : item.glyph.size();
    if (!item.topLevel && extent.width() < iconWidth_)
        extent.setWidth(iconWidth_);
    return extent;
}

QSize TXPStyle::MeasureItem(const XPMenuItem& item, QSize proposed) const {
    QString text = item.separator ? QString() : item.caption;
    if (!item.shortcut.trimmed().isEmpty())
        text += item.shortcut + QStringLiteral("WWW"); // the gap between caption and shortcut
    const QFontMetrics metrics(font_.font);
    int w = metrics.horizontalAdvance(text) + 5;
    if (text.contains(QLatin1Char('&')))
        w -= metrics.horizontalAdvance(QLatin1Char('&')); // the mnemonic marker is not drawn
    const QSize glyph = GetImageExtent(item);
    if (glyph.width() > 0)
        w += glyph.width();
    if (item.topLevel)
        w += 8;
    const int width = std::max(proposed.width(), w);
    if (item.separator)
        return QSize(width, 4);
    const int th = metrics.height();
    int h = th + roundHalfEven(th * 0.75);
    if (h < glyph.height() + 6)
        h = glyph.height() + 6;
    return QSize(width, std::max(proposed.height(), h));
}

// ---- QStyle ----------------------------------------------------------------------------

bool TXPStyle::isOurs(const QWidget* widget) const {
    return active_ && widget != nullptr && widget->style() == this;
}

QSize TXPStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                 const QWidget* widget) const {
    const auto* menu = qobject_cast<const QMenu*>(widget);
    const auto* menuItem = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type == CT_MenuBarItem && menuItem != nullptr && qobject_cast<const QMenuBar*>(widget) != nullptr &&
        isOurs(widget)) {
        // As wide as measured and the room owner-drawn items get, as high as the bar makes it.
        XPMenuItem item = itemOf(*menuItem);
        item.topLevel = true;
        const QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
        const int extra = 2 * QFontMetrics(font_.font).averageCharWidth();
        return QSize(MeasureItem(item, QSize()).width() + extra, base.height());
    }
    if (type != CT_MenuItem || menuItem == nullptr || menu == nullptr || !isOurs(menu) ||
        objectTag(actionMeasured(menu, *menuItem)) == kKeepOwnLookTag)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    const QSize measured = MeasureItem(itemOf(*menuItem), size);
    // Rows are two average characters of the menu font wider than measured, as owner-drawn menu
    // items are on Windows (the caption's leading blank lives in that room). The menu itself adds
    // its shortcut column to the widest row, which the measured width already holds.
    const int extra = 2 * QFontMetrics(font_.font).averageCharWidth() - menuShortcutColumn(menu);
    return QSize(std::max(1, measured.width() + extra), measured.height());
}

void TXPStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                           const QWidget* widget) const {
    const auto* menu = qobject_cast<const QMenu*>(widget);
    if (element == CE_MenuBarItem && qobject_cast<const QMenuBar*>(widget) != nullptr && isOurs(widget)) {
        const auto* menuItem = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const auto* bar = static_cast<const QMenuBar*>(widget);
        const QAction* action = bar->actionAt(option->rect.center());
        if (menuItem != nullptr && objectTag(action) != kKeepOwnLookTag) {
            // Selected is open: a bar item is drawn raised while it is pressed or its menu shows,
            // not while the pointer only passes over it.
            const bool open = (menuItem->state & State_Sunken) ||
                              (action != nullptr && action->menu() != nullptr && action->menu()->isVisible());
            XPMenuItem item = itemOf(*menuItem);
            item.topLevel = true;
            const int depth = deviceDepth(painter->device());
            painter->save();
            painter->setClipRect(option->rect, Qt::IntersectClip); // the painting spills a row
            {
                XPCanvas canvas(*painter, depth);
                PaintMenuItem(canvas, Edges::of(option->rect), item, open);
            }
            painter->restore();
            return;
        }
    }
    if (menu == nullptr || !isOurs(menu)) {
        if (!drawControlXP(element, option, painter, widget))
            QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    if (element == CE_MenuEmptyArea) {
        painter->fillRect(option->rect, toColor(kButtonFace));
        return;
    }
    const auto* menuItem = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || menuItem == nullptr ||
        objectTag(menu->actionAt(option->rect.center())) == kKeepOwnLookTag) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }

    // The item is painted on an image of its own, one row taller than the item (the row the
    // painting spills into is cut off as the menu clips it), so that the painting can read
    // back what it has drawn.
    const XPMenuItem item = itemOf(*menuItem);
    const Edges rect = Edges::of(option->rect);
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    QImage image(QSize(rect.width(), rect.height() + 1) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(toColor(kButtonFace));
    {
        QPainter imagePainter(&image);
        imagePainter.translate(-rect.left, -rect.top);
        XPCanvas canvas(imagePainter, deviceDepth(painter->device()), &image, QPoint(rect.left, rect.top));
        PaintMenuItem(canvas, rect, item, menuItem->state & State_Selected);
    }
    painter->drawImage(QPoint(rect.left, rect.top), image);

    if (item.subMenu) {
        QStyleOptionMenuItem arrow = *menuItem;
        const int size = 12;
        arrow.rect = item.rightToLeft ? QRect(rect.left + 4, rect.top, size, rect.height())
                                      : QRect(rect.right - 4 - size, rect.top, size, rect.height());
        arrow.palette.setColor(QPalette::ButtonText,
                               toColor(item.enabled ? font_.color : palette_.GrayedTextColor));
        proxy()->drawPrimitive(item.rightToLeft ? PE_IndicatorArrowLeft : PE_IndicatorArrowRight, &arrow,
                               painter, widget);
    }
    const_cast<TXPStyle*>(this)->ActivateMenuItem(const_cast<QMenu*>(menu));
}

void TXPStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    if (!isOurs(widget) || qobject_cast<const QMenu*>(widget) == nullptr ||
        (element != PE_PanelMenu && element != PE_FrameMenu)) {
        if (!drawPrimitiveXP(element, option, painter, widget))
            QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    if (element == PE_PanelMenu) {
        painter->fillRect(option->rect, toColor(kButtonFace));
        return;
    }
    const int depth = deviceDepth(painter->device());
    SetGlobalColor(depth);
    XPCanvas canvas(*painter, depth);
    const Edges window = Edges::of(widget->rect());
    if (flatMenu_)
        DrawWindowBorder(canvas, window, widget->layoutDirection() == Qt::RightToLeft);
    else
        drawRaisedMenuFrame(canvas, window);
}

void TXPStyle::drawRaisedMenuFrame(XPCanvas& canvas, Edges w) const {
    const auto line = [&canvas](ColorValue color, int left, int top, int right, int bottom) {
        canvas.setBrush(color);
        canvas.fillRect({left, top, right, bottom});
    };
    line(kButtonFace, w.left, w.top, w.right - 1, w.top + 1);
    line(kButtonFace, w.left, w.top, w.left + 1, w.bottom - 1);
    const ColorValue darkShadow = colors::systemColorValue(colors::kDarkShadow);
    line(darkShadow, w.left, w.bottom - 1, w.right, w.bottom);
    line(darkShadow, w.right - 1, w.top, w.right, w.bottom);
    const ColorValue light = colors::systemColorValue(colors::kHighlight3D);
    line(light, w.left + 1, w.top + 1, w.right - 2, w.top + 2);
    line(light, w.left + 1, w.top + 1, w.left + 2, w.bottom - 2);
    line(kButtonShadow, w.left + 1, w.bottom - 2, w.right - 1, w.bottom - 1);
    line(kButtonShadow, w.right - 2, w.top + 1, w.right - 1, w.bottom - 1);
    canvas.setPen(kButtonFace);
    canvas.setBrushClear();
    canvas.rectangle({w.left + 2, w.top + 2, w.right - 2, w.bottom - 2});
}

int TXPStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    if (qobject_cast<const QMenu*>(widget) != nullptr && isOurs(widget)) {
        switch (metric) {
        case PM_MenuPanelWidth:
            return 3; // the menu window's frame
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            return 0; // items start right inside the frame
        default:
            break;
        }
    }
    if (const TControlSubClass* wrapper = activeWrapper(widget)) {
        // Check boxes and radio buttons are as large as their boxes are drawn.
        const Edges box = checkBoxRect({0, 0, 100, 100}, false, wrapper->kind() == XPKind::RadioButton);
        if ((metric == PM_IndicatorWidth && wrapper->kind() == XPKind::CheckBox) ||
            (metric == PM_ExclusiveIndicatorWidth && wrapper->kind() == XPKind::RadioButton))
            return box.width();
        if ((metric == PM_IndicatorHeight && wrapper->kind() == XPKind::CheckBox) ||
            (metric == PM_ExclusiveIndicatorHeight && wrapper->kind() == XPKind::RadioButton))
            return box.height();
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

int TXPStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                        QStyleHintReturn* returnData) const {
    // The highlight moves onto disabled items too; they show no bar.
    if (hint == SH_Menu_AllowActiveAndDisabled && qobject_cast<const QMenu*>(widget) != nullptr &&
        isOurs(widget))
        return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

// ---- the program's forms ----------------------------------------------------------------

void configureFormStyle(TXPStyle& style, TXPControls controls, TXPContainers containers) {
    style.SetDimLevel(0);
    style.SetGrayLevel(10);
    MenuFont font;
    font.font = fonts::proportional();
    font.font.setPixelSize(12);
    font.color = kMenuText;
    style.SetFont(font);
    style.SetColor(kButtonFace);
    style.SetIconBackColor(kButtonFace);
    style.SetMenuBarColor(kButtonFace);
    style.SetDisabledColor(kButtonFace);
    style.SetSeparatorColor(kButtonFace);
    style.SetSelectColor(kHighlight);
    style.SetSelectBorderColor(kHighlight);
    style.SetCheckedColor(kHighlight);
    style.SetSelectFontColor(kMenuText);
    style.SetIconWidth(24);
    style.SetDrawSelect(true);
    style.SetUseSystemColors(true);
    style.SetUseDimColor(false);
    style.SetOverrideOwnerDraw(false);
    style.SetGradient(false);
    style.SetFlatMenu(false);
    style.SetAutoDetect(false);
    style.SetDrawMenuBar(false);
    style.SetXPControls(controls);
    style.SetXPContainers(containers);
}

} // namespace stikko
