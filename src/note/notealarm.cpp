#include "note/notealarm.h"

#include "note/alarmclock.h"
#include "note/notedefaults.h"
#include "platform/alarmsound.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/oldpaths.h"
#include "store/dm.h"

#include <QTimer>

namespace stikko {

namespace {

// The one-sound-at-a-time flag; the data module holds it. Without one (a window living
// outside the program) a flag of its own keeps the same rule.
bool& playingFlag() {
    static bool standalone = false;
    return Dm ? Dm->isplaying : standalone;
}

std::optional<QDateTime> alarmMoment(const NoteRecord& record) {
    return alarmclock::parseMoment(cp949::fieldBytes(record.alram_datetime));
}

} // namespace

NoteAlarm::NoteAlarm(const NoteRecord& record, QObject* parent)
    : QObject(parent), record_(record), check_(new QTimer(this)), repeat_(new QTimer(this)) {
    connect(check_, &QTimer::timeout, this, &NoteAlarm::checkNow);
    connect(repeat_, &QTimer::timeout, this, &NoteAlarm::repeatNow);
}

NoteAlarm::~NoteAlarm() {
    soundEnded(); // a sound still playing must not keep the other notes silent
}

NoteAlarm::Setting NoteAlarm::setting() const {
    return {record_.isalram, cp949::fieldBytes(record_.alram_datetime).toByteArray(), record_.alram_repeat};
}

void NoteAlarm::follow() {
    if (setting() != armed_)
        arm();
}

void NoteAlarm::arm() {
    armed_ = setting();
    ringing_ = false;
    check_->stop();
    repeat_->stop();
    if (record_.isalram != 1)
        return;
    const std::optional<QDateTime> moment = alarmMoment(record_);
    if (!moment)
        return;
    if (*moment > env::now())
        check_->start(alarmclock::kCheckIntervalMs);
    else
        startRinging();
}

void NoteAlarm::stop() {
    ringing_ = false;
    check_->stop();
    repeat_->stop();
    soundEnded(); // the sound ends with the ringing and frees the player
}

void NoteAlarm::startRinging() {
    playSound();
    ringing_ = true;
    check_->start(alarmclock::kBlinkIntervalMs);
    repeat_->stop();
    // No repeat for zero minutes: a timer of interval 0 would fire without pause.
    if (const int interval = alarmclock::repeatIntervalMs(record_.alram_repeat); interval > 0)
        repeat_->start(interval);
    emit ringingStarted();
}

void NoteAlarm::checkNow() {
    if (ringing_) {
        emit blink();
        return;
    }
    // An alarm switched off, or a moment that became unreadable, waits for the next arm()
    // instead of ringing.
    if (record_.isalram != 1)
        return;
    const std::optional<QDateTime> moment = alarmMoment(record_);
    if (moment && *moment <= env::now())
        startRinging();
}

void NoteAlarm::repeatNow() {
    if (ringing_)
        playSound();
}

void NoteAlarm::playSound() {
    const NoteRecord& defaults = noteDefaults();
    if (defaults.is_sound == 0 || playingFlag() || !env::current().hasSoundOutput())
        return;
    // The note's own sound, else the defaults' sound, else the shipped one. A path from the
    // Windows program stands for the sound of the same name in sound/; what is stored stays.
    const QString soundFolder = env::programFolder() + QLatin1String(kSoundFolder);
    QString path = oldpaths::firstExistingFile({cp949::fieldText(record_.sound_file),
                                                cp949::fieldText(defaults.sound_file),
                                                soundFolder + QStringLiteral("alram.wav")},
                                               soundFolder);
    if (path.isEmpty())
        path = cp949::fieldText(defaults.sound_file);
    if (!player_) {
        player_ = env::current().createSoundPlayer(this);
        player_->setObjectName(QStringLiteral("mpAlram"));
        connect(player_, &sound::Player::finished, this, &NoteAlarm::soundEnded);
    }
    // A file that cannot be opened plays nothing and leaves the player free for the others.
    if (!player_->play(path))
        return;
    soundPlaying_ = true;
    playingFlag() = true;
}

void NoteAlarm::soundEnded() {
    if (player_)
        player_->stop();
    if (soundPlaying_) {
        soundPlaying_ = false;
        playingFlag() = false;
    }
}

} // namespace stikko
