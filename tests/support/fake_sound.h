#pragma once
// Sound without a sound server: the test environment (TestEnv) gives note windows players that
// only record what they were asked to play, and its output check answers `device`.

#include "platform/alarmsound.h"

#include <QList>
#include <QPointer>
#include <QStringList>

namespace stikko::test {

class FakeSound;

class FakePlayer : public sound::Player {
    Q_OBJECT
  public:
    FakePlayer(FakeSound* sound, QObject* parent) : sound::Player(parent), sound_(sound) {}
    bool play(const QString& path) override;
    void stop() override { playing_ = false; }
    bool isPlaying() const override { return playing_; }
    // The end of the sound: the completion report, if a sound is playing.
    void finish();

  private:
    FakeSound* sound_;
    bool playing_ = false;
};

class FakeSound {
  public:
    FakeSound() = default;
    FakeSound(const FakeSound&) = delete;
    FakeSound& operator=(const FakeSound&) = delete;

    // A new player owned by `parent`, listed in `players`.
    FakePlayer* createPlayer(QObject* parent);

    bool device = true;  // the system has a sound output
    bool refuse = false; // players cannot open any file
    QStringList plays;   // every sound started, by path
    QList<QPointer<FakePlayer>> players;

    // Players that are playing now.
    int playingNow() const;
    // Ends every sound in progress, as the players would when the sounds are over.
    void finishAll();
};

} // namespace stikko::test
