#pragma once
// Pictures the program draws itself, as icons that are painted afresh for every size and
// device pixel ratio they are shown at: on a screen at scale 2 a 16 x 16 picture is drawn
// with 32 x 32 pixels instead of being enlarged, so it stays crisp.

#include <QIcon>
#include <QList>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace stikko {

// `paint` draws the picture on a grid of `grid` units (antialiasing is on). `name` tells the
// pictures apart in the pixmap cache. `sizes`: what availableSizes() answers (default: the grid).
QIcon paintedIcon(const QString& name, QSize grid, std::function<void(QPainter&)> paint,
                  QList<QSize> sizes = {});

} // namespace stikko
