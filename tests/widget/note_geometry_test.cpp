// Moving a note by its title bar, resizing it by a grip, folding and maximising it, driven by
// mouse events as a user would; the record on disk must hold the result after each gesture.

#include "support/notefixture.h"

#include "note/notetitlebar.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "store/dm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <memory>

using namespace stikko;
using namespace stikko::test;

class NoteGeometryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteFixture> f;
    QPointer<TfrmStikko_sub> note;

    // A shown note at `place` (outer geometry), as stored in its INI file.
    TfrmStikko_sub* open(const QRect& place) {
        const bool stored = f->store(kNoteId, [&](NoteRecord& r) {
            r.scr_x = place.x();
            r.scr_y = place.y();
            r.scr_width = place.width();
            r.scr_height = place.height();
        });
        return stored ? note = f->open() : nullptr;
    }
    NoteRecord stored() const { return f->stored(); }
    QRect storedPlace() const {
        const NoteRecord r = stored();
        return {r.scr_x, r.scr_y, r.scr_width, r.scr_height};
    }
    // The pointer to a screen position, over whatever widget holds the gesture.
    static void moveTo(QWidget* widget, QPoint global) {
        QTest::mouseMove(widget, widget->mapFromGlobal(global));
    }
    static Qt::CursorShape appCursor() {
        return QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape()
                                                 : Qt::ArrowCursor;
    }

  private slots:
    void init() { f = std::make_unique<NoteFixture>(); }
    void cleanup() {
        delete note.data();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // no gesture leaves its cursor behind
        f.reset();
    }

    void drag_movesNote_pointerKeepsItsPlace_recordWrittenAtRelease() {
        QVERIFY(open({100, 100, 300, 200}));
        QWidget* bar = part<Panel>(note, "pnTitle");
        const QPoint grab = bar->mapToGlobal(QPoint(50, 8));
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, 8));
        QCOMPARE(appCursor(), Qt::DragMoveCursor);
        moveTo(bar, grab + QPoint(10, 10));
        moveTo(bar, grab + QPoint(30, 40));
        QCOMPARE(note->pos(), QPoint(130, 140));
        QCOMPARE(bar->mapFromGlobal(grab + QPoint(30, 40)), QPoint(50, 8));
        QCOMPARE(storedPlace().topLeft(), QPoint(100, 100)); // nothing written mid-gesture
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(grab + QPoint(30, 40)));
        QCOMPARE(appCursor(), Qt::ArrowCursor);
        QCOMPARE(storedPlace(), QRect(130, 140, 300, 200));

        // A hand faster than the program: the moves and the release it reads late were placed
        // on the title bar as it stood at the press. The note follows the pointer all the same,
        // no step too far.
        const QPoint again = bar->mapToGlobal(QPoint(50, 8));
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, 8));
        const auto late = [&](QEvent::Type type, QPoint step) {
            QMouseEvent event(type, QPointF(QPoint(50, 8) + step), QPointF(again + step), Qt::LeftButton,
                              type == QEvent::MouseMove ? Qt::LeftButton : Qt::NoButton, {});
            QApplication::sendEvent(bar, &event);
        };
        late(QEvent::MouseMove, {-20, -10});
        late(QEvent::MouseMove, {-40, -30});
        QCOMPARE(note->pos(), QPoint(90, 110));
        late(QEvent::MouseButtonRelease, {-40, -30});
        QCOMPARE(storedPlace(), QRect(90, 110, 300, 200));
    }

    void drag_pointerNearWorkAreaEdge_doesNotMove() {
        // Work area 1280 x 770; the test uses left + x and top + y against 2 .. W-2, 2 .. H-2.
        QVERIFY(open({0, 300, 300, 200}));
        QWidget* bar = part<Panel>(note, "pnTitle");
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(30, 8)); // beside the maker's mark
        QTest::mouseMove(bar, QPoint(1, 8));                       // left + x = 1: too close
        QCOMPARE(note->pos(), QPoint(0, 300));
        QTest::mouseMove(bar, QPoint(2, 8)); // 2: follows again
        QCOMPARE(note->pos(), QPoint(-28, 300));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(30, 8));

        delete note.data();
        QVERIFY(open({1280 - 300, 770 - 200, 300, 200}));
        bar = part<Panel>(note, "pnTitle");
        QTest::mousePress(bar, Qt::RightButton, {}, QPoint(200, 8)); // any button moves
        QTest::mouseMove(bar, QPoint(299, 8));                       // 980 + 299 = 1279 = W - 1
        QCOMPARE(note->pos(), QPoint(980, 570));
        QTest::mouseMove(bar, QPoint(200, 199)); // 570 + 199 = 769 = H - 1
        QCOMPARE(note->pos(), QPoint(980, 570));
        QTest::mouseMove(bar, QPoint(298, 8)); // 1278 = W - 2
        QCOMPARE(note->pos(), QPoint(1078, 570));
        QTest::mouseRelease(bar, Qt::RightButton, {}, QPoint(200, 8));
        QCOMPARE(storedPlace().topLeft(), QPoint(1078, 570));
    }

    void release_withoutMotion_stillWrites() {
        QVERIFY(open({100, 100, 300, 200}));
        QVERIFY(QFile::remove(f->iniPath()));
        QTest::mouseClick(part<Panel>(note, "pnTitle"), Qt::MiddleButton, {}, QPoint(40, 8));
        QCOMPARE(storedPlace(), QRect(100, 100, 300, 200));
    }

    void grip_belowMinimum_isSetBackOnNextMove() {
        QVERIFY(open({100, 100, 275, 218}));
        QWidget* grip = note->toolbar()->sizeGrip();
        const QPoint start = grip->mapToGlobal(QPoint(8, 8));
        QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(appCursor(), Qt::SizeFDiagCursor);
        moveTo(grip, start + QPoint(25, 12));
        QCOMPARE(note->geometry(), QRect(100, 100, 300, 230)); // left and top stay
        moveTo(grip, start + QPoint(-75, 12));
        QCOMPARE(note->size(), QSize(200, 230)); // the step that goes below is taken...
        moveTo(grip, start + QPoint(-60, 30));
        QCOMPARE(note->size(), QSize(270, 230)); // ...and set back on the next move, no step
        // The set-back is not a step: the anchor stays where the last step left it.
        moveTo(grip, start + QPoint(-50, 30));
        QCOMPARE(note->size(), QSize(270 + 25, 230 + 18));
        QCOMPARE(storedPlace().size(), QSize(275, 218));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->mapFromGlobal(start + QPoint(-50, 30)));
        QCOMPARE(appCursor(), Qt::ArrowCursor);
        QCOMPARE(storedPlace(), QRect(100, 100, 295, 248));
    }

    void stripGrip_resizesToo_withAnyButton() {
        QVERIFY(open({100, 100, 300, 200}));
        NoteRecord shown = note->record();
        shown.isshow_toolbar = 0;
        note->previewSettings(shown);
        QWidget* grip = part<ImageBox>(note, "Image1");
        const QPoint start = grip->mapToGlobal(QPoint(8, 8));
        QTest::mousePress(grip, Qt::RightButton, {}, QPoint(8, 8));
        moveTo(grip, start + QPoint(20, 10));
        QTest::mouseRelease(grip, Qt::RightButton, {}, grip->mapFromGlobal(start + QPoint(20, 10)));
        QCOMPARE(storedPlace(), QRect(100, 100, 320, 210));
    }

    void doubleClick_foldsAndUnfolds() {
        QVERIFY(open({120, 80, 300, 200}));
        QTest::mouseDClick(part<Panel>(note, "pnTitle"), Qt::LeftButton, {}, QPoint(60, 8));
        QCOMPARE(note->geometry(), QRect(120, 80, 275, 20)); // the defaults' width, title bar only
        NoteRecord r = stored();
        QCOMPARE(r.ismini, 1);
        QCOMPARE(QSize(r.scr_width, r.scr_height), QSize(300, 200)); // its own size is kept
        QTest::mouseDClick(part<Panel>(note, "pnTitle"), Qt::LeftButton, {}, QPoint(60, 8));
        QCOMPARE(note->geometry(), QRect(120, 80, 300, 200));
        QCOMPARE(stored().ismini, 0);
    }

    // The second press of a double click is a press like the first: after the fold, moving the
    // pointer moves the note; on a grip it resizes.
    void doubleClick_secondPressStartsAMoveOrAResize() {
        QVERIFY(open({120, 80, 300, 200}));
        QWidget* bar = part<Panel>(note, "pnTitle");
        const QPoint grab = bar->mapToGlobal(QPoint(60, 8));
        QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(60, 8), QPointF(grab), Qt::LeftButton,
                           Qt::LeftButton, {});
        QApplication::sendEvent(bar, &second);
        QCOMPARE(note->height(), 20);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(grab + QPoint(15, 25)));
        QCOMPARE(note->pos(), QPoint(135, 105));
        QCOMPARE(storedPlace().topLeft(), QPoint(135, 105));
        QCOMPARE(stored().ismini, 1);

        QTest::mouseDClick(part<Panel>(note, "pnTitle"), Qt::LeftButton, {}, QPoint(60, 8)); // unfold
        QWidget* grip = note->toolbar()->sizeGrip();
        const QPoint start = grip->mapToGlobal(QPoint(8, 8));
        QMouseEvent onGrip(QEvent::MouseButtonDblClick, QPointF(8, 8), QPointF(start), Qt::LeftButton,
                           Qt::LeftButton, {});
        QApplication::sendEvent(grip, &onGrip);
        const QPoint to = start + QPoint(20, 10);
        QMouseEvent held(QEvent::MouseMove, QPointF(grip->mapFromGlobal(to)), QPointF(to), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(grip, &held);
        QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->mapFromGlobal(start + QPoint(20, 10)));
        QCOMPARE(storedPlace().size(), QSize(320, 210));
    }

    // A note is shown where its title bar can be reached; the file keeps its own place until
    // the user moves the note.
    void unreachablePlace_isShownOnTheScreen_butStaysStored() {
        QVERIFY(open({-100000, 100, 300, 200}));
        QCOMPARE(note->pos(), QPoint(0, 100));
        QCOMPARE(stored().scr_x, -100000);
        delete note.data();
        QVERIFY(open({1280 - 60, 770 - 10, 300, 200})); // 60 x 10 pixels of its title bar show
        QCOMPARE(note->pos(), QPoint(1220, 760));
        delete note.data();
        QVERIFY(open({1280 - 30, 100, 300, 200})); // only 30 pixels: too little to grab
        QCOMPARE(note->pos(), QPoint(980, 100));
        QCOMPARE(stored().scr_x, 1250);
    }

    void imgMax_unfoldsFolded_maximisesThenRestoresToDefaults() {
        QVERIFY(open({120, 80, 300, 200}));
        QTest::mouseDClick(part<Panel>(note, "pnTitle"), Qt::LeftButton, {}, QPoint(60, 8));
        QTest::mouseRelease(part<Panel>(note, "pnTitle"), Qt::LeftButton, {}, QPoint(60, 8));
        const auto clickMax = [this] {
            const QRect box = note->titleBar()->pictureRect(NoteTitleBar::Picture::Max);
            QTest::mouseClick(note->titleBar(), Qt::LeftButton, {}, box.center());
        };
        clickMax();
        QCOMPARE(note->geometry(), QRect(120, 80, 300, 200)); // only unfolded
        clickMax();
        QCOMPARE(note->geometry(), QRect(0, 0, 1280, 770));
        QCOMPARE(storedPlace(), QRect(0, 0, 1280, 770));
        clickMax();
        QCOMPARE(note->geometry(), QRect(0, 0, 275, 218)); // the defaults' size, not the earlier one
        QCOMPARE(storedPlace(), QRect(0, 0, 275, 218));
    }

    void brokenStoredSize_showsAUsableNote() {
        QVERIFY(open({50, 60, 0, -5}));
        QCOMPARE(note->geometry(), QRect(50, 60, 275, 218));
    }
};

QTEST_MAIN(NoteGeometryTest)
#include "note_geometry_test.moc"
