// How TXPStyle paints a menu item, and the glyph and text painters its control painters share.
#include "theme/colors.h"
#include "theme/xpstyle.h"

#include <algorithm>

namespace stikko {

using namespace xp;

void TXPStyle::PaintMenuItem(XPCanvas& canvas, Edges R, const XPMenuItem& item, bool selected) const {
    SetGlobalColor(canvas.depth());
    const XPPalette& p = palette_;
    const bool rtl = item.rightToLeft;
    const bool topLevel = item.topLevel;

    canvas.setFont(font_.font);
    R.bottom += 1;
    Edges TR = R;
    const QString text = QLatin1Char(' ') + item.caption;

    const QImage& G = item.glyph;
    const bool hasGlyph = !G.isNull() && G.width() > 0;
    const int gw = hasGlyph ? G.width() : 0;

    // The icon column, the whole height of the item.
    const Edges IC = rtl ? Edges{R.right - iconWidth_, R.top, R.right, R.bottom}
                         : Edges{R.left, R.top, R.left + iconWidth_, R.bottom};

    // The check box: around the glyph, or a 10 x 10 square in the middle of the column.
    Edges CB;
    if (hasGlyph) {
        CB = {IC.left + 1, IC.top + 2, IC.right - 3, IC.bottom - 2};
    } else {
        CB.left = IC.left + (IC.width() - 10) / 2;
        CB.top = IC.top + (IC.height() - 10) / 2;
        CB.right = CB.left + 10;
        CB.bottom = CB.top + 10;
    }
    if (gw > iconWidth_) {
        if (rtl)
            CB.left = CB.right - gw;
        else
            CB.right = CB.left + gw;
    }
    if (topLevel)
        CB.top -= 1;

    if (rtl) {
        TR.left = R.left;
        TR.right = R.right - (topLevel ? 4 : iconWidth_);
        if (R.right - gw < TR.right)
            TR.right = R.right - gw - 8;
    } else {
        TR.left = R.left + (topLevel ? 4 : iconWidth_);
        if (R.left + gw > TR.left)
            TR.left = R.left + gw + 4;
        TR.right = R.right;
    }
    if (topLevel) {
        if (!hasGlyph)
            TR = R;
        else if (rtl)
            TR.right += 5;
        else
            TR.left -= 5;
    }

    // Background.
    if (topLevel) {
        canvas.setBrush(p.BarColor);
        canvas.setPen(p.BarColor);
        canvas.fillRect(R);
    } else if (p.HighColorMode && gradient_) {
        DrawGradient(canvas, {R.left, R.top, R.right + 2, R.bottom}, rtl);
    } else {
        canvas.setBrush(p.MenuBackColor);
        canvas.fillRect(R);
        canvas.setBrush(p.IconColumnColor);
        canvas.fillRect(IC);
    }

    MenuFont font = font_;
    if (!item.enabled)
        font.color = disabledColor_;

    // The selection bar: filled and framed, its top row left as it was; none on a disabled
    // item. A menu bar's open item stands out with a shadow.
    if (selected && drawSelect_ && topLevel) {
        canvas.setBrushSolid();
        DrawTopMenuItem(XPSender::MenuItem, canvas, R, menuBarColor_, rtl);
    } else if (selected && drawSelect_ && item.enabled) {
        canvas.setBrushSolid();
        Edges S = R;
        S.top += 1;
        S.bottom -= 1;
        if (flatMenu_)
            S.right -= 1;
        canvas.setBrush(p.SelectionFillColor);
        canvas.fillRect(S);
        canvas.setPen(p.SelectionFrameColor);
        canvas.setBrushClear();
        canvas.rectangle(S);
    }

    DrawCheckedItem(item, selected, item.enabled, hasGlyph, canvas, CB);
    DrawIcon(XPSender::MenuItem, canvas, G, IC, selected, false, item.enabled, item.checked, topLevel, rtl);

    if (item.separator) {
        canvas.setPen(p.SeparatorLineColor);
        const int y = TR.top + roundHalfEven((TR.bottom - TR.top) / 2.0);
        if (rtl) {
            canvas.moveTo(TR.left, y);
            canvas.lineTo(TR.right - 7, y);
        } else {
            canvas.moveTo(TR.left + 7, y);
            canvas.lineTo(TR.right, y);
        }
        return;
    }
    const int format = rtl ? (kDtRight | kDtRtlReading) : kDtLeft;
    if (rtl)
        TR.right -= 3;
    else
        TR.left += 3;
    TR.top += (TR.height() - canvas.textHeight()) / 2;
    DrawTheText(XPSender::MenuItem, text, item.shortcut, canvas, TR, selected, item.enabled, item.isDefault,
                topLevel, rtl, font, format);
}

void TXPStyle::DrawCheckedItem(const XPMenuItem& item, bool selected, bool enabled, bool hasGlyph,
                               XPCanvas& canvas, Edges CB) const {
    if (!item.checked)
        return;
    const XPPalette& p = palette_;
    const ColorValue fill = selected ? p.CheckBoxHotFillColor : p.CheckBoxFillColor;
    // A disabled item sets only the pen: its box is filled with whatever the brush holds.
    canvas.setBrushSolid();
    const auto penAndFill = [&](ColorValue frame) {
        if (enabled) {
            canvas.setPen(frame);
            canvas.setBrush(fill);
        } else {
            canvas.setPen(p.GrayedTextColor);
        }
    };
    if (item.radio) {
        penAndFill(p.SelectionFrameColor);
        if (hasGlyph)
            canvas.roundRect(CB, 6, 6);
        else
            canvas.ellipse(CB);
        return;
    }
    if (hasGlyph) {
        penAndFill(p.SelectionFrameColor);
        canvas.rectangle(CB); // the glyph is drawn over it
        return;
    }
    penAndFill(p.CheckFrameColor);
    canvas.rectangle(CB);
    canvas.setPen(enabled ? kBlack : p.GrayedTextColor);
    const int L = CB.left, T = CB.top, Rt = CB.right, B = CB.bottom;
    canvas.moveTo(L + 1, T + 5);
    canvas.lineTo(L + 4, B - 2);
    canvas.moveTo(L + 2, T + 5);
    canvas.lineTo(L + 4, B - 3);
    canvas.moveTo(L + 2, T + 4);
    canvas.lineTo(L + 5, B - 3);
    canvas.moveTo(L + 4, B - 3);
    canvas.lineTo(Rt + 2, T - 1); // the long stroke runs past the box's corner
    canvas.moveTo(L + 4, B - 2);
    canvas.lineTo(Rt - 2, T + 3);
}

void TXPStyle::DrawIcon(XPSender sender, XPCanvas& canvas, const QImage& glyph, Edges IC, bool hot,
                        bool pressed, bool enabled, bool checked, bool topLevel, bool rightToLeft) const {
    if (glyph.isNull() || glyph.width() == 0)
        return;
    const XPPalette& p = palette_;
    const int gw = glyph.width();
    int x = IC.left;
    int y = IC.top + 1;
    if (sender == XPSender::MenuItem) {
        y += 2;
        if (gw < iconWidth_)
            x = IC.left + (iconWidth_ - gw) / 2 - 1;
        else
            x = rightToLeft ? IC.right - gw - 2 : IC.left + 2;
    }
    if (topLevel)
        x = rightToLeft ? IC.right - gw - 5 : IC.left + 1;
    if (hot && !topLevel && enabled && !checked && !pressed) {
        x -= 1; // the glyph lifts
        y -= 1;
    }
    QImage G = glyph;
    if (!hot && enabled && !checked && p.HighColorMode)
        DimBitmap(G, dimLevel_);
    if (!enabled) {
        GrayBitmap(G, grayLevel_);
        DimBitmap(G, 40);
    }
    if (hot && enabled && !checked) {
        const ColorValue base = p.HighColorMode && !useSystemColors_ && sender == XPSender::ToolButton
                                    ? NewColor(selectColor_, 68, canvas.depth())
                                    : p.SelectionFillColor;
        DrawBitmapShadow(G, canvas, x + 2, y + 2, GetShadeColor(base, 50));
    }
    canvas.painter().drawImage(QPoint(x, y), G);
}

void TXPStyle::DrawTheText(XPSender sender, const QString& text, const QString& shortcut, XPCanvas& canvas,
                           Edges TR, bool selected, bool enabled, bool isDefault, bool topLevel,
                           bool rightToLeft, const MenuFont& font, int format) const {
    const XPPalette& p = palette_;
    ColorValue c = colors::resolve(font.color);
    canvas.setFont(font.font);
    if (selected)
        c = p.SelectionTextColor;
    if (!enabled)
        c = p.GrayedTextColor;

    if (sender == XPSender::ToolButton && !enabled) {
        // A disabled tool button's caption goes through a scratch image in the brush colour.
        TR.top += (TR.height() - canvas.textHeight()) / 2;
        if (TR.width() <= 0 || TR.height() <= 0)
            return;
        QImage scratch(TR.width(), TR.height(), QImage::Format_RGB32);
        scratch.fill(toColor(canvas.brush()));
        {
            QPainter scratchPainter(&scratch);
            XPCanvas scratchCanvas(scratchPainter, canvas.depth());
            scratchCanvas.setFont(font.font);
            scratchCanvas.setTextColor(c);
            scratchCanvas.drawText({0, 0, TR.width(), TR.height()}, text, format | kDtVCenter);
        }
        canvas.painter().drawImage(QPoint(TR.left, TR.top), scratch);
        return;
    }

    if (topLevel && selected && useSystemColors_)
        c = TopMenuFontColor(p.IconColumnColor);
    canvas.setTextColor(c);

    if (isDefault && enabled) {
        // A default item's caption is thickened by four shaded copies around it.
        struct Copy {
            int dx, dy, dright, level;
        };
        static constexpr Copy kCopies[] = {{1, 0, 0, 30}, {1, 2, 1, 30}, {0, 1, 0, 40}, {1, 1, 1, 60}};
        for (const Copy& copy : kCopies) {
            const Edges r{TR.left + copy.dx, TR.top + copy.dy, TR.right + copy.dright, TR.bottom};
            canvas.setTextColor(GetShadeColor(canvas.pixel(r.left, r.top), copy.level));
            canvas.drawText(r, text, format);
        }
        canvas.setTextColor(c);
    }
    canvas.drawText(TR, text, format);

    // The shortcut, lighter than the caption on a device of many colours.
    canvas.setTextColor(p.HighColorMode ? GetShadeColor(c, -40) : c);
    const QString keys = shortcut + QLatin1Char(' ');
    if (rightToLeft)
        canvas.drawText({TR.left + 10, TR.top, TR.right, TR.bottom}, keys, kDtLeft);
    else
        canvas.drawText({TR.left, TR.top, TR.right - 10, TR.bottom}, keys, kDtRight);
}

ColorValue TXPStyle::TopMenuFontColor(ColorValue color) const {
    const auto v = static_cast<uint32_t>(colors::resolve(color));
    const int red = int(v & 0xFF), green = int((v >> 8) & 0xFF), blue = int((v >> 16) & 0xFF);
    if ((red + blue) / 2 > 150 || green > 200)
        return colors::resolve(font_.color);
    return NewColor(color, 90);
}

void TXPStyle::DrawGradient(XPCanvas& canvas, Edges rect, bool rightToLeft) const {
    // From the icon colour to near white: quickly across the icon column, slowly after it.
    int level = 0;
    const auto column = [&](int x, bool iconZone) {
        level = std::min(level + (iconZone ? 3 : 1), 96);
        canvas.setBrush(NewColor(palette_.IconColumnColor, level, canvas.depth()));
        canvas.fillRect({x, rect.top, x + 1, rect.bottom});
    };
    if (rightToLeft) {
        for (int x = rect.right - 1; x >= rect.left - 1; --x)
            column(x, rect.right - iconWidth_ + 5 < x && x < rect.right);
    } else {
        for (int x = rect.left; x <= rect.right; ++x)
            column(x, rect.left < x && x < rect.left + iconWidth_ + 5);
    }
}

void TXPStyle::DrawWindowBorder(XPCanvas& canvas, Edges W, bool rightToLeft) const {
    const XPPalette& p = palette_;
    canvas.setBrushClear();
    W.right -= 2;
    W.bottom -= 2;
    canvas.setPen(p.MenuFrameColor);
    canvas.rectangle(W);
    if (rightToLeft) {
        canvas.setPen(p.MenuBackColor);
        canvas.rectangle({W.left + 1, W.top + 1, W.right - 2, W.top + 3});
        canvas.moveTo(W.left + 2, W.top + 2);
        canvas.lineTo(W.left + 2, W.bottom - 2);
        canvas.setPen(p.IconColumnColor);
        canvas.moveTo(W.right - 2, W.top + 2);
        canvas.lineTo(W.right - 2, W.bottom - 2);
        canvas.moveTo(W.right - 2, W.top + 2);
        canvas.lineTo(W.right - 1 - iconWidth_, W.top + 2);
    } else {
        if (!gradient_) {
            canvas.setPen(p.MenuBackColor);
            canvas.rectangle({W.left + 1, W.top + 1, W.right - 1, W.top + 3});
            canvas.setPen(p.IconColumnColor);
            canvas.moveTo(W.left + 1, W.top + 2);
            canvas.lineTo(W.left + 3 + iconWidth_, W.top + 2);
        } else {
            DrawGradient(canvas, {W.left + 1, W.top + 1, W.right - 3, W.top + 3}, false);
            canvas.setBrushClear();
        }
        canvas.setPen(p.IconColumnColor);
        canvas.rectangle({W.left + 1, W.top + 2, W.left + 3, W.bottom - 1});
    }
    W.right += 2;
    W.bottom += 2;
    canvas.setPen(p.MenuShadowColor);
    canvas.rectangle({W.left + 2, W.bottom - 2, W.right, W.bottom});
    canvas.rectangle({W.right - 2, W.top + 2, W.right, W.bottom});
    // The two corners the shadow leaves out.
    canvas.setPen(colors::systemColorValue(colors::kButtonFace));
    canvas.rectangle({W.left, W.bottom - 2, W.left + 2, W.bottom});
    canvas.rectangle({W.right - 2, W.top, W.right, W.top + 2});
}

} // namespace stikko
