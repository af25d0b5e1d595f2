// The note's own commands carried out by the real main form: delete after the question,
// hide, stay on top across a restart, and the note menu's editing and print items.

#include "support/notefixture.h"

#include "app/stikko_main.h"
#include "note/notealarm.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/codepage.h"
#include "platform/rtf.h"
#include "store/dm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMenu>
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

constexpr const char* kId = kNoteId;

} // namespace

class NoteCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteFixture> f;
    std::unique_ptr<TfrmStikko_main> form;

    // A stored, shown note with a body and an alarm that is ringing, opened by a fresh start.
    void storeNote(int istop = 0) {
        QVERIFY(f->store(kId, [&](NoteRecord& r) {
            r.scr_x = 40;
            r.scr_y = 60;
            r.istop = istop;
            r.isalram = 1;
            cp949::copyToField(r.alram_datetime, QByteArrayView("2004-02-01 09:00:00"));
        }));
        QTextDocument body;
        body.setPlainText(QStringLiteral("첫 줄\n둘째 줄"));
        QVERIFY(rtf::saveFile(f->rtfPath(), body));
    }
    void start() {
        form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
        form->finishOpenedRecords(); // the start's record write is in place
    }
    TfrmStikko_sub* theNote() const { return form->FindNoteWindow(kId); }
    void typeAtEnd(TfrmStikko_sub* note, const QString& text) {
        note->editor()->moveCursor(QTextCursor::End);
        QTest::keyClick(note->editor(), Qt::Key_Return);
        QTest::keyClicks(note->editor(), text);
    }

  private slots:
    void init() { f = std::make_unique<NoteFixture>(); }
    void cleanup() {
        form.reset();
        flushDeletes();
        f.reset();
    }

    void declinedDelete_changesNothing() {
        storeNote();
        start();
        TfrmStikko_sub* note = theNote();
        QVERIFY(note && note->alarm()->ringing());
        const QByteArray ini = readAll(f->iniPath());
        const QByteArray rtf = readAll(f->rtfPath());
        const QString text = note->editor()->toPlainText();
        f->env.dialogs.yes = false;
        // The tool bar, the note menu and the editor menu ask the same question.
        note->run(NoteCommand::Delete);
        QVERIFY(choose(note, "N9"));
        QVERIFY(choose(note, "N7"));
        const QString question =
            QStringLiteral("확인|메모장이 완전 삭제됩니다. \n삭제된 자료는 복구 되지 않습니다. "
                           "\n삭제하시겠습니까 ?");
        QCOMPARE(f->env.dialogs.questions, QStringList({question, question, question}));
        flushDeletes();
        QCOMPARE(theNote(), note);
        QVERIFY(note->isVisible());
        QVERIFY(!note->isDeleted());
        QVERIFY(note->alarm()->ringing());
        QCOMPARE(note->editor()->toPlainText(), text);
        QCOMPARE(readAll(f->iniPath()), ini);
        QCOMPARE(readAll(f->rtfPath()), rtf);
    }

    void delete_removesBothFilesAndTheWindow_forGood() {
        storeNote();
        start();
        QPointer<TfrmStikko_sub> note = theNote();
        // A change not yet saved, a background save pending and a sound playing.
        typeAtEnd(note, QStringLiteral("unsaved"));
        QVERIFY(note->isModified());
        QVERIFY(note->autosaveTimer()->isActive());
        QVERIFY(f->dm->isplaying);
        f->env.dialogs.yes = true;
        QVERIFY(choose(note, "N9"));
        flushDeletes();
        QVERIFY(note.isNull());
        QVERIFY(form->noteList.isEmpty());
        QVERIFY(!QFileInfo::exists(f->iniPath()));
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
        // They wait in the desktop's trash, from where a mistake can be undone.
        const QString trash = f->env.xdgDataDir() + QStringLiteral("Trash/files/") + kId;
        QVERIFY(QFileInfo::exists(trash + QStringLiteral(".ini")));
        QVERIFY(bodyText(trash + QStringLiteral(".rtf")).startsWith(QStringLiteral("첫 줄")));
        QVERIFY(!f->dm->isplaying);
        // Nothing brings them back: not a late timer, not the program's end.
        f->env.advance(AutosaveSchedule::kCeilingMs);
        QCoreApplication::processEvents();
        form.reset();
        flushDeletes();
        QVERIFY(!QFileInfo::exists(f->iniPath()));
        QVERIFY(!QFileInfo::exists(f->rtfPath()));
    }

    void hidingAChangedNote_writesItsBodyAndIsshowZero() {
        storeNote();
        start();
        QPointer<TfrmStikko_sub> note = theNote();
        typeAtEnd(note, QStringLiteral("hidden text"));
        QVERIFY(choose(note, "nnSizeHide")); // the note menu's hide
        flushDeletes();
        QVERIFY(note.isNull());
        QVERIFY(form->noteList.isEmpty());
        QCOMPARE(f->stored().isshow, 0);
        QVERIFY(bodyText(f->rtfPath()).endsWith(QStringLiteral("hidden text")));
        QVERIFY(!f->dm->isplaying);

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
        QVERIFY(choose(note, "nnTop"));
        QVERIFY(part<QAction>(note, "nnTop")->isChecked());
        QVERIFY(note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(note->isVisible()); // the changed style does not hide the note
        QCOMPARE(note->pos(), QPoint(40, 60));
        QCOMPARE(f->stored().istop, 1);

        form.reset(); // the program ends
        flushDeletes();
        start();
        note = theNote();
        QVERIFY(note);
        QVERIFY(note->isChecked(NoteCommand::StayOnTop));
        QVERIFY(note->noteMenu() && part<QAction>(note, "nnTop")->isChecked());
        QVERIFY(note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        QVERIFY(choose(note, "nnTop"));
        QVERIFY(!note->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(f->stored().istop, 0);
        form.reset();
        flushDeletes();
        start();
        QVERIFY(!theNote()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void noteMenu_cutCopyPaste_actOnTheBody() {
        storeNote();
        start();
        TfrmStikko_sub* note = theNote();
        QTextCursor cursor(note->editor()->document()->findBlockByNumber(1));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        note->editor()->setTextCursor(cursor);
        QCOMPARE(cursor.selectedText(), QStringLiteral("둘째 줄"));

        QApplication::clipboard()->clear();
        QVERIFY(choose(note, "nnCopy"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("둘째 줄"));
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("첫 줄\n둘째 줄"));

        QApplication::clipboard()->clear();
        QVERIFY(choose(note, "nnCut"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("둘째 줄"));
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("첫 줄\n"));
        QVERIFY(note->isModified());

        note->editor()->moveCursor(QTextCursor::Start);
        QVERIFY(choose(note, "nnPaste"));
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("둘째 줄첫 줄\n"));
    }

    // Print from the note menu, with a host that records instead of opening the preview.
    void noteMenuPrint_savesTheBodyFirst_andNeedsAWritableBody() {
        FakeNoteHost& host = f->host;
        TfrmStikko_sub* note = f->open();
        typeAtEnd(note, QStringLiteral("to print"));
        QVERIFY(choose(note, "nnPrint"));
        QCOMPARE(host.printed, 1);
        QVERIFY(host.bodyAtPrint.endsWith(QStringLiteral("to print")));

        // A body that cannot be written shows no preview of a stale file, and says why each
        // time the user asks.
        typeAtEnd(note, QStringLiteral("more"));
        f->env.writer = [](int, const char*, qint64) -> qint64 {
            errno = ENOSPC;
            return -1;
        };
        QVERIFY(choose(note, "nnPrint"));
        QVERIFY(choose(note, "nnPrint"));
        f->env.writer = {};
        QCOMPARE(host.printed, 1);
        QCOMPARE(f->env.dialogs.errors.size(), 2);
        QVERIFY(f->env.dialogs.errors.at(1).contains(f->rtfPath()));
        QCOMPARE(host.failures, QStringList{noteFiles().bodyPath(kId)});
        QVERIFY(note->isModified());
    }
};

QTEST_MAIN(NoteCommandsTest)
#include "note_commands_test.moc"
