// The note's own commands carried out by the real main form: delete after the question,
// hide, stay on top across a restart, and the note menu's editing and print items.

#include "support/fake_note_host.h"
#include "support/testenv.h"

#include "app/stikko_main.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/codepage.h"
#include "platform/rtf.h"
#include "store/dm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <memory>

using namespace stikko;
using namespace stikko::test;

namespace {

constexpr char kId[] = "20040201_090503_07";

} // namespace

class NoteCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<TDm> dm;
    std::unique_ptr<TfrmStikko_main> form;

    QString iniPath() const { return env->dataDir() + kId + QStringLiteral(".ini"); }
    QString rtfPath() const { return env->dataDir() + kId + QStringLiteral(".rtf"); }
    NoteRecord stored() const {
        NoteRecord r;
        InitNoteRecord(r, kId);
        LoadNoteRecord(r, nullptr);
        return r;
    }
    // A stored, shown note with a body and an alarm that is ringing, opened by a fresh start.
    void storeNote(int istop = 0) {
        NoteRecord r;
        InitNoteRecord(r, kId);
        LoadNoteRecord(r, kDefaultsFile);
        r.scr_x = 40;
        r.scr_y = 60;
        r.istop = istop;
        r.isalram = 1;
        cp949::copyToField(r.alram_datetime, QByteArrayView("2004-02-01 09:00:00"));
        QVERIFY(SaveNoteRecord(nullptr, r));
        QTextDocument body;
        body.setPlainText(QStringLiteral("첫 줄\n둘째 줄"));
        QVERIFY(rtf::saveFile(rtfPath(), body));
    }
    void start() {
        form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
    }
    TfrmStikko_sub* theNote() const { return form->FindNoteWindow(kId); }
    void typeAtEnd(TfrmStikko_sub* note, const QString& text) {
        note->reDoc->moveCursor(QTextCursor::End);
        QTest::keyClick(note->reDoc, Qt::Key_Return);
        QTest::keyClicks(note->reDoc, text);
    }

  private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        QVERIFY(env->installDefaultsFile());
        dm = std::make_unique<TDm>();
    }
    void cleanup() {
        form.reset();
        flushDeletes();
        dm.reset();
        env.reset();
    }

    void declinedDelete_changesNothing() {
        storeNote();
        start();
        TfrmStikko_sub* note = theNote();
        QVERIFY(note && note->isringing);
        const QByteArray ini = readAll(iniPath());
        const QByteArray rtf = readAll(rtfPath());
        const QString text = note->reDoc->toPlainText();
        env->dialogs.yes = false;
        // The tool bar, the note menu and the editor menu ask the same question.
        note->sbDeleteClick();
        note->noteMenu();
        note->N9->trigger();
        note->N7->trigger();
        const QString question =
            QStringLiteral("확인|메모장이 완전 삭제됩니다. \n삭제된 자료는 복구 되지 않습니다. "
                           "\n삭제하시겠습니까 ?");
        QCOMPARE(env->dialogs.questions, QStringList({question, question, question}));
        flushDeletes();
        QCOMPARE(theNote(), note);
        QVERIFY(note->isVisible());
        QVERIFY(!note->isdeleted);
        QVERIFY(note->isringing);
        QCOMPARE(note->reDoc->toPlainText(), text);
        QCOMPARE(readAll(iniPath()), ini);
        QCOMPARE(readAll(rtfPath()), rtf);
    }

    void delete_removesBothFilesAndTheWindow_forGood() {
        storeNote();
        start();
        QPointer<TfrmStikko_sub> note = theNote();
        // A change not yet saved, a background save pending and a sound playing.
        typeAtEnd(note, QStringLiteral("unsaved"));
        QVERIFY(note->ismodified);
        QVERIFY(note->timAutosave->isActive());
        QVERIFY(dm->isplaying);
        env->dialogs.yes = true;
        note->noteMenu();
        note->N9->trigger();
        flushDeletes();
        QVERIFY(note.isNull());
        QVERIFY(form->noteList.isEmpty());
        QVERIFY(!QFileInfo::exists(iniPath()));
        QVERIFY(!QFileInfo::exists(rtfPath()));
        // They wait in the desktop's trash, from where a mistake can be undone.
        const QString trash = env->xdgDataDir() + QStringLiteral("Trash/files/") + kId;
        QVERIFY(QFileInfo::exists(trash + QStringLiteral(".ini")));
        QVERIFY(bodyText(trash + QStringLiteral(".rtf")).startsWith(QStringLiteral("첫 줄")));
        QVERIFY(!dm->isplaying);
        // Nothing brings them back: not a late timer, not the program's end.
        env->advance(AutosaveSchedule::kCeilingMs);
        QCoreApplication::processEvents();
        form.reset();
        flushDeletes();
        QVERIFY(!QFileInfo::exists(iniPath()));
        QVERIFY(!QFileInfo::exists(rtfPath()));
    }

    void hidingAChangedNote_writesItsBodyAndIsshowZero() {
        storeNote();
        start();
        QPointer<TfrmStikko_sub> note = theNote();
        typeAtEnd(note, QStringLiteral("hidden text"));
        note->noteMenu();
        note->nnSizeHide->trigger(); // the note menu's hide
        flushDeletes();
        QVERIFY(note.isNull());
        QVERIFY(form->noteList.isEmpty());
        QCOMPARE(stored().isshow, 0);
        QVERIFY(bodyText(rtfPath()).endsWith(QStringLiteral("hidden text")));
        QVERIFY(!dm->isplaying);

        // The next start leaves it hidden.
        form.reset();
        flushDeletes();
        start();
        QVERIFY(theNote() == nullptr);
    }

    void stayOnTop_isWrittenAtOnce_andAppliedAgainAtTheNextStart() {
        storeNote();
        start();
        TfrmStikko_sub* note = theNote();
        QVERIFY(!note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        note->noteMenu();
        note->nnTop->trigger();
        QVERIFY(note->nnTop->isChecked());
        QVERIFY(note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(note->isVisible()); // the changed style does not hide the note
        QCOMPARE(note->pos(), QPoint(40, 60));
        QCOMPARE(stored().istop, 1);

        form.reset(); // the program ends
        flushDeletes();
        start();
        note = theNote();
        QVERIFY(note);
        QVERIFY(note->stayOnTop());
        QVERIFY(note->noteMenu() && note->nnTop->isChecked());
        QVERIFY(note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        note->nnTop->trigger();
        QVERIFY(!note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(stored().istop, 0);
        form.reset();
        flushDeletes();
        start();
        QVERIFY(!theNote()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void noteMenu_cutCopyPaste_actOnTheBody() {
        storeNote();
        start();
        TfrmStikko_sub* note = theNote();
        QTextCursor cursor(note->reDoc->document()->findBlockByNumber(1));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        note->reDoc->setTextCursor(cursor);
        QCOMPARE(cursor.selectedText(), QStringLiteral("둘째 줄"));
        note->noteMenu();

        QApplication::clipboard()->clear();
        note->nnCopy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("둘째 줄"));
        QCOMPARE(note->reDoc->toPlainText(), QStringLiteral("첫 줄\n둘째 줄"));

        QApplication::clipboard()->clear();
        note->nnCut->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("둘째 줄"));
        QCOMPARE(note->reDoc->toPlainText(), QStringLiteral("첫 줄\n"));
        QVERIFY(note->ismodified);

        note->reDoc->moveCursor(QTextCursor::Start);
        note->nnPaste->trigger();
        QCOMPARE(note->reDoc->toPlainText(), QStringLiteral("둘째 줄첫 줄\n"));
    }

    // Print from the note menu, with a host that records instead of opening the preview.
    void noteMenuPrint_savesTheBodyFirst_andNeedsAWritableBody() {
        FakeNoteHost host;
        auto* note = new TfrmStikko_sub(nullptr, &host);
        std::unique_ptr<TfrmStikko_sub> owner(note);
        InitNoteRecord(note->record, kId);
        host.window = note;
        note->showNote();
        typeAtEnd(note, QStringLiteral("to print"));
        note->noteMenu();
        note->nnPrint->trigger();
        QCOMPARE(host.printed, 1);
        QVERIFY(host.bodyAtPrint.endsWith(QStringLiteral("to print")));

        // A body that cannot be written shows no preview of a stale file, and says why each
        // time the user asks.
        typeAtEnd(note, QStringLiteral("more"));
        env->writer = [](int, const char*, qint64) -> qint64 {
            errno = ENOSPC;
            return -1;
        };
        note->nnPrint->trigger();
        note->nnPrint->trigger();
        env->writer = {};
        QCOMPARE(host.printed, 1);
        QCOMPARE(env->dialogs.errors.size(), 2);
        QVERIFY(env->dialogs.errors.at(1).contains(rtfPath()));
        QCOMPARE(host.failures, QStringList{noteFiles().bodyPath(kId)});
        QVERIFY(note->ismodified);
        note->isdeleted = true; // nothing to write back at the end
    }
};

QTEST_MAIN(NoteCommandsTest)
#include "note_commands_test.moc"
