// The hidden main form on the offscreen platform: the registry of open notes, the tray
// commands (called directly, as there is no tray here), and the ending.
#include "app/stikko_logo.h"
#include "app/stikko_main.h"
#include "app/welcome_note.h"
#include "dialogs/stikko_find.h"
#include "note/notetitlebar.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/rtf.h"
#include "store/datafolderwatcher.h"
#include "store/dm.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/noteindex.h"
#include "store/subfunction.h"
#include "support/testenv.h"
#include "theme/xpstyle.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace stikko;
using stikko::test::flushDeletes;

namespace {

// Records the addresses handed to the desktop instead of starting a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls.append(url); }
};

QString dataPath(const QString& name) {
    return env::programFolder() + QStringLiteral("./data/") + name;
}

// A stored note made through the store, as the program itself would leave it.
void storeNote(const char* id, int isshow, int x = 10, int y = 20) {
    NoteRecord record{};
    InitNoteRecord(record, id);
    LoadNoteRecord(record, kDefaultsFile);
    record.isshow = isshow;
    record.scr_x = x;
    record.scr_y = y;
    QVERIFY(SaveNoteRecord(nullptr, record));
}

NoteRecord readNote(const QByteArray& id) {
    NoteRecord record{};
    InitNoteRecord(record, id.constData());
    LoadNoteRecord(record, nullptr);
    return record;
}

QByteArray idOf(const TfrmStikko_sub* note) {
    return QByteArray(note->record().oid);
}

} // namespace

class StikkoMainTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnv> env_;
    std::unique_ptr<TDm> dm;
    std::unique_ptr<TfrmStikko_main> form;
    NoteRecord defaults{};

  private slots:
    void init() {
        env_ = std::make_unique<test::TestEnv>();
        QVERIFY(env_->installSystemFolder());
        env_->setWorkArea(QSize(1280, 738));
        env_->setNow(QDateTime(QDate(2024, 5, 23), QTime(17, 40, 52, 70)));
        dm = std::make_unique<TDm>();
        defaults = dm->defaults;
        form = std::make_unique<TfrmStikko_main>();
    }

    void cleanup() {
        form.reset();
        flushDeletes();
        dm.reset();
        env_.reset();
    }

    // Every item of the tray menu, chosen with a click, does what it says; the dialogs it opens
    // (closed here as soon as they show) are the right ones. The menu has the flat look, the
    // icon its tip, and the main form never shows.
    void trayMenu_everyItemDoesWhatItSays() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QSignalSpy ended(form.get(), &TfrmStikko_main::ended);
        form->rxTrayClick(); // a note in the corner
        const QByteArray id = idOf(form->noteList.first());
        const QPoint corner = form->noteList.first()->pos();
        QString opened; // the class of the window an item showed modally
        const auto shown = [&](const char* window) { return opened == QLatin1String(window); };
        // In this order: shown notes first, the end last.
        const QList<std::pair<QString, std::function<bool()>>> effects = {
            {QStringLiteral("모든 메모장 재 정렬"), [&] { return form->noteList.first()->pos() != corner; }},
            {QStringLiteral("모든 메모장을 숨김"),
             [&] { return form->noteList.isEmpty() && readNote(id).isshow == 0; }},
            {QStringLiteral("숨겨진 모든 메모장 보이기"), [&] { return form->noteList.size() == 1; }},
            {QStringLiteral("기본 환경 설정"), [&] { return shown("stikko::TfrmStikko_config"); }},
            {QStringLiteral("전체 메모장 상태 보기"), [&] { return shown("stikko::TfrmStikko_admin"); }},
            {QStringLiteral("Orbindo Stikko  정보"), [&] { return shown("stikko::TfrmStikko_logo"); }},
            {QStringLiteral("제작사 홈페이지 방문"), [&] { return catcher.urls.size() == 1; }},
            {QStringLiteral("새 메모"), [&] { return form->noteList.size() == 2; }},
            {QStringLiteral("메모 찾기..."),
             [&] { return form->findWindow() != nullptr && form->findWindow()->isVisible(); }},
            {QStringLiteral("종료"), [&] { return ended.count() == 1 && form->noteList.isEmpty(); }},
        };
        QSet<QString> items, known;
        for (const QAction* action : form->puMain->actions()) {
            if (!action->isSeparator())
                items << action->text();
        }
        for (const auto& [text, effect] : effects)
            known << text;
        QCOMPARE(items, known);
        for (const auto& [text, effect] : effects) {
            QAction* action = nullptr;
            for (QAction* item : form->puMain->actions()) {
                if (item->text() == text)
                    action = item;
            }
            opened.clear();
            QTimer::singleShot(0, this, [&] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    opened = QString::fromLatin1(modal->metaObject()->className());
                    modal->close();
                }
            });
            form->puMain->popup(QPoint(0, 0));
            QTest::mouseClick(form->puMain, Qt::LeftButton, {},
                              form->puMain->actionGeometry(action).center());
            QVERIFY2(effect(), qPrintable(text));
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(form->puMain->style(), form->xpStyle);
        QCOMPARE(form->rxTray->toolTip(), QStringLiteral("Stikko"));
        QVERIFY(!form->isVisible());
        form->show();
        QVERIFY(!form->isVisible());
    }

    // There is no tray to click here (the end-to-end tests click the real one): the icon's
    // signal stands for the click.
    void trayClick_makesNote_onlyWhileEnabled() {
        emit form->rxTray->activated(QSystemTrayIcon::Trigger);
        QCOMPARE(form->noteList.size(), 1);
        emit form->rxTray->activated(QSystemTrayIcon::Context);
        emit form->rxTray->activated(QSystemTrayIcon::MiddleClick);
        QCOMPARE(form->noteList.size(), 1);
        // A second quick click comes as a double click.
        emit form->rxTray->activated(QSystemTrayIcon::DoubleClick);
        QCOMPARE(form->noteList.size(), 2);
        form->nnAllhideClick();

        form->setTrayEnabled(false);
        QVERIFY(form->rxTray->contextMenu() == nullptr);
        emit form->rxTray->activated(QSystemTrayIcon::Trigger);
        emit form->rxTray->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(form->noteList.isEmpty());

        form->setTrayEnabled(true);
        QCOMPARE(form->rxTray->contextMenu(), form->puMain);
        emit form->rxTray->activated(QSystemTrayIcon::Trigger);
        QCOMPARE(form->noteList.size(), 1);
    }

    void newNotes_cascadeFromTheBottomRight_andStayInside() {
        const int W = 1280, H = 738;
        const int w = defaults.scr_width, h = defaults.scr_height;
        QVERIFY(w > 0 && h > 0);

        form->rxTrayClick();
        TfrmStikko_sub* first = form->noteList.last();
        QCOMPARE(first->record().scr_x, W - w);
        QCOMPARE(first->record().scr_y, H - h);
        QCOMPARE(first->geometry().bottomRight(), QPoint(W - 1, H - 1));
        const NoteRecord stored = readNote(idOf(first));
        QCOMPARE(stored.scr_x, W - w);
        QCOMPARE(stored.scr_y, H - h);
        QCOMPARE(stored.isshow, 1);

        // From wherever the last note is now: 4 right, 20 down.
        first->placeAt(QRect(100, 50, w, h));
        form->rxTrayClick();
        TfrmStikko_sub* second = form->noteList.last();
        QCOMPARE(second->record().scr_x, 104);
        QCOMPARE(second->record().scr_y, 70);

        // Three pixels short of the right edge and ten of the bottom: clamped to both.
        second->placeAt(QRect(W - w - 3, H - h - 19, w, h));
        form->rxTrayClick();
        TfrmStikko_sub* third = form->noteList.last();
        QCOMPARE(third->record().scr_x, W - w);
        QCOMPARE(third->record().scr_y, H - h);

        // Exactly room for the step: not clamped.
        third->placeAt(QRect(W - w - 4, H - h - 20, w, h));
        form->rxTrayClick();
        QCOMPARE(form->noteList.last()->record().scr_x, W - w);
        QCOMPARE(form->noteList.last()->record().scr_y, H - h);

        // The clock stood still through all four clicks, yet every note has files of its own.
        QSet<QByteArray> ids;
        for (const TfrmStikko_sub* note : form->noteList) {
            ids.insert(idOf(note));
            QVERIFY(QFile::exists(dataPath(QString::fromLatin1(idOf(note)) + QStringLiteral(".ini"))));
        }
        QCOMPARE(ids.size(), 4);
        QVERIFY(ids.contains("20240523_174052_07"));
    }

    void newNotesLeftAtTheCorner_eachGetAPlaceOfTheirOwn_inFront() {
        const int W = 1280, H = 738;
        const int w = defaults.scr_width, h = defaults.scr_height;
        // Left where they land, each step from the corner would clamp to the corner again.
        QList<QPoint> places;
        for (int i = 0; i < 12; ++i) {
            form->rxTrayClick();
            const NoteRecord& r = form->noteList.last()->record();
            QVERIFY2(!places.contains(QPoint(r.scr_x, r.scr_y)), qPrintable(QString::number(i)));
            QVERIFY(r.scr_x >= 0 && r.scr_y >= 0 && r.scr_x + w <= W && r.scr_y + h <= H);
            places << QPoint(r.scr_x, r.scr_y);
        }
        // A new run five steps up and to the left, then down again step by step.
        QCOMPARE(places[1], QPoint(W - w - 20, H - h - 100));
        QCOMPARE(places[2], QPoint(W - w - 16, H - h - 80));
        QCOMPARE(places[5], QPoint(W - w - 4, H - h - 20));
        QCOMPARE(places[6], QPoint(W - w - 40, H - h - 200));

        // The newest is in front of everything, ready for typing; the one before has let go.
        TfrmStikko_sub* newest = form->noteList.last();
        QVERIFY(newest->heldInFront());
        QVERIFY(QTest::qWaitForWindowActive(newest));
        QCOMPARE(QApplication::focusWidget(), newest->editor());
        QVERIFY(!form->noteList.at(10)->heldInFront());
    }

    // Columns from the top right, newest first, each note 22 pixels below the one before; a
    // note whose bottom would pass the work area's (738) starts the next column instead.
    void rearrange_fillsColumnsWithinTheWorkArea_newestFirst() {
        for (int i = 0; i < 28; ++i) {
            storeNote(
                QStringLiteral("20240101_0000%1_00").arg(i, 2, 10, QLatin1Char('0')).toLatin1().constData(),
                1);
        }
        form->LoadAllNotes(0);
        QCOMPARE(form->noteList.size(), 28);
        QTest::mouseDClick(test::part<Panel>(form->noteList.first(), "pnTitle"), Qt::LeftButton, {},
                           QPoint(60, 8)); // folded
        form->nnStikkoResortClick();

        const QList<TfrmStikko_sub*>& notes = form->noteList;
        const auto placed = [&](int fromNewest) { return notes.at(notes.size() - 1 - fromNewest); };
        QCOMPARE(placed(0)->geometry(), QRect(980, 0, 300, 200));
        QCOMPARE(placed(1)->pos(), QPoint(980, 22));
        QCOMPARE(placed(24)->pos(), QPoint(980, 528));
        QCOMPARE(placed(25)->pos(), QPoint(680, 0));
        QCOMPARE(placed(27)->pos(), QPoint(680, 44));
        for (const TfrmStikko_sub* note : notes)
            QVERIFY2(QRect(0, 0, 1280, 738).contains(note->geometry()),
                     qPrintable(QString::fromLatin1(idOf(note))));

        const NoteRecord oldest = readNote(idOf(placed(27)));
        QCOMPARE(oldest.scr_x, 680);
        QCOMPARE(oldest.scr_y, 44);
        QCOMPARE(oldest.scr_width, 300);
        QCOMPARE(oldest.scr_height, 200);
        QCOMPARE(oldest.ismini, 0);
    }

    void rearrange_columnsStopAtTheLeftEdge() {
        // Three notes to a column here (tops 0, 22, 44; a fourth at 66 would reach 266), columns
        // at 350, 50, then 0 for good.
        env_->setWorkArea(QSize(650, 250));
        for (int i = 0; i < 11; ++i) {
            storeNote(
                QStringLiteral("20240101_0000%1_00").arg(i, 2, 10, QLatin1Char('0')).toLatin1().constData(),
                1);
        }
        form->LoadAllNotes(0);
        form->nnStikkoResortClick();
        QList<QPoint> places;
        for (auto it = form->noteList.crbegin(); it != form->noteList.crend(); ++it) {
            places << (*it)->pos();
        }
        const QList<QPoint> expected = {{350, 0}, {350, 22}, {350, 44}, {50, 0}, {50, 22}, {50, 44},
                                        {0, 0},   {0, 22},   {0, 44},   {0, 0},  {0, 22}};
        QCOMPARE(places, expected);
    }

    void startUp_opensShownNotesInIdOrder_andSkipsUpperCaseIni() {
        storeNote("20240102_000000_00", 1);
        storeNote("20240101_000000_00", 1);
        storeNote("20240103_000000_00", 0);
        storeNote("20240104_000000_00", 1);
        QVERIFY(QFile::rename(dataPath(QStringLiteral("20240104_000000_00.ini")),
                              dataPath(QStringLiteral("20240104_000000_00.INI"))));
        QFile upper(dataPath(QStringLiteral("20240104_000000_00.INI")));
        QVERIFY(upper.open(QIODevice::ReadOnly));
        const QByteArray upperBefore = upper.readAll();
        upper.close();

        // A file from elsewhere with only a few keys: opened, and completed on disk.
        QFile sparse(dataPath(QStringLiteral("20240105_000000_00.ini")));
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        sparse.write("[VALUE_SECTION]\r\ntitle=old\r\nisshow=1\r\nscr_x=30\r\nscr_y=40\r\n");
        sparse.close();
        // Its body's second line is its title from now on, in the same single write.
        QFile body(dataPath(QStringLiteral("20240105_000000_00.rtf")));
        QVERIFY(body.open(QIODevice::WriteOnly));
        body.write("{\\rtf1\\ansi first line\\par second line\\par}");
        body.close();

        form->FormCreate();
        form->finishOpenedRecords();
        QCOMPARE(form->noteList.size(), 3);
        QCOMPARE(idOf(form->noteList.at(0)), QByteArray("20240101_000000_00"));
        QCOMPARE(idOf(form->noteList.at(1)), QByteArray("20240102_000000_00"));
        QCOMPARE(form->noteList.at(2)->pos(), QPoint(30, 40));
        QVERIFY(sparse.open(QIODevice::ReadOnly));
        const QByteArray completed = sparse.readAll();
        sparse.close();
        QVERIFY(completed.contains("oid=20240105_000000_00"));
        QVERIFY(completed.contains("isshow_toolbar="));
        QVERIFY(completed.contains("scr_x=30"));
        QVERIFY(completed.contains("title=second line\r\n"));

        // Show-all opens the hidden note but still not the upper-case one, which stays as it was.
        form->nnAllshowClick();
        QCOMPARE(form->noteList.size(), 4);
        QVERIFY(upper.open(QIODevice::ReadOnly));
        QCOMPARE(upper.readAll(), upperBefore);
        QVERIFY(!QFile::exists(dataPath(QStringLiteral("20240104_000000_00.ini"))));
    }

    // A start opens at once the notes shown at the last end, as far as their records still say
    // so, and then those the scan of every record finds shown since.
    void start_opensTheNotesShownLastTime_thenThoseShownSince() {
        const char* const gone = "20240101_000000_00";
        const char* const hidden = "20240102_000000_00";
        const char* const shown = "20240103_000000_00";
        const char* const made = "20240104_000000_00";
        storeNote(gone, 1);
        storeNote(hidden, 1);
        storeNote(shown, 0);
        // Named as a record but a folder and a fifo: told once, never opened (a fifo would
        // block the start for good).
        QVERIFY(QDir().mkpath(dataPath(QStringLiteral("20240100_000000_00.ini"))));
        QVERIFY(::mkfifo(QFile::encodeName(dataPath(QStringLiteral("20240109_000000_00.ini"))).constData(),
                         0600) == 0);
        form->FormCreate();
        QCOMPARE(form->noteList.size(), 2);
        NoteCatalogue& catalogue = noteFiles().catalogue();
        QTRY_VERIFY(!catalogue.scanning());
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("20240100_000000_00.ini")));
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("20240109_000000_00.ini")));
        form->lastTrayMessage.clear();
        QCOMPARE(catalogue.rememberedShown(), (QByteArrayList{gone, hidden}));
        form->FormClose();
        form.reset();
        flushDeletes();

        // While the program is not running, another computer changes them all.
        QVERIFY(QFile::remove(dataPath(QLatin1String(gone) + QStringLiteral(".ini"))));
        storeNote(hidden, 0);
        storeNote(shown, 1);
        storeNote(made, 1);
        const QByteArray hiddenBefore =
            test::readAll(dataPath(QLatin1String(hidden) + QStringLiteral(".ini")));

        form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
        QVERIFY(form->noteList.isEmpty()); // what was remembered says nothing any more
        QVERIFY(!QFile::exists(dataPath(QLatin1String(gone) + QStringLiteral(".ini"))));
        QTRY_COMPARE_WITH_TIMEOUT(form->noteList.size(), 2, 10000);
        QCOMPARE(idOf(form->noteList.at(0)), QByteArray(shown));
        QCOMPARE(idOf(form->noteList.at(1)), QByteArray(made));
        QTRY_VERIFY(!form->openingNotes() && !noteFiles().recordsPending());
        QCOMPARE(test::readAll(dataPath(QLatin1String(hidden) + QStringLiteral(".ini"))), hiddenBefore);
        QCOMPARE(catalogue.rememberedShown(), (QByteArrayList{shown, made}));
        QVERIFY(form->lastTrayMessage.isEmpty()); // told once
        form->nnAllshowClick();
        QCOMPARE(form->noteList.size(), 3);
    }

    // Thousands of shown notes open a slice at a time: between two slices the program answers
    // the user, and its end does not wait for the notes not opened yet.
    void manyShownNotes_openASliceAtATime_andTheUserIsAnsweredMeanwhile() {
        const int total = TfrmStikko_main::kOpenedAtOnce + 40;
        for (int i = 0; i < total; ++i) {
            storeNote(QStringLiteral("20240101_%1_00").arg(i, 6, 10, QLatin1Char('0')).toLatin1().constData(),
                      1, i % 900, i % 500);
        }
        form->FormCreate();
        QCOMPARE(form->noteList.size(), TfrmStikko_main::kOpenedAtOnce);
        QVERIFY(form->openingNotes());
        QSignalSpy opened(form.get(), &TfrmStikko_main::notesOpened);
        qsizetype openWhenClicked = -1;
        QTimer::singleShot(0, form.get(), [&] {
            openWhenClicked = form->noteList.size();
            form->rxTrayClick();
        });
        QVERIFY(opened.wait(60000));
        QVERIFY(openWhenClicked >= TfrmStikko_main::kOpenedAtOnce && openWhenClicked < total);
        QCOMPARE(form->noteList.size(), total + 1);
        const QByteArray made = idOf(form->noteList.at(openWhenClicked));
        QVERIFY(!made.startsWith("20240101_"));
        QCOMPARE(readNote(made).isshow, 1);

        // An end while notes are still being opened: the ones not opened yet are left as
        // their files say.
        form->FormClose();
        form.reset();
        flushDeletes();
        const QString last =
            dataPath(QStringLiteral("20240101_%1_00.ini").arg(total - 1, 6, 10, QLatin1Char('0')));
        const QByteArray lastBefore = test::readAll(last);
        form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
        QVERIFY(form->openingNotes());
        form->FormClose();
        QVERIFY(!form->openingNotes());
        QTest::qWait(50); // a slice that was due would have run by now
        QCOMPARE(form->noteList.size(), 0);
        QCOMPARE(test::readAll(last), lastBefore);
        for (int i = 0; i < total; ++i) {
            QCOMPARE(
                readNote(QStringLiteral("20240101_%1_00").arg(i, 6, 10, QLatin1Char('0')).toLatin1()).isshow,
                1);
        }
    }

    // A start writes a note's record once when its file lacks something, and leaves a file
    // that already holds the record alone.
    void startUp_writesOnlyRecordsThatChange_eachOnce() {
        storeNote("20240101_000000_00", 1);
        storeNote("20240102_000000_00", 1);
        form->FormCreate(); // the first start gives both their bodies and titles
        form->FormClose();
        form.reset();
        flushDeletes();
        const QString complete = dataPath(QStringLiteral("20240101_000000_00.ini"));
        const QString lacking = dataPath(QStringLiteral("20240102_000000_00.ini"));
        QFile file(lacking);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray shortened = file.readAll().replace("chknext=\n", "");
        file.close();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(shortened) > 0);
        file.close();
        struct stat before {};
        QVERIFY(::stat(QFile::encodeName(complete).constData(), &before) == 0);

        int writes = 0;
        env_->writer = [&writes](int fd, const char* data, qint64 size) -> qint64 {
            ++writes;
            return ::write(fd, data, size_t(size));
        };
        form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
        // Written while the windows show: in place once the event loop has run.
        QTRY_VERIFY(!noteFiles().recordsPending());
        QCOMPARE(form->noteList.size(), 2);
        QCOMPARE(writes, 1);
        QVERIFY(readNote("20240102_000000_00").isshow == 1 && test::readAll(lacking).contains("chknext="));
        struct stat after {};
        QVERIFY(::stat(QFile::encodeName(complete).constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino); // not replaced

        // Both lacking, and one of the two writes (they go out together) fails: the other lands,
        // and only the note that could not write says so, is marked and keeps its old file.
        form->FormClose();
        form.reset();
        flushDeletes();
        for (const QString& path : {complete, lacking}) {
            const QByteArray bytes = test::readAll(path).replace("chknext=\n", "");
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) > 0);
        }
        const QByteArray lackingBefore = test::readAll(lacking);
        env_->writer = [](int fd, const char* data, qint64 size) -> qint64 {
            if (QByteArrayView(data, size).contains("oid=20240102_000000_00")) {
                errno = EIO;
                return -1;
            }
            return ::write(fd, data, size_t(size));
        };
        form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
        QTRY_VERIFY(!noteFiles().recordsPending());
        QCOMPARE(form->noteList.size(), 2);
        QVERIFY(test::readAll(complete).contains("chknext="));
        QCOMPARE(test::readAll(lacking), lackingBefore);
        QVERIFY(!form->noteList.at(0)->titleBar()->isPictureShown(NoteTitleBar::Picture::Mark));
        QVERIFY(form->noteList.at(1)->titleBar()->isPictureShown(NoteTitleBar::Picture::Mark));
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("20240102_000000_00.ini")));
    }

    // The records of the notes opened together are written while the windows are in use:
    // whatever a note does before that write lands wins, and the program's end waits for it.
    void openedRecords_writtenInTheBackground_neverOverWhatCameLater() {
        const char* const moved = "20240101_000000_00";
        const char* const deleted = "20240102_000000_00";
        const char* const hidden = "20240103_000000_00";
        const char* const untouched = "20240104_000000_00";
        const char* const synced = "20240105_000000_00";
        for (const char* id : {moved, deleted, hidden, untouched, synced}) {
            storeNote(id, 0);
        }
        // Once shown and hidden, each file holds what its hidden note would write.
        form->nnAllshowClick();
        form->nnAllhideClick();
        flushDeletes();
        // The background's writes wait until the test lets them go; the windows' own do not.
        std::promise<void> gate;
        const std::shared_future<void> open = gate.get_future().share();
        const std::thread::id mainThread = std::this_thread::get_id();
        env_->writer = [open, mainThread](int fd, const char* data, qint64 size) -> qint64 {
            if (std::this_thread::get_id() != mainThread) {
                open.wait();
            }
            return ::write(fd, data, size_t(size));
        };
        const QString folder = env::programFolder() + QStringLiteral("./data/");
        const auto onlyNoteFiles = [&] {
            const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
            return std::all_of(names.cbegin(), names.cend(), [](const QString& name) {
                return name.endsWith(QLatin1String(".ini")) || name.endsWith(QLatin1String(".rtf"));
            });
        };

        form->nnAllshowClick(); // every record now says shown: five writes in flight
        QCOMPARE(form->noteList.size(), 5);
        QVERIFY(noteFiles().recordsPending());
        TfrmStikko_sub* first = form->FindNoteWindow(moved);
        first->placeAt(QRect(QPoint(321, 123), first->size()));
        form->DeleteNote(deleted);
        // Its file says hidden already: the note writes nothing, and the group must not either.
        form->CloseNoteWindow(hidden);
        QCOMPARE(readNote(hidden).isshow, 0);
        // Another program (a synchroniser) replaces a record: its version stands and is shown.
        const QString syncedIni = dataPath(QLatin1String(synced) + QStringLiteral(".ini"));
        const QByteArray theirs =
            test::readAll(syncedIni).replace("scr_x=10", "scr_x=77").replace("isshow=0", "isshow=1");
        QVERIFY(env_->writeFile(QStringLiteral("elsewhere.tmp"), theirs));
        QVERIFY(::rename(QFile::encodeName(env_->path(QStringLiteral("elsewhere.tmp"))).constData(),
                         QFile::encodeName(syncedIni).constData()) == 0);
        gate.set_value();
        QTRY_VERIFY(!noteFiles().recordsPending());
        flushDeletes();

        QCOMPARE(readNote(moved).scr_x, 321);
        QCOMPARE(readNote(moved).isshow, 1);
        QVERIFY(!QFile::exists(dataPath(QStringLiteral("20240102_000000_00.ini"))));
        QCOMPARE(readNote(hidden).isshow, 0);
        QCOMPARE(readNote(untouched).isshow, 1);
        QCOMPARE(test::readAll(syncedIni), theirs);
        QCOMPARE(form->FindNoteWindow(synced)->pos().x(), 77);
        QCOMPARE(form->noteList.size(), 3);
        for (TfrmStikko_sub* note : form->noteList) {
            QVERIFY(!note->titleBar()->isPictureShown(NoteTitleBar::Picture::Mark));
        }
        QVERIFY(onlyNoteFiles());

        // The end comes before the writes are in place: they land whole, before the notes'
        // own closing saves, and no temporary is left.
        env_->writer = nullptr;
        form->nnAllhideClick();
        form->nnAllshowClick();
        QVERIFY(noteFiles().recordsPending());
        form->FormClose();
        QVERIFY(!noteFiles().recordsPending());
        for (const char* id : {moved, hidden, untouched}) {
            QCOMPARE(readNote(id).isshow, 1);
            QVERIFY(test::readAll(dataPath(QLatin1String(id) + QStringLiteral(".ini"))).contains("oid="));
        }
        QVERIFY(onlyNoteFiles());
    }

    // Ids are whole: a note "X" is neither hidden by an open "X-2" nor taken for it.
    void idsMatchExactly_soXAndXDash2BothOpen() {
        storeNote("20261207_130000_55", 1);
        storeNote("20261207_130000_55-2", 1);
        form->FormCreate();
        QCOMPARE(form->noteList.size(), 2);
        QCOMPARE(idOf(form->FindNoteWindow("20261207_130000_55")), QByteArray("20261207_130000_55"));
        QCOMPARE(idOf(form->FindNoteWindow("20261207_130000_55-2")), QByteArray("20261207_130000_55-2"));
        QVERIFY(form->FindNoteWindow("2026") == nullptr);

        // A short stray name is a note of its own, opened by show-all.
        storeNote("2026", 0);
        form->nnAllshowClick();
        form->finishOpenedRecords();
        QCOMPARE(form->noteList.size(), 3);
        QCOMPARE(readNote("2026").isshow, 1);
        form->CloseNoteWindow("2026");
        flushDeletes();
        QCOMPARE(form->noteList.size(), 2);
        QVERIFY(form->FindNoteWindow("20261207_130000_55"));
    }

    void showAll_leavesOpenNotes_hideAll_writesHidden() {
        storeNote("20240101_000000_00", 1);
        storeNote("20240102_000000_00", 0);
        storeNote("20240103_000000_00", 0);
        form->FormCreate();
        QCOMPARE(form->noteList.size(), 1);
        TfrmStikko_sub* open = form->noteList.first();
        open->placeAt(QRect(QPoint(333, 111), open->size()));

        form->nnAllshowClick();
        form->finishOpenedRecords();
        QCOMPARE(form->noteList.size(), 3);
        QCOMPARE(form->noteList.first(), open);
        QCOMPARE(open->pos(), QPoint(333, 111));
        QCOMPARE(readNote("20240102_000000_00").isshow, 1);
        QCOMPARE(readNote("20240103_000000_00").isshow, 1);

        QPointer<TfrmStikko_sub> watched = open;
        form->nnAllhideClick();
        QVERIFY(form->noteList.isEmpty());
        flushDeletes();
        QVERIFY(watched.isNull());
        for (const char* id : {"20240101_000000_00", "20240102_000000_00", "20240103_000000_00"}) {
            QCOMPARE(readNote(id).isshow, 0);
        }
        QCOMPARE(readNote("20240101_000000_00").scr_x, 333);

        // Nothing is open now, so the next start opens nothing.
        form->FormCreate();
        QVERIFY(form->noteList.isEmpty());
    }

    void closeAndOpen_moveANoteBetweenShownAndHidden() {
        storeNote("20240101_000000_00", 1);
        form->FormCreate();
        form->CloseNoteWindow("20240101_000000_00");
        QVERIFY(form->noteList.isEmpty());
        QCOMPARE(readNote("20240101_000000_00").isshow, 0);
        form->CloseNoteWindow("20240101_000000_00"); // no window: nothing happens

        form->OpenNoteWindow("20240101_000000_00");
        QCOMPARE(form->noteList.size(), 1);
        QCOMPARE(readNote("20240101_000000_00").isshow, 1);
        form->OpenNoteWindow("20240101_000000_00");
        QCOMPARE(form->noteList.size(), 1);
    }

    // Another program (a synchroniser) rewrites, adds and removes note files by renaming them
    // into data/: the windows follow, and nothing they took is written back.
    void windowsFollowOtherProgramsChanges_writingNothing() {
        const char* const a = "20240101_000000_00";
        const char* const b = "20240102_000000_00";
        const char* const c = "20240103_000000_00";
        storeNote(a, 1, 10, 20);
        storeNote(b, 0);
        form->FormCreate();
        form->finishOpenedRecords();
        QVERIFY(form->dataFolderWatcher() != nullptr && form->dataFolderWatcher()->isWatching());
        form->dataFolderWatcher()->setTimings(std::chrono::milliseconds(10), std::chrono::milliseconds(300),
                                              std::chrono::milliseconds(600));
        QCOMPARE(form->noteList.size(), 1);
        QPointer<TfrmStikko_sub> noteA = form->noteList.first();
        QVERIFY(test::fire(noteA->autosaveTimer())); // its new body is on disk: nothing unsaved
        noteA->finishBodyWrite();                    // written in the background

        // Made elsewhere, then renamed into data/ by another process.
        const QString staging = env_->path(QStringLiteral("elsewhere/"));
        QVERIFY(QDir().mkpath(staging));
        QMap<QString, QByteArray> sent;
        const auto stage = [&](const QString& name, const QByteArray& bytes) {
            QFile file(staging + name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            sent[name] = bytes;
        };
        const auto deliver = [&] {
            QStringList names = QDir(staging).entryList(QDir::Files);
            for (QString& name : names) {
                name.prepend(staging);
            }
            QCOMPARE(QProcess::execute(QStringLiteral("mv"), names << dataPath(QString())), 0);
        };
        const auto edited = [](const char* id, const char* key, int value) {
            IniFile ini =
                IniFile::fromBytes(test::readAll(dataPath(QLatin1String(id) + QStringLiteral(".ini"))));
            ini.writeInteger("VALUE_SECTION", key, value);
            return ini.toBytes();
        };
        const QByteArray movedA = edited(a, "scr_x", 300);
        stage(QLatin1String(a) + QStringLiteral(".ini"), movedA);
        stage(QLatin1String(a) + QStringLiteral(".rtf"), "{\\rtf1\\ansi from\\par the other computer\\par}");
        stage(QLatin1String(b) + QStringLiteral(".ini"), edited(b, "isshow", 1));
        stage(QLatin1String(c) + QStringLiteral(".ini"),
              QByteArray(movedA).replace(a, c).replace("scr_y=20", "scr_y=500"));
        stage(QLatin1String(c) + QStringLiteral(".rtf"), "{\\rtf1\\ansi new\\par made elsewhere\\par}");
        deliver();

        QTRY_COMPARE(form->noteList.size(), 3);
        // The list of stored notes (the manager's, the find index's) hears of it too.
        NoteCatalogue& catalogue = noteFiles().catalogue();
        QTRY_VERIFY(catalogue.find(c) && catalogue.find(b) && catalogue.find(b)->shown());
        QTRY_COMPARE(noteA->pos(), QPoint(300, 20));
        QCOMPARE(noteA->editor()->toPlainText(), QStringLiteral("from\nthe other computer"));
        QCOMPARE(noteA->titleCaption(), QStringLiteral("the other computer"));
        QVERIFY(!noteA->isModified());
        TfrmStikko_sub* noteC = form->FindNoteWindow(c);
        QVERIFY(noteC != nullptr && form->FindNoteWindow(b) != nullptr);
        QCOMPARE(noteC->titleCaption(), QStringLiteral("made elsewhere"));
        QCOMPARE(noteC->pos(), QPoint(300, 500));

        // A conflict copy of C's body (the other computer's older text): a note of its own, shown.
        const QString copy = QLatin1String(c) + QStringLiteral(".sync-conflict-20240523-174100-ABCDEFG.rtf");
        stage(copy, "{\\rtf1\\ansi new\\par the older text\\par}");
        deliver();
        sent.remove(copy);
        QTRY_COMPARE(form->noteList.size(), 4);
        QCOMPARE(form->noteList.last()->titleCaption(), QStringLiteral("the older text"));
        QCOMPARE(form->noteList.last()->pos(), QPoint(324, 524)); // beside C
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("the older text")));
        QVERIFY(!QFile::exists(dataPath(copy)));

        // A record that comes alone shows its note after a while; the body that follows gives
        // the text and the window's title.
        const char* const d = "20240104_000000_00";
        stage(QLatin1String(d) + QStringLiteral(".ini"), QByteArray(movedA).replace(a, d));
        deliver();
        QTRY_VERIFY(form->FindNoteWindow(d) != nullptr);
        stage(QLatin1String(d) + QStringLiteral(".rtf"), "{\\rtf1\\ansi one line\\par}");
        deliver();
        QTRY_COMPARE(form->FindNoteWindow(d)->windowTitle(), QStringLiteral("one line"));
        QCOMPARE(form->FindNoteWindow(d)->editor()->toPlainText(), QStringLiteral("one line"));

        // C hidden elsewhere, A deleted: their windows go.
        stage(QLatin1String(c) + QStringLiteral(".ini"), edited(c, "isshow", 0));
        deliver();
        QCOMPARE(
            QProcess::execute(QStringLiteral("rm"), {dataPath(QLatin1String(a) + QStringLiteral(".ini")),
                                                     dataPath(QLatin1String(a) + QStringLiteral(".rtf"))}),
            0);
        QTRY_VERIFY(form->FindNoteWindow(c) == nullptr && form->FindNoteWindow(a) == nullptr);
        QTRY_VERIFY(!catalogue.find(a) && catalogue.find(c) && !catalogue.find(c)->shown());
        flushDeletes();
        QVERIFY(noteA.isNull());

        // What arrived is still byte for byte what was sent; the deleted note stays deleted.
        form->FormClose();
        sent.remove(QLatin1String(a) + QStringLiteral(".ini"));
        sent.remove(QLatin1String(a) + QStringLiteral(".rtf"));
        for (auto it = sent.cbegin(); it != sent.cend(); ++it) {
            QCOMPARE(test::readAll(dataPath(it.key())), it.value());
        }
        QVERIFY(!QFile::exists(dataPath(QLatin1String(a) + QStringLiteral(".ini"))));
        QVERIFY(!QFile::exists(dataPath(QLatin1String(a) + QStringLiteral(".rtf"))));
    }

    // The find window follows the syllable being composed, shows a hidden note found as the
    // manager shows it, with its match selected, and its list follows what happens to the notes.
    void findWindow_followsComposing_andShowsTheHiddenNoteFound() {
        const auto storeBody = [](const char* id, const QString& text) {
            QTextDocument document;
            document.setPlainText(text);
            QVERIFY(rtf::saveFile(dataPath(QLatin1String(id) + QStringLiteral(".rtf")), document));
        };
        const char* const shown = "20240101_000000_00";
        const char* const hidden = "20240102_000000_00";
        const char* const other = "20240103_000000_00";
        storeNote(shown, 1);
        storeNote(hidden, 0, 300, 40);
        storeNote(other, 0);
        storeBody(shown, QStringLiteral("작성일\n장보기\n우유"));
        storeBody(hidden, QStringLiteral("작성일\n회의록\n맞춤법과 한글 정리"));
        storeBody(other, QStringLiteral("작성일\n한겨울 계획"));
        form->FormCreate();
        form->finishOpenedRecords();
        // The bodies are read by themselves once the notes are listed and the shown ones open.
        QTRY_VERIFY(form->noteIndex()->complete());
        QCOMPARE(form->noteIndex()->size(), 3);
        QVERIFY(form->noteIndex()->note(other)->hidden);
        form->nnFindClick();
        TfrmStikko_find* find = form->findWindow();
        QVERIFY(find != nullptr && find->isVisible());
        const auto rows = [find] {
            QByteArrayList ids;
            for (int row = 0; row < find->model()->rowCount(); ++row)
                ids << find->model()->noteAt(row)->id;
            return ids;
        };
        const auto compose = [find](const QString& commit, const QString& preedit) {
            QInputMethodEvent event(preedit, {});
            event.setCommitString(commit);
            QApplication::sendEvent(find->edQuery, &event);
        };
        compose({}, QStringLiteral("한"));
        QCOMPARE(rows(), (QByteArrayList{other, hidden}));
        compose(QStringLiteral("한"), QStringLiteral("그"));
        QCOMPARE(rows(), QByteArrayList{hidden});
        compose(QStringLiteral("그"), {});
        QCOMPARE(find->edQuery->text(), QStringLiteral("한그"));
        QCOMPARE(rows(), QByteArrayList{hidden});

        QTest::keyClick(find->edQuery, Qt::Key_Return);
        TfrmStikko_sub* found = form->FindNoteWindow(hidden);
        QVERIFY(found != nullptr && !find->isVisible());
        QCOMPARE(found->pos(), QPoint(300, 40));
        QCOMPARE(readNote(hidden).isshow, 1);
        QCOMPARE(found->editor()->textCursor().selectedText(), QStringLiteral("한글"));

        // Opened again: the same query, selected; text typed in an open note counts at once,
        // a hidden note is marked, a deleted one leaves.
        form->openFindWindow(std::nullopt);
        QCOMPARE(find->edQuery->selectedText(), QStringLiteral("한그"));
        form->FindNoteWindow(shown)->editor()->setPlainText(QStringLiteral("작성일\n장보기\n한글 교재"));
        find->search();
        QCOMPARE(rows(), (QByteArrayList{shown, hidden}));
        // Typed in with no search to take it from the window: once saved, its text is read from
        // its body, as the list of stored notes tells of the write.
        find->close();
        TfrmStikko_sub* shownNote = form->FindNoteWindow(shown);
        shownNote->editor()->setPlainText(QStringLiteral("작성일\n장보기\n저장한 글"));
        QTRY_VERIFY(!shownNote->isModified());
        QTRY_COMPARE(form->noteIndex()->note(shown)->text, QStringLiteral("작성일\n장보기\n저장한 글"));
        form->openFindWindow(std::nullopt);
        QCOMPARE(rows(), QByteArrayList{hidden});
        form->CloseNoteWindow(hidden);
        form->DeleteNote(shown);
        QVERIFY(!form->noteIndex()->contains(shown));
        QTRY_VERIFY(rows() == QByteArrayList{hidden} && find->model()->noteAt(0)->hidden);

        // A hidden note changed by another program is read again; one it removes leaves.
        form->dataFolderWatcher()->setTimings(std::chrono::milliseconds(10), std::chrono::milliseconds(300));
        QTextDocument elsewhere;
        elsewhere.setPlainText(QStringLiteral("작성일\n한글 산책"));
        const QString staged = env_->path(QStringLiteral("staged.rtf"));
        QVERIFY(rtf::saveFile(staged, elsewhere));
        QVERIFY(::rename(
                    QFile::encodeName(staged).constData(),
                    QFile::encodeName(dataPath(QLatin1String(other) + QStringLiteral(".rtf"))).constData()) ==
                0);
        QTRY_COMPARE(rows(), (QByteArrayList{other, hidden}));
        QVERIFY(find->model()->noteAt(0)->text.contains(QStringLiteral("한글 산책")));
        QVERIFY(QFile::remove(dataPath(QLatin1String(other) + QStringLiteral(".ini"))));
        QTRY_COMPARE(rows(), QByteArrayList{hidden});
    }

    void delete_removesBothFiles_withOrWithoutAWindow() {
        storeNote("20240101_000000_00", 0);
        QFile body(dataPath(QStringLiteral("20240101_000000_00.rtf")));
        QVERIFY(body.open(QIODevice::WriteOnly));
        body.write("{\\rtf1 hidden}");
        body.close();
        form->DeleteNote("20240101_000000_00");
        QVERIFY(!QFile::exists(dataPath(QStringLiteral("20240101_000000_00.ini"))));
        QVERIFY(!QFile::exists(dataPath(QStringLiteral("20240101_000000_00.rtf"))));

        form->rxTrayClick();
        TfrmStikko_sub* note = form->noteList.last();
        const QByteArray id = idOf(note);
        note->editor()->setPlainText(QStringLiteral("지울 메모\n둘째 줄"));
        form->DeleteNote(id.constData());
        QVERIFY(form->noteList.isEmpty());
        flushDeletes();
        QVERIFY(!QFile::exists(dataPath(QString::fromLatin1(id) + QStringLiteral(".ini"))));
        QVERIFY(!QFile::exists(dataPath(QString::fromLatin1(id) + QStringLiteral(".rtf"))));

        // An id that leads out of the data folder removes nothing.
        QFile outside(env::programFolder() + QStringLiteral("keep.ini"));
        QVERIFY(outside.open(QIODevice::WriteOnly));
        outside.close();
        form->DeleteNote("../keep");
        QVERIFY(outside.exists());
    }

    // The first start in an empty data folder makes one ordinary note that explains the
    // program, which the start-up load opens. It never comes again, not even after the user
    // deleted it; a folder that holds anything (a note from Windows that the program does not
    // even list) never gets one; when it cannot be written, nothing of it is left.
    void welcomeNote_onlyAtTheFirstStartOfAnEmptyFolder() {
        const auto leftInData = [this] {
            return QDir(env_->dataDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };
        QString error;
        env_->writer = [](int, const char*, qint64) -> qint64 {
            errno = ENOSPC;
            return -1;
        };
        QCOMPARE(makeWelcomeNote(&error), WelcomeNote::NotWritten);
        QVERIFY(!error.isEmpty());
        // The start remembered, the body refused: the start is forgotten again.
        env_->writer = [](int fd, const char* data, qint64 size) -> qint64 {
            if (QByteArrayView(data, size).startsWith("{\\rtf")) {
                errno = EIO;
                return -1;
            }
            return ::write(fd, data, size_t(size));
        };
        QCOMPARE(makeWelcomeNote(), WelcomeNote::NotWritten);
        env_->writer = nullptr;
        QCOMPARE(leftInData(), QStringList());
        QVERIFY(!QFile::exists(welcomeMarkerPath()));

        QCOMPARE(makeWelcomeNote(), WelcomeNote::Made);
        form->LoadAllNotes(0);
        QCOMPARE(form->noteList.size(), 1);
        TfrmStikko_sub* note = form->noteList.first();
        QCOMPARE(cp949::fieldText(note->record().title), QStringLiteral("Stikko에 오신 것을 환영합니다"));
        QVERIFY(QRect(QPoint(0, 0), QSize(1280, 738)).contains(note->geometry()));
        const QString text = note->editor()->toPlainText();
        QVERIFY2(
            text.startsWith(QStringLiteral("작성일:24/05/23 오후 05:40:52\nStikko에 오신 것을 환영합니다\n")),
            qPrintable(text));
        const QString dataFolder = QDir::cleanPath(env_->dataDir());
        for (const QString& said :
             {QStringLiteral("\"새 메모\""), QStringLiteral("stikko --new"),
              QStringLiteral("왼쪽 끝의 작은 그림을 오른쪽 클릭"),
              QStringLiteral("\"전체 메모장 상태 보기\""), QStringLiteral("\"메모 찾기...\""), dataFolder}) {
            QVERIFY2(text.contains(said), qPrintable(said));
        }

        QVERIFY(form->DeleteNote(idOf(note).constData()));
        flushDeletes();
        QCOMPARE(leftInData(), QStringList());
        QCOMPARE(makeWelcomeNote(), WelcomeNote::NotFirstStart);
        QCOMPARE(leftInData(), QStringList());

        QVERIFY(QFile::remove(welcomeMarkerPath()));
        QVERIFY(
            env_->writeFile(QStringLiteral("data/20040101_000000_00.INI"), "[VALUE_SECTION]\r\ntitle=a\r\n"));
        QCOMPARE(makeWelcomeNote(), WelcomeNote::NotFirstStart);
        QCOMPARE(leftInData(), QStringList{QStringLiteral("20040101_000000_00.INI")});
        QVERIFY(!QFile::exists(welcomeMarkerPath()));
    }

    void ending_savesEveryOpenNoteOnce_andRemovesTheIcon() {
        form->rxTrayClick();
        form->rxTrayClick();
        QList<QByteArray> ids;
        int line = 0;
        for (TfrmStikko_sub* note : form->noteList) {
            ids << idOf(note);
            note->editor()->append(QStringLiteral("끝날 때 저장 %1").arg(++line));
        }
        QSignalSpy ended(form.get(), &TfrmStikko_main::ended);
        form->FormClose();
        form->FormClose();
        QCOMPARE(ended.count(), 1);
        QVERIFY(form->noteList.isEmpty());
        QVERIFY(!form->rxTray->isVisible());
        for (const QByteArray& id : ids) {
            QFile body(dataPath(QString::fromLatin1(id) + QStringLiteral(".rtf")));
            QVERIFY2(body.open(QIODevice::ReadOnly), id.constData());
            QVERIFY(body.readAll().startsWith("{\\rtf"));
            QCOMPARE(readNote(id).isshow, 1);
        }
        // After the end, the icon makes no more notes.
        form->rxTrayClick();
        QVERIFY(form->noteList.isEmpty());
    }

    // A note whose files cannot be written refuses to close and keeps its text; hiding it,
    // hiding all and the program's end leave it open and listed, shown in its record, and the
    // end puts its text into the recovery folder.
    void unwritableNote_staysOpenAndListed_throughHideAndEnd() {
        storeNote("20240101_000000_00", 1);
        storeNote("20240102_000000_00", 1);
        form->FormCreate();
        form->finishOpenedRecords();
        QCOMPARE(form->noteList.size(), 2);
        QPointer<TfrmStikko_sub> stuck = form->noteList.first();
        QPointer<TfrmStikko_sub> other = form->noteList.last();
        // Folders in place of the note's two files: neither can be written.
        const QString ini = dataPath(QStringLiteral("20240101_000000_00.ini"));
        const QString rtf = dataPath(QStringLiteral("20240101_000000_00.rtf"));
        QFile::remove(ini);
        QFile::remove(rtf);
        QVERIFY(QDir().mkpath(ini) && QDir().mkpath(rtf));
        stuck->editor()->append(QStringLiteral("잃으면 안 되는 줄"));

        auto stillThere = [&] {
            flushDeletes();
            return !stuck.isNull() && stuck->isVisible() && form->noteList.contains(stuck.data()) &&
                   stuck->record().isshow == 1 &&
                   stuck->titleBar()->isPictureShown(NoteTitleBar::Picture::Mark) &&
                   stuck->editor()->toPlainText().endsWith(QStringLiteral("잃으면 안 되는 줄"));
        };
        form->CloseNoteWindow("20240101_000000_00");
        QVERIFY(stillThere());
        form->nnAllhideClick();
        QVERIFY(stillThere());
        QVERIFY(other.isNull()); // the writable note went as usual
        QCOMPARE(readNote("20240102_000000_00").isshow, 0);
        QVERIFY(!form->lastTrayMessage.isEmpty());

        const QString state = env_->xdgStateDir();
        QSignalSpy ended(form.get(), &TfrmStikko_main::ended);
        form->FormClose();
        QCOMPARE(ended.count(), 1);
        QVERIFY(stillThere());
        const QString copy = state + QStringLiteral("stikko/recovery/20240101_000000_00.rtf");
        QVERIFY(test::bodyText(copy).endsWith(QStringLiteral("잃으면 안 되는 줄")));
        QCOMPARE(noteFiles().recoveryFiles(), QStringList{copy});

        // A start after a crash here would say where the copy waits.
        {
            TfrmStikko_main next;
            next.reportRecoveryFiles();
            QVERIFY(next.lastTrayMessage.contains(
                QDir::toNativeSeparators(state + QStringLiteral("stikko/recovery/"))));
        }

        // Once the files can be written again, the form's own end saves the note, and the copy
        // kept meanwhile goes.
        QVERIFY(QDir().rmdir(ini) && QDir().rmdir(rtf));
        form.reset();
        flushDeletes();
        QVERIFY(stuck.isNull());
        QCOMPARE(readNote("20240101_000000_00").isshow, 1);
        QVERIFY(test::bodyText(rtf).endsWith(QStringLiteral("잃으면 안 되는 줄")));
        QVERIFY(noteFiles().recoveryFiles().isEmpty());
    }

    void homePage_usesTheDefaults_onlyWhenLongerThanFour() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");

        cp949::copyToField(dm->defaults.left_homepage, QByteArrayView("abcd"));
        form->nnHomepageClick();
        cp949::copyToField(dm->defaults.left_homepage, QStringView(u"www.example.org/메모"));
        form->nnHomepageClick();
        // Only web addresses go to the desktop; files and other schemes never start anything.
        form->OpenWebAddress(QStringLiteral("file:///bin/sh"), nullptr);
        form->OpenWebAddress(QStringLiteral("/usr/bin/xterm"), nullptr);
        form->OpenWebAddress(QStringLiteral("javascript:alert(1)"), nullptr);
        form->OpenWebAddress(QStringLiteral("   "), nullptr);
        QCOMPARE(env_->dialogs.errors.size(), 4); // each refused with a message
        QVERIFY(env_->dialogs.errors.at(2).contains(QStringLiteral("javascript:alert(1)")));
        // Refused for a note's link picture, the message is the note's: it opens over it.
        cp949::copyToField(dm->defaults.left_homepage, QByteArrayView("javascript:alert(2)"));
        form->rxTrayClick();
        TfrmStikko_sub* note = form->noteList.last();
        QTest::mouseClick(note->titleBar(), Qt::LeftButton, {},
                          note->titleBar()->pictureRect(NoteTitleBar::Picture::Zem).center());
        QCOMPARE(env_->dialogs.errors.size(), 5);
        QCOMPARE(env_->dialogs.shownOver.last(), note);
        cp949::copyToField(dm->defaults.left_homepage, QByteArrayView("abcd"));
        // Web and mail addresses open.
        QDesktopServices::setUrlHandler(QStringLiteral("ftp"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
        form->OpenWebAddress(QStringLiteral("ftp://ftp.example.org/pub"), nullptr);
        form->OpenWebAddress(QStringLiteral("mailto:me@example.org"), nullptr);
        QCOMPARE(env_->dialogs.errors.size(), 5);

        for (const char* scheme : {"http", "https", "ftp", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        QCOMPARE(catcher.urls.size(), 4);
        QCOMPARE(catcher.urls.at(3), QUrl(QStringLiteral("mailto:me@example.org")));
        QCOMPARE(catcher.urls.at(0), QUrl(QStringLiteral("https://stikko.app")));
        QCOMPARE(catcher.urls.at(1).host(), QStringLiteral("www.example.org"));
        QCOMPARE(catcher.urls.at(1).scheme(), QStringLiteral("http"));
        QCOMPARE(catcher.urls.at(1).path(), QStringLiteral("/메모"));
    }

    void fileFailures_areTold_inKorean() {
        form->reportWriteFailure(QStringLiteral("/nowhere/a.ini"));
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("저장하지 못했습니다")));
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("/nowhere/a.ini")));
        // Every call is a note's first failure of a run: each is told.
        form->reportWriteFailure(QStringLiteral("/nowhere/b.ini"));
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("b.ini")));
        form->reportReadFailure(QStringLiteral("/nowhere/c.rtf"));
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("읽지 못했습니다")));
        QVERIFY(form->lastTrayMessage.contains(QStringLiteral("/nowhere/c.rtf")));
    }

    void notesRingingTogether_areToldInOneMessage() {
        for (const char* id : {"20240101_000000_01", "20240101_000000_02", "20240101_000000_03"}) {
            NoteRecord record{};
            InitNoteRecord(record, id);
            LoadNoteRecord(record, kDefaultsFile);
            record.isalram = 1;
            std::strcpy(record.alram_datetime, "2024-05-23 09:00:00");
            QVERIFY(SaveNoteRecord(nullptr, record));
        }
        form->FormCreate();
        QCOMPARE(form->noteList.size(), 3);
        QTRY_VERIFY(form->lastTrayMessage.startsWith(QStringLiteral("메모장 3개의 알람 시각입니다")));
        QCOMPARE(form->lastTrayMessageTitle, QStringLiteral("Stikko 알람"));
    }

    void aboutWindow_showsTheLogo_andAClickClosesIt() {
        bool checked = false;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(frmStikko_logo != nullptr);
            QCOMPARE(frmStikko_logo->size(), QSize(271, 272));
            QVERIFY(frmStikko_logo->windowFlags().testFlag(Qt::FramelessWindowHint));
            QCOMPARE(frmStikko_logo->windowTitle(), QStringLiteral("Orbindo Stikko"));
            QLabel* logo = frmStikko_logo->imgLogo;
            QCOMPARE(logo->pixmap().size(), QSize(271, 271));
            QCOMPARE(logo->cursor().shape(), Qt::PointingHandCursor);
            checked = true;
            QTest::mouseClick(logo, Qt::LeftButton, {}, QPoint(100, 100));
        });
        form->nnLogoClick();
        QVERIFY(checked);
        QVERIFY(frmStikko_logo == nullptr);
        QVERIFY(env_->dialogs.errors.isEmpty());

        // An unreadable picture is told in the error box; the window then shows without it.
        QVERIFY(QFile::remove(TfrmStikko_logo::logoPath()));
        QTimer::singleShot(0, this, [&] {
            QVERIFY(frmStikko_logo && frmStikko_logo->imgLogo->pixmap().isNull());
            QTest::mouseClick(frmStikko_logo->imgLogo, Qt::LeftButton, {}, QPoint(100, 100));
        });
        form->nnLogoClick();
        QCOMPARE(env_->dialogs.errors.size(), 1);
        QVERIFY(env_->dialogs.errors.at(0).contains(QStringLiteral("stikko_logo.gif")));
    }
};

QTEST_MAIN(StikkoMainTest)
#include "stikko_main_test.moc"
