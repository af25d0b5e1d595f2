#pragma once
// A NoteHost for widget tests: records every call, and for hide and delete does what the main
// form does (so a test sees the window close the way it would in the program).

#include "note/notehost.h"

#include <QByteArrayList>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

namespace stikko::test {

class FakeNoteHost : public NoteHost {
  public:
    void OpenNoteWindow(const char* id) override;
    void CloseNoteWindow(const char* id) override;
    bool DeleteNote(const char* id) override;
    void noteWindowGone(TfrmStikko_sub* note) override;
    void openNoteSettingsDialog(TfrmStikko_sub* note, int page) override;
    void openPrintPreview(TfrmStikko_sub* note) override;
    void OpenWebAddress(const QString& address, QWidget* parent) override;
    void reportWriteFailure(const QString& path, const QString& reason = {}) override;
    void reportReadFailure(const QString& path) override;
    void noteRinging(TfrmStikko_sub*) override { ++rang; }
    void openFindWindow() override { ++findsOpened; }
    void openCopyFromElsewhere(TfrmStikko_sub*, const QByteArray& copyId) override { copies << copyId; }

    // The window that hide and delete act on.
    QPointer<TfrmStikko_sub> window;
    // Runs while the settings dialog would be open (the note's record as the dialog found it).
    std::function<void(TfrmStikko_sub*)> settingsDialog;

    QStringList opened, closed, deleted, addresses, failures, readFailures;
    QByteArrayList copies; // notes made from changes elsewhere (openCopyFromElsewhere)
    QList<int> settingsPages;
    int printed = 0;
    int gone = 0;
    int rang = 0;
    int findsOpened = 0;
    // The text the print preview found in the body file when it was opened.
    QString bodyAtPrint;
};

} // namespace stikko::test
