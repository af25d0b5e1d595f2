#pragma once
// The alarm's sound: a player for one WAV file at a time that reports when the sound is over,
// and the question whether the system has a sound output at all. The program asks both through
// env::current(), so that tests can count the sounds without a sound server.

#include <QObject>
#include <QString>

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

// A new Qt Multimedia player owned by `parent`.
Player* createPlayer(QObject* parent);

} // namespace stikko::sound
