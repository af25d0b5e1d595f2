#pragma once
// The facts about the outside world that the notes depend on: the program folder, the folder
// the notes are kept in, the size of the screen's work area and the clock. The application
// sets them up at start; tests fix them so that paths, placements and alarms are predictable.

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

// The folder that holds data/, the defaults file system/default_config.ini and whatever else
// is kept beside data/. It is the program folder, unless the program cannot write there (an
// installed program): then it is the user's data folder ($XDG_DATA_HOME/stikko/), laid out the
// same way. Always ends in '/'.
QString storageFolder();
// Fixes the storage folder; empty = the program folder.
void setStorageFolder(const QString& folder);
// Chooses the storage folder at start, as storageFolder() describes. Moving to the user's data
// folder makes it and seeds its defaults file with a copy of the program folder's, unless one
// is there. Returns the folder chosen; `error` tells why the user's folder could not be made
// or seeded (the folder is chosen all the same, and saving reports what fails).
QString settleStorageFolder(QString* error = nullptr);

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
