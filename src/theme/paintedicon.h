#pragma once
// Pictures the program draws itself, as icons that are painted afresh for every size and
// device pixel ratio they are shown at: on a screen at scale 2 a 16 x 16 picture is drawn
// with 32 x 32 pixels instead of being enlarged, so it stays crisp.

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPainterPath>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace stikko {

// The colours every picture the program draws is made of: one dark ink for outlines and
// letters, paper and a pale fill, and a few accents.
namespace ink {
inline const QColor kInk(0x3c, 0x46, 0x50);
inline const QColor kPaper(0xff, 0xff, 0xff);
inline const QColor kPale(0xe4, 0xea, 0xf0);
inline const QColor kBlue(0x2f, 0x7f, 0xd0);
inline const QColor kRed(0xd9, 0x46, 0x3e);
inline const QColor kGreen(0x3a, 0x9a, 0x4a);
inline const QColor kYellow(0xff, 0xd8, 0x4a);
inline const QColor kYellowEdge(0xc8, 0x9b, 0x12);
} // namespace ink

// The outline of a sticky note in `box` whose bottom-right corner is cut off by `fold` units:
// the program's own sign, in the tray icon and the title bar's maker mark.
QPainterPath foldedNote(const QRectF& box, qreal fold);

// `paint` draws the picture on a grid of `grid` units (antialiasing is on). `name` tells the
// pictures apart in the pixmap cache. `sizes`: what availableSizes() answers (default: the grid).
QIcon paintedIcon(const QString& name, QSize grid, std::function<void(QPainter&)> paint,
                  QList<QSize> sizes = {});

} // namespace stikko
