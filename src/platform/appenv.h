#pragma once
// The three facts about the outside world that the notes depend on: the program folder,
// the size of the screen's work area and the clock. The application sets them up at start;
// tests fix them so that paths, placements and alarms are predictable.

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

namespace stikko::env {

// The executable's folder, always ending in '/'.
QString programFolder();
void setProgramFolder(const QString& folder);

// Width and height of the primary screen's work area (the desktop less panels).
QSize workArea();
// Fixes the work area; an invalid size goes back to asking the screen.
void setWorkArea(const QSize& size);
// The available areas of all screens, in desktop coordinates; with a fixed work area, that
// area at the origin.
QList<QRect> screenAreas();

// The local date and time.
QDateTime now();
// Replaces the clock; an empty function goes back to the system clock.
void setClock(std::function<QDateTime()> clock);

} // namespace stikko::env
