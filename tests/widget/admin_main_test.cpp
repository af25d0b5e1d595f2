// The note manager and the print preview run from the real main form, with real note windows
// and real note files.

#include "app/stikko_main.h"
#include "dialogs/stikko_admin.h"
#include "dialogs/stikko_print.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "platform/rtf.h"
#include "store/dm.h"
#include "store/subfunction.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace stikko;
using stikko::test::flushDeletes;

namespace {

void storeNote(const char* id, int isshow) {
    NoteRecord record{};
    InitNoteRecord(record, id);
    LoadNoteRecord(record, kDefaultsFile);
    record.isshow = isshow;
    QVERIFY(SaveNoteRecord(nullptr, record));
}

int storedIsshow(const char* id) {
    NoteRecord record{};
    InitNoteRecord(record, id);
    LoadNoteRecord(record, nullptr);
    return record.isshow;
}

QString dataFile(const QString& name) {
    return env::programFolder() + QStringLiteral("./data/") + name;
}

// Runs `steps` inside the manager's modal run, then closes it.
void whileManagerOpen(TfrmStikko_main& form, const std::function<void(TfrmStikko_admin&)>& steps) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        QVERIFY(frmStikko_admin);
        steps(*frmStikko_admin);
        if (frmStikko_admin)
            QTest::mouseClick(frmStikko_admin->sbClose, Qt::LeftButton);
    });
    form.nnAlladminClick();
    QVERIFY(ran);
    QCOMPARE(frmStikko_admin, nullptr);
}

int lineOf(const TfrmStikko_admin& manager, const QByteArray& id) {
    return int(manager.lbOid.indexOf(id));
}

} // namespace

class AdminMainTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnv> env_;
    std::unique_ptr<TDm> dm_;
    std::unique_ptr<TfrmStikko_main> form_;

  private slots:
    void init() {
        env_ = std::make_unique<test::TestEnv>();
        QVERIFY(env_->installDefaultsFile());
        env_->dialogs.yes = true;
        dm_ = std::make_unique<TDm>();
        storeNote("20040101_080000_00", 1);
        storeNote("20040102_080000_00", 0);
        storeNote("20040103_080000_00", 0);
        form_ = std::make_unique<TfrmStikko_main>();
        form_->FormCreate();
        form_->finishOpenedRecords();
        QCOMPARE(form_->noteList.size(), 1);
    }

    void cleanup() {
        form_.reset();
        flushDeletes();
        dm_.reset();
        env_.reset();
    }

    void tickingShowsAndClearingHidesNotes() {
        whileManagerOpen(*form_, [&](TfrmStikko_admin& manager) {
            const int shown = lineOf(manager, "20040101_080000_00");
            const int hidden = lineOf(manager, "20040102_080000_00");
            QCOMPARE(manager.clbStikko->item(shown)->checkState(), Qt::Checked);
            QCOMPARE(manager.clbStikko->item(hidden)->checkState(), Qt::Unchecked);

            manager.clbStikko->item(hidden)->setCheckState(Qt::Checked); // as a click on its box does
            QVERIFY(form_->FindNoteWindow("20040102_080000_00"));
            QCOMPARE(storedIsshow("20040102_080000_00"), 1);

            manager.clbStikko->item(shown)->setCheckState(Qt::Unchecked);
            flushDeletes();
            QVERIFY(!form_->FindNoteWindow("20040101_080000_00"));
            QCOMPARE(storedIsshow("20040101_080000_00"), 0);

            // The hide command on the now unchecked line shows the note again.
            manager.clbStikko->setCurrentRow(shown);
            manager.nnHideClick();
            QCOMPARE(manager.clbStikko->item(shown)->checkState(), Qt::Checked);
            QVERIFY(form_->FindNoteWindow("20040101_080000_00"));
            QCOMPARE(storedIsshow("20040101_080000_00"), 1);
        });
        QCOMPARE(form_->noteList.size(), 2);
    }

    void deletedHiddenNoteIsGoneForGood() {
        QFile body(dataFile(QStringLiteral("20040103_080000_00.rtf")));
        QVERIFY(body.open(QIODevice::WriteOnly));
        body.write("hidden body");
        body.close();

        whileManagerOpen(*form_, [&](TfrmStikko_admin& manager) {
            manager.clbStikko->setCurrentRow(lineOf(manager, "20040103_080000_00"));
            manager.nnDeleteClick();
            QCOMPARE(manager.clbStikko->count(), 2);
        });
        QVERIFY(!QFile::exists(dataFile(QStringLiteral("20040103_080000_00.ini"))));
        QVERIFY(!QFile::exists(dataFile(QStringLiteral("20040103_080000_00.rtf"))));
        whileManagerOpen(*form_, [&](TfrmStikko_admin& manager) {
            QCOMPARE(manager.lbOid, (QByteArrayList{"20040101_080000_00", "20040102_080000_00"}));
        });
        // Nor does show-all bring it back.
        form_->nnAllshowClick();
        QVERIFY(!form_->FindNoteWindow("20040103_080000_00"));
        QVERIFY(!QFile::exists(dataFile(QStringLiteral("20040103_080000_00.ini"))));
    }

    void trayRefusesWhileTheManagerIsOpen() {
        QVERIFY(form_->trayEnabled());
        whileManagerOpen(*form_, [&](TfrmStikko_admin& manager) {
            QVERIFY(!form_->trayEnabled());
            QVERIFY(form_->noteManagerOpen());
            form_->rxTrayClick();    // no new note
            form_->nnAllhideClick(); // the shown note stays
            form_->nnAllshowClick(); // the hidden notes stay hidden
            flushDeletes();
            QCOMPARE(form_->noteList.size(), 1);
            QVERIFY(!form_->FindNoteWindow("20040102_080000_00"));
            // A second open does nothing: the same manager stays, and the tray stays off.
            form_->nnAlladminClick();
            QCOMPARE(frmStikko_admin, &manager);
            QVERIFY(!form_->trayEnabled());
        });
        QVERIFY(form_->trayEnabled());
        QVERIFY(!form_->noteManagerOpen());
    }

    void printStoresTheBodyEvenWhenThePreviewIsClosed() {
        TfrmStikko_sub* note = form_->FindNoteWindow("20040101_080000_00");
        QVERIFY(note);
        note->editor()->setPlainText(QStringLiteral("인쇄할 내용\nsecond line"));
        QString previewTitle;
        QString previewBody;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (qobject_cast<QPrintPreviewDialog*>(modal) && frmStikko_print) {
                previewTitle = frmStikko_print->qlabTitle;
                previewBody = frmStikko_print->qrichDoc->toPlainText();
            }
            if (modal)
                modal->close(); // closed without printing
        });
        const QString caption = note->titleCaption();
        note->run(NoteCommand::Print);
        QCOMPARE(frmStikko_print, nullptr);
        QCOMPARE(previewTitle, caption);
        QCOMPARE(previewBody, QStringLiteral("인쇄할 내용\nsecond line"));
        QTextDocument stored;
        QVERIFY(rtf::loadFile(dataFile(QStringLiteral("20040101_080000_00.rtf")), stored));
        QCOMPARE(stored.toPlainText(), QStringLiteral("인쇄할 내용\nsecond line"));
    }
};

QTEST_MAIN(AdminMainTest)
#include "admin_main_test.moc"
