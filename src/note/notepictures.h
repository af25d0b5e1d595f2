#pragma once
// The pictures of a note window's title bar and grips, drawn once with QPainter: the maker's
// mark (26 x 16), the alarm clock, the enlarge/shrink box, the resize grip and the two marks of
// a note whose files are in trouble (16 x 16 each).

#include <QPixmap>

namespace stikko::notepictures {

QPixmap makerMark();  // imgZem
QPixmap alarmClock(); // imgTime
QPixmap maximize();   // imgMax
QPixmap sizeGrip();   // imgSize and Image1
QPixmap unsavedMark();  // imgMark: text not yet on disk, a write failed
QPixmap readOnlyMark(); // imgMark: a file could not be read, the note is only shown

} // namespace stikko::notepictures
