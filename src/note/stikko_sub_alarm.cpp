// The note's alarm. Showing a note and closing its settings run ArmAlarm: it resets the
// alarm state and shows the clock picture exactly while the alarm is switched on.

#include "note/notewidgets.h"
#include "note/stikko_sub.h"

#include <QTextDocument>
#include <QTimer>

namespace stikko {

void TfrmStikko_sub::ArmAlarm() {
    isringing = false;
    timCheck->stop();
    timCheckRepeat->stop();
    // The caption shows the body's first line until the next change near the top.
    if (lineCount() > 0)
        setCaption(lineText(0));
    imgTime->setVisible(record.isalram == 1);
    layoutTitleBar();
}

} // namespace stikko
