#include "support/fake_note_host.h"

#include "note/stikko_sub.h"
#include "platform/rtf.h"

#include <QTextDocument>

namespace stikko::test {

void FakeNoteHost::OpenNoteWindow(const char* id) {
    opened << QString::fromLatin1(id);
}

void FakeNoteHost::CloseNoteWindow(const char* id) {
    closed << QString::fromLatin1(id);
    if (window)
        window->closeAs(NoteClosing::Hidden);
}

bool FakeNoteHost::DeleteNote(const char* id) {
    deleted << QString::fromLatin1(id);
    if (window) {
        noteFiles().remove(noteId(window->record()));
        window->closeAs(NoteClosing::Deleted);
    }
    return true;
}

void FakeNoteHost::noteWindowGone(TfrmStikko_sub*) {
    ++gone;
}

void FakeNoteHost::openNoteSettingsDialog(TfrmStikko_sub* note, int page) {
    settingsPages << page;
    if (settingsDialog)
        settingsDialog(note);
}

void FakeNoteHost::openPrintPreview(TfrmStikko_sub* note) {
    ++printed;
    QTextDocument body;
    if (rtf::loadFile(noteFiles().bodyPath(noteId(note->record())), body))
        bodyAtPrint = body.toPlainText();
}

void FakeNoteHost::OpenWebAddress(const QString& address, QWidget*) {
    addresses << address;
}

void FakeNoteHost::reportWriteFailure(const QString& path, const QString&) {
    failures << path;
}

void FakeNoteHost::reportReadFailure(const QString& path) {
    readFailures << path;
}

} // namespace stikko::test
