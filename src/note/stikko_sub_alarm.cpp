// The note's alarm. While it waits, timCheck looks every 30 s whether its moment has come;
// once it has, the note rings: the title bar swaps its colours every second and the sound
// plays at once and again every alram_repeat minutes. Only one sound plays at a time across
// all notes (the shared isplaying flag); a note that finds the player busy blinks silently
// until its next repeat. A note that starts ringing comes to the front without the focus,
// and the desktop is told which note rings. Ringing ends only by closing the note or by the
// settings dialog, after which ArmAlarm decides anew.

#include "note/alarmclock.h"
#include "note/notedefaults.h"
#include "note/notehost.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/alarmsound.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/oldpaths.h"
#include "store/dm.h"

#include <QFileInfo>
#include <QLabel>
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

void TfrmStikko_sub::buildAlarm() {
    // The player comes with the first sound: most notes never ring.
    connect(timCheck, &QTimer::timeout, this, &TfrmStikko_sub::timCheckTimer);
    connect(timCheckRepeat, &QTimer::timeout, this, &TfrmStikko_sub::timCheckRepeatTimer);
}

void TfrmStikko_sub::ArmAlarm() {
    isringing = false;
    timCheck->stop();
    timCheckRepeat->stop();
    // The caption shows the body's first line until the next change near the top.
    if (lineCount() > 0)
        setCaption(lineText(0));
    imgTime->setVisible(record.isalram == 1);
    layoutTitleBar();
    if (record.isalram != 1)
        return;

    // A moment that cannot be read leaves the alarm unarmed, with the clock still shown.
    const std::optional<QDateTime> moment = alarmMoment(record);
    if (!moment)
        return;
    if (*moment > env::now())
        timCheck->start(alarmclock::kCheckIntervalMs);
    else
        startRinging();
}

void TfrmStikko_sub::startRinging() {
    PlayAlarmSound();
    timCheck->stop();
    isringing = true;
    timCheck->start(alarmclock::kBlinkIntervalMs);
    timCheckRepeat->stop();
    // No repeat for zero minutes: a timer of interval 0 would fire without pause.
    if (const int interval = alarmclock::repeatIntervalMs(record.alram_repeat); interval > 0)
        timCheckRepeat->start(interval);
    // A ringing note behind other windows could go unnoticed: it comes to the front, leaving
    // the focus where it is, and the desktop says which note rings. Both wait until the window
    // is shown and titled (a note may start ringing while it is being opened).
    QTimer::singleShot(0, this, [this] {
        if (!isringing || isclosed)
            return;
        bringToFront(false);
        if (host_)
            host_->noteRinging(this);
    });
}

void TfrmStikko_sub::timCheckTimer() {
    if (isringing) {
        blinkTitle();
        return;
    }
    // An alarm switched off or a moment that became unreadable (the settings dialog edits the
    // record while it is open) waits for the next ArmAlarm instead of ringing.
    if (record.isalram != 1)
        return;
    const std::optional<QDateTime> moment = alarmMoment(record);
    if (moment && *moment <= env::now())
        startRinging();
}

void TfrmStikko_sub::blinkTitle() {
    const QColor background = pnTitle->color();
    QPalette pal = labTitle->palette();
    const QColor text = pal.color(QPalette::WindowText);
    pnTitle->setColor(text);
    pal.setColor(QPalette::WindowText, background);
    labTitle->setPalette(pal);
}

void TfrmStikko_sub::timCheckRepeatTimer() {
    if (isringing)
        PlayAlarmSound();
}

void TfrmStikko_sub::PlayAlarmSound() {
    const NoteRecord& defaults = noteDefaults();
    if (defaults.is_sound == 0 || playingFlag() || !env::current().hasSoundOutput())
        return;
    // The note's own sound, else the defaults' sound, else the shipped one. A path from the
    // Windows program stands for the sound of the same name in sound/; what is stored stays.
    const QString soundFolder = env::programFolder() + QLatin1String(kSoundFolder);
    QString path = oldpaths::firstExistingFile({cp949::fieldText(record.sound_file),
                                                cp949::fieldText(defaults.sound_file),
                                                soundFolder + QStringLiteral("alram.wav")},
                                               soundFolder);
    if (path.isEmpty())
        path = cp949::fieldText(defaults.sound_file);
    if (!mpAlram) {
        mpAlram = env::current().createSoundPlayer(this);
        mpAlram->setObjectName(QStringLiteral("mpAlram"));
        connect(mpAlram, &sound::Player::finished, this, &TfrmStikko_sub::mpAlramNotify);
    }
    // A file that cannot be opened plays nothing and leaves the player free for the others.
    if (!mpAlram->play(path))
        return;
    soundPlaying_ = true;
    playingFlag() = true;
}

void TfrmStikko_sub::mpAlramNotify() {
    // Also run when the window closes, so a sound cut short frees the player for the others.
    if (mpAlram)
        mpAlram->stop();
    if (soundPlaying_) {
        soundPlaying_ = false;
        playingFlag() = false;
    }
}

} // namespace stikko
