#pragma once
// Pictures the program draws itself: the menu image list, tool-bar and title-bar pictures,
// the tray icon. Drawn once with QPainter and cached; no image files are needed.

#include <QIcon>
#include <QPixmap>

namespace stikko::icons {

// 16 x 16 pictures of the menu image list `ilEdit`, by index:
//  1 indent/bullets, 3 copy, 4 cut, 5 paste, 6 underline, 7 bold, 8 font, 9 italic, 10 print,
// 11 hide / exit, 12 delete, 13 settings, 14 alarm, 15 hide, 16 about, 17 home page, 18 all notes.
// Indexes 0 and 2 are text colour and undo. Any other index gives a null pixmap.
QPixmap editIcon(int index);

// The notification-area icon, with 32 x 32 and 48 x 48 images.
QIcon trayIcon();

} // namespace stikko::icons
