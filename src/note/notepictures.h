#pragma once
// The pictures of a note window's title bar and grips, drawn with QPainter at the screen's
// pixel ratio: the maker's mark (26 x 16), the alarm clock, the enlarge/shrink box, the resize
// grip and the two marks of a note whose files are in trouble (16 x 16 each).

#include <QIcon>

namespace stikko::notepictures {

QIcon makerMark();    // imgZem
QIcon alarmClock();   // imgTime
QIcon maximize();     // imgMax
QIcon sizeGrip();     // imgSize and Image1
QIcon unsavedMark();  // imgMark: text not yet on disk, a write failed
QIcon readOnlyMark(); // imgMark: a file could not be read, the note is only shown

} // namespace stikko::notepictures
