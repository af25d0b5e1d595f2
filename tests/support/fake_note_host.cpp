#include "support/fake_note_host.h"

#include "note/stikko_sub.h"
#include "platform/codepage.h"
#include "platform/rtf.h"

#include <QFile>
#include <QTextDocument>

namespace stikko::test {

void FakeNoteHost::CloseNoteWindow(const char* id) {
    closed << QString::fromLatin1(id);
    if (window) {
        window->isdeleted = false;
        window->record.isshow = 0;
        window->close();
    }
}

bool FakeNoteHost::DeleteNote(const char* id) {
    deleted << QString::fromLatin1(id);
    if (window) {
        QFile::remove(cp949::fieldText(window->record.ini_name));
        QFile::remove(cp949::fieldText(window->record.doc_name));
        window->isdeleted = true;
        window->close();
    }
    return true;
}

void FakeNoteHost::noteWindowGone(TfrmStikko_sub*) {
    ++gone;
}

void FakeNoteHost::openNoteSettingsDialog(TfrmStikko_sub*, int page) {
    settingsPages << page;
}

void FakeNoteHost::openPrintPreview(TfrmStikko_sub* note) {
    ++printed;
    QTextDocument body;
    if (rtf::loadFile(cp949::fieldText(note->record.doc_name), body))
        bodyAtPrint = body.toPlainText();
}

void FakeNoteHost::OpenWebAddress(const QString& address) {
    addresses << address;
}

void FakeNoteHost::reportWriteFailure(const QString& path, const QString&) {
    failures << path;
}

void FakeNoteHost::reportReadFailure(const QString& path) {
    readFailures << path;
}

} // namespace stikko::test
