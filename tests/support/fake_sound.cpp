#include "support/fake_sound.h"

namespace stikko::test {

bool FakePlayer::play(const QString& path) {
    playing_ = false;
    if (sound_->refuse)
        return false;
    playing_ = true;
    sound_->plays << path;
    return true;
}

void FakePlayer::finish() {
    if (!playing_)
        return;
    playing_ = false;
    emit finished();
}

FakePlayer* FakeSound::createPlayer(QObject* parent) {
    auto* player = new FakePlayer(this, parent);
    players << player;
    return player;
}

int FakeSound::playingNow() const {
    int n = 0;
    for (const auto& p : players)
        if (p && p->isPlaying())
            ++n;
    return n;
}

void FakeSound::finishAll() {
    const auto current = players;
    for (const auto& p : current)
        if (p)
            p->finish();
}

} // namespace stikko::test
