#pragma once
// The pictures of a note window's title bar and grips, drawn once with QPainter: the maker's
// mark (26 x 16), the alarm clock, the enlarge/shrink box and the resize grip (16 x 16 each).

#include <QPixmap>

namespace stikko::notepictures {

QPixmap makerMark();  // imgZem
QPixmap alarmClock(); // imgTime
QPixmap maximize();   // imgMax
QPixmap sizeGrip();   // imgSize and Image1

} // namespace stikko::notepictures
