// How TXPStyle paints bars: the open item of a menu bar, the buttons and separators of a tool
// bar, and the bands of a control bar with their grips.
#include "theme/colors.h"
#include "theme/xpstyle.h"

#include <QFontMetrics>

namespace stikko {

using namespace xp;

void TXPStyle::DrawTopMenuItem(XPSender sender, XPCanvas& canvas, Edges R, ColorValue barColor,
                               bool rightToLeft) const {
    const XPPalette& p = palette_;
    const int X1 = R.left, X2 = R.right, T = R.top, B = R.bottom;
    canvas.setBrush(p.SelectionFillColor);
    canvas.fillRect(R);
    canvas.setPen(p.SelectionFrameColor);
    const auto line = [&canvas](std::initializer_list<QPoint> points) {
        canvas.moveTo(points.begin()->x(), points.begin()->y());
        for (auto it = points.begin() + 1; it != points.end(); ++it)
            canvas.lineTo(it->x(), it->y());
    };
    if (!rightToLeft && p.HighColorMode && sender == XPSender::MenuItem) {
        // A frame open at the bottom, and a soft shadow on its right.
        line({{X1, B - 1}, {X1, T}, {X2 - 8, T}, {X2 - 8, B}});
        const ColorValue C = p.BarColor;
        const auto fill = [&canvas](ColorValue color, Edges r) {
            canvas.setBrush(color);
            canvas.fillRect(r);
        };
        fill(GetShadeColor(C, 10), {X2 - 7, T, X2, B});
        fill(GetShadeColor(C, 30), {X2 - 7, T + 3, X2 - 2, B});
        fill(GetShadeColor(C, 60), {X2 - 7, T + 5, X2 - 3, B});
        fill(GetShadeColor(C, 100), {X2 - 7, T + 6, X2 - 5, B});
        canvas.setPen(C);
        line({{X2 - 5, T + 1}, {X2 - 1, T + 1}, {X2 - 1, T + 6}});
        line({{X2 - 3, T + 2}, {X2 - 2, T + 2}, {X2 - 2, T + 3}, {X2 - 3, T + 3}});
        canvas.setPen(GetShadeColor(C, 10));
        line({{X2 - 6, T + 3}, {X2 - 3, T + 3}, {X2 - 3, T + 6}, {X2 - 4, T + 6}, {X2 - 4, T + 3}});
        canvas.setPen(GetShadeColor(C, 30));
        line({{X2 - 5, T + 5}, {X2 - 4, T + 5}, {X2 - 4, T + 9}});
        canvas.setPen(GetShadeColor(C, 40));
        line({{X2 - 6, T + 5}, {X2 - 6, T + 7}});
        return;
    }
    // A two-pixel shadow on the right, its top corner cleared.
    const ColorValue shadow = GetShadeColor(barColor, 70);
    line({{X1, B - 1}, {X1, T}, {X2 - 3, T}, {X2 - 3, B}});
    canvas.setPen(shadow);
    canvas.setBrush(shadow);
    canvas.fillRect({X2 - 2, T + 2, X2, B});
    canvas.setBrush(barColor);
    canvas.fillRect({X2 - 2, T, X2, T + 2});
}

void TXPStyle::ToolBarDrawButton(XPCanvas& canvas, Edges bounds, const XPToolBarLook& bar,
                                 const XPToolButtonLook& button, int state) const {
    const int depth = canvas.depth();
    SetGlobalColor(depth);
    const XPPalette& p = palette_;
    const bool hot = state & xtsHot;
    const bool selected = state & xtsSelected;
    const bool checked = state & xtsChecked;
    const bool disabled = state & xtsDisabled;
    const ColorValue H =
        p.HighColorMode && !useSystemColors_ ? NewColor(selectColor_, 68, depth) : p.SelectionFillColor;

    Edges R = bounds;
    const ColorValue B = p.HighColorMode ? NewColor(bar.color, 16, depth) : colors::resolve(bar.color);
    canvas.setBrush(B);
    if (!bar.transparent)
        canvas.fillRect(R);

    bool filled = false;
    bool framed = false;
    ColorValue fill = 0;
    if (hot) {
        fill = checked || button.down || selected ? p.CheckBoxHotFillColor : H;
        filled = framed = true;
    } else if (checked) {
        fill = p.CheckBoxFillColor;
        filled = framed = true;
    } else if (state & xtsIndeterminate) {
        fill = H;
        filled = true;
    } else if (button.hasMenuItem && state == 0) {
        fill = colors::resolve(bar.color);
        filled = !bar.transparent;
    }
    R.top += 1;
    if (filled) {
        canvas.setBrush(fill);
        canvas.fillRect(R);
    }
    if (framed) {
        canvas.setPen(p.SelectionFrameColor);
        canvas.setBrushClear();
        const Edges outline{R.left, R.top + 1, R.right, R.bottom};
        if (button.dropDown) { // the arrow part framed of its own
            canvas.rectangle({outline.left, outline.top, outline.right - 12, outline.bottom});
            canvas.rectangle({outline.right - 13, outline.top, outline.right, outline.bottom});
        } else {
            canvas.rectangle(outline);
        }
    }
    if (selected && (button.hasMenuItem || button.hasDropDownMenu))
        DrawTopMenuItem(XPSender::ToolButton, canvas, R, bar.color, false);

    R = bounds;
    if (button.dropDown) {
        canvas.setPen(kBlack);
        DrawArrow(canvas, R.right - 10, R.top + (R.height() - 3) / 2 + 1);
    }

    const QImage& G = hot && !button.hotGlyph.isNull() ? button.hotGlyph : button.glyph;
    const int gw = G.isNull() ? 0 : G.width();
    if (!G.isNull()) {
        if (button.dropDown)
            R.right -= 12;
        if (!bar.list) {
            R.left = roundHalfEven((R.width() - gw) / 2.0 + R.left);
        } else if (button.rightToLeft) {
            R.right -= 3;
            R.left = R.right - gw;
        } else {
            R.left += 3;
            R.right = R.left + gw;
        }
        R.top += 2;
        R.bottom = R.top + G.height() + 6;
        DrawIcon(XPSender::ToolButton, canvas, G, R, hot, selected, !disabled, checked, false, false);
    }

    if (!bar.showCaptions || button.caption.isEmpty())
        return;
    R = bounds;
    if (button.dropDown)
        R.right -= 12;
    int format = kDtCenter;
    if (bar.list) {
        format = kDtVCenter;
        if (button.rightToLeft) {
            format = kDtRight | kDtVCenter;
            R.right -= gw + 7;
        } else if (gw > 0) {
            R.left += gw + 6;
        }
    } else {
        R.top = R.bottom - QFontMetrics(font_.font).height() - 6;
    }
    if (button.hasMenuItem)
        format = kDtCenter;
    if (button.rightToLeft)
        format |= kDtRtlReading;
    if (button.down && disabled)
        R = {R.left + 1, R.top + 1, R.right - 1, R.bottom - 1};
    canvas.setBrush(filled ? fill : B); // what a disabled caption is drawn on
    DrawTheText(XPSender::ToolButton, button.caption, QString(), canvas, R, selected, !disabled, false,
                button.hasMenuItem, button.rightToLeft, font_, format);
}

void TXPStyle::ToolBarDrawSeparator(XPCanvas& canvas, Edges R, const XPToolBarLook& bar, int tag) const {
    SetGlobalColor(canvas.depth());
    if (!bar.transparent) {
        canvas.setBrush(palette_.HighColorMode ? NewColor(bar.color, 16, canvas.depth())
                                               : colors::resolve(bar.color));
        canvas.fillRect(R);
    }
    // The gap only, unless the separator's tag asks for the line.
    if (tag <= 0)
        return;
    canvas.setPen(GetShadeColor(bar.color, 30));
    const int x = R.left + R.width() / 2;
    canvas.moveTo(x, R.top + 2);
    canvas.lineTo(x, R.bottom - 1);
}

void TXPStyle::ControlBarPaint(XPCanvas& canvas, Edges R, ColorValue color) const {
    SetGlobalColor(canvas.depth());
    canvas.setBrush(palette_.HighColorMode ? NewColor(color, 6, canvas.depth()) : colors::resolve(color));
    canvas.fillRect(R);
    // The grip: short lines on every other row, darker downwards.
    int level = 30;
    for (int y = R.top + 5; y <= R.bottom - 5; ++y) {
        if ((y & 1) != 0)
            continue;
        canvas.setPen(GetShadeColor(color, level));
        canvas.moveTo(R.left + 3, y);
        canvas.lineTo(R.left + 6, y);
        level += 7;
    }
}

} // namespace stikko
