#pragma once
// A note's alarm. While it waits, it looks every 30 s whether its moment has come; once it has,
// the note rings: the title bar swaps its colours every second and the sound plays at once and
// again every alram_repeat minutes. Only one sound plays at a time across all notes (the data
// module's isplaying flag); a note that finds the player busy blinks silently until its next
// repeat. Ringing ends only by closing the note or by arming the alarm anew (the settings
// dialog), which decides from the record again.

#include <QByteArray>
#include <QObject>
#include <cstdint>

class QTimer;

namespace stikko {

struct NoteRecord;

namespace sound {
class Player;
}

class NoteAlarm : public QObject {
    Q_OBJECT
  public:
    // `record` is the note's own; every check reads it afresh. It outlives the alarm.
    NoteAlarm(const NoteRecord& record, QObject* parent);
    ~NoteAlarm() override;

    // Decides from the record: off, waiting for the moment, or ringing at once. A moment that
    // cannot be read leaves the alarm off.
    void arm();
    // The record was taken anew from its files: the alarm decides again only when its own
    // fields changed, else it goes on waiting or ringing as it was (no second sound).
    void follow();
    // Stops waiting, blinking and sounding.
    void stop();
    bool ringing() const { return ringing_; }

    // The due check while waiting, the blink while ringing (every kCheckIntervalMs, then every
    // kBlinkIntervalMs); and the sound's repeat.
    QTimer* checkTimer() const { return check_; }
    QTimer* repeatTimer() const { return repeat_; }
    void checkNow();
    void repeatNow();

  signals:
    // The moment has come: the note should come to the front and say so.
    void ringingStarted();
    // Time to swap the title bar's colours.
    void blink();

  private:
    void startRinging();
    void playSound();
    // The sound is over (or cut short): the player is free for the other notes.
    void soundEnded();

    // What arm() decided from: the switch, the moment and the repeat.
    struct Setting {
        int32_t on = 0;
        QByteArray moment;
        int32_t repeat = 0;
        friend bool operator==(const Setting&, const Setting&) = default;
    };
    Setting setting() const;

    const NoteRecord& record_;
    Setting armed_;
    QTimer* check_ = nullptr;
    QTimer* repeat_ = nullptr;
    sound::Player* player_ = nullptr; // made with the first sound: most notes never ring
    bool ringing_ = false;
    bool soundPlaying_ = false; // this note's sound holds the shared flag
};

} // namespace stikko
