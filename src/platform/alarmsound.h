#pragma once
// The alarm's sound: a player for one WAV file at a time that reports when the sound is over,
// and the question whether the system has a sound output at all. Both go through replaceable
// hooks so that tests can count the sounds without a sound server.

#include <QObject>
#include <QString>
#include <functional>

namespace stikko::sound {

class Player : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Starts `path` from its beginning, silently ending what this player was playing. False
    // when the file cannot be opened: nothing plays then and no report follows. After true,
    // finished() follows exactly once — when the sound has ended or turned out unplayable —
    // unless stop() comes first. It is never emitted from inside play().
    virtual bool play(const QString& path) = 0;
    // Ends the sound at once; no finished() follows.
    virtual void stop() = 0;
    // Between a successful play() and its finished() or stop().
    virtual bool isPlaying() const = 0;

  signals:
    void finished();
};

// True when the system offers at least one sound output.
bool hasOutputDevice();

// A new player owned by `parent`, from the factory in use (Qt Multimedia unless replaced).
Player* createPlayer(QObject* parent);

// Replaces the output check; an empty function asks the system again.
void setOutputDeviceCheck(std::function<bool()> check);
// Replaces the player factory; an empty function goes back to Qt Multimedia.
void setPlayerFactory(std::function<Player*(QObject* parent)> factory);

} // namespace stikko::sound
