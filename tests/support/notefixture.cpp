#include "support/notefixture.h"

#include "note/notetitlebar.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>

namespace stikko::test {

NoteFixture::NoteFixture() {
    env.installDefaultsFile();
    dm = std::make_unique<TDm>();
}

NoteFixture::~NoteFixture() {
    for (const QPointer<TfrmStikko_sub>& note : std::as_const(notes))
        delete note.data();
    flushDeletes();
}

TfrmStikko_sub* NoteFixture::open(const char* id) {
    auto* note = new TfrmStikko_sub(nullptr, &host);
    host.window = note;
    notes << note;
    note->open(QByteArrayView(id));
    return note;
}

bool NoteFixture::store(const char* id, const std::function<void(NoteRecord&)>& change) {
    NoteRecord record{};
    InitNoteRecord(record, id);
    LoadNoteRecord(record, kDefaultsFile);
    if (change)
        change(record);
    return SaveNoteRecord(nullptr, record);
}

NoteRecord NoteFixture::stored(const char* id) const {
    NoteRecord record{};
    InitNoteRecord(record, id);
    LoadNoteRecord(record, nullptr);
    return record;
}

QString NoteFixture::iniPath(const char* id) const {
    return env.dataDir() + QLatin1String(id) + QStringLiteral(".ini");
}

QString NoteFixture::rtfPath(const char* id) const {
    return env.dataDir() + QLatin1String(id) + QStringLiteral(".rtf");
}

void NoteFixture::typeAtEnd(TfrmStikko_sub* note, const QString& text) {
    QTextEdit* editor = note->editor();
    editor->moveCursor(QTextCursor::End);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(editor, Qt::Key_Return);
        for (const QChar ch : lines[i]) {
            QTest::sendKeyEvent(QTest::Press, editor, Qt::Key_unknown, QString(ch), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, editor, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }
}

NoteCommand toolCommand(const char* name) {
    for (const ToolbarItem& item : toolbarItems()) {
        if (qstrcmp(item.name, name) == 0)
            return item.command;
    }
    qFatal("no tool bar control %s", name);
}

QRect toolRect(TfrmStikko_sub* note, const char* name) {
    return note->toolbar()->controlRect(toolCommand(name));
}

void clickTool(TfrmStikko_sub* note, const char* name, Qt::MouseButton button) {
    QTest::mouseClick(note->toolbar(), button, {}, toolRect(note, name).center());
}

bool choose(TfrmStikko_sub* note, const char* name) {
    const QString item = QLatin1String(name);
    QMenu* menu = note->noteMenu()->findChild<QAction*>(item) ? note->noteMenu() : note->editMenu();
    QAction* action = menu->findChild<QAction*>(item);
    if (!action)
        return false;
    if (menu == note->noteMenu()) {
        const QPoint at = note->titleBar()->pictureRect(NoteTitleBar::Picture::Zem).center();
        QTest::mouseClick(note->titleBar(), Qt::RightButton, {}, at);
    } else {
        // The right button leaves the selection alone; the window system's context-menu event
        // that follows it opens the menu.
        QWidget* body = note->editor()->viewport();
        const QPoint at = body->rect().center();
        QTest::mouseClick(body, Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, body->mapToGlobal(at));
        QCoreApplication::sendEvent(body, &event);
    }
    if (!menu->isVisible())
        return false;
    // The item may end the note, and its menu with it.
    const QPointer<QMenu> open = menu;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    return !open || !open->isVisible();
}

} // namespace stikko::test
