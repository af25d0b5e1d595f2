// The settings dialog on the offscreen platform: both modes, the live preview on a note window,
// the alarm time check, the sound path, and what reaches the records and the defaults file.

#include "support/testenv.h"

#include "dialogs/stikko_config.h"
#include "note/notealarm.h"
#include "note/notehost.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "store/dm.h"
#include "support/testenv.h"
#include "theme/colors.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cstring>

using namespace stikko;

namespace {

const QDateTime kNow(QDate(2004, 5, 23), QTime(9, 30, 20));
const QSize kWorkArea(1000, 700);

class QuietHost : public NoteHost {
  public:
    void OpenNoteWindow(const char*) override {}
    void CloseNoteWindow(const char*) override {}
    bool DeleteNote(const char*) override { return true; }
    void noteWindowGone(TfrmStikko_sub*) override {}
    void openNoteSettingsDialog(TfrmStikko_sub* note, int page) override { RunNoteSettings(note, page); }
    void openPrintPreview(TfrmStikko_sub*) override {}
    void OpenWebAddress(const QString&, QWidget*) override {}
    void reportWriteFailure(const QString&, const QString&) override {}
    void reportReadFailure(const QString&) override {}
    void noteRinging(TfrmStikko_sub*) override {}
    void openFindWindow() override {}
    void openCopyFromElsewhere(TfrmStikko_sub*, const QByteArray&) override {}
};

template <std::size_t N> void put(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::memcpy(field, text, std::min(std::strlen(text), N - 1));
}

// A record with a value in every field, the dialog's own values inside their controls' ranges
// and an alarm in the future.
NoteRecord sampleRecord() {
    NoteRecord r;
    std::memset(&r, 0, sizeof r);
    put(r.oid, "20040523_093000_00");
    put(r.ini_name, "/nowhere/./data/20040523_093000_00.ini");
    put(r.doc_name, "/nowhere/./data/20040523_093000_00.rtf");
    put(r.chknext, "next");
    put(r.chkdate, "2004-01-01");
    put(r.chktime, "12:00");
    put(r.wdate, "w");
    put(r.edate, "e");
    put(r.title, "\xc1\xa6\xb8\xf1 title"); // a Korean word in CP949, then ASCII
    put(r.left_homepage, "http://left.example");
    put(r.right_homepage, "http://right.example");
    put(r.right_homepage_image, "right.gif");
    put(r.right_homepage_hint, "hint");
    r.scr_x = 11;
    r.scr_y = 22;
    r.scr_width = 275;
    r.scr_height = 218;
    r.chk = 3;
    r.chkstep = 4;
    r.soundcht = 5;
    r.isalram = 1;
    r.istop = 1;
    r.isshow = 1;
    r.isshow_toolbar = 1;
    r.ismini = 0;
    r.trash = 6;
    r.title_color = 0x00FFFFFF;
    r.titlebk_color = 5467961;
    r.batang_color = 12382189;
    r.bottom_color = int32_t(0x8000000F); // a system colour must survive as such
    r.opt_color = 235;
    put(r.alram_date, "2004-05-24");
    put(r.alram_datetime, "2004-05-24 10:20:00");
    put(r.alram_timemode, "mode");
    put(r.sound_file, "/opt/stikko/./sound/alram.wav");
    r.is_sound = 1;
    r.alram_h = 10;
    r.alram_m = 20;
    r.alram_repeat = 5;
    return r;
}

// Runs `work` on the open dialog inside its modal loop, then closes it with "확인".
template <class F> void whileOpen(F work) {
    QTimer::singleShot(0, [work]() mutable {
        TfrmStikko_config* dialog = frmStikko_config.data();
        QVERIFY2(dialog && dialog->isVisible(), "the settings dialog should be open");
        work(dialog);
        if (frmStikko_config)
            QTest::mouseClick(frmStikko_config->sbClose, Qt::LeftButton);
    });
}

int visibleTabs(const QTabWidget* pages) {
    int count = 0;
    for (int i = 0; i < pages->count(); ++i)
        count += pages->isTabVisible(i) ? 1 : 0;
    return count;
}

QColor bodyColorOf(TfrmStikko_sub& note) {
    return note.editor()->palette().color(QPalette::Base);
}

} // namespace

class ConfigDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnv> env_;
    QuietHost host_;

  private slots:
    void init() {
        env_ = std::make_unique<test::TestEnv>();
        env_->setWorkArea(kWorkArea);
        env_->setNow(kNow);
    }

    void cleanup() {
        QVERIFY(!frmStikko_config);
        env_.reset();
    }

    // The note picture is a decoded JPEG, drawn a second time at twice the pixels for screens
    // at a pixel ratio of 2; the check box beside it stays inside the page.
    void notePicture_isDecodedJpeg_andTheToolbarChoiceFitsBesideIt() {
        QVERIFY(QImageReader::supportedImageFormats().contains("jpeg"));
        QImageReader reader(QStringLiteral(":/dialogs/config_note.jpg"));
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage twice = QImageReader(QStringLiteral(":/dialogs/config_note@2x.jpg"), "jpeg").read();
        QCOMPARE(twice.size(), QSize(470, 350));

        TfrmStikko_config dialog(nullptr);
        const QPixmap shown = dialog.imgNote->pixmap();
        QCOMPARE(shown.size(), QSize(235, 175));
        // The picture's title bar is the note's green; a failed decode would leave nothing.
        // The one at twice the pixels is the same picture.
        const QImage once = shown.toImage();
        for (const QPoint at : {QPoint(40, 16), QPoint(40, 80), QPoint(160, 160)}) {
            const QColor a = once.pixelColor(at);
            const QColor b = twice.pixelColor(at * 2 + QPoint(1, 1));
            QVERIFY2(std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
                         std::abs(a.blue() - b.blue()) < 24,
                     qPrintable(a.name() + QLatin1Char(' ') + b.name()));
        }
        const QColor titleBar = once.pixelColor(40, 16);
        QVERIFY2(std::abs(titleBar.red() - 57) < 16 && std::abs(titleBar.green() - 111) < 16 &&
                     std::abs(titleBar.blue() - 83) < 16,
                 qPrintable(titleBar.name()));

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QRect box = dialog.cbToolbar->geometry();
        QVERIFY2(dialog.cbToolbar->parentWidget()->rect().contains(box),
                 qPrintable(QStringLiteral("%1 wide at %2").arg(box.width()).arg(box.x())));
        QVERIFY(box.width() >= dialog.cbToolbar->sizeHint().width());
        QVERIFY(dialog.labHand->geometry().right() < box.left());
        QVERIFY(dialog.labHand->geometry().left() > dialog.imgNote->geometry().right());
    }

    void defaultsMode_twoPagesCaptionBottomRight_fileWithoutAlarmKeys() {
        const QString defaultsPath = env_->path(QStringLiteral("system/default_config.ini"));
        QFile::remove(defaultsPath);
        QVERIFY(QFile::copy(QStringLiteral(STIKKO_SOURCE_DIR "/resources/system/default_config.ini"),
                            defaultsPath));
        QFile::setPermissions(defaultsPath, QFile::ReadOwner | QFile::WriteOwner);
        TDm dm;
        dm.defaults.titlebk_color = 1; // stale: the dialog must start from the file again

        env_->dialogs.color = QColor(255, 0, 0);
        whileOpen([](TfrmStikko_config* dialog) {
            QVERIFY(!dialog->perNoteMode());
            QCOMPARE(visibleTabs(dialog->pcConfig), 2);
            QVERIFY(!dialog->pcConfig->isTabVisible(dialog->pcConfig->indexOf(dialog->tsAlarm)));
            QCOMPARE(dialog->labCaption->text(), QStringLiteral("☞ 모든 메모장의 기본 값으로 사용됩니다."));
            const QRect frame = dialog->frameGeometry();
            QCOMPARE(frame.right() + 1, kWorkArea.width());
            QCOMPARE(frame.bottom() + 1, kWorkArea.height());
            QCOMPARE(dialog->shTitlebk->fill(), 5467961);       // from the file, not the stale record
            QTest::mouseClick(dialog->clTitle, Qt::LeftButton); // title background becomes red
            dialog->seH->setValue(15);                          // hidden alarm controls still count
        });
        QVERIFY(RunDefaultsSettings(nullptr));

        QCOMPARE(dm.defaults.titlebk_color, 0x000000FF);
        QCOMPARE(dm.defaults.alram_h, 15);
        QCOMPARE(QByteArray(dm.defaults.alram_date), QByteArray("2004-05-23")); // empty became today

        QFile file(defaultsPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("titlebk_color=255"));
        QVERIFY2(text.contains("alram_h=9"), "the installed alarm key stays as it was");
        for (const char* key : {"isalram=", "alram_date=", "alram_datetime=", "alram_timemode="})
            QVERIFY2(!text.contains(key), key);
    }

    void noteMode_threePagesEmptyCaptionTopRight_pageByCommand() {
        TfrmStikko_sub note(nullptr, &host_);
        note.open(sampleRecord());
        for (int page : {0, 1}) {
            whileOpen([page](TfrmStikko_config* dialog) {
                QVERIFY(dialog->perNoteMode());
                QCOMPARE(visibleTabs(dialog->pcConfig), 3);
                QVERIFY(dialog->labCaption->text().isEmpty());
                QCOMPARE(dialog->pcConfig->currentWidget(), page == 1 ? dialog->tsAlarm : dialog->tsColor);
                const QRect frame = dialog->frameGeometry();
                QCOMPARE(frame.right() + 1, kWorkArea.width());
                QCOMPARE(frame.top(), 0);
                QCOMPARE(dialog->size(), QSize(502, 388));
            });
            QVERIFY(RunNoteSettings(&note, page));
        }
    }

    void colorTargets_followTag_cancelStillPreviews() {
        TfrmStikko_sub note(nullptr, &host_);
        note.open(sampleRecord());
        NoteRecord shown = note.record();
        shown.batang_color = 0x000000FF; // the note shows something else than its record
        note.previewSettings(shown);
        whileOpen([this, &note](TfrmStikko_config* dialog) {
            env_->dialogs.color.reset(); // cancel
            dialog->ChooseColor(2);
            QCOMPARE(dialog->shDoc->fill(), 12382189);
            QCOMPARE(bodyColorOf(note), colors::toQColor(12382189)); // preview ran after the cancel
            QCOMPARE(env_->dialogs.colorShown, colors::toQColor(12382189));

            env_->dialogs.color = QColor(0, 0, 255);
            QTest::mouseClick(dialog->Shape2, Qt::RightButton, {}, QPoint(3, 3)); // rim: target 0
            QCOMPARE(env_->dialogs.colorShown, colors::toQColor(5467961));
            QCOMPARE(dialog->shTitlebk->fill(), 0x00FF0000);
            QCOMPARE(dialog->shTitle->fill(), 0x00FFFFFF);

            env_->dialogs.color = QColor(0, 128, 0);
            QTest::mouseClick(dialog->clTitlebk, Qt::LeftButton); // named "titlebk", colours the title text
            QCOMPARE(dialog->shTitle->fill(), 0x00008000);
            env_->dialogs.color = QColor(1, 2, 3);
            QTest::mouseClick(dialog->shDoc, Qt::LeftButton);
            QCOMPARE(bodyColorOf(note), QColor(1, 2, 3));
        });
        QVERIFY(RunNoteSettings(&note, 0));
        QCOMPARE(note.record().titlebk_color, 0x00FF0000);
        QCOMPARE(note.record().title_color, 0x00008000);
        QCOMPARE(note.record().batang_color, 0x00030201);
        QCOMPARE(note.record().bottom_color, int32_t(0x8000000F));
    }

    void opacityAndToolbar_previewAtOnce() {
        TfrmStikko_sub note(nullptr, &host_);
        NoteRecord record = sampleRecord();
        record.opt_color = 200; // off the step points: kept until the user moves the slider
        note.open(record);
        auto* bar = note.findChild<QWidget*>(QStringLiteral("pnBottom"));
        auto* strip = note.findChild<QWidget*>(QStringLiteral("pnBottom0"));
        QVERIFY(bar && strip);
        whileOpen([&](TfrmStikko_config* dialog) {
            QCOMPARE(dialog->rsHide->value(), 200);
            dialog->rsHide->setValue(235);
            QCOMPARE(note.windowOpacity(), 235.0 / 255.0);
            dialog->rsHide->setValue(255);
            QCOMPARE(note.windowOpacity(), 1.0);

            // A drag lands on a step point only.
            dialog->rsHide->setSliderDown(true);
            dialog->rsHide->setSliderPosition(140);
            dialog->rsHide->setSliderDown(false);
            QCOMPARE(dialog->rsHide->value(), 135);
            dialog->rsHide->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            QCOMPARE(dialog->rsHide->value(), 155);

            QTest::mouseClick(dialog->cbToolbar, Qt::LeftButton);
            QVERIFY(!bar->isVisibleTo(&note));
            QVERIFY(strip->isVisibleTo(&note));
            QTest::mouseClick(dialog->cbToolbar, Qt::LeftButton);
            QVERIFY(bar->isVisibleTo(&note));
            QVERIFY(!strip->isVisibleTo(&note));
            QTest::mouseClick(dialog->cbToolbar, Qt::LeftButton);
        });
        QVERIFY(RunNoteSettings(&note, 0));
        QCOMPARE(note.record().opt_color, 155);
        QCOMPARE(note.record().isshow_toolbar, 0);
    }

    void alarmCheck_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("minute before now") << "2004-05-23" << 9 << 29 << false;
        QTest::newRow("yesterday") << "2004-05-22" << 23 << 50 << false;
        QTest::newRow("the current minute") << "2004-05-23" << 9 << 30 << true;
        QTest::newRow("hour 24 today") << "2004-05-23" << 24 << 0 << true;
        QTest::newRow("tomorrow") << "2004-05-24" << 0 << 0 << true;
    }

    // Opening and closing a ringing note whose minute has passed switches its alarm off.
    void alarmCheck() {
        QFETCH(QString, date);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(bool, allowed);
        TfrmStikko_sub note(nullptr, &host_);
        NoteRecord record = sampleRecord();
        put(record.alram_date, date.toLatin1().constData());
        record.alram_h = hour;
        record.alram_m = minute;
        note.open(record);
        whileOpen([allowed](TfrmStikko_config* dialog) {
            QCOMPARE(dialog->cbAlram->isChecked(), allowed);
            QCOMPARE(dialog->cbAlram->isEnabled(), allowed);
        });
        QVERIFY(RunNoteSettings(&note, 1));
        QCOMPARE(note.record().isalram, allowed ? 1 : 0);
    }

    void alarmCheck_futureAgainEnablesButDoesNotCheck() {
        TfrmStikko_sub note(nullptr, &host_);
        note.open(sampleRecord());
        whileOpen([](TfrmStikko_config* dialog) {
            QVERIFY(dialog->cbAlram->isChecked());
            dialog->dtDate->setDate(QDate(2004, 5, 23));
            dialog->seH->setValue(8);
            QVERIFY(!dialog->cbAlram->isEnabled());
            QVERIFY(!dialog->cbAlram->isChecked());
            dialog->seH->setValue(24);
            QVERIFY(dialog->cbAlram->isEnabled());
            QVERIFY(!dialog->cbAlram->isChecked());
            dialog->cbAlram->setChecked(true);
            QTest::keyClick(dialog->seM, Qt::Key_Up); // minute arrows step by 10
        });
        QVERIFY(RunNoteSettings(&note, 1));
        QCOMPARE(note.record().isalram, 1);
        QCOMPARE(note.record().alram_h, 24);
        QCOMPARE(note.record().alram_m, 30);
        QCOMPARE(QByteArray(note.record().alram_date), QByteArray("2004-05-23"));
        QCOMPARE(QByteArray(note.record().alram_datetime), QByteArray("2004-05-23 24:30:00"));

        // ...and the note has written the same text to its file.
        QFile file(env_->path(QStringLiteral("data/%1.ini").arg(note.record().oid)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("alram_datetime=2004-05-23 24:30:00"));
        QVERIFY(text.contains("alram_h=24"));
    }

    void alarmDate_emptyOrUnreadableShowsToday_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a date") << QByteArray("23.05.2004");
        QTest::newRow("no such day") << QByteArray("2004-02-30");
    }

    void alarmDate_emptyOrUnreadableShowsToday() {
        QFETCH(QByteArray, stored);
        TfrmStikko_config dialog(nullptr);
        dialog.noteRecord = sampleRecord();
        put(dialog.noteRecord.alram_date, stored.constData());
        dialog.show();
        QCOMPARE(dialog.dtDate->date(), kNow.date());
        dialog.close();
        QCOMPARE(QByteArray(dialog.noteRecord.alram_date), QByteArray("2004-05-23"));
    }

    // There is no cancel: the button, the close box and Escape all store.
    void everyWayOfClosingStores_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("확인") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Escape") << 2;
    }

    void everyWayOfClosingStores() {
        QFETCH(int, way);
        TfrmStikko_sub note(nullptr, &host_);
        note.open(sampleRecord());
        QTimer::singleShot(0, [way] {
            TfrmStikko_config* dialog = frmStikko_config.data();
            QVERIFY(dialog);
            dialog->seRepeat->setValue(77);
            dialog->cbSound->setChecked(false);
            if (way == 0)
                QTest::mouseClick(dialog->sbClose, Qt::LeftButton);
            else if (way == 1)
                dialog->close();
            else
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QVERIFY(RunNoteSettings(&note, 0));
        QCOMPARE(note.record().alram_repeat, 77);
        QCOMPARE(note.record().is_sound, 0);
    }

    void untouchedDialog_leavesRecordAsItWas() {
        TfrmStikko_sub note(nullptr, &host_);
        note.open(sampleRecord());
        const NoteRecord opened = note.record();
        whileOpen([](TfrmStikko_config*) {});
        QVERIFY(RunNoteSettings(&note, 0));
        QCOMPARE(test::describe(note.record()), test::describe(opened));

        const NoteRecord original = sampleRecord();
        TfrmStikko_config dialog(nullptr);
        dialog.noteRecord = original;
        dialog.show();
        dialog.close();
        QCOMPARE(test::describe(dialog.noteRecord), test::describe(original));
    }

    void soundFile_lowerCasedChosenRefused() {
        TfrmStikko_config dialog(nullptr);
        dialog.noteRecord = sampleRecord();
        dialog.show();

        env_->dialogs.soundFile.reset(); // cancelled
        QTest::mouseClick(dialog.sbSound, Qt::LeftButton);
        QCOMPARE(dialog.labSound->text(), QStringLiteral("/opt/stikko/./sound/alram.wav"));

        env_->dialogs.soundFile = QStringLiteral("C:\\Sounds\\Bell.WAV");
        QTest::mouseClick(dialog.sbSound, Qt::LeftButton);
        QCOMPARE(dialog.labSound->text(), QStringLiteral("c:\\sounds\\bell.wav"));

        // On a file system that tells case apart, lower-casing would lose the file.
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("Ring.WAV"));
        QFile(real).open(QIODevice::WriteOnly);
        env_->dialogs.soundFile = real;
        QTest::mouseClick(dialog.sbSound, Qt::LeftButton);
        QCOMPARE(dialog.labSound->text(), real);
        QVERIFY(env_->dialogs.messages.isEmpty());

        // Paths the record cannot hold are refused with a message; the last path stays.
        env_->dialogs.soundFile =
            QStringLiteral("/") + QString(300, QLatin1Char('a')) + QStringLiteral(".wav");
        QTest::mouseClick(dialog.sbSound, Qt::LeftButton);
        env_->dialogs.soundFile = QStringLiteral("/tmp/\U0001F514.wav");
        QTest::mouseClick(dialog.sbSound, Qt::LeftButton);
        QCOMPARE(env_->dialogs.messages.size(), 2);
        QCOMPARE(dialog.labSound->text(), real);

        env_->dialogs.soundFile =
            QStringLiteral("/") + QString(250, QLatin1Char('b')) + QStringLiteral(".wav"); // 255 bytes
        QTest::mouseClick(dialog.sbSound, Qt::LeftButton);
        QCOMPARE(env_->dialogs.messages.size(), 2);
        dialog.close();
        QCOMPARE(QByteArray(dialog.noteRecord.sound_file), env_->dialogs.soundFile->toLatin1());
        QCOMPARE(dialog.noteRecord.is_sound, 1); // choosing a file leaves the switch alone
    }

    void oneDialogAtATime_closingTheNoteClosesItsDialog() {
        TfrmStikko_sub note(nullptr, &host_);
        TfrmStikko_sub other(nullptr, &host_);
        note.open(sampleRecord());
        NoteRecord second = sampleRecord();
        put(second.oid, "20040523_093000_01");
        other.open(second);
        TDm dm;
        QTimer::singleShot(0, [&] {
            QPointer<TfrmStikko_config> first = frmStikko_config;
            QVERIFY(first);
            QVERIFY(!RunNoteSettings(&other, 0));
            QVERIFY(!RunDefaultsSettings(nullptr));
            QCOMPARE(frmStikko_config, first);
            first->seRepeat->setValue(99);
            first->close();
        });
        QVERIFY(RunNoteSettings(&note, 0));
        QCOMPARE(note.record().alram_repeat, 99);
        QCOMPARE(other.record().alram_repeat, 5);
    }

    // Hiding a note from the tray while its settings are open: the dialog closes first, the
    // note's last write carries the dialog's values, and the closed note does not start ringing.
    void hidingTheNoteWhileItsDialogRuns() {
        TfrmStikko_sub note(nullptr, &host_);
        note.open(sampleRecord());
        const QString iniPath = env_->path(QStringLiteral("data/%1.ini").arg(note.record().oid));
        QTimer::singleShot(0, [&note] {
            QVERIFY(frmStikko_config);
            frmStikko_config->seRepeat->setValue(42);
            // Due in the current minute: the note would ring once the dialog closed.
            frmStikko_config->dtDate->setDate(kNow.date());
            frmStikko_config->seM->setValue(30);
            frmStikko_config->seH->setValue(9);
            QVERIFY(frmStikko_config->cbAlram->isChecked());
            QVERIFY(note.closeAs(NoteClosing::Hidden)); // the main form's hide
            QVERIFY(!frmStikko_config || !frmStikko_config->isVisible());
        });
        note.run(NoteCommand::Settings);
        QVERIFY(!frmStikko_config);
        QVERIFY(note.isClosed());
        QVERIFY(!note.alarm()->ringing());
        QVERIFY(!note.alarm()->checkTimer()->isActive());

        QFile file(iniPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("alram_repeat=42"));
        QVERIFY(text.contains("alram_datetime=2004-05-23 09:30:00"));
        QVERIFY(text.contains("isshow=0"));
    }
};

QTEST_MAIN(ConfigDialogTest)
#include "stikko_config_test.moc"
