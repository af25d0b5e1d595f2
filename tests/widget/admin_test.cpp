// The note manager on its own, against a registry that records what it is asked to do.

#include "dialogs/stikko_admin.h"
#include "platform/codepage.h"
#include "platform/rtf.h"
#include "store/noteregistry.h"
#include "support/testenv.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>
#include <cstring>

using namespace stikko;

namespace {

struct Call {
    QByteArray op;
    QByteArray id;
    bool operator==(const Call&) const = default;
};

class RecordingRegistry : public NoteRegistry {
  public:
    void OpenNoteWindow(const char* id) override { calls.append(Call{"open", id}); }
    void CloseNoteWindow(const char* id) override { calls.append(Call{"close", id}); }
    bool DeleteNote(const char* id) override {
        calls.append(Call{"delete", id});
        return true;
    }
    QList<Call> calls;
};

QByteArray noteIni(const QByteArray& title, int isshow, int isalram, const QByteArray& alarm) {
    QByteArray ini = "[VALUE_SECTION]\r\n";
    if (!title.isNull())
        ini += "title=" + title + "\r\n";
    if (isshow >= 0)
        ini += "isshow=" + QByteArray::number(isshow) + "\r\n";
    ini += "[VALUE_ALRAM_SECTION]\r\nisalram=" + QByteArray::number(isalram) + "\r\n";
    if (!alarm.isEmpty())
        ini += "alram_datetime=" + alarm + "\r\n";
    return ini;
}

QString expectedLine(const QByteArray& title, const QByteArray& alarm) {
    QByteArray line = title.leftJustified(40) + "   " + alarm.leftJustified(20);
    return cp949::decode(line);
}

QColor pixel(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

} // namespace

class AdminTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnv> env_;
    NoteRecord defaults_{};

    // Three notes: shown with a past alarm, hidden without alarm, hidden with alarm.
    void writeThreeNotes() {
        env_->writeFile("data/20040101_080000_00.ini",
                        noteIni(cp949::encode(u"첫 메모"), 1, 1, "2003-12-31 08:00:00"));
        env_->writeFile("data/20040101_080000_00.rtf", "one");
        env_->writeFile("data/20040102_080000_00.ini", noteIni("second", 0, 0, ""));
        env_->writeFile("data/20040102_080000_00.rtf", "two");
        env_->writeFile("data/20040103_080000_00.ini", noteIni("third", 0, 1, "2004-03-01 12:00:00"));
    }

    // A shown manager whose list has been filled.
    std::unique_ptr<TfrmStikko_admin> openManager(RecordingRegistry& registry) {
        auto form = std::make_unique<TfrmStikko_admin>(nullptr, registry);
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get()))
            qWarning("the manager did not become active");
        return form;
    }

    void select(TfrmStikko_admin& form, int line) {
        form.clbStikko->setCurrentRow(line);
        QCOMPARE(form.selectedLine(), line);
    }

    QRect checkBoxRect(TfrmStikko_admin& form, int line) {
        QListWidget* list = form.clbStikko;
        QStyleOptionViewItem option;
        option.initFrom(list->viewport());
        option.rect = list->visualItemRect(list->item(line));
        option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = list->item(line)->text();
        option.font = list->font();
        return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    }

  private slots:
    void init() {
        env_ = std::make_unique<test::TestEnv>();
        QVERIFY(env_->isValid());
        std::memset(&defaults_, 0, sizeof defaults_);
        std::strcpy(defaults_.title, "Orbindo Stikko");
        SetDefaultsRecord(&defaults_);
    }
    void cleanup() {
        SetDefaultsRecord(nullptr);
        env_.reset();
    }

    void formHasItsLayoutColoursAndPlace() {
        RecordingRegistry registry;
        auto form = openManager(registry);
        QCOMPARE(form->windowTitle(), QStringLiteral("Stikko"));
        QCOMPARE(form->size(), QSize(406, 293));
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form->labHeading->text(), QStringLiteral("▣ 화면에 보여야 하는 메모장은 체크를 하세요"));
        QCOMPARE(form->labTitle->text(), QStringLiteral("제    목"));
        QCOMPARE(form->labAlarm->text(), QStringLiteral("알람 시간"));
        QCOMPARE(form->labTitle->width(), 263);
        QCOMPARE(form->labAlarm->width(), 134);
        QCOMPARE(form->sbClose->text(), QStringLiteral("닫기"));
        QCOMPARE(form->sbClose->size(), QSize(65, 22));
        QCOMPARE(form->nnHide->text(), QStringLiteral("화면에서 숨기기"));
        QCOMPARE(form->nnHide->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
        QCOMPARE(form->nnDelete->text(), QStringLiteral("완전 삭제"));
        QCOMPARE(form->nnDelete->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));
        QCOMPARE(form->puEdit->actions(), (QList<QAction*>{form->nnHide, form->nnDelete}));
        QCOMPARE(QFontInfo(form->clbStikko->font()).family(), QStringLiteral("NanumGothicCoding"));

        // The window, frame included, sits in the bottom-right corner of the 1280 x 770 work area.
        QCOMPARE(form->frameGeometry().bottomRight(), QPoint(1279, 769));

        const QImage image = form->grab().toImage();
        const QColor frame(125, 107, 250);
        QCOMPARE(pixel(image, 1, 1), frame);                            // frame, top-left
        QCOMPARE(pixel(image, 1, 200), frame);                          // frame, left side
        QCOMPARE(pixel(image, 404, 250), frame);                        // frame, bottom-right
        QCOMPARE(pixel(image, 300, 6), frame);                          // heading strip
        QCOMPARE(pixel(image, 4 + 263, 31 + 9), QColor(137, 122, 103)); // rule between the titles
        QCOMPARE(pixel(image, 10, 31 + 3), QColor(208, 198, 179));      // title background
        QCOMPARE(pixel(image, 390, 31 + 3), QColor(208, 198, 179));
        QCOMPARE(pixel(image, 200, 150), QColor(Qt::white)); // the empty list
        QCOMPARE(pixel(image, 10, 270), QColor(Qt::white));  // below the frame
        // The heading's text is white on the frame colour.
        bool whiteText = false;
        for (int x = 8; x < 300 && !whiteText; ++x)
            for (int y = 8; y < 27 && !whiteText; ++y)
                whiteText = pixel(image, x, y) == QColor(Qt::white);
        QVERIFY(whiteText);
    }

    // A title with characters outside CP949 is stored with '?' for them; the list shows the
    // title the body gives when it is that one, else the stored one as it is.
    void titleOutsideCp949_isShownAsTheBodyHasIt() {
        auto bodyOf = [](const QString& text) {
            QTextDocument document;
            document.setPlainText(text);
            return rtf::write(document);
        };
        env_->writeFile("data/20040101_080000_00.ini", noteIni(cp949::encode(u"회의 – 3시"), 1, 0, ""));
        env_->writeFile("data/20040101_080000_00.rtf",
                        bodyOf(QStringLiteral("작성일:04/01/01\n회의 – 3시\n메모")));
        env_->writeFile("data/20040102_080000_00.ini", noteIni("a?b", 1, 0, ""));
        env_->writeFile("data/20040102_080000_00.rtf", bodyOf(QStringLiteral("first\nsomething else")));
        env_->writeFile("data/20040103_080000_00.ini", noteIni(cp949::encode(u"🎉 파티"), 0, 0, ""));
        env_->writeFile("data/20040103_080000_00.rtf", bodyOf(QStringLiteral("🎉 파티")));
        QCOMPARE(cp949::encode(u"회의 – 3시"), cp949::encode(u"회의 ? 3시"));

        RecordingRegistry registry;
        auto form = openManager(registry);
        QListWidget* list = form->clbStikko;
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("회의 – 3시") + expectedLine("", "").mid(10));
        QCOMPARE(list->item(1)->text(), expectedLine("a?b", ""));
        QCOMPARE(list->item(2)->text(), QStringLiteral("🎉 파티") + expectedLine("", "").mid(6));
    }

    void fillListReadsTheDataFolder() {
        writeThreeNotes();
        env_->writeFile("data/20040104_080000_00.ini", noteIni("two", 2, 0, ""));         // isshow 2
        env_->writeFile("data/20040105_080000_00.ini", "[VALUE_SECTION]\r\nscr_x=5\r\n"); // no title/isshow
        env_->writeFile("data/20040106_080000_00.INI", noteIni("upper", 1, 0, ""));
        env_->writeFile("data/default_config.ini", noteIni("defaults", 1, 0, ""));
        env_->writeFile("data/my_default.ini", noteIni("defaults", 1, 0, ""));
        env_->writeFile("data/.20040107_080000_00.ini", noteIni("dot", 1, 0, ""));
        env_->writeFile("data/20040108_080000_00.rtf", "a body without a record");
        env_->writeFile("data/a_name_much_too_long_for_an_id.ini", noteIni("long", 1, 0, ""));

        RecordingRegistry registry;
        auto form = openManager(registry);
        QListWidget* list = form->clbStikko;
        QCOMPARE(form->lbOid,
                 (QByteArrayList{"20040101_080000_00", "20040102_080000_00", "20040103_080000_00",
                                 "20040104_080000_00", "20040105_080000_00"}));
        QCOMPARE(list->count(), form->lbOid.size());

        QCOMPARE(list->item(0)->text(), expectedLine(cp949::encode(u"첫 메모"), "2003-12-31 08:00:00"));
        QCOMPARE(list->item(1)->text(), expectedLine("second", ""));
        QCOMPARE(list->item(2)->text(), expectedLine("third", "2004-03-01 12:00:00"));
        QCOMPARE(list->item(3)->text(), expectedLine("two", ""));
        QCOMPARE(list->item(4)->text(), expectedLine("Orbindo Stikko", ""));
        const QList<Qt::CheckState> checks{Qt::Checked, Qt::Unchecked, Qt::Unchecked, Qt::Unchecked,
                                           Qt::Checked};
        for (int i = 0; i < checks.size(); ++i)
            QCOMPARE(list->item(i)->checkState(), checks[i]);
        QVERIFY(registry.calls.isEmpty()); // filling opens and closes nothing
        QVERIFY(list->visualItemRect(list->item(0)).height() == 16);
        QCOMPARE(list->visualItemRect(list->item(1)).top() - list->visualItemRect(list->item(0)).top(), 16);

        // The alarm text starts under the "알람 시간" title: the first line's Korean title is
        // padded in bytes, and two bytes are two cells of the fixed-pitch font.
        QStyleOptionViewItem option;
        option.initFrom(list->viewport());
        option.rect = list->visualItemRect(list->item(0));
        option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        const QRect textRect = list->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, list);
        const QFontMetrics metrics(list->font());
        const QString line = list->item(0)->text();
        const int alarmStart = textRect.left() + metrics.horizontalAdvance(line.left(line.indexOf(u"2003")));
        const int second = textRect.left() + metrics.horizontalAdvance(list->item(2)->text().left(43));
        QCOMPARE(alarmStart, second);
        const int alarmX = list->viewport()->mapTo(form.get(), QPoint(alarmStart, 0)).x();
        const int columnX = form->labAlarm->mapTo(form.get(), QPoint(0, 0)).x();
        QVERIFY2(alarmX >= columnX && alarmX < columnX + 40,
                 qPrintable(QStringLiteral("alarm text at %1, column at %2").arg(alarmX).arg(columnX)));

        // Shown again, the list is rebuilt from disk, not appended to.
        QFile::remove(env_->path("data/20040102_080000_00.ini"));
        form->FillList();
        QCOMPARE(list->count(), 4);
        QCOMPARE(form->lbOid.size(), 4);

        // Closing empties both lists.
        form->close();
        QCOMPARE(list->count(), 0);
        QVERIFY(form->lbOid.isEmpty());
    }

    void noDataFolderGivesAnEmptyList() {
        QDir(env_->dataDir()).removeRecursively();
        RecordingRegistry registry;
        auto form = openManager(registry);
        QCOMPARE(form->clbStikko->count(), 0);
        QVERIFY(form->lbOid.isEmpty());
    }

    void tickingAndClearingShowAndHideTheNote() {
        writeThreeNotes();
        RecordingRegistry registry;
        auto form = openManager(registry);
        QListWidget* list = form->clbStikko;

        // A click on the check box of the hidden second note.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBoxRect(*form, 1).center());
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);
        QCOMPARE(form->selectedLine(), 1);
        // And on the shown first one.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBoxRect(*form, 0).center());
        QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
        // The space key toggles the selected line.
        select(*form, 2);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(list->item(2)->checkState(), Qt::Checked);

        QCOMPARE(registry.calls, (QList<Call>{{"open", "20040102_080000_00"},
                                              {"close", "20040101_080000_00"},
                                              {"open", "20040103_080000_00"}}));
        // A click on the text only selects.
        registry.calls.clear();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center() + QPoint(100, 0));
        QCOMPARE(form->selectedLine(), 1);
        QVERIFY(registry.calls.isEmpty());
    }

    void hideCommandTogglesTheSelectedLine() {
        writeThreeNotes();
        RecordingRegistry registry;
        auto form = openManager(registry);
        QListWidget* list = form->clbStikko;

        // Nothing selected: nothing happens.
        QTest::keyClick(form.get(), Qt::Key_H, Qt::ControlModifier);
        QVERIFY(registry.calls.isEmpty());

        select(*form, 1); // hidden: the command shows it
        QTest::keyClick(form.get(), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);
        select(*form, 0); // shown: hidden
        form->nnHide->trigger();
        QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
        QCOMPARE(registry.calls,
                 (QList<Call>{{"open", "20040102_080000_00"}, {"close", "20040101_080000_00"}}));

        // A right click on another line leaves the selection where it was; the window system's
        // context-menu event that follows it opens the menu.
        const QPoint onThird = list->visualItemRect(list->item(2)).center();
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, onThird);
        QCOMPARE(form->selectedLine(), 0);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, onThird,
                                    list->viewport()->mapToGlobal(onThird));
        QApplication::sendEvent(list->viewport(), &menuEvent);
        QTRY_VERIFY(form->puEdit->isVisible());
        form->puEdit->close();
        QCOMPARE(form->selectedLine(), 0);
    }

    void deleteAsksThenDeletesTheSelectedNote() {
        writeThreeNotes();
        RecordingRegistry registry;
        auto form = openManager(registry);
        QListWidget* list = form->clbStikko;

        select(*form, 1);
        env_->dialogs.yes = false;
        QTest::keyClick(form.get(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(env_->dialogs.questions.size(), 1);
        QCOMPARE(env_->dialogs.questions[0].section(u'|', 0, 0), QStringLiteral("확인"));
        QCOMPARE(env_->dialogs.questions[0].section(u'|', 1),
                 QStringLiteral(
                     "메모장이 완전 삭제됩니다. \n삭제된 자료는 복구 되지 않습니다. \n삭제하시겠습니까 ?"));
        QVERIFY(registry.calls.isEmpty()); // No: the note and the list stay
        QCOMPARE(list->count(), 3);

        env_->dialogs.yes = true;
        form->nnDelete->trigger();
        QCOMPARE(registry.calls, (QList<Call>{{"delete", "20040102_080000_00"}}));
        QCOMPARE(form->lbOid, (QByteArrayList{"20040101_080000_00", "20040103_080000_00"}));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), expectedLine("third", "2004-03-01 12:00:00"));
        QCOMPARE(form->selectedLine(), -1);

        // Delete the rest, the last line last: an empty list, and the commands do nothing.
        select(*form, 1);
        form->nnDelete->trigger();
        select(*form, 0);
        form->nnDelete->trigger();
        QCOMPARE(list->count(), 0);
        QVERIFY(form->lbOid.isEmpty());
        QCOMPARE(form->selectedLine(), -1);
        registry.calls.clear();
        env_->dialogs.questions.clear();
        form->nnHide->trigger();
        form->nnDelete->trigger();
        QTest::keyClick(form.get(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(registry.calls.isEmpty());
        QVERIFY(env_->dialogs.questions.isEmpty());
    }

    void runNoteManagerOpensOneAtATime() {
        writeThreeNotes();
        RecordingRegistry registry;
        QList<bool> tray;
        bool secondResult = true;
        bool sawForm = false;
        QTimer::singleShot(0, [&] {
            sawForm =
                frmStikko_admin && frmStikko_admin->isVisible() && frmStikko_admin->clbStikko->count() == 3;
            secondResult = RunNoteManager(nullptr, registry, [&](bool on) { tray.append(on); });
            if (frmStikko_admin)
                frmStikko_admin->sbClose->click();
        });
        QVERIFY(RunNoteManager(nullptr, registry, [&](bool on) { tray.append(on); }));
        QVERIFY(sawForm);
        QVERIFY(!secondResult);
        QCOMPARE(tray, (QList<bool>{false, true})); // the second call left the tray alone
        QCOMPARE(frmStikko_admin, nullptr);
        QVERIFY(registry.calls.isEmpty());
    }
};

QTEST_MAIN(AdminTest)
#include "admin_test.moc"
