#pragma once
// Small pictures of the settings dialog, drawn at the screen's pixel ratio: tab icons, the colour-button and
// browse pictures, the alarm page's calendar-and-stopwatch icon and its hourglass.

#include <QPixmap>

namespace stikko::configpictures {

// 16 x 16 tab icons: 0 colours, 1 alarm, 2 ring tone.
QPixmap tabIcon(int page);
// 14 x 14 picture of the colour buttons.
QPixmap colorButton();
// 14 x 14 picture of the browse button.
QPixmap browse();
// 32 x 32 calendar with a stopwatch.
QPixmap alarmIcon();
// 114 x 99 hourglass.
QPixmap hourglass();

} // namespace stikko::configpictures
