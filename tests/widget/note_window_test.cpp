// The note window as a whole: built from its record, its layout and colours,
// the title taken from the body, change tracking, the close-time save and the
// background save, the input method's pending syllable, and the commands that
// go to the host.

#include "support/notefixture.h"

#include "note/bodyreader.h"
#include "note/notedefaults.h"
#include "note/notetitlebar.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/sharedpictures.h"
#include "note/stikko_sub.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/rtf.h"
#include "store/dm.h"
#include "theme/colors.h"
#include "theme/xphelpers.h"
#include "theme/xpstyle.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolTip>
#include <cstring>
#include <memory>

using namespace stikko;
using namespace stikko::test;
using stikko::xp::GetShadeColor;
using stikko::xp::NewColor;

namespace {

constexpr const char* kId = kNoteId;

QColor rgb(int32_t value) {
    return colors::toQColor(value);
}

} // namespace

class NoteWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteFixture> f;
    QPointer<TfrmStikko_sub> note;

    TfrmStikko_sub* open(const char* id = kId) { return note = f->open(id); }
    void typeAtEnd(const QString& text) { NoteFixture::typeAtEnd(note, text); }

  private slots:
    void init() { f = std::make_unique<NoteFixture>(); }
    void cleanup() { f.reset(); }

    void layout_matchesDesignSizesAndColours() {
        open();
        QCOMPARE(note->size(), QSize(275, 218));
        // Form border 1, then the base panel's bevel and border (2), then the title bar;
        // below it the client panel's border (1) around the body and the tool bar.
        QCOMPARE(part<Panel>(note, "pnTitle")->geometry(), QRect(3, 3, 269, 16));
        QCOMPARE(note->editor()->geometry(), QRect(4, 20, 267, 176));
        QCOMPARE(note->toolbar()->geometry(), QRect(4, 196, 267, 18));
        QVERIFY(part<Panel>(note, "pnBottom0")->isHidden());
        using Picture = NoteTitleBar::Picture;
        NoteTitleBar* title = note->titleBar();
        QCOMPARE(title->pictureRect(Picture::Zem), QRect(0, 0, 26, 16));
        QVERIFY(!title->isPictureShown(Picture::Time));
        QVERIFY(!title->isPictureShown(Picture::Vanto)); // no picture named in the defaults
        QCOMPARE(title->pictureRect(Picture::Max), QRect(269 - 16, 0, 16, 16));
        QCOMPARE(title->captionRect(), QRect(26, 0, 269 - 16 - 26, 16));

        // Tool bar: labels and buttons at their places; the right end follows the
        // right edge.
        QCOMPARE(toolRect(note, "labFont").x(), 3);
        QCOMPARE(toolRect(note, "labBold").left(), 36);
        QCOMPARE(toolRect(note, "labItalic").left(), 47);
        QCOMPARE(toolRect(note, "labUnderline").left(), 57);
        const QList<QPair<const char*, int>> buttons = {
            {"sbColor", 71},  {"sbBullets", 92}, {"sbUndo", 117},  {"sbCut", 135},  {"sbCopy", 153},
            {"sbPaste", 171}, {"sbDelete", 197}, {"sbPrint", 215}, {"sbClose", 233}};
        for (const auto& [button, left] : buttons)
            QCOMPARE(toolRect(note, button), QRect(left, 1, 18, 17));
        QCOMPARE(note->toolbar()->sizeGrip()->geometry(), QRect(251, 2, 16, 16));
        note->resize(375, 218);
        QCOMPARE(toolRect(note, "sbClose").x(), 333);
        QCOMPARE(toolRect(note, "sbDelete").x(), 297);
        QCOMPARE(note->toolbar()->sizeGrip()->x(), 351);
        QCOMPARE(toolRect(note, "sbPaste").x(), 171);
        note->resize(275, 218);

        // Colours as painted: base ring, title bar, body, tool bar (from the
        // shipped defaults).
        const QImage image = note->grab().toImage();
        QCOMPARE(QColor(image.pixel(2, 2)), rgb(11056317));
        QCOMPARE(QColor(image.pixel(32, 4)), rgb(5467961)); // beside the caption
        QCOMPARE(QColor(image.pixel(200, 150)), rgb(12382189));
        QCOMPARE(QColor(image.pixel(194, 200)), rgb(7639656));

        // Fonts, hints and cursors.
        QCOMPARE(note->editor()->font().family(), QStringLiteral("굴림체"));
        QCOMPARE(note->editor()->font().pixelSize(), 12);
        {
            const QImage text = note->toolbar()->grab(toolRect(note, "labFont")).toImage();
            int white = 0;
            for (int y = 0; y < text.height(); ++y)
                for (int x = 0; x < text.width(); ++x)
                    white += qGray(text.pixel(x, y)) > 240;
            QVERIFY(white > 10); // the caption is drawn in white
        }
        QCOMPARE(part<Panel>(note, "pnTitle")->toolTip(), QStringLiteral("더블클릭\n= 최소화"));
        QCOMPARE(title->pictureTip(Picture::Max), QStringLiteral("확대\n축소"));
        QCOMPARE(title->pictureCursor(Picture::Zem), Qt::PointingHandCursor);
        QCOMPARE(note->toolbar()->sizeGrip()->cursor().shape(), Qt::SizeFDiagCursor);
        QVERIFY(note->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(note->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    }

    // Until someone may use it, the body is drawn from its document instead of by an editor; the
    // editor then takes its place without a pixel changing. The pointer over the body or the
    // keyboard focus makes it, and so does text the drawn body could not show whole.
    void body_isDrawnUntilUsed_thenTheEditorLooksTheSame() {
        QVERIFY(f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".rtf"),
                                 "{\\rtf1\\ansi\\deff0{\\colortbl;\\red255\\green0\\blue0;}first\\par "
                                 "{\\b bold} {\\i slanted} {\\ul under} {\\cf1 red}\\par \\u54620?\\u44544? "
                                 "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz\\par}"));
        open();
        QVERIFY(note->findChild<QTextEdit*>() == nullptr);
        auto* view = note->findChild<QWidget*>(QStringLiteral("reDocView"));
        QVERIFY(view != nullptr && view->isVisible());
        QCOMPARE(view->geometry(), QRect(4, 20, 267, 176));
        const QImage drawn = note->grab().toImage();
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
        QCoreApplication::sendEvent(view, &enter);
        QTextEdit* editor = note->findChild<QTextEdit*>();
        QVERIFY(editor != nullptr && editor->isVisible() && !editor->hasFocus());
        QCOMPARE(note->grab().toImage(), drawn);
        QTRY_VERIFY(note->findChild<QWidget*>(QStringLiteral("reDocView")) == nullptr);
        QCOMPARE(editor->toPlainText().left(5), QStringLiteral("first"));
        QVERIFY(!note->isModified());

        const char* second = "20040201_090503_08";
        QVERIFY(f->store(second, [](NoteRecord& r) { r.scr_height = 100; }));
        QVERIFY(
            f->env.writeFile(QStringLiteral("data/") + second + QStringLiteral(".rtf"), "{\\rtf1 short}"));
        TfrmStikko_sub* other = f->open(second);
        QVERIFY(other->findChild<QTextEdit*>() == nullptr);
        QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(other->findChild<QWidget*>(QStringLiteral("reDocView")), &focus);
        QVERIFY(other->findChild<QTextEdit*>() != nullptr);
        QCOMPARE(other->focusWidget(), other->editor());
        // Lines the drawn body cannot show: the editor with its scroll bar, at once.
        NoteFixture::typeAtEnd(other, QStringLiteral("\n2\n3\n4\n5\n6"));
        QVERIFY(other->close());
        TfrmStikko_sub* reopened = f->open(second);
        QTextEdit* longEditor = reopened->findChild<QTextEdit*>();
        QVERIFY(longEditor != nullptr);
        QVERIFY(longEditor->verticalScrollBar()->isVisible());
    }

    // Shared pictures stay within their budget by dropping the one used longest ago; the one
    // asked for again is copied, not painted again, and each key keeps its own picture. A
    // picture larger than the whole budget is never kept and drops nothing.
    void sharedPictures_dropTheLeastRecentlyUsed() {
        SharedPictures<1> pictures;
        const int side = 400; // three fit in the budget, four do not
        QVERIFY(3 * side * side * 4 <= SharedPictures<1>::kBudget &&
                4 * side * side * 4 > SharedPictures<1>::kBudget);
        QList<int> painted;
        const auto find = [&](int key) {
            const QPixmap* picture = pictures.find({key}, QSize(side, side), 1.0, [&](QPainter& p) {
                painted << key;
                p.fillRect(0, 0, side, side, QColor::fromRgb(QRgb(key)));
            });
            return picture ? picture->toImage().pixel(side / 2, side / 2) & 0xffffff : QRgb(~0u);
        };
        for (int key : {1, 2, 3, 1, 4}) // 2 is the least recently used when 4 comes
            QCOMPARE(find(key), QRgb(key));
        QCOMPARE(painted, (QList<int>{1, 2, 3, 4}));
        for (int key : {1, 3, 4})
            QCOMPARE(find(key), QRgb(key));
        QCOMPARE(painted.size(), 4);
        QCOMPARE(find(2), QRgb(2)); // painted anew, in the place of 1
        QCOMPARE(find(1), QRgb(1));
        QCOMPARE(painted, (QList<int>{1, 2, 3, 4, 2, 1}));

        const QPixmap* huge =
            pictures.find({9}, QSize(side * 2, side * 2), 1.0, [&](QPainter&) { painted << 9; });
        QVERIFY(huge == nullptr);
        for (int key : {2, 1})
            QCOMPARE(find(key), QRgb(key));
        QCOMPARE(painted.size(), 6);
    }

    // The tool bar is one widget: a click at each control's place runs that control's command,
    // the pointer over it shows its tip (on a note that is not the active window too), and a
    // screen reader finds each control under its name. Under the flat style the base panel's
    // bevel comes from its own colour and a hot button is the bar's colour AND the tint.
    void toolbar_clicksTipsNamesAndFlatLook() {
        open();
        note->show();
        NoteToolbar* bar = note->toolbar();
        QSignalSpy triggered(bar, &NoteToolbar::triggered);
        // Close and delete would end the note: here only which command each place asks for.
        QVERIFY(QObject::disconnect(bar, &NoteToolbar::triggered, note, nullptr));
        QAccessibleInterface* barAccessible = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(barAccessible);
        const std::span<const ToolbarItem> items = toolbarItems();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const QRect r = toolRect(note, items[i].name);
            QTest::mouseClick(bar, Qt::RightButton, {}, r.center()); // only the left button acts
            QTest::mouseClick(bar, Qt::LeftButton, {}, r.center());
            QCOMPARE(triggered.size(), int(i) + 1);
            QCOMPARE(triggered.last().at(0).value<NoteCommand>(), items[i].command);
            QAccessibleInterface* child = barAccessible->child(int(i));
            QVERIFY(child);
            QCOMPARE(child->text(QAccessible::Name),
                     QString::fromUtf16(commandInfo(items[i].command).caption));
            QCOMPARE(child->role(), QAccessible::Button);
            QCOMPARE(
                barAccessible->childAt(bar->mapToGlobal(r.center()).x(), bar->mapToGlobal(r.center()).y()),
                child);
        }
        QCOMPARE(barAccessible->childCount(), int(items.size()) + 1); // and the size grip
        QAccessibleInterface* title = QAccessible::queryAccessibleInterface(note->titleBar());
        QCOMPARE(title->child(int(NoteTitleBar::Picture::Max))->text(QAccessible::Name),
                 QStringLiteral("확대/축소"));

        QVERIFY(note->testAttribute(Qt::WA_AlwaysShowToolTips));
        const QRect bullets = toolRect(note, "sbBullets");
        QTest::mouseMove(bar, bullets.center());
        QHelpEvent help(QEvent::ToolTip, bullets.center(), bar->mapToGlobal(bullets.center()));
        QApplication::sendEvent(bar, &help);
        QCOMPARE(QToolTip::text(), QStringLiteral("들여쓰기"));
        QToolTip::hideText();
        QTest::mouseMove(bar, bullets.center() + QPoint(1, 0));
        QCOMPARE(bar->hotControl(), int(std::find_if(items.begin(), items.end(),
                                                     [](const ToolbarItem& item) {
                                                         return item.command == NoteCommand::Indent;
                                                     }) -
                                        items.begin()));

        // The flat look: the bevel, the hot button (under the pointer now), the toggled one.
        const XPPalette& p = note->xpStyle()->workingPalette();
        const ColorValue base = 11056317; // the base panel's colour at design
        QImage shot = note->grab().toImage();
        QCOMPARE(colors::fromQColor(shot.pixelColor(1, 1)), NewColor(base, 60));
        QCOMPARE(colors::fromQColor(shot.pixelColor(1 + 272, 100)), GetShadeColor(base, 60));
        const ColorValue barColor = colors::fromQColor(bar->color());
        const ColorValue tint = barColor & NewColor(p.SelectionFillColor, 20);
        QVERIFY(tint != barColor);
        shot = bar->grab().toImage();
        const auto pixel = [&](int x, int y) { return colors::fromQColor(shot.pixelColor(x, y)); };
        QCOMPARE(pixel(bullets.left() + 1, bullets.bottom() - 1), tint);
        QCOMPARE(pixel(bullets.right(), bullets.center().y()), p.SelectionFrameColor);
        const QRect copy = toolRect(note, "sbCopy"); // at rest: the bar shows through
        QCOMPARE(pixel(copy.left() + 1, copy.bottom() - 1), barColor);
        QCOMPARE(pixel(copy.right(), copy.center().y()), barColor);
        note->run(NoteCommand::Indent); // on, and the pointer gone: framed, the bar tinted
        QTest::mouseMove(bar, QPoint(bar->width() / 2, 30));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(bar, &leave);
        shot = bar->grab().toImage();
        QCOMPARE(pixel(bullets.right(), bullets.center().y()), p.SelectionFrameColor);
        QCOMPARE(pixel(bullets.left() + 1, bullets.bottom() - 1), tint);
        // The style switched off: no tint anywhere, the bevel from the desktop's colours.
        note->xpStyle()->SetActive(false);
        shot = bar->grab().toImage();
        QCOMPARE(pixel(bullets.left() + 1, bullets.bottom() - 1) == tint, false);
        QVERIFY(colors::fromQColor(note->grab().toImage().pixelColor(1, 1)) != NewColor(base, 60));
    }

    // A button held down with the left button looks pressed until the button comes up, also
    // with the pointer gone from it, and released elsewhere it does nothing. The other mouse
    // buttons do not press it.
    void toolbarButton_pressedLookHeldWhileHeld() {
        open();
        note->show();
        NoteToolbar* bar = note->toolbar();
        QSignalSpy triggered(bar, &NoteToolbar::triggered);
        const QRect copy = toolRect(note, "sbCopy");
        const QPoint away(toolRect(note, "sbPaste").right() + 4, copy.center().y()); // between buttons
        QVERIFY(bar->controlAt(away) < 0);
        const auto look = [&] { return bar->grab(copy).toImage(); };
        const QImage rest = look();
        QTest::mouseMove(bar, copy.center() - QPoint(1, 0)); // the first move enters the bar
        QTest::mouseMove(bar, copy.center());
        QCOMPARE(bar->hotControl(), bar->controlAt(copy.center()));
        const QImage hot = look();
        QVERIFY(hot != rest);
        QTest::mousePress(bar, Qt::RightButton, {}, copy.center());
        QCOMPARE(look(), hot);
        QTest::mouseRelease(bar, Qt::RightButton, {}, copy.center());
        QTest::mousePress(bar, Qt::LeftButton, {}, copy.center());
        const QImage pressed = look();
        QVERIFY(pressed != hot);
        QTest::mouseMove(bar, away);
        const QImage heldAway = look();
        QVERIFY(heldAway != rest && heldAway != hot);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, away);
        QCOMPARE(look(), rest);
        QCOMPARE(triggered.size(), 0);
        // The style off: the same in the program's own look.
        note->xpStyle()->SetActive(false);
        const QImage plainRest = look();
        QTest::mousePress(bar, Qt::LeftButton, {}, copy.center());
        QTest::mouseMove(bar, away);
        QVERIFY(look() != plainRest);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, away);
        QCOMPARE(look(), plainRest);
    }

    void menus_haveCaptionsShortcutsAndOrder() {
        open();
        auto describe = [](QMenu* menu) {
            QStringList items;
            for (QAction* a : menu->actions())
                items << (a->isSeparator() ? QStringLiteral("-")
                                           : a->text() + QLatin1Char('|') + a->shortcut().toString());
            return items;
        };
        QCOMPARE(describe(note->editMenu()),
                 QStringList({"들여쓰기/바로쓰기|Ctrl+T", "-", "복사|Ctrl+C", "자르기|Ctrl+X",
                              "붙이기|Ctrl+V", "-", "폰트|Ctrl+F", "진하게|Ctrl+B", "기울이기|Ctrl+S",
                              "밑줄|Ctrl+U", "-", "프린트|Ctrl+P", "화면에서 숨기기|", "완전 삭제|"}));
        QCOMPARE(describe(note->noteMenu()),
                 QStringList({"환경설정|", "-", "언제나 화면의 최상단에 위치|", "알람( Alarm) 설정|", "-",
                              "자르기|Ctrl+X", "복사|Ctrl+C", "붙이기|Ctrl+V", "-", "프린트|Ctrl+P", "-",
                              "숨기기|", "완전 삭제|"}));
        QVERIFY(part<QAction>(note, "nnTop")->isCheckable());
        // Both in the note's flat menu look.
        QVERIFY(qobject_cast<TXPStyle*>(note->editMenu()->style()));
        QCOMPARE(note->editMenu()->style(), note->noteMenu()->style());
        QVERIFY(!part<QAction>(note, "nnStep")->icon().isNull());
        QVERIFY(part<QAction>(note, "nnTop")->icon().isNull());
    }

    void newNote_withoutFiles_takesDefaultsAndGetsDateLine() {
        open();
        // Place from the fallbacks (work area less 300 x 200), size and colours
        // from defaults.
        QCOMPARE(note->pos(), QPoint(1280 - 300, 770 - 200));
        QCOMPARE(note->record().scr_width, 275);
        QCOMPARE(note->record().titlebk_color, 5467961);
        // The date line, and the caret on the line below it.
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("작성일:04/02/01 오전 09:05:03\n"));
        QVERIFY(note->isModified()); // the date line is a change: the body file comes
                                     // at close
        QCOMPARE(note->titleCaption(), QStringLiteral("작성일:04/02/01 오전 09:05:03"));
        QCOMPARE(note->windowTitle(), note->titleCaption());
        QVERIFY(QFileInfo::exists(f->iniPath()));
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
        QCOMPARE(cp949::fieldText(f->stored().title), QStringLiteral("작성일:04/02/01 오전 09:05:03"));
        // What is typed at once is the second line, and the title.
        QTest::keyClicks(note->editor(), QStringLiteral("typed right away"));
        QCOMPARE(note->editor()->toPlainText(),
                 QStringLiteral("작성일:04/02/01 오전 09:05:03\ntyped right away"));
        QCOMPARE(note->titleCaption(), QStringLiteral("typed right away"));

        // An afternoon date uses the other designator and a two-digit 12-hour
        // clock. Left as it is, a new note keeps the date line as its title when it comes back.
        delete note.data();
        const char other[] = "20040201_150405_00";
        f->env.setNow(QDateTime(QDate(2026, 12, 7), QTime(15, 4, 5)));
        open(other);
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("작성일:26/12/07 오후 03:04:05\n"));
        delete note.data();
        open(other);
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("작성일:26/12/07 오후 03:04:05\n"));
        QCOMPARE(note->titleCaption(), QStringLiteral("작성일:26/12/07 오후 03:04:05"));
    }

    void title_followsSecondLine_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("stored"); // the record's title, read back from the file
        const QString hangul40 = QString(40, QChar(0xAC00));
        auto row = [](const char* name, const QString& body, const QString& title,
                      const QString& stored = {}) {
            QTest::newRow(name) << body << title << (stored.isNull() ? title : stored);
        };
        row("second line", "작성일:xx\n장보기 목록", "장보기 목록");
        row("one line", "only line", "only line");
        row("blank second line", "first\n   ", "Orbindo Stikko");
        row("empty second line", "first\n\nthird", "Orbindo Stikko");
        row("a line break at the end begins no line", "first\n", "first");
        row("40 syllables cut to 15", "d\n" + hangul40, QString(15, QChar(0xAC00)));
        row("letter then syllables: 29 bytes", "d\na" + hangul40, "a" + QString(14, QChar(0xAC00)));
        row("surrounding blanks trimmed", "d\n  memo \t", "memo");
        // Characters without a CP949 form show as they are; the file keeps '?' for them, each
        // one byte of the 30.
        row("dash outside CP949", "d\n회의 – 3시", "회의 – 3시", "회의 ? 3시");
        row("emoji", "d\n🎉 파티 🎉", "🎉 파티 🎉", "? 파티 ?");
        row("emoji cut as its '?'", "d\n" + QString(14, QChar(0xAC00)) + "x🎉🎉",
            QString(14, QChar(0xAC00)) + "x🎉", QString(14, QChar(0xAC00)) + "x?");
        row("emoji alone", "d\n🎉", "🎉", "?");
    }
    void title_followsSecondLine() {
        QFETCH(QString, body);
        QFETCH(QString, title);
        QFETCH(QString, stored);
        open();
        note->editor()->setPlainText(body);
        QCOMPARE(note->titleCaption(), title);
        QCOMPARE(note->windowTitle(), title);
        QVERIFY(fire(note->autosaveTimer())); // the title is written with the body
        note->finishBodyWrite();              // written in the background
        QCOMPARE(cp949::fieldText(f->stored().title), stored);
        // Opened again, the title comes from the text, not from its form in the file.
        delete note.data();
        open();
        QCOMPARE(note->windowTitle(), title);
        QCOMPARE(cp949::fieldText(f->stored().title), stored);
    }

    void title_typingOnLineTwoRetitles_furtherDownDoesNot() {
        open();
        typeAtEnd(QStringLiteral("장보기")); // on the new note's empty second line
        QCOMPARE(note->titleCaption(), QStringLiteral("장보기"));
        const QByteArray before = readAll(f->iniPath());
        QVERIFY(fire(note->autosaveTimer())); // with the body, not at every key
        note->finishBodyWrite();              // written in the background
        QVERIFY(readAll(f->iniPath()) != before);
        QCOMPARE(cp949::fieldText(f->stored().title), QStringLiteral("장보기"));
        typeAtEnd(QStringLiteral("\nthird line"));
        QCOMPARE(note->titleCaption(), QStringLiteral("장보기"));
        // Leaving the editor shows line 1 without writing anything.
        emit note->editor()->focusLost();
        QCOMPARE(note->titleCaption(), QStringLiteral("작성일:04/02/01 오전 09:05:03"));
        QCOMPARE(cp949::fieldText(f->stored().title), QStringLiteral("장보기"));
    }

    void title_emptyBody_isTheProgramsName() {
        open();
        typeAtEnd(QStringLiteral("\n장보기"));
        note->editor()->clear();
        QCOMPARE(note->titleCaption(), QStringLiteral("Orbindo Stikko"));
        QVERIFY(fire(note->autosaveTimer()));
        note->finishBodyWrite(); // written in the background
        QCOMPARE(cp949::fieldText(f->stored().title), QStringLiteral("Orbindo Stikko"));
    }

    // Files changed from elsewhere while the note is open are shown as they are: nothing is
    // written back, the body does not count as changed, and the focus stays where it was.
    void filesTakenWhileOpen_areShownAsTheyAre() {
        open();
        QVERIFY(note->saveBody());
        QLineEdit elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        elsewhere.setFocus();
        QVERIFY(
            f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".ini"),
                             "[VALUE_SECTION]\nscr_x=40\nscr_y=50\nscr_width=300\nscr_height=200\n"
                             "title=from elsewhere\nisshow=1\n[VALUE_COLOR_SECTION]\ntitlebk_color=255\n"));
        QVERIFY(f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".rtf"),
                                 "{\\rtf1\\ansi synced\\par second line\\par}"));
        const QByteArray ini = readAll(f->iniPath());
        const QByteArray rtf = readAll(f->rtfPath());
        NoteRecord record{};
        InitNoteRecord(record, kId);
        QCOMPARE(noteFiles().loadRecord(record), FileState::Loaded);
        note->takeFromFiles(record, noteFiles().loadBody(kId));
        QCOMPARE(note->geometry(), QRect(40, 50, 300, 200));
        QCOMPARE(part<Panel>(note, "pnTitle")->color(), QColor(255, 0, 0));
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("synced\nsecond line"));
        QCOMPARE(note->titleCaption(), QStringLiteral("second line"));
        QVERIFY(!note->isModified());
        QVERIFY(!note->autosaveTimer()->isActive());
        QVERIFY(!note->editor()->hasFocus());
        QCOMPARE(readAll(f->iniPath()), ini);
        QCOMPARE(readAll(f->rtfPath()), rtf);
    }

    // Files changed elsewhere (another computer's version, brought by a synchroniser): taken
    // without writing; text typed here and not yet saved stays and is saved, the other text
    // becomes a note of its own; a change made here goes on top of one from elsewhere.
    void filesChangedElsewhere_nothingIsLostNorSentBack() {
        open();
        typeAtEnd(QStringLiteral("\nmine"));
        QVERIFY(note->isModified());
        const auto writeElsewhere = [this](const char* key, int value) {
            IniFile ini = IniFile::fromBytes(readAll(f->iniPath()));
            ini.writeInteger(key[0] == 't' ? "VALUE_COLOR_SECTION" : "VALUE_SECTION", key, value);
            return f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".ini"), ini.toBytes());
        };
        QVERIFY(writeElsewhere("titlebk_color", 255));
        QVERIFY(f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".rtf"),
                                 "{\\rtf1\\ansi theirs\\par second line\\par}"));
        note->followFiles();
        QCOMPARE(part<Panel>(note, "pnTitle")->color(), QColor(255, 0, 0));
        QVERIFY(note->editor()->toPlainText().endsWith(QStringLiteral("\nmine")));
        QVERIFY(!note->isModified());
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("\nmine")));
        QCOMPARE(f->host.copies.size(), 1);
        const QByteArray copy = f->host.copies.first();
        QCOMPARE(bodyText(f->rtfPath(copy.constData())), QStringLiteral("theirs\nsecond line"));
        QCOMPARE(f->stored(copy.constData()).titlebk_color, 255);
        QCOMPARE(f->stored(copy.constData()).scr_x, f->stored().scr_x + 24);

        // Moved here while its colour changes elsewhere: both stay.
        QVERIFY(writeElsewhere("titlebk_color", 65280));
        note->placeAt(QRect(70, 80, 300, 200));
        QCOMPARE(f->stored().scr_x, 70);
        QCOMPARE(f->stored().titlebk_color, 65280);
        QCOMPARE(part<Panel>(note, "pnTitle")->color(), QColor(0, 255, 0));

        // Nothing typed: the text from elsewhere shows, and nothing is written.
        QVERIFY(f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".rtf"),
                                 "{\\rtf1\\ansi later\\par from elsewhere\\par}"));
        const QByteArray ini = readAll(f->iniPath());
        note->followFiles();
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("later\nfrom elsewhere"));
        QCOMPARE(note->titleCaption(), QStringLiteral("from elsewhere"));
        QVERIFY(!note->isModified() && !note->autosaveTimer()->isActive());
        QCOMPARE(readAll(f->iniPath()), ini);

        // Hidden elsewhere: the note goes, writing nothing.
        QVERIFY(writeElsewhere("isshow", 0));
        const QByteArray hidden = readAll(f->iniPath());
        note->followFiles();
        QTRY_VERIFY(f->host.closed.contains(QLatin1String(kId)));
        QVERIFY(note.isNull() || note->isClosed());
        QCOMPARE(readAll(f->iniPath()), hidden);
        QCOMPARE(bodyText(f->rtfPath()), QStringLiteral("later\nfrom elsewhere"));
    }

    void storedRecord_isApplied() {
        // Toolbar off, its own colours, translucent, body from its file, a link picture
        // named as the Windows program stored it (found by its name in system/).
        QImage picture(26, 16, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(f->env.systemDir() + QStringLiteral("banner.png")));
        QVERIFY(f->env.writeFile(
            QStringLiteral("data/") + kId + QStringLiteral(".ini"),
            "[VALUE_SECTION]\nscr_x=40\nscr_y=50\nscr_width=300\nscr_height=200\n"
            "isshow_toolbar=0\nright_homepage_image=C:\\Stikko\\system\\Banner.PNG\nright_homepage_"
            "hint=hint\n"
            "[VALUE_COLOR_SECTION]\ntitlebk_color=255\ntitle_color=0\nbatang_color="
            "65280\n"
            "bottom_color=16711680\nopt_color=254\n"));
        QVERIFY(f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".rtf"),
                                 "{\\rtf1\\ansi first\\par second\\par}"));
        open();
        QCOMPARE(note->geometry(), QRect(40, 50, 300, 200));
        QVERIFY(note->toolbar()->isHidden());
        QVERIFY(!part<Panel>(note, "pnBottom0")->isHidden());
        QCOMPARE(part<Panel>(note, "pnBottom0")->geometry(), QRect(4, 180, 292, 16));
        QCOMPARE(part<ImageBox>(note, "Image1")->geometry(), QRect(292 - 16, 0, 16, 16));
        const QImage image = note->grab().toImage();
        QCOMPARE(QColor(image.pixel(32, 4)), QColor(255, 0, 0));    // title bar
        QCOMPARE(QColor(image.pixel(100, 100)), QColor(0, 255, 0)); // body
        QCOMPARE(QColor(image.pixel(100, 190)), QColor(0, 255, 0)); // the strip in the body colour
        QCOMPARE(QColor(image.pixel(3, 100)), QColor(0, 0, 255));   // pnClient's border
        {
            // The frame is a picture notes of one look share: another colour is another picture.
            NoteRecord shown = note->record();
            shown.bottom_color = 0x00FFFF;
            note->previewSettings(shown);
            QCOMPARE(QColor(note->grab().toImage().pixel(3, 100)), QColor(255, 255, 0));
        }
        QCOMPARE(note->windowOpacity(), 254.0 / 255.0);
        QVERIFY(note->titleBar()->isPictureShown(NoteTitleBar::Picture::Vanto));
        QCOMPARE(note->titleBar()->pictureTip(NoteTitleBar::Picture::Vanto), QStringLiteral("hint"));
        QCOMPARE(QByteArray(note->record().right_homepage_image),
                 QByteArray("C:\\Stikko\\system\\Banner.PNG"));
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("first\nsecond"));
        QVERIFY(!note->isModified()); // loading the body is not a change
        QCOMPARE(note->titleCaption(), QStringLiteral("second"));
    }

    void opacity_followsOptColor() {
        open();
        NoteRecord shown = note->record();
        const auto opacityFor = [&](int32_t value) {
            shown.opt_color = value;
            note->previewSettings(shown);
            return note->windowOpacity();
        };
        QCOMPARE(opacityFor(255), 1.0);
        QCOMPARE(opacityFor(0), 0.0);
        QVERIFY(note->isVisible()); // invisible, but still there
        QCOMPARE(opacityFor(300), 1.0);
        QCOMPARE(opacityFor(-128), 128.0 / 255.0); // below 255 (signed): its low byte
    }

    void close_savesOnceThenDestroys() {
        open();
        typeAtEnd(QStringLiteral("\n할 일"));
        QVERIFY(note->close());
        QVERIFY(note->isClosed());
        QVERIFY(QFileInfo::exists(f->rtfPath()));
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("\n할 일")));
        // Anything written from here on would be a second save.
        QVERIFY(QFile::remove(f->rtfPath()));
        QVERIFY(QFile::remove(f->iniPath()));
        flushDeletes();
        QVERIFY(note.isNull());
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
        QVERIFY(!QFileInfo::exists(f->iniPath()));
        QCOMPARE(f->host.gone, 0); // the host started nothing it does not know of
    }

    void unchangedBody_isNotRewritten() {
        QVERIFY(f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".rtf"),
                                 "{\\rtf1\\ansi a\\par b}"));
        open();
        QVERIFY(note->close());
        QCOMPARE(readAll(f->rtfPath()), QByteArray("{\\rtf1\\ansi a\\par b}"));
    }

    void hide_savesBodyAndIsshowZero() {
        open();
        typeAtEnd(QStringLiteral("\nkeep me"));
        note->run(NoteCommand::Hide);
        QCOMPARE(f->host.closed, QStringList{QString::fromLatin1(kId)});
        QCOMPARE(f->stored().isshow, 0);
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("keep me")));
        flushDeletes();
        QVERIFY(note.isNull());
    }

    void delete_asksFirst_thenWritesNothing() {
        open();
        typeAtEnd(QStringLiteral("\nsomething"));
        f->env.dialogs.yes = false;
        note->run(NoteCommand::Delete);
        QVERIFY(f->host.deleted.isEmpty());
        QCOMPARE(f->env.dialogs.questions, QStringList{QStringLiteral("확인|메모장이 완전 삭제됩니다. "
                                                                      "\n삭제된 자료는 복구 되지 않습니다. "
                                                                      "\n삭제하시겠습니까 ?")});
        f->env.dialogs.yes = true;
        note->run(NoteCommand::Delete);
        QCOMPARE(f->host.deleted, QStringList{QString::fromLatin1(kId)});
        flushDeletes();
        QVERIFY(note.isNull());
        QVERIFY(!QFileInfo::exists(f->iniPath()));
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
    }

    void autosave_writesBodyAMomentAfterLastChange() {
        open();
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
        typeAtEnd(QStringLiteral("\n자동 저장"));
        QVERIFY(note->isModified());
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
        // Due two seconds after the last key, counted on the steady clock.
        QVERIFY(note->autosaveTimer()->isActive());
        QCOMPARE(note->autosaveTimer()->interval(), int(AutosaveSchedule::kQuietMs));
        f->env.advance(AutosaveSchedule::kQuietMs);
        QVERIFY(fire(note->autosaveTimer()));
        note->finishBodyWrite(); // written in the background
        QVERIFY(QFileInfo::exists(f->rtfPath()));
        QVERIFY(!note->isModified());
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("자동 저장")));
        // Nothing changed since: closing does not rewrite the body.
        QVERIFY(QFile::remove(f->rtfPath()));
        QVERIFY(note->close());
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
    }

    // A body of megabytes is read and made into a document on a thread of its own: the note is
    // there at once, takes its text when it has it, and meanwhile neither takes typing nor
    // writes anything of its body.
    void largeBody_isReadInTheBackground_andTakenWhole() {
        QVERIFY(f->store(kId, [](NoteRecord& r) { cp949::copyToField(r.title, QByteArrayView("stored")); }));
        QByteArray rtf = "{\\rtf1\\ansi\\ansicpg949 first\\par second\\par ";
        while (rtf.size() < BodyReader::kBackgroundBytes)
            rtf += "\\'b8\\'de\\'b8\\'f0 and more words for the line\\par ";
        rtf += "last line}";
        QVERIFY(f->env.writeFile(QStringLiteral("data/%1.rtf").arg(QLatin1String(kId)), rtf));
        open();
        QVERIFY(note->bodyPending());
        QVERIFY(note->body()->isEmpty());
        QCOMPARE(note->titleCaption(), QStringLiteral("stored"));
        typeAtEnd(QStringLiteral("typed before"));
        QVERIFY(!note->isModified());
        QTRY_VERIFY_WITH_TIMEOUT(!note->bodyPending(), 30000);
        QVERIFY(note->body()->toPlainText().endsWith(QStringLiteral("last line")));
        QVERIFY(!note->body()->toPlainText().contains(QStringLiteral("typed before")));
        QCOMPARE(cp949::fieldText(f->stored().title), QStringLiteral("second"));
        QVERIFY(!note->isModified() && !note->editor()->isReadOnly());
        // Typed into now, it is written as any body is.
        typeAtEnd(QStringLiteral("\n끝"));
        QVERIFY(note->saveBody());
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("last line\n끝")));

        // Saved while still being read: the read is waited for, and nothing is lost.
        note->close();
        flushDeletes();
        open();
        QVERIFY(note->bodyPending());
        QVERIFY(note->saveBody());
        QVERIFY(!note->bodyPending());
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("last line\n끝")));
    }

    // The autosave writes the body on a thread of its own: typing goes on meanwhile, and what
    // is typed after the body was copied is written next.
    void autosave_writesInTheBackground_whatComesMeanwhileIsWrittenNext() {
        open();
        typeAtEnd(QStringLiteral("\n첫째"));
        f->env.advance(AutosaveSchedule::kQuietMs);
        QVERIFY(fire(note->autosaveTimer()));
        QTextCursor(note->body()).insertText(QStringLiteral("둘째")); // before the write is told
        QTRY_VERIFY(bodyText(f->rtfPath()).contains(QStringLiteral("첫째")));
        QVERIFY(!bodyText(f->rtfPath()).contains(QStringLiteral("둘째")));
        QTRY_VERIFY(note->isModified() && note->autosaveTimer()->isActive());
        f->env.advance(AutosaveSchedule::kCeilingMs);
        QVERIFY(fire(note->autosaveTimer()));
        QTRY_VERIFY(!note->isModified());
        QVERIFY(bodyText(f->rtfPath()).startsWith(QStringLiteral("둘째")));
        // Deleting the note while its body is written: the write lands first, and the files
        // are gone after.
        typeAtEnd(QStringLiteral("\n셋째"));
        QVERIFY(fire(note->autosaveTimer()));
        f->env.dialogs.yes = true;
        note->run(NoteCommand::Delete);
        flushDeletes();
        QVERIFY(!QFileInfo::exists(f->rtfPath()) && !QFileInfo::exists(f->iniPath()));
    }

    void composingSyllable_isCommittedBeforeSaveCommandAndFocusLoss() {
        open();
        note->editor()->moveCursor(QTextCursor::End);
        auto compose = [this](const QString& preedit) {
            QInputMethodEvent event(preedit, {});
            QCoreApplication::sendEvent(note->editor(), &event);
        };
        // At close: the syllable in composition ends up in the body file.
        compose(QStringLiteral("한"));
        QVERIFY(!note->editor()->toPlainText().contains(QStringLiteral("한")));
        QVERIFY(note->close());
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("한")));

        // Before a command acts: bold applies to the committed text.
        const char other[] = "20040201_090503_08";
        open(other);
        note->editor()->moveCursor(QTextCursor::End);
        compose(QStringLiteral("글"));
        // A save while composing writes the body as shown and leaves the composition alone.
        QVERIFY(note->saveBody());
        QVERIFY(bodyText(f->rtfPath(other)).endsWith(QStringLiteral("글")));
        QCOMPARE(note->editor()->preeditText(), QStringLiteral("글"));
        note->run(NoteCommand::Bold);
        QVERIFY(note->editor()->toPlainText().endsWith(QStringLiteral("글")));
        QVERIFY(note->editor()->preeditText().isEmpty());
        // The input method answers the reset with a copy of the syllable (ibus's Hangul engine
        // clears its composition, then commits): it is dropped.
        auto commit = [](QObject* to, const QString& text) {
            QInputMethodEvent event;
            event.setCommitString(text);
            QCoreApplication::sendEvent(to, &event);
        };
        compose(QString());
        commit(note->editor(), QStringLiteral("글"));
        QVERIFY(!note->editor()->toPlainText().endsWith(QStringLiteral("글글")));

        // When the editor loses the focus.
        note->activateWindow();
        QApplication::setActiveWindow(note);
        note->editor()->setFocus();
        QTRY_VERIFY(note->editor()->hasFocus());
        compose(QStringLiteral("자"));
        note->editor()->clearFocus();
        QVERIFY(note->editor()->toPlainText().endsWith(QStringLiteral("글자")));
        // The same syllable composed anew and committed by the input method is kept.
        compose(QStringLiteral("자"));
        compose(QString());
        commit(note->editor(), QStringLiteral("자"));
        QVERIFY(note->editor()->toPlainText().endsWith(QStringLiteral("글자자")));
        // A copy is dropped wherever it goes.
        compose(QStringLiteral("다"));
        note->commitComposition();
        QLineEdit elsewhere;
        commit(&elsewhere, QStringLiteral("다"));
        QVERIFY(elsewhere.text().isEmpty());
        QVERIFY(note->editor()->toPlainText().endsWith(QStringLiteral("글자자다")));

        // A click elsewhere in the text, with an input method that does not commit when asked
        // (none here does): the syllable stays where it was typed, the caret goes to the click.
        compose(QStringLiteral("모"));
        QTest::mouseClick(note->editor()->viewport(), Qt::LeftButton, {}, QPoint(2, 4));
        QVERIFY(note->editor()->preeditText().isEmpty());
        QCOMPARE(note->editor()->textCursor().position(), 0);
        QVERIFY(note->saveBody());
        const QString saved = bodyText(f->rtfPath(other));
        QVERIFY2(saved.endsWith(QStringLiteral("글자자다모")) && saved.count(QStringLiteral("모")) == 1,
                 qPrintable(saved));
    }

    // A write that fails is told once, marked in the title bar and retried until it succeeds;
    // the file keeps its old bytes meanwhile and the note its text.
    void failedWrites_areToldOnce_markedAndRetried() {
        open();
        typeAtEnd(QStringLiteral("\n먼저 저장됨"));
        QVERIFY(note->saveBody());
        const QByteArray saved = readAll(f->rtfPath());
        // The data folder's disk is full; the recovery folder lies elsewhere.
        const auto diskFull = [](int fd, const char* data, qint64 size) -> qint64 {
            if (QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd))
                    .contains(QLatin1String("/data/"))) {
                errno = ENOSPC;
                return -1;
            }
            return ::write(fd, data, size_t(size));
        };
        const QString recovery = noteFiles().recoveryFolder() + QLatin1String(kId) + QStringLiteral(".rtf");
        // A copy an earlier run left: never replaced.
        QVERIFY(QDir().mkpath(noteFiles().recoveryFolder()));
        QVERIFY(f->env.writeFile(QStringLiteral("xdg-state/stikko/recovery/%1.rtf").arg(QLatin1String(kId)),
                                 "earlier"));
        f->env.writer = diskFull;
        typeAtEnd(QStringLiteral("\n잃으면 안 됨"));
        QVERIFY(!note->saveBody());
        // The text that could not be written is copied at once, beside the earlier copy.
        QStringList copies = noteFiles().recoveryFiles();
        QCOMPARE(copies.size(), 2);
        QCOMPARE(readAll(recovery), QByteArray("earlier"));
        copies.removeAll(recovery);
        QVERIFY(bodyText(copies.first()).endsWith(QStringLiteral("잃으면 안 됨")));
        // ... and kept current at every failed try.
        typeAtEnd(QStringLiteral(" 또"));
        QVERIFY(!note->saveBody());
        QCOMPARE(noteFiles().recoveryFiles().size(), 2);
        QVERIFY(bodyText(copies.first()).endsWith(QStringLiteral("잃으면 안 됨 또")));
        // ... and follows the typing between the tries, as the body would.
        typeAtEnd(QStringLiteral(" 그리고"));
        auto* copyTimer = note->findChild<QTimer*>(QStringLiteral("recoveryCopy"));
        QVERIFY(copyTimer && copyTimer->remainingTime() <= AutosaveSchedule::kCeilingMs);
        QVERIFY(note->autosaveTimer()->remainingTime() > AutosaveSchedule::kCeilingMs); // the try waits
        QVERIFY(fire(copyTimer));
        QVERIFY(bodyText(copies.first()).endsWith(QStringLiteral("잃으면 안 됨 또 그리고")));
        QVERIFY(!note->close()); // the close-time save fails too: the note stays open
        QCOMPARE(f->host.failures, QStringList{noteFiles().bodyPath(kId)});
        QVERIFY(note->isVisible() && note->titleBar()->isPictureShown(NoteTitleBar::Picture::Mark));
        QVERIFY(note->autosaveTimer()->isActive());
        QCOMPARE(readAll(f->rtfPath()), saved);

        // Space again: the next try writes it, the mark goes, and so does the copy.
        f->env.writer = {};
        f->env.advance(AutosaveSchedule::kRetryMs);
        QVERIFY(fire(note->autosaveTimer()));
        note->finishBodyWrite(); // written in the background
        QVERIFY(!note->titleBar()->isPictureShown(NoteTitleBar::Picture::Mark));
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("잃으면 안 됨 또 그리고")));
        QVERIFY(!note->isModified());
        QCOMPARE(noteFiles().recoveryFiles(), QStringList{recovery});

        // A new run of failures is told again.
        f->env.writer = diskFull;
        typeAtEnd(QStringLiteral("!"));
        QVERIFY(!note->saveBody());
        f->env.writer = {};
        QCOMPARE(f->host.failures.size(), 2);
        QVERIFY(note->close());
    }

    // A body that is there but cannot be read (here a folder in its place) shows read-only,
    // marked, with the title its record gives; nothing is ever written over it.
    void unreadableBody_opensReadOnly_andIsNeverWritten() {
        QVERIFY(f->env.writeFile(QStringLiteral("data/%1.ini").arg(QLatin1String(kId)),
                                 "[VALUE_SECTION]\ntitle=kept title\nisshow=1\n"));
        QVERIFY(QDir().mkpath(f->rtfPath()));
        open();
        QCOMPARE(f->host.readFailures, QStringList{noteFiles().bodyPath(kId)});
        QVERIFY(note->readOnly() && note->editor()->isReadOnly() &&
                note->titleBar()->isPictureShown(NoteTitleBar::Picture::Mark));
        QCOMPARE(note->titleCaption(), QStringLiteral("kept title"));
        typeAtEnd(QStringLiteral("x"));
        QVERIFY(!note->isModified());
        // What would change the body is unavailable, in the tool bar and the menus alike.
        QVERIFY(!note->isEnabled(NoteCommand::Bold) && !note->toolbar()->isCommandEnabled(NoteCommand::Bold));
        QVERIFY(!note->editMenu()->findChild<QAction*>(QStringLiteral("nnPaste2"))->isEnabled());
        QVERIFY(note->isEnabled(NoteCommand::Copy) && note->toolbar()->isCommandEnabled(NoteCommand::Copy));
        note->run(NoteCommand::Print);
        QCOMPARE(f->env.dialogs.errors.size(), 1);
        QCOMPARE(f->host.printed, 0);
        QVERIFY(note->close());
        QVERIFY(QFileInfo(f->rtfPath()).isDir());
        QCOMPARE(QByteArray(f->stored().title), QByteArray("kept title"));
        QVERIFY(f->host.failures.isEmpty());
    }

    void commands_goToTheHost() {
        open();
        typeAtEnd(QStringLiteral("\nprinted text"));
        note->run(NoteCommand::Print);
        QCOMPARE(f->host.printed, 1);
        QVERIFY(f->host.bodyAtPrint.endsWith(QStringLiteral("printed text"))); // saved before the preview
        QVERIFY(note->isModified()); // printing is not the close-time save

        note->run(NoteCommand::StayOnTop);
        QVERIFY(note->isChecked(NoteCommand::StayOnTop));
        QVERIFY(note->noteMenu() &&
                part<QAction>(note, "nnTop")->isChecked()); // a menu built later shows the state
        QVERIFY(note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(f->stored().istop, 1);
        part<QAction>(note, "nnTop")->trigger(); // from the menu: the same single flip
        QCOMPARE(f->stored().istop, 0);

        note->run(NoteCommand::Settings);
        note->run(NoteCommand::Alarm);
        QCOMPARE(f->host.settingsPages, QList<int>({0, 1}));

        emit note->titleBar()->pictureClicked(NoteTitleBar::Picture::Zem, Qt::LeftButton);
        emit note->titleBar()->pictureClicked(NoteTitleBar::Picture::Vanto, Qt::LeftButton);
        QCOMPARE(f->host.addresses, QStringList{QString::fromLatin1(kMakerHomePage)});
        std::strcpy(f->dm->defaults.left_homepage, "https://left.example/");
        std::strcpy(f->dm->defaults.right_homepage, "https://right.example/");
        emit note->titleBar()->pictureClicked(NoteTitleBar::Picture::Zem, Qt::LeftButton);
        emit note->titleBar()->pictureClicked(NoteTitleBar::Picture::Vanto, Qt::LeftButton);
        QCOMPARE(f->host.addresses.mid(1), QStringList({"https://left.example/", "https://right.example/"}));
    }
};

QTEST_MAIN(NoteWindowTest)
#include "note_window_test.moc"
