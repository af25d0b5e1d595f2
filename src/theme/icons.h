#pragma once
// Pictures the program draws itself: the menu image list, tool-bar and title-bar pictures,
// the tray icon. Drawn with QPainter at whatever size and pixel ratio they are shown at (see
// paintedIcon); no image files are needed.

#include <QIcon>

namespace stikko::icons {

// 16 x 16 pictures of the menu image list `ilEdit`, by index:
//  1 indent/bullets, 3 copy, 4 cut, 5 paste, 6 underline, 7 bold, 8 font, 9 italic, 10 print,
// 11 hide / exit, 12 delete, 13 settings, 14 alarm, 15 hide, 16 about, 17 home page, 18 all notes.
// Indexes 0 and 2 are text colour and undo. Any other index gives a null icon.
QIcon editIcon(int index);

// The program's icon (notification area, launcher, windows): a yellow note with a pin, drawn on
// a 48-unit grid; it offers the sizes a desktop asks for, 16 to 256.
QIcon trayIcon();

// The same picture at the two small sizes a title bar and a window list show: the icon every
// window of the program carries. Each window carries its icon's pixels with it on the display,
// and there may be hundreds of notes; the full set of sizes cost the display about 350 KB
// (and the program the time to send it) per note.
QIcon windowIcon();

} // namespace stikko::icons
