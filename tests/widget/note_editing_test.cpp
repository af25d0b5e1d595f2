// The formatting and editing commands of a note: the style toggles and their indicators, the
// font and colour dialogs, bullets, undo, the clipboard and drops (pictures among them), links;
// and that formatting is a change that is saved and read back.

#include "support/notefixture.h"

#include "note/bodysnapshot.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/codepage.h"
#include "platform/rtf.h"
#include "platform/rtfpicture.h"
#include "store/dm.h"
#include "support/rtf_testdocs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QShortcut>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <functional>
#include <memory>

using namespace stikko;
using namespace stikko::test;

namespace {

constexpr const char* kId = kNoteId;
constexpr char kOtherId[] = "20040201_090503_08";

using Reader = std::function<bool(const QTextCharFormat&)>;

bool isBold(const QTextCharFormat& f) {
    return f.fontWeight() > QFont::Normal;
}

// The format of the character at `position` (the one after it).
QTextCharFormat formatAt(QTextDocument* doc, int position) {
    QTextCursor c(doc);
    c.setPosition(position + 1);
    return c.charFormat();
}

} // namespace

Q_DECLARE_METATYPE(Reader)

class NoteEditingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteFixture> f;

    // A shown note whose body is `body` (plain text, set as the user's own typing would).
    TfrmStikko_sub* open(const char* id, const QString& body = {}) {
        TfrmStikko_sub* note = f->open(id);
        if (!body.isNull()) {
            note->editor()->selectAll();
            note->editor()->insertPlainText(body);
        }
        return note;
    }
    static void select(TfrmStikko_sub* note, int from, int to) {
        QTextCursor c = note->editor()->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        note->editor()->setTextCursor(c);
    }
    static bool focusEditor(TfrmStikko_sub* note) {
        note->activateWindow();
        note->editor()->setFocus();
        return QTest::qWaitFor([note] { return note->editor()->hasFocus(); });
    }

  private slots:
    void init() { f = std::make_unique<NoteFixture>(); }
    void cleanup() { f.reset(); }

    void freshWindow_indicatorsOffBulletUp() {
        TfrmStikko_sub* note = open(kId);
        for (NoteCommand command :
             {NoteCommand::Bold, NoteCommand::Italic, NoteCommand::Underline, NoteCommand::Indent})
            QVERIFY(!note->toolbar()->isChecked(command));
    }

    // Labels share their painted text; a note's indicator must still show its own state.
    void indicators_paintTheirOwnColour_besideAnotherNote() {
        TfrmStikko_sub* on = open(kId, QStringLiteral("abc"));
        TfrmStikko_sub* off = open("20240523_174052_08", QStringLiteral("abc"));
        select(on, 0, 3);
        on->run(NoteCommand::Bold);
        QVERIFY(on->toolbar()->isChecked(NoteCommand::Bold));
        QVERIFY(!off->toolbar()->isChecked(NoteCommand::Bold));
        auto grabBold = [](TfrmStikko_sub* note) {
            return note->toolbar()->grab(toolRect(note, "labBold")).toImage();
        };
        auto redPixels = [&](TfrmStikko_sub* note) {
            const QImage image = grabBold(note);
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    count += c.red() > 150 && c.green() < 80 && c.blue() < 80;
                }
            return count;
        };
        QVERIFY(redPixels(on) > 0);
        QCOMPARE(redPixels(off), 0);
        on->run(NoteCommand::Bold); // off again: the same picture as the other note's
        QCOMPARE(redPixels(on), 0);
        QCOMPARE(grabBold(on), grabBold(off));
    }

    void styleToggle_formatsSelection_andIndicatorFollows_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<Reader>("has");
        QTest::newRow("bold") << "labBold" << Reader(isBold);
        QTest::newRow("italic") << "labItalic"
                                << Reader([](const QTextCharFormat& format) { return format.fontItalic(); });
        QTest::newRow("underline") << "labUnderline" << Reader([](const QTextCharFormat& format) {
            return format.fontUnderline();
        });
    }
    void styleToggle_formatsSelection_andIndicatorFollows() {
        QFETCH(QString, label);
        QFETCH(Reader, has);
        TfrmStikko_sub* note = open(kId, QStringLiteral("abc def"));
        const QByteArray name = label.toLatin1();
        const NoteCommand command = toolCommand(name.constData());
        QTextDocument* doc = note->editor()->document();

        select(note, 0, 3);
        QVERIFY(!note->toolbar()->isChecked(command));
        clickTool(note, name.constData());
        QVERIFY(note->toolbar()->isChecked(command));
        QVERIFY(has(formatAt(doc, 0)) && has(formatAt(doc, 2)));
        QVERIFY(!has(formatAt(doc, 4))); // outside the selection

        select(note, 4, 7); // plain text: the indicator follows the selection
        QVERIFY(!note->toolbar()->isChecked(command));
        select(note, 0, 3);
        QVERIFY(note->toolbar()->isChecked(command));
        clickTool(note, name.constData());
        QVERIFY(!note->toolbar()->isChecked(command));
        QVERIFY(!has(formatAt(doc, 0)));

        // A selection that is only partly styled shows off; the toggle styles all of it.
        select(note, 0, 2);
        clickTool(note, name.constData());
        select(note, 0, 7);
        QVERIFY(!note->toolbar()->isChecked(command));
        clickTool(note, name.constData());
        for (int i = 0; i < 7; ++i)
            QVERIFY(has(formatAt(doc, i)));
        select(note, 0, 7);
        QVERIFY(note->toolbar()->isChecked(command));
    }

    void formattingAlone_marksModified_andIsSaved() {
        QVERIFY(f->env.writeFile(QStringLiteral("data/") + kId + QStringLiteral(".rtf"),
                                 "{\\rtf1\\ansi plain\\par}"));
        TfrmStikko_sub* note = open(kId);
        QVERIFY(!note->isModified());
        select(note, 0, 5);
        note->run(NoteCommand::Bold);
        QVERIFY(note->isModified());
        QVERIFY(note->close());
        QVERIFY(!note->isModified());
    }

    void fontDialog_appliesOrCancels_focusBackInEditor() {
        TfrmStikko_sub* note = open(kId, QStringLiteral("some text"));
        QVERIFY(focusEditor(note));
        select(note, 0, 4);
        QTextCharFormat red;
        red.setForeground(QColor(Qt::red));
        note->editor()->mergeCurrentCharFormat(red);
        const QString before = note->editor()->toHtml();

        note->editor()->clearFocus();
        f->env.dialogs.font.reset(); // cancel
        note->run(NoteCommand::Font);
        QCOMPARE(f->env.dialogs.fontAsked, 1);
        QCOMPARE(note->editor()->toHtml(), before);
        QVERIFY(note->editor()->hasFocus());

        QFont chosen(QStringLiteral("NanumGothic"));
        chosen.setPointSize(20);
        chosen.setItalic(true);
        f->env.dialogs.font = chosen;
        note->editMenu();
        part<QAction>(note, "nnFont")->trigger();
        QTextDocument* doc = note->editor()->document();
        QCOMPARE(formatAt(doc, 0).fontFamilies().toStringList().value(0), QStringLiteral("NanumGothic"));
        QCOMPARE(formatAt(doc, 3).fontPointSize(), 20.0);
        QVERIFY(formatAt(doc, 3).fontItalic());
        QCOMPARE(formatAt(doc, 3).foreground().color(), QColor(Qt::red)); // colour kept
        QVERIFY(formatAt(doc, 5).fontPointSize() != 20.0);
    }

    // The dialog opens on the face that shows the text (the dialog lists installed faces, and
    // 굴림 is shown through its stand-in); confirmed unchanged, it leaves the family the file
    // names and the size it gives, and so does the colour command.
    void fontDialog_unchanged_keepsTheFilesFamilyAndSize() {
        QVERIFY(f->env.writeFile(QStringLiteral("data/%1.rtf").arg(QLatin1String(kId)),
                                 "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fnil\\fcharset129 "
                                 "\\'b1\\'bc\\'b8\\'b2;}}\\f0\\fs21 first line\\par}"));
        TfrmStikko_sub* note = open(kId);
        select(note, 0, 5);
        f->env.dialogs.font.reset();
        note->run(NoteCommand::Font);
        const QFont shown = f->env.dialogs.fontShown;
        QCOMPARE(shown.family(), QStringLiteral("NanumGothic"));
        QCOMPARE(shown.pointSizeF(), 10.5);
        // Confirmed as the dialog gives it back: its family, in whole points.
        QFont same(shown.family());
        same.setPointSize(11);
        f->env.dialogs.font = same;
        note->run(NoteCommand::Font);
        f->env.dialogs.color = QColor(0, 0, 255);
        note->run(NoteCommand::TextColor);
        QTextDocument* doc = note->editor()->document();
        QCOMPARE(formatAt(doc, 1).foreground().color(), QColor(0, 0, 255));
        QVERIFY(note->saveBody());
        const QByteArray rtf = readAll(f->rtfPath());
        QVERIFY2(rtf.contains("\\'b1\\'bc\\'b8\\'b2;") && !rtf.contains("Nanum") && !rtf.contains("Sans"),
                 rtf.constData());
        QVERIFY2(rtf.contains("\\fs21") && !rtf.contains("\\fs22"), rtf.constData());

        // A change made in the dialog is applied, and only that.
        QFont bigger = same;
        bigger.setPointSize(14);
        f->env.dialogs.font = bigger;
        note->run(NoteCommand::Font);
        QCOMPARE(formatAt(doc, 1).fontPointSize(), 14.0);
        QCOMPARE(formatAt(doc, 1).fontFamilies().toStringList().value(0), QStringLiteral("굴림"));
    }

    void colourDialog_appliesColourOnly_cancelLeavesFocus() {
        TfrmStikko_sub* note = open(kId, QStringLiteral("abcdef"));
        select(note, 0, 3);
        note->run(NoteCommand::Bold); // "abc" bold, "def" plain
        QVERIFY(focusEditor(note));
        note->editor()->clearFocus();
        const QString before = note->editor()->toHtml();
        select(note, 0, 6);
        f->env.dialogs.color.reset();
        note->run(NoteCommand::TextColor);
        QCOMPARE(f->env.dialogs.colorAsked, 1);
        QCOMPARE(note->editor()->toHtml(), before);
        QVERIFY(!note->editor()->hasFocus()); // cancel does not move the focus

        f->env.dialogs.color = QColor(0, 0, 255);
        clickTool(note, "sbColor");
        QTextDocument* doc = note->editor()->document();
        QCOMPARE(formatAt(doc, 1).foreground().color(), QColor(0, 0, 255));
        QCOMPARE(formatAt(doc, 4).foreground().color(), QColor(0, 0, 255));
        QVERIFY(isBold(formatAt(doc, 1)));
        QVERIFY(!isBold(formatAt(doc, 4))); // a mixed selection keeps its mix
        QVERIFY(note->editor()->hasFocus());
    }

    void bullets_buttonAndCtrlT_toggleParagraph_buttonFollows() {
        TfrmStikko_sub* note = open(kId, QStringLiteral("one\ntwo\nthree"));
        QVERIFY(focusEditor(note));
        select(note, 5, 5); // in "two"
        QTest::keyClick(note->editor(), Qt::Key_T, Qt::ControlModifier);
        QTextDocument* doc = note->editor()->document();
        QVERIFY(doc->findBlockByNumber(1).textList());
        QVERIFY(!doc->findBlockByNumber(0).textList());
        QVERIFY(!doc->findBlockByNumber(2).textList());
        QVERIFY(note->toolbar()->isChecked(NoteCommand::Indent));
        select(note, 0, 0);
        QVERIFY(!note->toolbar()->isChecked(NoteCommand::Indent));
        select(note, 5, 5);
        QVERIFY(note->toolbar()->isChecked(NoteCommand::Indent));
        QTest::keyClick(note->editor(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!doc->findBlockByNumber(1).textList());
        QCOMPARE(doc->findBlockByNumber(1).blockFormat().indent(), 0);
        QVERIFY(!note->toolbar()->isChecked(NoteCommand::Indent));

        // The button acts on every paragraph of the selection.
        select(note, 1, 10);
        clickTool(note, "sbBullets");
        QVERIFY(doc->findBlockByNumber(0).textList());
        QVERIFY(doc->findBlockByNumber(2).textList());
        clickTool(note, "sbBullets");
        QVERIFY(!doc->findBlockByNumber(0).textList() && !doc->findBlockByNumber(2).textList());
    }

    void shortcuts_actWhileEditorHasFocus_ctrlSIsItalicNotSave() {
        TfrmStikko_sub* note = open(kId, QStringLiteral("word"));
        QVERIFY(focusEditor(note));
        select(note, 0, 4);
        QTest::keyClick(note->editor(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(note->editor(), Qt::Key_B, Qt::ControlModifier);
        QTest::keyClick(note->editor(), Qt::Key_U, Qt::ControlModifier);
        const QTextCharFormat format = formatAt(note->editor()->document(), 1);
        QVERIFY(format.fontItalic());
        QVERIFY(isBold(format));
        QVERIFY(format.fontUnderline());
        QVERIFY(!QFileInfo::exists(f->env.dataDir() + kId + QStringLiteral(".rtf"))); // nothing saved
        QTest::keyClick(note->editor(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(f->env.dialogs.fontAsked, 1);
        // The keys need no menu: neither menu has been built.
        QVERIFY(!part<QMenu>(note, "puEdit") && !part<QMenu>(note, "puConfig"));
        // A shifted key is not the command, and an application shortcut on a command key does
        // not take it from the body.
        bool appShortcutFired = false;
        QShortcut appShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), note);
        appShortcut.setContext(Qt::ApplicationShortcut);
        connect(&appShortcut, &QShortcut::activated, [&] { appShortcutFired = true; });
        QTest::keyClick(note->editor(), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(isBold(formatAt(note->editor()->document(), 1)));
        QTest::keyClick(note->editor(), Qt::Key_B, Qt::ControlModifier);
        QVERIFY(!isBold(formatAt(note->editor()->document(), 1)));
        QVERIFY(!appShortcutFired);
    }

    // Undo from the tool bar; redo from the keys of both desktops' habits.
    void undo_revertsLastEdit_ctrlYAndCtrlShiftZRedo() {
        TfrmStikko_sub* note = open(kId, QStringLiteral("keep"));
        QVERIFY(focusEditor(note));
        note->editor()->document()->clearUndoRedoStacks();
        NoteFixture::typeAtEnd(note, QStringLiteral(" one"));
        clickTool(note, "sbUndo");
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("keep"));
        QTest::keyClick(note->editor(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("keep one"));
        QTest::keyClick(note->editor(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("keep"));
        QTest::keyClick(note->editor(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(note->editor()->toPlainText(), QStringLiteral("keep one"));
        QVERIFY(note->isModified());
    }

    void clipboard_keepsFormattingBetweenNotes_andTalksToOtherPrograms() {
        TfrmStikko_sub* a = open(kId, QStringLiteral("bold plain"));
        select(a, 0, 4);
        a->run(NoteCommand::Bold);
        select(a, 0, 10);
        clickTool(a, "sbCopy");
        const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
        QVERIFY(offered);
        QCOMPARE(offered->text(), QStringLiteral("bold plain"));
        QVERIFY(offered->hasHtml());
        QVERIFY(offered->formats().contains(u"text/rtf"_qs)); // listed, for other programs to ask for

        TfrmStikko_sub* b = open(kOtherId, QString());
        b->editor()->clear();
        clickTool(b, "sbPaste");
        QCOMPARE(b->editor()->toPlainText(), QStringLiteral("bold plain"));
        QVERIFY(isBold(formatAt(b->editor()->document(), 1)));
        QVERIFY(!isBold(formatAt(b->editor()->document(), 6)));

        // From another program: HTML, then RTF alone, then plain text.
        auto offer = [](const QString& format, const QByteArray& data) {
            auto* mime = new QMimeData;
            mime->setData(format, data);
            QGuiApplication::clipboard()->setMimeData(mime);
        };
        b->editor()->clear();
        offer(QStringLiteral("text/html"), "<p>x <i>slanted</i></p>");
        b->run(NoteCommand::Paste);
        QCOMPARE(b->editor()->toPlainText(), QStringLiteral("x slanted"));
        QVERIFY(formatAt(b->editor()->document(), 3).fontItalic());
        b->editor()->clear();
        offer(QStringLiteral("text/rtf"), "{\\rtf1\\ansi from rtf}");
        b->run(NoteCommand::Paste);
        QCOMPARE(b->editor()->toPlainText(), QStringLiteral("from rtf"));
        b->editor()->clear();
        offer(QStringLiteral("text/plain"), "just text");
        b->run(NoteCommand::Paste);
        QCOMPARE(b->editor()->toPlainText(), QStringLiteral("just text"));

        // Cut leaves the clipboard with the text and the note without it.
        select(b, 0, 5);
        b->run(NoteCommand::Cut);
        QCOMPARE(b->editor()->toPlainText(), QStringLiteral("text"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("just "));
    }

    // A body copied a slice at a time while it is being edited comes out, once the copy is
    // complete, as the document is then: written, it gives the same bytes.
    void bodySnapshot_takenInSlicesWhileEdited_isTheDocumentAsItIsThen() {
        for (unsigned seed = 1; seed <= 120; ++seed) {
            QTextDocument document;
            document.setDefaultFont(noteDefaultFont());
            fillRandomDocument(document, seed);
            if (seed % 10 == 0) {
                // A picture in the text: its image goes along.
                QImage image(7, 5, QImage::Format_RGB32);
                image.fill(QColor(0, 0, 255));
                QTextCursor cursor(&document);
                cursor.movePosition(QTextCursor::End);
                rtf::insertPicture(cursor, *rtf::pictureFromImage(image));
            }
            BodyCapture capture(&document);
            unsigned edits = seed;
            int steps = 0;
            while (!capture.step(0)) {
                // An edit now and then, before or after what is copied so far.
                if (++steps % 2 == 0 && edits % 5 != 0) {
                    QTextCursor cursor(&document);
                    const int at = int((edits * 7919u) % unsigned(document.characterCount()));
                    cursor.setPosition(at);
                    switch (edits % 4) {
                    case 0:
                        cursor.insertText(QStringLiteral("끼움 "));
                        break;
                    case 1:
                        cursor.setPosition(std::min(at + 3, document.characterCount() - 1),
                                           QTextCursor::KeepAnchor);
                        cursor.removeSelectedText();
                        break;
                    case 2: {
                        QTextCharFormat bold;
                        bold.setFontWeight(QFont::Bold);
                        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                        cursor.mergeCharFormat(bold);
                        break;
                    }
                    default:
                        cursor.insertBlock();
                        cursor.createList(QTextListFormat::ListDisc);
                    }
                }
                edits = edits * 1103515245u + 12345u;
                QVERIFY(steps < 100000);
            }
            const std::unique_ptr<QTextDocument> copy = capture.take().toDocument();
            QCOMPARE(rtf::write(*copy), rtf::write(document));
            QCOMPARE(describeDocument(*copy), describeDocument(document));
        }
    }

    void picturesAndLinks_comeInByPasteAndDrop_openAndSurviveReopen() {
        TfrmStikko_sub* a = open(kId, QStringLiteral("see here"));
        NoteEditor* editor = a->editor();
        const auto solid = [](QColor colour, QSize size) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(colour);
            return image;
        };
        const auto pictures = [](QTextDocument* doc) {
            QList<QRgb> colours;
            for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
                for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it)
                    if (const auto p = rtf::pictureOf(it.fragment().charFormat()); p && p->drawable)
                        colours << p->shown.pixel(0, 0);
            return colours;
        };

        // A copied image (its web address beside it as HTML: the image wins).
        auto* copied = new QMimeData;
        copied->setImageData(solid(Qt::red, QSize(30, 20)));
        copied->setHtml(QStringLiteral("<img src=\"https://example.com/x.png\">"));
        QGuiApplication::clipboard()->setMimeData(copied);
        editor->moveCursor(QTextCursor::End);
        a->run(NoteCommand::Paste);
        // A picture file dropped from a file manager.
        const QString bluePath = f->env.folder() + QStringLiteral("blue.png");
        QVERIFY(solid(Qt::blue, QSize(40, 10)).save(bluePath));
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(bluePath)});
        dropped.setText(bluePath);
        const QPoint end = editor->cursorRect().center();
        QDragEnterEvent enter(end, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor->viewport(), &enter);
        QDropEvent drop(end, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor->viewport(), &drop);
        // HTML whose picture is a local file; and RTF with a link from another program.
        const QString greenPath = f->env.folder() + QStringLiteral("green.png");
        QVERIFY(solid(Qt::green, QSize(8, 8)).save(greenPath));
        editor->moveCursor(QTextCursor::End);
        auto* html = new QMimeData;
        html->setHtml(QStringLiteral("<img src=\"%1\">").arg(QUrl::fromLocalFile(greenPath).toString()));
        QGuiApplication::clipboard()->setMimeData(html);
        a->run(NoteCommand::Paste);
        QCOMPARE(pictures(editor->document()),
                 (QList<QRgb>{qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)}));
        editor->moveCursor(QTextCursor::End);
        auto* linked = new QMimeData;
        linked->setData(
            QStringLiteral("text/rtf"),
            "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"https://example.com/a\"}{\\fldrslt link}}}");
        QGuiApplication::clipboard()->setMimeData(linked);
        a->run(NoteCommand::Paste);
        QTRY_COMPARE(a->titleCaption(), u"see herelink"_qs); // the pictures are no text of the title

        // A click on the link opens its address through the host; a drag over it does not.
        QTextCursor onLink = editor->document()->find(QStringLiteral("link"));
        QVERIFY(!onLink.isNull());
        onLink.setPosition(onLink.selectionStart() + 2);
        const QPoint linkAt = editor->cursorRect(onLink).center();
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, linkAt);
        QCOMPARE(f->host.addresses, QStringList{u"https://example.com/a"_qs});
        QTest::mousePress(editor->viewport(), Qt::LeftButton, {}, linkAt);
        QTest::mouseRelease(editor->viewport(), Qt::LeftButton, {},
                            editor->cursorRect().center() + QPoint(0, 40));
        QCOMPARE(f->host.addresses.size(), 1);

        // Copied to another note, all of it comes along (through the note's own RTF).
        editor->selectAll();
        a->run(NoteCommand::Copy);
        TfrmStikko_sub* b = open(kOtherId, QString());
        b->editor()->clear();
        b->run(NoteCommand::Paste);
        QCOMPARE(pictures(b->editor()->document()).size(), 3);
        QVERIFY(b->editor()->document()->find(QStringLiteral("link")).charFormat().isAnchor());

        // Saved and read again: the pictures and the link's address.
        QVERIFY(a->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TfrmStikko_sub* again = open(kId);
        QTextDocument* doc = again->editor()->document();
        QCOMPARE(pictures(doc), (QList<QRgb>{qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)}));
        QCOMPARE(doc->find(QStringLiteral("link")).charFormat().anchorHref(), u"https://example.com/a"_qs);
        QVERIFY(doc->toPlainText().startsWith(u"see here"_qs));
    }

    void everyFormat_survivesCloseAndReopen() {
        TfrmStikko_sub* note = open(kId, QStringLiteral("head\nbold ital under blue big\nbullet"));
        select(note, 5, 9);
        note->run(NoteCommand::Bold);
        select(note, 10, 14);
        note->run(NoteCommand::Italic);
        select(note, 15, 20);
        note->run(NoteCommand::Underline);
        select(note, 21, 25);
        f->env.dialogs.color = QColor(0, 0, 255);
        note->run(NoteCommand::TextColor);
        select(note, 26, 29);
        QFont big(QStringLiteral("굴림체"));
        big.setPointSize(18);
        f->env.dialogs.font = big;
        note->run(NoteCommand::Font);
        select(note, 31, 31);
        note->run(NoteCommand::Indent);
        QVERIFY(note->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        TfrmStikko_sub* again = open(kId);
        QTextDocument* doc = again->editor()->document();
        QCOMPARE(doc->toPlainText(), QStringLiteral("head\nbold ital under blue big\nbullet"));
        QVERIFY(isBold(formatAt(doc, 6)));
        QVERIFY(!isBold(formatAt(doc, 11)));
        QVERIFY(formatAt(doc, 11).fontItalic());
        QVERIFY(formatAt(doc, 16).fontUnderline());
        QCOMPARE(formatAt(doc, 22).foreground().color(), QColor(0, 0, 255));
        QCOMPARE(formatAt(doc, 27).fontPointSize(), 18.0);
        QVERIFY(doc->findBlockByNumber(2).textList());
        QVERIFY(!doc->findBlockByNumber(1).textList());
    }
};

QTEST_MAIN(NoteEditingTest)
#include "note_editing_test.moc"
