#include "platform/alarmsound.h"

#include <QAudioDevice>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <limits>
#include <optional>

namespace stikko::sound {

namespace {

// How long a WAV file's sound lasts, from its header; nothing when the file is not a RIFF
// WAVE file with a format and a data chunk. A data size larger than the file (a header
// written for streaming) counts what the file holds.
std::optional<qint64> wavDurationMs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return std::nullopt;
    auto le32 = [](const QByteArray& b, int at) {
        return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
               quint32(uchar(b[at + 3])) << 24;
    };
    quint32 byteRate = 0;
    while (true) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return std::nullopt;
        const quint32 size = le32(chunk, 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(16);
            if (fmt.size() < 16)
                return std::nullopt;
            byteRate = le32(fmt, 8);
            if (!file.seek(file.pos() + qint64(size) - 16 + (size & 1)))
                return std::nullopt;
        } else if (chunk.startsWith("data")) {
            if (byteRate == 0)
                return std::nullopt;
            const qint64 held = std::min<qint64>(size, file.size() - file.pos());
            return held * 1000 / byteRate;
        } else if (!file.seek(file.pos() + qint64(size) + (size & 1))) {
            return std::nullopt;
        }
    }
}

// Time allowed beyond a sound's own length for loading it and for the output to drain.
constexpr int kReportGraceMs = 5000;

// Plays through QSoundEffect. Loading is asynchronous: an unreadable or undecodable file, or
// an output that cannot be opened, shows up later as the Error status, and the end of the
// sound as the playing flag going down. Either one is the completion report. Each sound gets
// its own effect object, so a late signal of an earlier sound can never end a later one.
// Some failures never report at all (no output device; a sample the cache remembers as
// broken stays "loading"), so a sound that has not reported by the end of its own length plus
// a grace time is ended here.
class EffectPlayer : public Player {
  public:
    explicit EffectPlayer(QObject* parent) : Player(parent) {
        watchdog_.setSingleShot(true);
        connect(&watchdog_, &QTimer::timeout, this, [this] {
            if (effect_)
                ended();
        });
    }
    ~EffectPlayer() override { discard(); }

    bool play(const QString& path) override {
        discard();
        const QFileInfo info(path);
        if (!info.isFile() || !info.isReadable())
            return false;
        const std::optional<qint64> length = wavDurationMs(info.absoluteFilePath());
        if (!length)
            return false;

        auto* effect = new QSoundEffect(this);
        effect_ = effect;
        starting_ = true;
        failedWhileStarting_ = false;
        connect(effect, &QSoundEffect::statusChanged, this, [this, effect] {
            if (effect == effect_ && effect->status() == QSoundEffect::Error)
                ended();
        });
        connect(effect, &QSoundEffect::playingChanged, this, [this, effect] {
            if (effect == effect_ && !effect->isPlaying())
                ended();
        });
        effect->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
        effect->play();
        starting_ = false;
        // A sample the cache already knew to be broken fails at once, inside the calls above.
        if (failedWhileStarting_ || effect->status() == QSoundEffect::Error ||
            effect->status() == QSoundEffect::Null) {
            discard();
            return false;
        }
        watchdog_.start(int(std::min<qint64>(*length + kReportGraceMs, std::numeric_limits<int>::max())));
        return true;
    }

    void stop() override { discard(); }

    bool isPlaying() const override { return effect_ != nullptr; }

  private:
    void ended() {
        if (starting_) {
            failedWhileStarting_ = true;
            return;
        }
        discard();
        emit finished();
    }

    // Forgets the current effect; it is stopped and freed once control is back in the event
    // loop, because this may run inside one of its own signals.
    void discard() {
        watchdog_.stop();
        QSoundEffect* effect = effect_;
        effect_ = nullptr;
        if (!effect)
            return;
        disconnect(effect, nullptr, this, nullptr);
        effect->stop();
        effect->deleteLater();
    }

    QPointer<QSoundEffect> effect_;
    QTimer watchdog_;
    bool starting_ = false;
    bool failedWhileStarting_ = false;
};

} // namespace

bool hasOutputDevice() {
    return !QMediaDevices::audioOutputs().isEmpty();
}

Player* createPlayer(QObject* parent) {
    return new EffectPlayer(parent);
}

} // namespace stikko::sound
