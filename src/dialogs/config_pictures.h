#pragma once
// Small pictures of the settings dialog, drawn for the pixel ratio they are shown at: tab icons,
// the colour-button and browse pictures, the alarm page's calendar-and-stopwatch icon and its
// hourglass.

#include <QIcon>

namespace stikko::configpictures {

// 16 x 16 tab icons: 0 colours, 1 alarm, 2 ring tone.
QIcon tabIcon(int page);
// 14 x 14 picture of the colour buttons.
QIcon colorButton();
// 14 x 14 picture of the browse button.
QIcon browse();
// 32 x 32 calendar with a stopwatch.
QIcon alarmIcon();
// 114 x 99 hourglass.
QIcon hourglass();

} // namespace stikko::configpictures
