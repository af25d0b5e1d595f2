#pragma once
// The world outside the program as the notes see it: the program folder and the folder the notes
// are kept in, the clocks, the screens' work areas, the notification area, the sound output and
// the call that puts bytes into files. The program asks the system through Environment's own
// answers; a test puts an Environment of its own in place, together with its dialogs, with one
// Override, so that paths, placements, alarms and failures are predictable.

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class QObject;

namespace stikko {

class Dialogs;

namespace sound {
class Player;
}

namespace env {

class Environment {
  public:
    virtual ~Environment() = default;

    // The local date and time.
    virtual QDateTime now() const;
    // Milliseconds of a clock that only goes forward; for delays, not for dates.
    virtual qint64 steadyMs() const;
    // Width and height of the primary screen's work area (the desktop less panels).
    virtual QSize workArea() const;
    // The available areas of all screens, in desktop coordinates.
    virtual QList<QRect> screenAreas() const;
    // Whether the desktop has a notification area now.
    virtual bool trayAvailable() const;
    // Whether the system has a sound output, and a new player for the alarm's sound.
    virtual bool hasSoundOutput() const;
    virtual sound::Player* createSoundPlayer(QObject* parent) const;
    // Puts bytes into an open file: like ::write, how many were written (possibly fewer than
    // asked) or -1 with errno set.
    virtual qint64 writeToFile(int fd, const char* data, qint64 size) const;

    // The folders, always ending in '/' (see programFolder() and storageFolder() below).
    QString programFolder;
    QString storageFolder;
};

// The environment in use: the system's unless an Override holds another.
Environment& current();

// While it lives, `environment` and `dialogs` answer in place of the system's.
class Override {
  public:
    Override(Environment& environment, Dialogs& dialogs);
    ~Override();
    Override(const Override&) = delete;
    Override& operator=(const Override&) = delete;

  private:
    Environment* oldEnvironment_;
    Dialogs* oldDialogs_;
};

// The executable's folder, always ending in '/'.
QString programFolder();
void setProgramFolder(const QString& folder);

// The folder that holds data/, the defaults file system/default_config.ini and whatever else
// is kept beside data/. It is the program folder, unless the program cannot write there and
// its data/ holds no notes (an installed program): then it is the user's data folder
// ($XDG_DATA_HOME/stikko/), laid out the same way. A data/ with notes that cannot be written
// stays the one used. Always ends in '/'.
QString storageFolder();
// Fixes the storage folder; empty = the program folder.
void setStorageFolder(const QString& folder);
// Chooses the storage folder at start, as storageFolder() describes. Moving to the user's data
// folder makes it and seeds its defaults file with a copy of the program folder's, unless one
// is there. Returns the folder chosen; `error` tells why the user's folder could not be made
// or seeded (the folder is chosen all the same, and saving reports what fails).
QString settleStorageFolder(QString* error = nullptr);

// The current environment's answers.
inline QDateTime now() {
    return current().now();
}
inline qint64 steadyMs() {
    return current().steadyMs();
}
inline QSize workArea() {
    return current().workArea();
}
inline QList<QRect> screenAreas() {
    return current().screenAreas();
}

} // namespace env
} // namespace stikko
