// The note's alarm with a moved clock: when it rings, how it blinks, when its sound plays
// and when it stays silent, and how closing and the settings dialog end it.

#include "support/notefixture.h"

#include "note/notealarm.h"
#include "note/notetitlebar.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "store/dm.h"
#include "theme/colors.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <memory>

using namespace stikko;
using namespace stikko::test;

namespace {

constexpr const char* kId = kNoteId;
constexpr char kOther[] = "20040201_090503_08";

QByteArray stamp(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
}

// The settings dialog's part: the note's record with `change`, handed to the note as the
// dialog hands it.
void settle(TfrmStikko_sub* note, const std::function<void(NoteRecord&)>& change) {
    NoteRecord settings = note->record();
    change(settings);
    note->takeSettings(settings);
}

} // namespace

class NoteAlarmTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteFixture> f;
    QDateTime now;

    void setNow(const QDateTime& moment) {
        now = moment;
        f->env.setNow(moment);
    }
    void advance(int seconds) { setNow(now.addSecs(seconds)); }

    // Writes note `id` with an alarm, as the settings dialog would leave it.
    void writeNote(const char* id, int isalram, const QByteArray& moment, int repeat = 5,
                   const QByteArray& soundFile = QByteArray()) {
        QVERIFY(f->store(id, [&](NoteRecord& r) {
            r.isalram = isalram;
            cp949::copyToField(r.alram_datetime, moment);
            r.alram_repeat = repeat;
            cp949::copyToField(r.sound_file, soundFile);
        }));
    }
    TfrmStikko_sub* open(const char* id = kId) { return f->open(id); }
    QString soundPath(const QString& name) const { return f->env.folder() + QStringLiteral("sound/") + name; }
    QByteArray makeSound(const QString& name) const {
        const QString relative = QStringLiteral("sound/") + name;
        f->env.writeFile(relative, "RIFF");
        return f->env.path(relative).toUtf8();
    }
    QString defaultSound() const { return cp949::fieldText(f->dm->defaults.sound_file); }
    static QColor titleBackground(TfrmStikko_sub* note) { return part<Panel>(note, "pnTitle")->color(); }
    static QColor titleText(TfrmStikko_sub* note) { return note->titleBar()->captionColor(); }

  private slots:
    void init() {
        f = std::make_unique<NoteFixture>();
        setNow(TestEnv::fixedNow());
    }
    void cleanup() { f.reset(); }

    void futureAlarm_ringsAtTheFirstCheckAfterItsMoment() {
        writeNote(kId, 1, stamp(now.addSecs(10)));
        TfrmStikko_sub* note = open();
        QVERIFY(!note->alarm()->ringing());
        QVERIFY(note->titleBar()->isPictureShown(NoteTitleBar::Picture::Time));
        QVERIFY(note->alarm()->checkTimer()->isActive());
        QCOMPARE(note->alarm()->checkTimer()->interval(), 30000);
        QVERIFY(!note->alarm()->repeatTimer()->isActive());

        advance(9); // a check before the moment does nothing
        note->alarm()->checkNow();
        QVERIFY(!note->alarm()->ringing());
        QVERIFY(f->env.sound.plays.isEmpty());

        advance(21); // the next check, 30 s after showing
        note->alarm()->checkNow();
        QVERIFY(note->alarm()->ringing());
        QCOMPARE(f->env.sound.plays, QStringList{defaultSound()});
        QVERIFY(f->dm->isplaying);
        QCOMPARE(note->alarm()->checkTimer()->interval(), 1000);
        QVERIFY(note->alarm()->checkTimer()->isActive());
        QCOMPARE(note->alarm()->repeatTimer()->interval(), 5 * 60000);
        QVERIFY(note->alarm()->repeatTimer()->isActive());
    }

    void pastAlarm_ringsAtOnce_andTheTitleBlinksEverySecond() {
        const QByteArray own = makeSound(QStringLiteral("own.wav"));
        writeNote(kId, 1, stamp(now.addSecs(-3600)), 5, own);
        TfrmStikko_sub* note = open();
        QVERIFY(note->alarm()->ringing());
        QCOMPARE(f->env.sound.plays, QStringList{QString::fromUtf8(own)}); // the note's own file first

        const QColor background = colors::toQColor(note->record().titlebk_color);
        const QColor text = colors::toQColor(note->record().title_color);
        QCOMPARE(titleBackground(note), background);
        // The real timer swaps the colours after a second, and the next blink swaps them back.
        QTRY_COMPARE_WITH_TIMEOUT(titleBackground(note), text, 3000);
        QCOMPARE(titleText(note), background);
        note->alarm()->checkNow();
        QCOMPARE(titleBackground(note), background);
        QCOMPARE(titleText(note), text);
        QCOMPARE(f->env.sound.plays.size(), 1); // blinking plays nothing
        // It came to the front once shown, and the desktop was told which note rings.
        QVERIFY(note->heldInFront());
        QCOMPARE(f->host.rang, 1);
        // Ringing does not move or unfold the window, and the caption stays readable.
        QCOMPARE(note->pos(), QPoint(note->record().scr_x, note->record().scr_y));
    }

    void repeat_playsAgainAfterItsMinutes_andNotAtZero() {
        writeNote(kId, 1, stamp(now), 5);
        writeNote(kOther, 1, stamp(now), 0);
        TfrmStikko_sub* five = open(kId);
        QCOMPARE(f->env.sound.plays.size(), 1);
        f->env.sound.finishAll();
        QVERIFY(!f->dm->isplaying);

        TfrmStikko_sub* zero = open(kOther);
        QVERIFY(zero->alarm()->ringing());
        QVERIFY(!zero->alarm()->repeatTimer()->isActive()); // a zero interval would fire without pause
        QCOMPARE(f->env.sound.plays.size(), 2);
        f->env.sound.finishAll();

        QCOMPARE(five->alarm()->repeatTimer()->interval(), 300000);
        advance(300);
        five->alarm()->repeatNow();
        QCOMPARE(f->env.sound.plays.size(), 3);
        // A repeat while the note's own sound still plays adds nothing.
        five->alarm()->repeatNow();
        QCOMPARE(f->env.sound.plays.size(), 3);
    }

    void twoNotesDueTogether_playOneSound_theSecondAtItsNextFreeRepeat() {
        const QByteArray first = makeSound(QStringLiteral("first.wav"));
        const QByteArray second = makeSound(QStringLiteral("second.wav"));
        writeNote(kId, 1, stamp(now), 5, first);
        writeNote(kOther, 1, stamp(now), 5, second);
        TfrmStikko_sub* a = open(kId);
        TfrmStikko_sub* b = open(kOther);
        QVERIFY(a->alarm()->ringing());
        QVERIFY(b->alarm()->ringing()); // blinks silently
        QCOMPARE(f->env.sound.plays, QStringList{QString::fromUtf8(first)});
        QCOMPARE(f->env.sound.playingNow(), 1);

        b->alarm()->repeatNow(); // the player is still busy
        QCOMPARE(f->env.sound.plays.size(), 1);

        f->env.sound.finishAll(); // the first sound ends: its completion report frees the player
        QVERIFY(!f->dm->isplaying);
        advance(300);
        b->alarm()->repeatNow();
        QCOMPARE(f->env.sound.plays, QStringList({QString::fromUtf8(first), QString::fromUtf8(second)}));
        QVERIFY(f->dm->isplaying);
        // Only the window whose sound it was may free the player.
        a->alarm()->stop();
        QVERIFY(f->dm->isplaying);
    }

    void silentRinging_data() {
        QTest::addColumn<QString>("why");
        QTest::newRow("sounds switched off") << "switch";
        QTest::newRow("no sound output") << "device";
        QTest::newRow("file cannot be opened") << "refuse";
    }
    // The title blinks but no sound plays, and the player is left free for the others.
    void silentRinging() {
        QFETCH(QString, why);
        if (why == QLatin1String("switch"))
            f->dm->defaults.is_sound = 0; // the note's own is_sound is 1 and does not count
        else if (why == QLatin1String("device"))
            f->env.sound.device = false;
        else
            f->env.sound.refuse = true;
        writeNote(kId, 1, stamp(now.addSecs(-60)));
        TfrmStikko_sub* note = open();
        QCOMPARE(note->record().is_sound, 1);
        QVERIFY(note->alarm()->ringing());
        QVERIFY(note->alarm()->checkTimer()->isActive());
        QCOMPARE(note->alarm()->checkTimer()->interval(), 1000);
        QVERIFY(note->alarm()->repeatTimer()->isActive());
        QVERIFY(!f->dm->isplaying);
        note->alarm()->repeatNow();
        QVERIFY(!f->dm->isplaying);
        if (why != QLatin1String("refuse"))
            QVERIFY(f->env.sound.plays.isEmpty());

        // Once sound is possible again, the next repeat plays.
        f->dm->defaults.is_sound = 1;
        f->env.sound.device = true;
        f->env.sound.refuse = false;
        note->alarm()->repeatNow();
        QCOMPARE(f->env.sound.plays.size(), 1);
        QVERIFY(f->dm->isplaying);
    }

    void missingNoteSound_fallsBackToTheDefaultsSound() {
        writeNote(kId, 1, stamp(now), 5, f->env.path(QStringLiteral("sound/gone.wav")).toUtf8());
        open();
        QCOMPARE(f->env.sound.plays, QStringList{defaultSound()});
        QVERIFY(defaultSound().endsWith(QStringLiteral("sound/alram.wav")));
    }

    // Which file plays, from the note's and the defaults' stored paths and the files in the
    // program's sound/ folder. Paths from the Windows program stand for sound/ files of the
    // same name; `played` is relative to sound/ ("own:" = a file outside it).
    void soundToPlay_data() {
        QTest::addColumn<QString>("noteSound");
        QTest::addColumn<QString>("defaultsSound");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("played");
        const QString program = QStringLiteral("C:\\Program Files\\Orbindo\\Stikko\\.\\sound\\");
        const QString media = QStringLiteral("C:\\WINDOWS\\Media\\");
        QTest::newRow("own file") << QStringLiteral("own:") << media + QStringLiteral("ding.wav")
                                  << QStringList{QStringLiteral("alram.wav")} << QStringLiteral("own:");
        QTest::newRow("windows note, same name in sound/, any case")
            << program + QStringLiteral("Bell.WAV") << media + QStringLiteral("ding.wav")
            << QStringList{QStringLiteral("bell.wav"), QStringLiteral("alram.wav")}
            << QStringLiteral("bell.wav");
        QTest::newRow("windows note, name not there: the defaults' sound")
            << media + QStringLiteral("ding.wav") << QStringLiteral("own:")
            << QStringList{QStringLiteral("alram.wav")} << QStringLiteral("own:");
        QTest::newRow("both windows paths: the defaults' name in sound/")
            << media + QStringLiteral("ding.wav") << media + QStringLiteral("chimes.wav")
            << QStringList{QStringLiteral("chimes.wav"), QStringLiteral("alram.wav")}
            << QStringLiteral("chimes.wav");
        QTest::newRow("nothing found: the shipped sound")
            << program + QStringLiteral("bell.wav") << media + QStringLiteral("ding.wav")
            << QStringList{QStringLiteral("alram.wav")} << QStringLiteral("alram.wav");
        QTest::newRow("a missing Linux path is not taken by its name")
            << QStringLiteral("/gone/bell.wav") << media + QStringLiteral("ding.wav")
            << QStringList{QStringLiteral("bell.wav"), QStringLiteral("alram.wav")}
            << QStringLiteral("alram.wav");
    }
    void soundToPlay() {
        QFETCH(QString, noteSound);
        QFETCH(QString, defaultsSound);
        QFETCH(QStringList, present);
        QFETCH(QString, played);
        for (const QString& name : present)
            makeSound(name);
        QVERIFY(f->env.writeFile(QStringLiteral("elsewhere/own.wav"), "RIFF"));
        const auto resolve = [this](const QString& path) {
            return path == u"own:" ? f->env.path(QStringLiteral("elsewhere/own.wav")) : path;
        };
        const QByteArray stored = cp949::encode(resolve(noteSound));
        cp949::copyToField(f->dm->defaults.sound_file, cp949::encode(resolve(defaultsSound)));
        writeNote(kId, 1, stamp(now), 5, stored);
        TfrmStikko_sub* note = open();
        QCOMPARE(f->env.sound.plays.size(), 1);
        QCOMPARE(QDir::cleanPath(f->env.sound.plays.first()),
                 QDir::cleanPath(played.startsWith(u"own:") ? resolve(played) : soundPath(played)));
        // Only for playing: the record and its file keep the stored path.
        QCOMPARE(QByteArray(note->record().sound_file), stored);
        QVERIFY(f->env.readFile(QStringLiteral("data/%1.ini").arg(QLatin1String(kId)))
                    .contains("sound_file=" + stored));
    }

    void hiddenNote_doesNotRing_andRingsWhenShownAgain() {
        writeNote(kId, 1, stamp(now.addSecs(10)));
        TfrmStikko_sub* note = open();
        note->run(NoteCommand::Hide);
        flushDeletes();
        QVERIFY(f->notes.first().isNull());
        advance(3600);
        QCoreApplication::processEvents();
        QVERIFY(f->env.sound.plays.isEmpty());

        TfrmStikko_sub* again = open();
        QVERIFY(again->alarm()->ringing());
        QCOMPARE(f->env.sound.plays.size(), 1);
    }

    void alarmOffOrUnreadable_data() {
        QTest::addColumn<int>("isalram");
        QTest::addColumn<QByteArray>("moment");
        QTest::addColumn<bool>("clockShown");
        QTest::newRow("off") << 0 << QByteArray("2004-02-01 09:00:00") << false;
        QTest::newRow("other flag value") << 2 << QByteArray("2004-02-01 09:00:00") << false;
        QTest::newRow("not a date") << 1 << QByteArray("soon") << true;
        QTest::newRow("no such day") << 1 << QByteArray("2004-02-30 09:00:00") << true;
        QTest::newRow("empty") << 1 << QByteArray() << true;
    }
    // Nothing is armed; the clock shows exactly when the alarm is switched on.
    void alarmOffOrUnreadable() {
        QFETCH(int, isalram);
        QFETCH(QByteArray, moment);
        QFETCH(bool, clockShown);
        writeNote(kId, isalram, moment);
        TfrmStikko_sub* note = open();
        QCOMPARE(note->titleBar()->isPictureShown(NoteTitleBar::Picture::Time), clockShown);
        QVERIFY(!note->alarm()->ringing());
        QVERIFY(!note->alarm()->checkTimer()->isActive());
        QVERIFY(!note->alarm()->repeatTimer()->isActive());
        advance(86400);
        note->alarm()->checkNow();
        QVERIFY(!note->alarm()->ringing());
        QVERIFY(f->env.sound.plays.isEmpty());
    }

    void closingOrDeletingWhileSounding_stopsTheSoundAndFreesThePlayer() {
        writeNote(kId, 1, stamp(now));
        writeNote(kOther, 1, stamp(now));
        open(kId);
        QVERIFY(f->dm->isplaying);
        f->host.window = f->notes.first();
        f->notes.first()->run(NoteCommand::Hide);
        QCOMPARE(f->env.sound.playingNow(), 0);
        QVERIFY(!f->dm->isplaying);

        TfrmStikko_sub* other = open(kOther);
        QCOMPARE(f->env.sound.plays.size(), 2);
        f->env.dialogs.yes = true;
        other->run(NoteCommand::Delete);
        QVERIFY(!f->dm->isplaying);
        QCOMPARE(f->env.sound.playingNow(), 0);

        // A window destroyed without a close (the program ending) frees it too.
        TfrmStikko_sub* third = open(kId);
        QVERIFY(f->dm->isplaying);
        delete third;
        QVERIFY(!f->dm->isplaying);
    }

    void settingsDialog_resetsTheBlink_thenDecidesAnew() {
        writeNote(kId, 1, stamp(now.addSecs(-120)));
        TfrmStikko_sub* note = open();
        f->env.sound.finishAll();
        note->alarm()->checkNow(); // one blink: colours swapped
        const QColor background = colors::toQColor(note->record().titlebk_color);
        QVERIFY(titleBackground(note) != background);

        // The dialog sees the plain colours and switches the passed alarm off.
        QColor seen;
        f->host.settingsDialog = [&](TfrmStikko_sub* n) {
            seen = titleBackground(n);
            settle(n, [](NoteRecord& r) { r.isalram = 0; });
        };
        note->run(NoteCommand::Alarm);
        QCOMPARE(f->host.settingsPages, QList<int>{1});
        QCOMPARE(seen, background);
        QCOMPARE(titleBackground(note), background);
        QVERIFY(!note->alarm()->ringing());
        QVERIFY(!note->alarm()->checkTimer()->isActive());
        QVERIFY(!note->alarm()->repeatTimer()->isActive());
        QVERIFY(!note->titleBar()->isPictureShown(NoteTitleBar::Picture::Time));
        QCOMPARE(f->stored().isalram, 0); // the note writes what the dialog handed it

        // An alarm moved into the future waits again; one still in its minute rings again.
        f->host.settingsDialog = [&](TfrmStikko_sub* n) {
            settle(n, [&](NoteRecord& r) {
                r.isalram = 1;
                cp949::copyToField(r.alram_datetime, stamp(now.addSecs(600)));
            });
        };
        note->run(NoteCommand::Settings);
        QVERIFY(!note->alarm()->ringing());
        QCOMPARE(note->alarm()->checkTimer()->interval(), 30000);
        f->host.settingsDialog = [&](TfrmStikko_sub* n) {
            settle(n, [&](NoteRecord& r) { cp949::copyToField(r.alram_datetime, stamp(now.addSecs(-3))); });
        };
        note->run(NoteCommand::Settings);
        QVERIFY(note->alarm()->ringing());
        QCOMPARE(f->env.sound.plays.size(), 2);
    }
};

QTEST_MAIN(NoteAlarmTest)
#include "note_alarm_test.moc"
