#pragma once
// What a note window asks of the program around it. The note window lives below the tray,
// the registry and the dialogs, so it reaches them only through this interface; the main
// form implements it, and tests give a recording fake.

#include "store/noteregistry.h"

#include <QByteArray>
#include <QString>

class QWidget;

namespace stikko {

class TfrmStikko_sub;

class NoteHost : public NoteRegistry {
  public:
    // A note window that closed in some other way (window system, destruction) leaves the list.
    // The window calls it when the window system closed it; its destruction is seen through
    // QObject::destroyed (the window never calls its host from its destructor).
    virtual void noteWindowGone(TfrmStikko_sub* note) = 0;

    // The settings dialog in per-note mode, shown modally; page 0 = general, 1 = alarm.
    virtual void openNoteSettingsDialog(TfrmStikko_sub* note, int page) = 0;
    // The print preview of a note whose body has just been saved to its doc_name.
    virtual void openPrintPreview(TfrmStikko_sub* note) = 0;

    // Opens a web address in the desktop's browser (never through a shell). An address it may
    // not open is refused with a message over `parent`'s window (none for null).
    virtual void OpenWebAddress(const QString& address, QWidget* parent) = 0;

    // The find window, opened or brought to the front (a note's Ctrl+Shift+F).
    virtual void openFindWindow() = 0;

    // The note has started to ring; the desktop is told which note it is.
    virtual void noteRinging(TfrmStikko_sub* note) = 0;

    // What another computer wrote into the note while it held text of its own not yet saved
    // is now note `copyId` (made beside it): the host opens it and tells the user.
    virtual void openCopyFromElsewhere(TfrmStikko_sub* note, const QByteArray& copyId) = 0;

    // A note's file could not be written (`reason` says why); the host tells the user. The note
    // calls it once when its writes start failing, marks its title bar and retries on its own
    // until a write succeeds; a new run of failures after that is told again.
    // A note window whose close-time save failed refuses the close (closeAs() returns false)
    // and stays open with its text; a host that keeps such a window in its list loses nothing.
    virtual void reportWriteFailure(const QString& path, const QString& reason = {}) = 0;
    // A note's file is there but could not be read; the note is shown read-only and never
    // writes over it. The host tells the user which file it is.
    virtual void reportReadFailure(const QString& path) = 0;
};

} // namespace stikko
