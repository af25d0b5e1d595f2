#include "note/notetoolbar.h"

#include "note/notepictures.h"
#include "note/sharedpictures.h"
#include "theme/colors.h"
#include "theme/fonts.h"
#include "theme/icons.h"
#include "theme/xpstyle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <array>
#include <vector>

namespace stikko {

namespace {

// Text colours (0x00BBGGRR): the font label reads white on the bar; a style's letter is its own
// indicator, pure red while the selection has the style, else black.
constexpr int32_t kWhite = 0x00FFFFFF, kIndicatorOn = 0x000000FF, kIndicatorOff = 0;
// The tops of the text controls (14 pixels high) and of the buttons (18 x 17).
constexpr int kTextTop = 2, kTextHeight = 14, kButtonTop = 1;
constexpr QSize kButtonSize(18, 17);
constexpr QSize kGlyphSize(16, 16);
constexpr Qt::Alignment kMeasuredAlignment = Qt::AlignLeft | Qt::AlignVCenter;

QFont faceFont(ToolbarFace face) {
    if (face == ToolbarFace::Arial) {
        QFont arial(QStringLiteral("Arial"));
        arial.setPixelSize(12);
        return arial;
    }
    QFont font = fonts::fixedPitch(12);
    font.setBold(face == ToolbarFace::Bold);
    font.setUnderline(face == ToolbarFace::Underline);
    return font;
}

// The place of a text control at the bar's design width: its own width, or as wide as its
// text (the same for every note: measured once per face and text).
QRect textRect(const ToolbarItem& item) {
    if (item.width > 0)
        return {item.left, kTextTop, item.width, kTextHeight};
    static std::vector<std::pair<const ToolbarItem*, QSize>> measured;
    for (const auto& [known, size] : measured) {
        if (known == &item)
            return {QPoint(item.left, kTextTop), size};
    }
    const QSize size =
        QFontMetrics(faceFont(item.face))
            .boundingRect(QRect(0, 0, 2000, 2000), int(kMeasuredAlignment), QString::fromUtf16(item.text))
            .size();
    measured.emplace_back(&item, size);
    return {QPoint(item.left, kTextTop), size};
}

// Pictures and texts drawn once and shared by every note's bar: a note has a dozen, and
// hundreds of notes show the same few.
struct Drawn {
    const ToolbarItem* item;
    int32_t color; // texts: their colour; pictures: 1 when drawn disabled
    qreal ratio;
    QPixmap pixmap;
};

std::vector<Drawn>& drawnCache() {
    static std::vector<Drawn> drawn;
    return drawn;
}

const QPixmap* findDrawn(const ToolbarItem* item, int32_t color, qreal ratio) {
    for (const Drawn& d : drawnCache()) {
        if (d.item == item && d.color == color && d.ratio == ratio)
            return &d.pixmap;
    }
    return nullptr;
}

const QPixmap& keepDrawn(const ToolbarItem* item, int32_t color, qreal ratio, QPixmap pixmap) {
    std::vector<Drawn>& drawn = drawnCache();
    if (drawn.empty()) // pixmaps must go before the application does
        QObject::connect(qApp, &QObject::destroyed, [] { drawnCache().clear(); });
    drawn.push_back({item, color, ratio, std::move(pixmap)});
    return drawn.back().pixmap;
}

const QPixmap& textPicture(const ToolbarItem& item, QSize size, int32_t color, qreal ratio) {
    if (const QPixmap* known = findDrawn(&item, color, ratio))
        return *known;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setFont(faceFont(item.face));
    p.setPen(colors::toQColor(color));
    p.drawText(QRect(QPoint(0, 0), size), int(item.width > 0 ? Qt::AlignCenter : kMeasuredAlignment),
               QString::fromUtf16(item.text));
    p.end();
    return keepDrawn(&item, color, ratio, std::move(pixmap));
}

const QPixmap& buttonPicture(const ToolbarItem& item, bool enabled, qreal ratio) {
    const int32_t mode = enabled ? 0 : 1;
    if (const QPixmap* known = findDrawn(&item, mode, ratio))
        return *known;
    const QIcon icon = icons::editIcon(commandInfo(item.command).picture);
    return keepDrawn(&item, mode, ratio,
                     icon.pixmap(kGlyphSize, ratio, enabled ? QIcon::Normal : QIcon::Disabled));
}

// The flat style's glyph of a button: its picture at one pixel per unit, as the style's own
// painters take pictures.
const QImage& buttonGlyph(const ToolbarItem& item) {
    static std::vector<std::pair<const ToolbarItem*, QImage>> glyphs;
    for (const auto& [known, glyph] : glyphs) {
        if (known == &item)
            return glyph;
    }
    const QIcon icon = icons::editIcon(commandInfo(item.command).picture);
    glyphs.emplace_back(&item, icon.pixmap(kGlyphSize, 1.0).toImage().convertToFormat(QImage::Format_ARGB32));
    return glyphs.back().second;
}

// A button as the flat style paints it in one state over the bar's colour. The style's painter
// costs more than all else a note draws, and every note's bar shows the same few buttons in
// the same few states: each look is painted once and shared. The key holds the style's
// palette as it was before the painting, since the painting follows from it.
struct StyledButton {
    const ToolbarItem* item;
    int state; // hot, held, on, available: one bit each
    ColorValue parentColor;
    int depth;
    qreal ratio;
    std::array<ColorValue, 16> palette;
    QPixmap pixmap;
};

// The style's palette as it stands before a painting, which follows from it: part of the key of
// every picture the style paints.
std::array<ColorValue, 16> paletteKey(const TXPStyle& style) {
    const XPPalette& p = style.workingPalette();
    return {p.MenuBackColor,      p.IconColumnColor,   p.SelectionFillColor,   p.SelectionFrameColor,
            p.SelectionTextColor, p.CheckBoxFillColor, p.CheckBoxHotFillColor, p.CheckFrameColor,
            p.BarColor,           p.GrayedTextColor,   p.SeparatorLineColor,   p.MenuFrameColor,
            p.MenuShadowColor,    p.HighColorMode,     p.FaceLightLevel,       p.DownLightLevel};
}

std::vector<StyledButton>& styledButtons() {
    static std::vector<StyledButton> buttons;
    return buttons;
}

const QPixmap& styledButton(const TXPStyle& style, const ToolbarItem& item, const XPButtonLook& look,
                            const XPControlState& state, int depth, qreal ratio) {
    const int bits =
        int(state.hot) | int(state.mouseDown) << 1 | int(look.down) << 2 | int(state.enabled) << 3;
    const std::array<ColorValue, 16> palette = paletteKey(style);
    std::vector<StyledButton>& buttons = styledButtons();
    for (const StyledButton& b : buttons) {
        if (b.item == &item && b.state == bits && b.parentColor == look.parentColor && b.depth == depth &&
            b.ratio == ratio && b.palette == palette)
            return b.pixmap;
    }
    if (buttons.empty()) // pixmaps must go before the application does
        QObject::connect(qApp, &QObject::destroyed, [] { styledButtons().clear(); });
    // Colours or palettes come and go with the desktop's settings; the few in use stay.
    if (buttons.size() >= 512)
        buttons.clear();
    // The bar's colour is all that lies behind a button (the bar has no bevel), so the
    // tint combined with it comes out as it would on the bar.
    QImage image(kButtonSize * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(colors::toQColor(look.parentColor));
    QPainter painter(&image);
    XPCanvas canvas(painter, depth);
    style.PaintSpeedButton(canvas, Edges::of(QRect(QPoint(0, 0), kButtonSize)), look, state);
    painter.end();
    buttons.push_back({&item, bits, look.parentColor, depth, ratio, palette, QPixmap::fromImage(image)});
    return buttons.back().pixmap;
}

} // namespace

NoteToolbar::NoteToolbar(QWidget* parent) : ControlPanel(parent) {
    setObjectName(QStringLiteral("pnBottom"));
    for (const ToolbarItem& item : toolbarItems()) {
        const NoteCommandInfo& info = commandInfo(item.command);
        Control control;
        const bool picture = item.face == ToolbarFace::Picture;
        control.rect = picture ? QRect(QPoint(item.left, kButtonTop), kButtonSize) : textRect(item);
        if (item.tip)
            control.tip = QString::fromUtf16(item.tip);
        control.name = QString::fromUtf16(info.caption);
        control.checkable = info.hasState;
        // The labels are links of a kind: the hand shows they can be clicked.
        control.cursor = picture ? Qt::ArrowCursor : Qt::PointingHandCursor;
        addControl(control);
    }
    connect(this, &ControlPanel::controlClicked, this, [this](int index, Qt::MouseButton button) {
        if (button == Qt::LeftButton)
            emit triggered(toolbarItems()[std::size_t(index)].command);
    });
    sizeGrip_ = new ImageBox(this);
    sizeGrip_->setObjectName(QStringLiteral("imgSize"));
    sizeGrip_->resize(16, 16);
    sizeGrip_->setPicture(notepictures::sizeGrip(), QSize(16, 16));
    sizeGrip_->setCursor(Qt::SizeFDiagCursor);
}

int NoteToolbar::find(NoteCommand command) const {
    const std::span<const ToolbarItem> items = toolbarItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].command == command)
            return int(i);
    }
    return -1;
}

void NoteToolbar::setChecked(NoteCommand command, bool on) {
    if (const int index = find(command); index >= 0)
        setControlChecked(index, on);
}

void NoteToolbar::setCommandEnabled(NoteCommand command, bool enabled) {
    if (const int index = find(command); index >= 0)
        setControlEnabled(index, enabled);
}

QRect NoteToolbar::controlRect(NoteCommand command) const {
    const int index = find(command);
    return index >= 0 ? control(index).rect : QRect();
}

bool NoteToolbar::isChecked(NoteCommand command) const {
    const int index = find(command);
    return index >= 0 && control(index).checked;
}

bool NoteToolbar::isCommandEnabled(NoteCommand command) const {
    const int index = find(command);
    return index >= 0 && control(index).enabled;
}

void NoteToolbar::paintControl(QPainter& painter, int index) {
    if (toolbarItems()[std::size_t(index)].face == ToolbarFace::Picture)
        paintButton(painter, index);
    else
        paintText(painter, index);
}

void NoteToolbar::paintText(QPainter& painter, int index) {
    const ToolbarItem& item = toolbarItems()[std::size_t(index)];
    const Control& c = control(index);
    const int32_t color =
        item.face == ToolbarFace::Arial ? kWhite : (c.checked ? kIndicatorOn : kIndicatorOff);
    painter.drawPixmap(c.rect.topLeft(), textPicture(item, c.rect.size(), color, devicePixelRatio()));
}

void NoteToolbar::paintButton(QPainter& painter, int index) {
    const ToolbarItem& item = toolbarItems()[std::size_t(index)];
    const Control& c = control(index);
    const bool hot = hotControl() == index && c.enabled;
    // Pressed in while the left button is held on it, also with the pointer gone from it (the
    // command runs only if the button comes up over it); the other buttons do not press it.
    const bool held = c.enabled && pressedControl() == index && pressedButton() == Qt::LeftButton;
    if (const TXPStyle* style = activeXPStyle()) {
        XPButtonLook look;
        look.glyph = buttonGlyph(item);
        look.parentColor = colors::fromQColor(color());
        look.down = c.checked;
        XPControlState state;
        state.hot = hot;
        state.mouseDown = held;
        state.enabled = c.enabled;
        painter.drawPixmap(c.rect.topLeft(), styledButton(*style, item, look, state, style->deviceDepth(this),
                                                          devicePixelRatio()));
        return;
    }
    // The program's own look: a raised edge under the pointer, sunk while held down or on,
    // the picture then one pixel down and to the right.
    const QRect r = c.rect.adjusted(0, 0, -1, -1);
    const bool sunken = held || c.checked;
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    const auto edges = [&](const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    if (sunken) {
        painter.fillRect(c.rect, palette().color(QPalette::Button).lighter(110));
        edges(dark, light);
    } else if (hot) {
        edges(light, dark);
    }
    const QPixmap& pixmap = buttonPicture(item, c.enabled, devicePixelRatio());
    const int shift = sunken ? 1 : 0;
    painter.drawPixmap(c.rect.left() + (c.rect.width() - kGlyphSize.width()) / 2 + shift,
                       c.rect.top() + (c.rect.height() - kGlyphSize.height()) / 2 + shift, pixmap);
}

void NoteToolbar::paintEvent(QPaintEvent* event) {
    // Under the pointer or held down, a control shows its state. At rest, the bars of all
    // notes of one width, colour and set of states look the same: the bar is drawn once and
    // copied, where each control drawn through the bar's clip (the grip makes a hole in it)
    // costs a pass over its rows.
    if (hotControl() >= 0 || pressedControl() >= 0) {
        ControlPanel::paintEvent(event);
        return;
    }
    const qreal ratio = devicePixelRatio();
    int64_t states = 0;
    for (int i = 0; i < controlCount(); ++i) {
        const Control& c = control(i);
        states = states << 3 | int(c.shown) | int(c.enabled) << 1 | int(c.checked) << 2;
    }
    static SharedPictures<22> bars;
    SharedPictures<22>::Key key{width(), height(), qRound64(ratio * 1000), int64_t(color().rgba()), states};
    if (const TXPStyle* style = activeXPStyle()) {
        const std::array<ColorValue, 16> palette = paletteKey(*style);
        key[5] = style->deviceDepth(this);
        std::copy(palette.begin(), palette.end(), key.begin() + 6);
    } else {
        key[5] = 0;
        key[6] = palette().color(QPalette::Light).rgba();
        key[7] = palette().color(QPalette::Dark).rgba();
    }
    const QPixmap* bar =
        bars.find(key, size(), ratio, [this](QPainter& painter) { paintPanel(painter, QRegion(rect())); });
    if (!bar) {
        ControlPanel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, *bar);
}

void NoteToolbar::resizeEvent(QResizeEvent* event) {
    ControlPanel::resizeEvent(event);
    const std::span<const ToolbarItem> items = toolbarItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i].fromRight)
            continue;
        QRect r = control(int(i)).rect;
        r.moveLeft(width() - (kToolbarDesignWidth - items[i].left));
        setControlRect(int(i), r);
    }
    sizeGrip_->move(width() - sizeGrip_->width(), height() - sizeGrip_->height());
}

} // namespace stikko
