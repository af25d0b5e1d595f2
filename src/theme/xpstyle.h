#pragma once
// TXPStyle: the flat style a form gives its pop-up menus (and, later, its controls). It is a
// proxy style owned by the form: activated, it sets itself as the style of the form's menus,
// draws their items with a tinted icon column, a light framed selection bar, lifted and
// shadowed glyphs and light separators, and measures them at its own sizes; everything it does
// not draw is left to the application's style.
//
// Its settable colours and levels are kept as set; before every item is drawn they give the
// working palette (workingPalette()), by one of three regimes: the properties themselves, the
// desktop's colours lightened, or (devices of fewer than 16 bits per pixel) plain colours.

#include "theme/xpcanvas.h"
#include "theme/xphelpers.h"

#include <QFlags>
#include <QPointer>
#include <QProxyStyle>
#include <QWidget>

class QAction;
class QMenu;

namespace stikko {

using xp::ColorValue;
using xp::Edges;
using xp::MenuFont;
using xp::XPCanvas;

// What the style takes over, by kind; bit n is member n.
enum TXPControl : uint32_t {
    xcMainMenu = 1u << 0,
    xcPopupMenu = 1u << 1,
    xcToolbar = 1u << 2,
    xcControlbar = 1u << 3,
    xcCombo = 1u << 4,
    xcEdit = 1u << 5,
    xcMaskEdit = 1u << 6,
    xcMemo = 1u << 7,
    xcRichEdit = 1u << 8,
    xcCheckBox = 1u << 9,
    xcRadioButton = 1u << 10,
    xcButton = 1u << 11,
    xcBitBtn = 1u << 12,
    xcSpeedButton = 1u << 13,
    xcPanel = 1u << 14,
    xcGroupBox = 1u << 15,
};
Q_DECLARE_FLAGS(TXPControls, TXPControl)

// The kinds of parent whose controls are themed; bit n is member n.
enum TXPContainer : uint32_t {
    xccForm = 1u << 0,
    xccFrame = 1u << 1,
    xccToolbar = 1u << 2,
    xccCoolbar = 1u << 3,
    xccControlbar = 1u << 4,
    xccPanel = 1u << 5,
    xccScrollBox = 1u << 6,
    xccGroupBox = 1u << 7,
    xccTabSheet = 1u << 8,
    xccPageScroller = 1u << 9,
};
Q_DECLARE_FLAGS(TXPContainers, TXPContainer)

inline constexpr TXPControls kAllXPControls = TXPControls::fromInt(0xFFFF);
inline constexpr TXPContainers kAllXPContainers = TXPContainers::fromInt(0x3FF);

// An object (menu, action, control) whose "Tag" property is 999 keeps its own look.
inline constexpr int kKeepOwnLookTag = 999;
int objectTag(const QObject* object);

// The colours the painters use, worked out from the properties before every drawing. All
// plain RGB.
struct XPPalette {
    ColorValue MenuBackColor = 0;
    ColorValue IconColumnColor = 0;
    ColorValue SelectionFillColor = 0;
    ColorValue SelectionFrameColor = 0;
    ColorValue SelectionTextColor = 0;
    ColorValue CheckBoxFillColor = 0;
    ColorValue CheckBoxHotFillColor = 0;
    ColorValue CheckFrameColor = 0;
    ColorValue BarColor = 0;
    ColorValue GrayedTextColor = 0;
    ColorValue SeparatorLineColor = 0;
    ColorValue MenuFrameColor = 0;
    ColorValue MenuShadowColor = 0;
    // The device shows 16 bits per pixel or more.
    bool HighColorMode = true;
    // How far control faces are lightened at rest and when pressed.
    int FaceLightLevel = 16;
    int DownLightLevel = 40;
};

// One menu item as it is measured and painted.
struct XPMenuItem {
    QString caption;  // "&" marks the mnemonic
    QString shortcut; // as shown, e.g. "Ctrl+C"; empty for none
    QImage glyph;     // the item's picture at its natural size; null for none
    bool separator = false;
    bool enabled = true;
    bool checked = false;
    bool radio = false; // one of an exclusive group
    bool isDefault = false;
    bool subMenu = false;
    bool rightToLeft = false;
    bool topLevel = false; // an item of a menu bar
};

// Who asks for a glyph or a text: the painters place and shade them differently.
enum class XPSender { MenuItem, ToolButton, Control };

class TXPStyle : public QProxyStyle {
    Q_OBJECT
  public:
    // `form` owns the style and is the form whose menus it themes.
    explicit TXPStyle(QWidget* form);
    ~TXPStyle() override;

    QWidget* Form() const { return form_; }
    void SetForm(QWidget* form);

    // Settable properties (colours are colour values; system colours are resolved at drawing).
    int DimLevel() const { return dimLevel_; }
    void SetDimLevel(int level) { dimLevel_ = level; }
    int GrayLevel() const { return grayLevel_; }
    void SetGrayLevel(int level) { grayLevel_ = level; }
    const MenuFont& Font() const { return font_; }
    void SetFont(const MenuFont& font);
    ColorValue Color() const { return color_; }
    void SetColor(ColorValue color) { color_ = color; }
    bool DrawMenuBar() const { return drawMenuBar_; }
    void SetDrawMenuBar(bool draw) { drawMenuBar_ = draw; }
    ColorValue IconBackColor() const { return iconBackColor_; }
    void SetIconBackColor(ColorValue color) { iconBackColor_ = color; }
    ColorValue MenuBarColor() const { return menuBarColor_; }
    void SetMenuBarColor(ColorValue color);
    ColorValue SelectColor() const { return selectColor_; }
    void SetSelectColor(ColorValue color) { selectColor_ = color; }
    ColorValue SelectBorderColor() const { return selectBorderColor_; }
    void SetSelectBorderColor(ColorValue color) { selectBorderColor_ = color; }
    ColorValue SelectFontColor() const { return selectFontColor_; }
    void SetSelectFontColor(ColorValue color) { selectFontColor_ = color; }
    ColorValue DisabledColor() const { return disabledColor_; }
    void SetDisabledColor(ColorValue color) { disabledColor_ = color; }
    ColorValue SeparatorColor() const { return separatorColor_; }
    void SetSeparatorColor(ColorValue color) { separatorColor_ = color; }
    ColorValue CheckedColor() const { return checkedColor_; }
    void SetCheckedColor(ColorValue color) { checkedColor_ = color; }
    int IconWidth() const { return iconWidth_; }
    void SetIconWidth(int width) { iconWidth_ = width; }
    bool DrawSelect() const { return drawSelect_; }
    void SetDrawSelect(bool draw) { drawSelect_ = draw; }
    bool UseSystemColors() const { return useSystemColors_; }
    void SetUseSystemColors(bool use);
    bool UseDimColor() const { return useDimColor_; }
    void SetUseDimColor(bool use) { useDimColor_ = use; }
    bool OverrideOwnerDraw() const { return overrideOwnerDraw_; }
    void SetOverrideOwnerDraw(bool override) { overrideOwnerDraw_ = override; }
    bool Gradient() const { return gradient_; }
    void SetGradient(bool gradient) { gradient_ = gradient; }
    bool FlatMenu() const { return flatMenu_; }
    void SetFlatMenu(bool flat) { flatMenu_ = flat; }
    bool AutoDetect() const { return autoDetect_; }
    void SetAutoDetect(bool detect);
    TXPContainers XPContainers() const { return containers_; }
    void SetXPContainers(TXPContainers containers);
    TXPControls XPControls() const { return controls_; }
    void SetXPControls(TXPControls controls);
    bool Active() const { return active_; }
    void SetActive(bool active);

    // Puts every object the container owns under the style (enable) or takes it away again;
    // `update` repaints what changed.
    void InitItems(QObject* container, bool enable, bool update);
    void InitItem(QObject* object, bool enable, bool update);
    // For objects made after activation (a menu built on first use).
    void InitComponent(QObject* object);
    // Gives the sub-menus of `menu`'s items the style, as it is drawn.
    void ActivateMenuItem(QMenu* menu);

    // The working palette for a device of `depth` bits per pixel.
    void SetGlobalColor(int depth) const;
    const XPPalette& workingPalette() const { return palette_; }
    // The bits per pixel the style draws for: a device's own, unless set here (0: the device's).
    int deviceDepth(const QPaintDevice* device) const;
    void setForcedDepth(int bits) { forcedDepth_ = bits; }

    // Menu items: the glyph size the item is measured with, its size, and its painting on a
    // canvas in the item's rectangle.
    QSize GetImageExtent(const XPMenuItem& item) const;
    QSize MeasureItem(const XPMenuItem& item, QSize proposed) const;
    void PaintMenuItem(XPCanvas& canvas, Edges rect, const XPMenuItem& item, bool selected) const;
    void DrawCheckedItem(const XPMenuItem& item, bool selected, bool enabled, bool hasGlyph, XPCanvas& canvas,
                         Edges box) const;
    void DrawIcon(XPSender sender, XPCanvas& canvas, const QImage& glyph, Edges iconRect, bool hot,
                  bool pressed, bool enabled, bool checked, bool topLevel, bool rightToLeft) const;
    void DrawTheText(XPSender sender, const QString& text, const QString& shortcut, XPCanvas& canvas,
                     Edges textRect, bool selected, bool enabled, bool isDefault, bool topLevel,
                     bool rightToLeft, const MenuFont& font, int format) const;
    ColorValue TopMenuFontColor(ColorValue color) const;
    void DrawGradient(XPCanvas& canvas, Edges rect, bool rightToLeft) const;
    // The flat outline and shadow of a menu window whose rectangle is `window`.
    void DrawWindowBorder(XPCanvas& canvas, Edges window, bool rightToLeft) const;

    // QStyle
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool isOurs(const QWidget* widget) const;
    void hookMenu(QMenu* menu, bool enable);
    void redrawMenuBar();
    void watchForm();
    // The frame of a menu window that is not flat: a raised edge and one pixel of face.
    void drawRaisedMenuFrame(XPCanvas& canvas, Edges window) const;

    QPointer<QWidget> form_;
    int dimLevel_ = 30;
    int grayLevel_ = 10;
    MenuFont font_;
    ColorValue color_;
    bool drawMenuBar_ = false;
    ColorValue iconBackColor_;
    ColorValue menuBarColor_;
    ColorValue selectColor_;
    ColorValue selectBorderColor_;
    ColorValue selectFontColor_;
    ColorValue disabledColor_;
    ColorValue separatorColor_;
    ColorValue checkedColor_;
    int iconWidth_ = 24;
    bool drawSelect_ = true;
    bool useSystemColors_ = true;
    bool useDimColor_ = false;
    bool overrideOwnerDraw_ = false;
    bool gradient_ = false;
    bool flatMenu_ = false;
    bool autoDetect_ = false;
    TXPContainers containers_ = kAllXPContainers;
    TXPControls controls_ = kAllXPControls;
    bool active_ = false;

    int forcedDepth_ = 0;
    mutable XPPalette palette_;
};

// The values this program's forms give their style (the same for every form) and the kinds
// the form has it take over. The caller activates it once the form's menus exist.
void configureFormStyle(TXPStyle& style, TXPControls controls, TXPContainers containers);

} // namespace stikko

Q_DECLARE_OPERATORS_FOR_FLAGS(stikko::TXPControls)
Q_DECLARE_OPERATORS_FOR_FLAGS(stikko::TXPContainers)
