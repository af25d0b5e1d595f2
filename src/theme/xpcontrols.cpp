// How TXPStyle paints controls: panels, buttons, edits, combo boxes, check boxes, radio buttons
// and group boxes, each from a plain description of the control and its state.
#include "theme/colors.h"
#include "theme/xpstyle.h"

#include <QFontMetrics>

namespace stikko {

using namespace xp;

namespace {

constexpr ColorValue kGrey = 0x00808080;
// A button with this tag takes its face from its parent's colour.
constexpr int kParentFaceTag = 1000;
// The width of a scroll bar's thumb on the desktop the look was made for: check boxes and the
// button of a combo box are sized by it.
constexpr int kThumbWidth = 16;

ColorValue rgb(ColorValue value) {
    return colors::resolve(value);
}

Edges shrunk(Edges r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right - dx, r.bottom - dy};
}

// A check box's or radio button's box on its control's colour, with the brush and pen of its
// ring set; the ring's rectangle, inside the box.
Edges startCheckBox(XPCanvas& canvas, Edges box, ColorValue background, ColorValue fill, ColorValue frame) {
    canvas.setBrush(background);
    canvas.fillRect(box);
    canvas.setBrush(fill);
    canvas.setPen(frame);
    return shrunk(box, 2, 2);
}

// `width` nested one-pixel outlines with the top and left edges in `first` and the bottom and
// right ones in `second`, which wins at the two corners they share; `r` ends inside them.
void frame3D(XPCanvas& canvas, Edges& r, ColorValue first, ColorValue second, int width) {
    for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
        canvas.setBrush(first);
        canvas.fillRect({r.left, r.top, r.right, r.top + 1});
        canvas.fillRect({r.left, r.top, r.left + 1, r.bottom});
        canvas.setBrush(second);
        canvas.fillRect({r.left, r.bottom - 1, r.right, r.bottom});
        canvas.fillRect({r.right - 1, r.top, r.right, r.bottom});
        r = shrunk(r, 1, 1);
    }
}

QSize captionSize(const QString& caption, const QFont& font) {
    if (caption.isEmpty())
        return {0, 0};
    return QFontMetrics(font).size(Qt::TextSingleLine | Qt::TextShowMnemonic, caption);
}

// Keeps what is drawn inside `r` while it lives.
class ClipTo {
  public:
    ClipTo(XPCanvas& canvas, const Edges& r) : painter_(canvas.painter()) {
        painter_.save();
        painter_.setClipRect(r.toRect(), Qt::IntersectClip);
    }
    ~ClipTo() { painter_.restore(); }
    ClipTo(const ClipTo&) = delete;
    ClipTo& operator=(const ClipTo&) = delete;

  private:
    QPainter& painter_;
};

struct Placement {
    Edges glyph;
    Edges text;
};

// The glyph and the caption of a button, laid out around its middle.
Placement placeGlyph(Edges R, QSize g, QSize t, int spacing, XPGlyphLayout layout, bool rightToLeft) {
    if (rightToLeft && layout == XPGlyphLayout::Left)
        layout = XPGlyphLayout::Right;
    else if (rightToLeft && layout == XPGlyphLayout::Right)
        layout = XPGlyphLayout::Left;
    const int W = R.width(), H = R.height();
    const int gw = g.width(), gh = g.height(), tw = t.width(), th = t.height();
    int gl = 0, gt = 0, tl = 0, tt = 0;
    switch (layout) {
    case XPGlyphLayout::Left:
        gl = (W - gw - spacing - tw) / 2;
        gt = (H - gh) / 2 - 1;
        tl = gl + gw + spacing;
        tt = (H - th) / 2;
        break;
    case XPGlyphLayout::Right: {
        const int right = (W + gw + spacing + tw) / 2;
        gl = right - gw;
        gt = (H - gh) / 2;
        tl = gl - spacing - tw;
        tt = (H - th) / 2;
        break;
    }
    case XPGlyphLayout::Top:
        gl = (W - gw) / 2;
        gt = (H - gh - spacing - th) / 2;
        tl = (W - tw) / 2;
        tt = gt + gh + spacing;
        break;
    case XPGlyphLayout::Bottom: {
        gl = (W - gw) / 2;
        const int bottom = (H + gh + spacing + th) / 2;
        gt = bottom - gh;
        tl = (W - tw) / 2;
        tt = gt - spacing - th;
        break;
    }
    }
    return {{R.left + gl, R.top + gt, R.left + gl + gw, R.top + gt + gh},
            {R.left + tl, R.top + tt, R.left + tl + tw, R.top + tt + th}};
}

// Cell `index` (from 1) of a row of `count` glyph cells.
QImage glyphCell(const QImage& glyph, int count, int index) {
    if (glyph.isNull())
        return {};
    count = std::max(1, count);
    const int gw = glyph.width() / count;
    return glyph.copy((index - 1) * gw, 0, gw, glyph.height());
}

} // namespace

void TXPStyle::PaintPanel(XPCanvas& canvas, Edges R, const XPPanelLook& panel) const {
    SetGlobalColor(canvas.depth());
    const ColorValue dark = GetShadeColor(panel.color, 60);
    const ColorValue light = NewColor(panel.color, 60, canvas.depth());
    const auto bevel = [&](XPBevel kind) {
        if (kind == XPBevel::Lowered)
            frame3D(canvas, R, dark, light, panel.bevelWidth);
        else
            frame3D(canvas, R, light, dark, panel.bevelWidth);
    };
    if (panel.outer != XPBevel::None)
        bevel(panel.outer);
    if (panel.inner != XPBevel::None) {
        R = shrunk(R, panel.borderWidth, panel.borderWidth);
        bevel(panel.inner);
    }
}

void TXPStyle::PaintSpeedButton(XPCanvas& canvas, Edges R, const XPButtonLook& b,
                                const XPControlState& s) const {
    const int depth = canvas.depth();
    SetGlobalColor(depth);
    const XPPalette& p = palette_;
    const bool hot = s.hot;
    const bool down = b.down;
    // A lifted glyph is cut at the button's edge, wherever the button is drawn.
    const ClipTo clip(canvas, R);

    ColorValue F, P;
    if (hot) {
        F = b.flat ? p.SelectionFillColor
                   : NewColor(b.tag == kParentFaceTag ? b.parentColor : kButtonFace, p.DownLightLevel, depth);
        P = NewColor(p.SelectionFrameColor, 60, depth);
    } else {
        F = b.flat ? rgb(b.parentColor)
                   : (b.tag == kParentFaceTag ? NewColor(b.parentColor, p.FaceLightLevel, depth)
                                              : p.IconColumnColor);
        P = rgb(kButtonShadow);
    }
    if (down) {
        F = hot ? p.CheckBoxHotFillColor : p.CheckBoxFillColor;
        P = p.SelectionFrameColor;
    }
    if (!s.enabled)
        P = rgb(kButtonShadow);

    // Hot or down, what shows through is tinted.
    if ((down || hot) && b.transparent) {
        const ColorValue tint = b.flat ? (depth > 16 ? NewColor(p.SelectionFillColor, 20, depth) : F)
                                       : (depth > 16 ? NewColor(F, 5, depth) : F);
        canvas.andRect(R, tint);
    }
    canvas.setBrush(F);
    if (!b.transparent)
        canvas.fillRect(R);
    canvas.setPen(NewColor(P, 30, depth));
    if (b.flat && !b.transparent && !down && !hot)
        canvas.setPen(F);
    if (b.transparent)
        canvas.setBrushClear();
    if (!(b.transparent && b.flat && !hot && !down))
        canvas.rectangle(R);

    if (s.enabled) {
        const auto pressedEdge = [&] { // dark at the top and the left
            canvas.setPen(GetShadeColor(P, 50));
            canvas.moveTo(R.left, R.bottom - 1);
            canvas.lineTo(R.left, R.top);
            canvas.lineTo(R.right, R.top);
        };
        if (b.flat) {
            if (s.mouseDown || down) {
                canvas.setPen(P);
                canvas.rectangle(R);
                pressedEdge();
            } else if (hot) {
                canvas.setPen(p.SelectionFrameColor);
                canvas.rectangle(R);
            }
        } else if (s.mouseDown || down) {
            pressedEdge();
        } else { // raised: dark at the bottom and the right
            canvas.setPen(GetShadeColor(P, 50));
            canvas.moveTo(R.right - 1, R.top);
            canvas.lineTo(R.right - 1, R.bottom - 1);
            canvas.lineTo(R.left, R.bottom - 1);
        }
    }

    const int count = std::max(1, b.glyphCount);
    int cell = 1;
    if (!s.enabled && count > 1)
        cell = 2;
    if (s.mouseDown && count > 2)
        cell = 3;
    if (down && count > 3)
        cell = 4;
    const QImage G = glyphCell(b.glyph, count, cell);
    const QSize text = captionSize(b.caption, b.font.font);
    const Placement at =
        placeGlyph(R, G.size(), text, b.caption.isEmpty() ? 0 : b.spacing, b.layout, s.rightToLeft);
    DrawIcon(XPSender::Control, canvas, G, at.glyph, hot, s.focused, s.enabled, down || s.mouseDown, false,
             s.rightToLeft);
    if (!b.caption.isEmpty())
        DrawTheText(XPSender::Control, b.caption, QString(), canvas, at.text, false, s.enabled, false, false,
                    s.rightToLeft, b.font, kDtCenter | kDtVCenter | (s.rightToLeft ? kDtRtlReading : 0));
}

namespace {

// A push button's face and frame: lighter when hot, the frame in the selection colour when hot
// or focused.
void buttonColours(const XPPalette& p, const XPButtonLook& b, bool hot, const XPControlState& s, int depth,
                   ColorValue& F, ColorValue& P) {
    if (hot) {
        F = NewColor(b.tag == kParentFaceTag ? b.parentColor : kButtonFace, p.DownLightLevel, depth);
        P = NewColor(p.SelectionFrameColor, 60, depth);
    } else {
        F = b.tag == kParentFaceTag ? NewColor(b.parentColor, p.FaceLightLevel, depth) : p.IconColumnColor;
        P = s.focused ? NewColor(p.SelectionFrameColor, 60, depth) : rgb(kButtonShadow);
    }
    if (!s.enabled)
        P = rgb(kButtonShadow);
}

// The rounded face of a push button, sunken or raised.
void paintButtonFace(XPCanvas& canvas, Edges R, ColorValue parentColor, ColorValue F, ColorValue P,
                     bool pressed, bool enabled) {
    canvas.setBrush(parentColor);
    canvas.fillRect(R);
    canvas.setBrush(F);
    canvas.setPen(NewColor(P, 30, canvas.depth()));
    canvas.roundRect(R, 4, 4);
    if (!enabled)
        return;
    canvas.setPen(GetShadeColor(P, 50));
    const int L = R.left, T = R.top, Rt = R.right, B = R.bottom;
    if (pressed) {
        canvas.moveTo(L, B - 2);
        canvas.lineTo(L, T + 1);
        canvas.lineTo(L + 1, T);
        canvas.lineTo(Rt - 1, T);
    } else {
        canvas.moveTo(Rt - 1, T + 1);
        canvas.lineTo(Rt - 1, B - 2);
        canvas.lineTo(Rt - 2, B - 1);
        canvas.lineTo(L, B - 1);
    }
}

} // namespace

void TXPStyle::PaintButton(XPCanvas& canvas, Edges R, const XPButtonLook& b, const XPControlState& s) const {
    SetGlobalColor(canvas.depth());
    ColorValue F, P;
    buttonColours(palette_, b, s.hot, s, canvas.depth(), F, P);
    paintButtonFace(canvas, R, b.parentColor, F, P, s.spaceDown || (s.mouseDown && s.hot), s.enabled);
    const QSize t = captionSize(b.caption, b.font.font);
    const int left = R.left + (R.width() - t.width()) / 2;
    const int top = R.top + (R.height() - t.height()) / 2;
    if (!b.caption.isEmpty())
        DrawTheText(XPSender::Control, b.caption, QString(), canvas,
                    {left, top, left + t.width(), top + t.height()}, false, s.enabled, b.isDefault, false,
                    s.rightToLeft, b.font, kDtCenter | kDtVCenter | (s.rightToLeft ? kDtRtlReading : 0));
}

void TXPStyle::PaintBitButn(XPCanvas& canvas, Edges R, const XPButtonLook& b, const XPControlState& s) const {
    SetGlobalColor(canvas.depth());
    const ClipTo clip(canvas, R);
    // Held by the space key, a bitmap button keeps its hot colours.
    const bool hot = s.hot || s.spaceDown;
    ColorValue F, P;
    buttonColours(palette_, b, hot, s, canvas.depth(), F, P);
    paintButtonFace(canvas, R, b.parentColor, F, P, s.spaceDown || (s.mouseDown && s.hot), s.enabled);
    const QImage G = glyphCell(b.glyph, b.glyphCount, 1);
    const int spacing = b.caption.trimmed().isEmpty() ? 0 : b.spacing;
    const Placement at =
        placeGlyph(R, G.size(), captionSize(b.caption, b.font.font), spacing, b.layout, s.rightToLeft);
    DrawIcon(XPSender::Control, canvas, G, at.glyph, s.hot, s.focused, s.enabled, s.mouseDown, false,
             s.rightToLeft);
    if (!b.caption.isEmpty())
        DrawTheText(XPSender::Control, b.caption, QString(), canvas, at.text, false, s.enabled, b.isDefault,
                    false, s.rightToLeft, b.font,
                    kDtCenter | kDtVCenter | (s.rightToLeft ? kDtRtlReading : 0));
}

void TXPStyle::PaintRichEdit(XPCanvas& canvas, Edges editRect, ColorValue parentColor, bool savedSingle,
                             const XPControlState& s) const {
    SetGlobalColor(canvas.depth());
    const Edges R = shrunk(editRect, -1, -1);
    // Without a border of its own the edit's frame shows only when it is hot or focused.
    ColorValue color = rgb(parentColor);
    if (s.hot || s.focused)
        color = NewColor(palette_.SelectionFrameColor, 60, canvas.depth());
    else if (savedSingle)
        color = GetShadeColor(parentColor, 60);
    canvas.setPen(color);
    canvas.setBrushClear();
    canvas.rectangle(R);
}

void TXPStyle::PaintEdit(XPCanvas& canvas, Edges R, ColorValue parentColor, bool savedSingle,
                         const XPControlState& s) const {
    SetGlobalColor(canvas.depth());
    ColorValue color = rgb(parentColor);
    if (s.hot || s.focused)
        color = NewColor(palette_.SelectionFrameColor, savedSingle ? 60 : 80, canvas.depth());
    else if (savedSingle)
        color = GetShadeColor(parentColor, 60);
    canvas.setPen(color);
    canvas.setBrushClear();
    canvas.rectangle(R);
}

Edges TXPStyle::comboButtonRect(Edges R, bool rightToLeft) {
    // The button and the strip of the field's colour before it, as wide as they are drawn when
    // the combo box is lit.
    const int width = 2 + kThumbWidth + 1;
    return rightToLeft ? Edges{R.left, R.top, R.left + width + 1, R.bottom}
                       : Edges{R.right - width, R.top, R.right, R.bottom};
}

void TXPStyle::PaintCombo(XPCanvas& canvas, Edges client, const XPComboLook& k,
                          const XPControlState& s) const {
    const int depth = canvas.depth();
    SetGlobalColor(depth);
    const XPPalette& p = palette_;
    const bool rtl = s.rightToLeft;
    ColorValue arrow = s.enabled ? kBlack : kWhite;
    ColorValue FC, BF;
    if (s.hot) {
        FC = p.SelectionFrameColor;
        BF = p.SelectionFillColor;
    } else if (s.focused) {
        FC = NewColor(p.SelectionFrameColor, 60, depth);
        BF = p.CheckBoxFillColor;
    } else {
        FC = rgb(k.color);
        BF = k.tag == kParentFaceTag ? NewColor(k.parentColor, p.FaceLightLevel, depth) : rgb(kButtonFace);
    }
    const bool lit = s.hot || s.focused;
    const auto frame = [&canvas](Edges r, ColorValue color) {
        canvas.setPen(color);
        canvas.setBrushClear();
        canvas.rectangle(r);
    };

    Edges R = client;
    frame(R, k.parentColor);
    R = shrunk(R, 1, 1);
    canvas.moveTo(R.left, R.top);
    canvas.lineTo(R.right, R.top);
    R = shrunk(R, 0, 1);
    if (lit)
        R = shrunk(R, -1, -1);
    frame(R, k.color);
    R.bottom += 1;
    frame(R, FC);
    if (k.droppedDown) {
        FC = p.SelectionFrameColor;
        arrow = kWhite;
        BF = p.CheckBoxHotFillColor;
    }
    if (k.simple)
        return;

    R = shrunk(R, 1, 1);
    const int width = kThumbWidth + 1;
    Edges button = rtl ? Edges{R.left, R.top, R.left + width, R.bottom}
                       : Edges{R.right - width, R.top, R.right, R.bottom};
    if (lit) {
        if (rtl)
            button.right += 2;
        else
            button.left -= 1;
    }
    canvas.setBrush(BF);
    canvas.fillRect(button);
    // A strip of the field's colour next to the text, and the button's edge after it.
    const Edges strip = rtl ? Edges{button.right - 5, button.top, button.right, button.bottom}
                            : Edges{button.left, button.top, button.left + 5, button.bottom};
    canvas.setBrush(k.color);
    canvas.fillRect(strip);
    const int edge = rtl ? strip.left - 1 : strip.right;
    canvas.setPen(FC);
    canvas.moveTo(edge, button.top);
    canvas.lineTo(edge, button.bottom);

    // The arrow sits where it does in a combo box of the usual 21 pixels, and stays in the
    // middle of taller ones.
    canvas.setPen(arrow);
    const int x = rtl ? client.left + 5 : client.right - 10;
    DrawArrow(canvas, x, client.top + (client.height() - 3) / 2 + 1);
}

Edges TXPStyle::checkBoxRect(Edges client, bool boxRight, bool radio) {
    const int s = kThumbWidth;
    const int inset = radio ? 4 : 3;
    const int height = radio ? s - 1 : s;
    const Edges band = shrunk(client, 0, inset);
    const int top = band.top + (band.height() - height) / 2;
    const int left = boxRight ? client.right - (s - 1) : client.left;
    return {left, top, left + s - 1, top + height};
}

void TXPStyle::PaintCheckBox(XPCanvas& canvas, Edges client, const XPCheckLook& k,
                             const XPControlState& s) const {
    SetGlobalColor(canvas.depth());
    const XPPalette& p = palette_;
    const bool lit = s.hot || s.focused;
    const bool pressed = s.spaceDown || s.mouseDown;
    const bool grayed = k.state == Qt::PartiallyChecked;
    ColorValue fill = lit ? p.SelectionFillColor : rgb(kWindowColor);
    const ColorValue frame = lit ? p.SelectionFrameColor : rgb(kButtonShadow);
    if (pressed)
        fill = p.CheckBoxHotFillColor;
    if (grayed)
        fill = kSilver;

    const Edges box = startCheckBox(canvas, checkBoxRect(client, k.boxRight, false), k.color, fill, frame);
    canvas.rectangle(box);
    if (k.state == Qt::Unchecked)
        return;
    ColorValue mark = pressed ? rgb(kWindowColor) : grayed ? kGrey : rgb(kHighlight);
    if (!s.enabled)
        mark = p.GrayedTextColor;
    canvas.setPen(mark);
    DrawCheckMark(canvas, box.left, box.bottom);
}

void TXPStyle::PaintRadio(XPCanvas& canvas, Edges client, const XPCheckLook& k,
                          const XPControlState& s) const {
    SetGlobalColor(canvas.depth());
    const XPPalette& p = palette_;
    // The focus lights the fill only; the pointer lights the ring too.
    const ColorValue fill = s.hot || s.focused ? p.SelectionFillColor : rgb(kWindowColor);
    const ColorValue frame = s.hot ? p.SelectionFrameColor : rgb(kButtonShadow);
    const Edges box = startCheckBox(canvas, checkBoxRect(client, k.boxRight, true), k.color, fill, frame);
    canvas.ellipse(box);
    if (k.state == Qt::Unchecked)
        return;
    const ColorValue dot = s.enabled ? rgb(kHighlight) : p.GrayedTextColor;
    canvas.setBrush(dot);
    canvas.setPen(dot);
    canvas.ellipse(shrunk(box, 2, 2));
}

void TXPStyle::PaintGroupBox(XPCanvas& canvas, Edges R, const XPGroupLook& g, const XPControlState& s) const {
    SetGlobalColor(canvas.depth());
    const ColorValue dark = GetShadeColor(g.color, 60);
    const ColorValue light = NewColor(g.color, 60, canvas.depth());
    canvas.setFont(g.font.font);
    const int th = canvas.textHeight();
    const int top = R.top + th / 2;
    canvas.setBrushClear();
    if (g.flat) {
        canvas.setPen(dark);
        canvas.rectangle({R.left, top, R.right, R.bottom});
    } else {
        canvas.setPen(light);
        canvas.rectangle({R.left + 1, top + 1, R.right, R.bottom});
        canvas.setPen(dark);
        canvas.rectangle({R.left, top, R.right - 1, R.bottom - 1});
    }
    // Above the frame the parent shows; the caption sits on the group's colour over the line.
    canvas.setBrush(g.parentColor);
    canvas.fillRect({R.left, R.top, R.right, top});
    if (g.caption.isEmpty())
        return;
    const QSize t = captionSize(g.caption, g.font.font);
    const int left = s.rightToLeft ? R.right - 9 - t.width() : R.left + 9;
    canvas.setBrush(g.color);
    canvas.fillRect({left - 2, R.top, left + t.width() + 2, R.top + th});
    DrawTheText(XPSender::Control, g.caption, QString(), canvas, {left, R.top, left + t.width(), R.top + th},
                false, s.enabled, false, false, s.rightToLeft, g.font,
                s.rightToLeft ? kDtRtlReading : kDtLeft);
}

} // namespace stikko
