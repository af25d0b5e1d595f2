#pragma once
// TXPStyle: the flat style a form gives its menus, bars and controls. It is a proxy style owned
// by the form: activated, it sets itself as the style of the form's menus, menu bar, tool-bar
// buttons and bands, and of the controls of the kinds it is told to take over; it draws menu
// items with a tinted icon column, a light framed selection bar, lifted and shadowed glyphs and
// light separators, and controls flat, lit in the selection colours while the pointer is over
// them or they have the focus. Everything it does not draw is left to the application's style.
//
// Its settable colours and levels are kept as set; before every drawing they give the working
// palette (workingPalette()), by one of three regimes: the properties themselves, the desktop's
// colours lightened, or (devices of fewer than 16 bits per pixel) plain colours.
//
// The painters take plain descriptions (XPButtonLook, XPPanelLook, ...) and a canvas, so a widget
// that draws several buttons itself (a tool bar drawn as one widget) can paint them the same way.

#include "theme/xpcanvas.h"
#include "theme/xphelpers.h"

#include <QFlags>
#include <QHash>
#include <QPointer>
#include <QProxyStyle>
#include <QWidget>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;

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

// The state a control is painted in: what its wrapper saw happen to it, and what it says of
// itself.
struct XPControlState {
    bool hot = false;       // the pointer is over it, or it took the focus (until either leaves)
    bool mouseDown = false; // the left button went down on it and has not come up
    bool spaceDown = false; // the space key is held on it
    bool focused = false;   // it has the keyboard focus
    bool enabled = true;
    bool rightToLeft = false;
};

enum class XPBevel { None, Lowered, Raised };

// A panel: its colour and its two bevels, each `bevelWidth` wide, `borderWidth` apart.
struct XPPanelLook {
    ColorValue color = 0;
    XPBevel outer = XPBevel::None;
    XPBevel inner = XPBevel::None;
    int bevelWidth = 1;
    int borderWidth = 0;
};

// Where a button's glyph sits beside its caption.
enum class XPGlyphLayout { Left, Right, Top, Bottom };

// A speed button, push button or bitmap button.
struct XPButtonLook {
    QImage glyph; // `glyphCount` cells side by side: normal, disabled, pressed, down
    int glyphCount = 1;
    QString caption;            // "&" marks the mnemonic
    MenuFont font;              // the caption's font and colour
    ColorValue parentColor = 0; // what lies behind the button
    bool flat = true;
    bool transparent = true; // what lies behind shows through (tinted when hot or down)
    bool down = false;       // a speed button held down (a toggled one)
    bool isDefault = false;  // the push button Enter presses
    int tag = 0;             // 1000: the face takes the parent's colour instead of the button face
    XPGlyphLayout layout = XPGlyphLayout::Left;
    int spacing = 4; // between glyph and caption
};

struct XPComboLook {
    ColorValue color = 0; // the combo's own (its text field's)
    ColorValue parentColor = 0;
    int tag = 0;
    bool droppedDown = false;
    bool simple = false; // a list always shown, without a button
};

struct XPCheckLook {
    ColorValue color = 0; // the control's, behind the box
    Qt::CheckState state = Qt::Unchecked;
    bool boxRight = false; // the box at the right end (the caption before it)
};

struct XPGroupLook {
    ColorValue color = 0;
    ColorValue parentColor = 0;
    QString caption;
    MenuFont font;
    bool flat = false; // one dark line instead of a light and a dark one
};

// A tool bar's buttons are drawn in these states (bit values of the bar's drawing state).
enum XPToolState : int {
    xtsSelected = 1 << 0,
    xtsDisabled = 1 << 2,
    xtsChecked = 1 << 3,
    xtsHot = 1 << 6,
    xtsIndeterminate = 1 << 8,
};

struct XPToolBarLook {
    ColorValue color = 0;
    bool transparent = false;
    bool showCaptions = false;
    bool list = false; // captions beside the glyphs instead of under them
};

struct XPToolButtonLook {
    QImage glyph;    // null for none
    QImage hotGlyph; // shown while hot when not null
    QString caption;
    bool dropDown = false;        // a button with an arrow part of its own
    bool hasMenuItem = false;     // the button stands for a menu-bar item
    bool hasDropDownMenu = false; // a menu drops down from it
    bool down = false;
    bool enabled = true;
    bool rightToLeft = false;
};

// The kinds of control the style paints.
enum class XPKind {
    None,
    Combo,
    Edit,
    MaskEdit,
    Memo,
    RichEdit,
    CheckBox,
    RadioButton,
    Button,
    BitBtn,
    SpeedButton,
    Panel,
    GroupBox
};

class TXPStyle;

// The wrapper that gives one control the flat look: it watches the control's events, keeps the
// states the painters need and has the control repainted when they change. Owned by the style.
class TControlSubClass : public QObject {
    Q_OBJECT
  public:
    TControlSubClass(TXPStyle* owner, QWidget* control, XPKind kind);

    XPKind kind() const { return kind_; }
    QWidget* TargetControl() const { return target_; }
    XPControlState state() const;
    bool savedSingleBorder() const { return savedSingle_; }
    // Gives the control back its own look and drops the wrapper.
    void remove();

    bool MouseInside = false;
    bool MouseButtonDown = false;
    bool SpaceDown = false;
    bool SpaceRepeat = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class TXPStyle;
    void paint();

    TXPStyle* OwnerMenu;
    QPointer<QWidget> target_;
    XPKind kind_;
    QPointer<QStyle> savedStyle_; // a style the control had of its own
    bool savedSingle_ = false;    // the edit had a border
    int savedFrameShape_ = 0;
    QMargins savedMargins_;
};

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

    // Control painters, each on a canvas bound to the control (the parent's for the rich edit),
    // in the control's rectangle `rect`. A widget that draws such controls itself (the buttons
    // of a tool bar drawn as one widget, a panel's bevel) calls them from its paint event on a
    // canvas over its painter, XPCanvas(painter, style.deviceDepth(painter.device())), with the
    // state it keeps for each (XPControlState). Nothing is painted unless the caller asks, so it
    // checks Active() itself. A hot or held-down transparent button is tinted by combining with
    // what the painter already shows, so the background is painted first.
    void PaintPanel(XPCanvas& canvas, Edges rect, const XPPanelLook& panel) const;
    void PaintSpeedButton(XPCanvas& canvas, Edges rect, const XPButtonLook& button,
                          const XPControlState& state) const;
    void PaintButton(XPCanvas& canvas, Edges rect, const XPButtonLook& button,
                     const XPControlState& state) const;
    void PaintBitButn(XPCanvas& canvas, Edges rect, const XPButtonLook& button,
                      const XPControlState& state) const;
    // The frame one pixel outside the edit's rectangle `editRect` (in the parent's coordinates).
    void PaintRichEdit(XPCanvas& parentCanvas, Edges editRect, ColorValue parentColor, bool savedSingleBorder,
                       const XPControlState& state) const;
    void PaintEdit(XPCanvas& canvas, Edges rect, ColorValue parentColor, bool savedSingleBorder,
                   const XPControlState& state) const;
    void PaintCombo(XPCanvas& canvas, Edges rect, const XPComboLook& combo,
                    const XPControlState& state) const;
    void PaintCheckBox(XPCanvas& canvas, Edges rect, const XPCheckLook& check,
                       const XPControlState& state) const;
    void PaintRadio(XPCanvas& canvas, Edges rect, const XPCheckLook& radio,
                    const XPControlState& state) const;
    void PaintGroupBox(XPCanvas& canvas, Edges rect, const XPGroupLook& group,
                       const XPControlState& state) const;
    // Where a check box's or radio button's box is drawn, and where a combo box's button is.
    static Edges checkBoxRect(Edges rect, bool boxRight, bool radio);
    static Edges comboButtonRect(Edges rect, bool rightToLeft);

    // Bars: a selected menu-bar item, a tool-bar button in the XPToolState `state`, the gap
    // of a tool-bar separator (with a vertical line through it when its `tag` is above 0), and
    // a band of a control bar.
    void DrawTopMenuItem(XPSender sender, XPCanvas& canvas, Edges rect, ColorValue barColor,
                         bool rightToLeft) const;
    void ToolBarDrawButton(XPCanvas& canvas, Edges rect, const XPToolBarLook& bar,
                           const XPToolButtonLook& button, int state) const;
    void ToolBarDrawSeparator(XPCanvas& canvas, Edges rect, const XPToolBarLook& bar, int tag) const;
    void ControlBarPaint(XPCanvas& canvas, Edges rect, ColorValue barColor) const;

    // The wrapper of a control the style paints; null for others.
    TControlSubClass* wrapperOf(const QWidget* control) const;
    static XPKind controlKind(const QWidget* widget);

    // QStyle
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

  signals:
    // The style was activated or deactivated: widgets that call its painters themselves
    // repaint.
    void activeChanged(bool active);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class TControlSubClass;

    bool isOurs(const QWidget* widget) const;
    void hookMenu(QMenu* menu, bool enable);
    void hookMenuBar(QMenuBar* bar, bool enable);
    void hookToolBar(QToolBar* bar, bool enable);
    void hookBand(QToolBar* bar, bool enable);
    // Puts the style on a widget (enable) or takes it away; a widget with a style of its own
    // keeps it unless OverrideOwnerDraw.
    void hookWidget(QWidget* widget, bool enable);
    // Each true when it changed something.
    bool wrap(QWidget* control, XPKind kind);
    bool unwrap(QWidget* control);
    // The frames of the wrapped rich edits whose parent is `parent`.
    void paintRichEditFrames(QWidget* parent) const;
    // The wrapper of a control the style paints while it is active.
    const TControlSubClass* activeWrapper(const QWidget* widget) const;
    bool isHookedToolBar(const QWidget* bar) const;
    bool isToolBarButton(const QWidget* widget) const;
    bool isBand(const QWidget* widget) const;
    // Control elements of wrapped controls and of bars; false for others.
    bool drawControlXP(ControlElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const;
    bool drawPrimitiveXP(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                         const QWidget* widget) const;
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
    QHash<const QWidget*, TControlSubClass*> wrappers_;
};

// The values this program's forms give their style (the same for every form) and the kinds
// the form has it take over. The caller activates it once the form's menus exist.
void configureFormStyle(TXPStyle& style, TXPControls controls, TXPContainers containers);

} // namespace stikko

Q_DECLARE_OPERATORS_FOR_FLAGS(stikko::TXPControls)
Q_DECLARE_OPERATORS_FOR_FLAGS(stikko::TXPContainers)
