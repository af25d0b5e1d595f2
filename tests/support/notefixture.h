#pragma once
// What the note-window tests share: the test environment with the shipped defaults file, the
// data module, a recording host, and note windows opened as the program opens them.

#include "support/fake_note_host.h"
#include "support/testenv.h"

#include "note/stikko_sub.h"
#include "store/dm.h"

#include <QList>
#include <QPointer>
#include <functional>
#include <memory>

namespace stikko::test {

// The note most tests use, made at TestEnv::fixedNow().
inline constexpr char kNoteId[] = "20040201_090503_07";

class NoteFixture {
  public:
    NoteFixture();
    // Closes what is still open (saving it) and deletes it.
    ~NoteFixture();
    NoteFixture(const NoteFixture&) = delete;
    NoteFixture& operator=(const NoteFixture&) = delete;

    TestEnv env;
    std::unique_ptr<TDm> dm;
    FakeNoteHost host;
    QList<QPointer<TfrmStikko_sub>> notes;

    // A new window opened on note `id` as its files say (the host's window from now on).
    TfrmStikko_sub* open(const char* id = kNoteId);
    // Writes note `id`'s record: the defaults file's values, then `change`.
    bool store(const char* id, const std::function<void(NoteRecord&)>& change);
    // The record in note `id`'s file.
    NoteRecord stored(const char* id = kNoteId) const;
    QString iniPath(const char* id = kNoteId) const;
    QString rtfPath(const char* id = kNoteId) const;

    // Types `text` at the end of the note's body as keys do, a line break as the Return key.
    static void typeAtEnd(TfrmStikko_sub* note, const QString& text);
};

// The tool bar's control named `name` as the layout names it ("sbCopy", "labBold"): its command,
// its place on the bar, and a click of `button` in its middle as the mouse gives one.
NoteCommand toolCommand(const char* name);
QRect toolRect(TfrmStikko_sub* note, const char* name);
void clickTool(TfrmStikko_sub* note, const char* name, Qt::MouseButton button = Qt::LeftButton);

// Chooses the item named `name` ("nnCopy", "N7") of the note menu or the editor menu with a
// click, the menu opened as the user opens it: a right click on the title bar's left picture,
// or in the body. False when there is no such item or the menu did not close on the click.
bool choose(TfrmStikko_sub* note, const char* name);

} // namespace stikko::test
