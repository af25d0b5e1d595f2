#pragma once
// The flat style's colour and bitmap helpers: darkening, lightening and greying of colour
// values, greying and fading of glyph images, a glyph's drop shadow, the two small glyphs the
// style draws (a drop-down arrow and a check mark), and the menu font. They keep no state.
// Every helper resolves a system colour argument first and returns plain 0x00BBGGRR values.
//
// Glyph images keep their transparency in the alpha channel: greying and fading change the
// colour of each pixel and leave its alpha as it was.

#include "theme/colors.h"
#include "theme/xpcanvas.h"

#include <QFont>
#include <QImage>

namespace stikko::xp {

// The system colours the style paints with, as colour values (resolved as they are painted).
inline constexpr ColorValue kButtonFace = colors::systemColorValue(colors::kButtonFace);
inline constexpr ColorValue kButtonShadow = colors::systemColorValue(colors::kButtonShadow);
inline constexpr ColorValue kHighlight = colors::systemColorValue(colors::kHighlight);
inline constexpr ColorValue kWindowColor = colors::systemColorValue(colors::kWindow);
inline constexpr ColorValue kMenuText = colors::systemColorValue(colors::kMenuText);
inline constexpr ColorValue kInactiveCaption = colors::systemColorValue(colors::kInactiveCaption);

// To the nearest integer, an exact half to the even neighbour (2.5 -> 2, 3.5 -> 4).
int roundHalfEven(double value);

// The colour a device of `depth` bits per pixel shows for a plain RGB value: the value itself
// on devices of more than 8 bits, else the nearest of the 20 colours every palette device
// keeps (the 16 basic ones and four light greys and tints).
ColorValue nearestColor(ColorValue rgb, int depth);

// Darker by `level` channel steps, green by two steps less; a negative level lightens. Each
// channel is clamped to 0..255.
ColorValue GetShadeColor(ColorValue color, int level);
// `level` per cent of the way to white (above 100 counts as 100), as a device of `depth`
// bits per pixel shows it.
ColorValue NewColor(ColorValue color, int level, int depth = 32);
// The grey of the same brightness, raised by `level` and capped at 240.
ColorValue GrayColor(ColorValue color, int level);

// Every pixel to its GrayColor / NewColor; the image becomes 32-bit ARGB if it is not.
void GrayBitmap(QImage& image, int level);
void DimBitmap(QImage& image, int level);

// The image's silhouette in `shadow` at (x, y): pixels with alpha cover the target in that
// colour with their alpha; in an image without alpha, every pixel whose colour differs from
// the bottom-left one does.
void DrawBitmapShadow(const QImage& image, XPCanvas& canvas, int x, int y, ColorValue shadow);

// A solid downward triangle 5 pixels wide and 3 high with its top-left corner at (x, y).
void DrawArrow(XPCanvas& canvas, int x, int y);
// A check mark three pixels thick over columns x + 2 .. x + 8 and rows y - 9 .. y - 3.
void DrawCheckMark(XPCanvas& canvas, int x, int y);

// A font with its colour, as the style's menu text is given.
struct MenuFont {
    QFont font;
    ColorValue color = kBlack;
};

// The desktop's menu font in the menu-text colour; unchanged while there is no application to
// ask.
void GetSystemMenuFont(MenuFont& font);

} // namespace stikko::xp
