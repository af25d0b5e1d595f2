#pragma once
// The hidden main form: the notification-area icon with its menu, the registry of open note
// windows, the commands that act on all notes at once, and the services a note window asks of
// the program (NoteHost). It is never shown; it exists to own the notes and the icon.

#include "app/commandline.h"
#include "dialogs/stikko_find.h"
#include "note/notehost.h"
#include "note/stikko_sub.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QTimer;

namespace stikko {

class DataFolderWatcher;
class FallbackWindow;
class NoteIndex;
class NoteIndexReader;
class TXPStyle;

class TfrmStikko_main : public QWidget, public NoteHost, public FindHost {
    Q_OBJECT
  public:
    explicit TfrmStikko_main(QWidget* parent = nullptr);
    ~TfrmStikko_main() override;

    // Starts watching the data folder, then opens the stored notes whose files say they are
    // shown (start-up load).
    void FormCreate();
    // The one orderly way to end: every open note saves once, the icon goes, the event loop
    // ends. Runs at most once; later calls do nothing.
    void FormClose();
    bool isEnding() const { return ending_; }
    // More windows than this are not taken down at the end (see FormClose): the program ends
    // at once, and the window system removes them as the program's connection closes.
    static constexpr int kManyWindows = 500;
    // FormClose left the windows, every note saved: the program is to end without taking
    // them down.
    bool leavesWindows() const { return leaveWindows_; }

    // Never shown: whoever asks, the form stays hidden.
    void setVisible(bool visible) override;

    // Registry: the open note windows, in the order they were opened ("last" = newest).
    QList<TfrmStikko_sub*> noteList;

    TfrmStikko_sub* FindNoteWindow(const char* id) const;
    void CloseNoteWindow(const char* id) override;
    bool DeleteNote(const char* id) override;
    void OpenNoteWindow(const char* id) override;
    void NewNoteRecord(NoteRecord& record) const;
    // mode 0: start-up (notes marked hidden stay hidden); mode 1: show all. The first notes
    // (kOpenedAtOnce of them) are open when it returns; more are opened a slice at a time
    // while the program answers the user in between (notesOpened tells when all are).
    void LoadAllNotes(int mode);
    // True while LoadAllNotes has notes still to open.
    bool openingNotes() const { return opening_ != nullptr; }
    static constexpr int kOpenedAtOnce = 200;
    // The records of the notes LoadAllNotes opened are written in the background while the
    // windows show: this waits for those writes, puts them in place and tells each window how
    // its write went. Runs by itself once they are done; nothing when none are waiting.
    void finishOpenedRecords();

    // Tray and menu commands.
    void rxTrayClick();
    void nnConfigClick();
    void nnAlladminClick();
    void nnAllhideClick();
    void nnAllshowClick();
    void nnStikkoResortClick();
    void nnCloseClick();
    void nnLogoClick();
    void nnHomepageClick();

    // A later start of the program asked for a new note: made as by a click on the icon.
    void newNoteRequested();
    // A command from the command line (this start's own, or a later start's): carried out as
    // its tray-menu item would be; while the note manager is open, once it has closed.
    void runCommand(const Command& command);
    // The find window, opened or brought to the front; with `words`, its field holds them.
    void nnFindClick();
    void openFindWindow(const std::optional<QString>& words);
    TfrmStikko_find* findWindow() const { return findWindow_; }

    // Every stored note's text for the find window (stikko_main_find.cpp). Its bodies are read
    // on a thread of its own once the list of stored notes is read and the start's notes are
    // open (startIndex), and it follows that list's every change.
    NoteIndex* noteIndex() const { return index_; }
    NoteIndexReader* noteIndexReader() const { return indexReader_; }
    // Starts reading the notes' bodies into the index, if that has not started yet and the
    // list of stored notes is complete; `evenWhileOpening`: also while the start still opens
    // notes (the find window is wanted now).
    void startIndex(bool evenWhileOpening = false);

    // Whether the desktop has a notification area is looked at now and every few seconds;
    // without one the fallback window offers the icon's commands, and it hides again when one
    // appears.
    void updateTrayPresence();
    bool trayPresent() const { return trayPresent_; }
    FallbackWindow* fallbackWindow = nullptr; // made when first needed

    // Tells the user something: through the desktop's notifications, else the icon's balloon,
    // else the fallback window. Remembered in lastTrayMessage(Title).
    void tellUser(const QString& title, const QString& text,
                  QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information);

    // The icon's enabled state: while off, clicks and the menu do nothing.
    void setTrayEnabled(bool enabled);
    bool trayEnabled() const { return trayEnabled_; }
    // True while the note manager runs; the icon click, hide-all and show-all then refuse.
    bool noteManagerOpen() const;

    // NoteHost
    void noteWindowGone(TfrmStikko_sub* note) override;
    void openNoteSettingsDialog(TfrmStikko_sub* note, int page) override;
    void openPrintPreview(TfrmStikko_sub* note) override;
    void OpenWebAddress(const QString& address, QWidget* parent) override;
    void reportWriteFailure(const QString& path, const QString& reason = {}) override;
    void reportReadFailure(const QString& path) override;
    void noteRinging(TfrmStikko_sub* note) override;
    void openCopyFromElsewhere(TfrmStikko_sub* note, const QByteArray& copyId) override;
    void openFindWindow() override;

    // FindHost
    void refreshIndex() override;
    bool showFoundNote(const QByteArray& id, const search::Query& query) override;
    // Tells where the bodies that an earlier run could not save are waiting, if any are.
    void reportRecoveryFiles();
    // Tells, once each, of names in the data folder that would be records but are no plain
    // files (folders, fifos, devices): they are never opened.
    void tellUnusableRecords();

    QSystemTrayIcon* rxTray = nullptr;
    QMenu* puMain = nullptr;
    QAction* nnNewNote = nullptr;
    QAction* nnFind = nullptr;
    QAction* nnConfig = nullptr;
    QAction* nnAlladmin = nullptr;
    QAction* nnAllhide = nullptr;
    QAction* nnAllshow = nullptr;
    QAction* nnStikkoResort = nullptr;
    QAction* nnClose = nullptr;
    QAction* nnLogo = nullptr;
    QAction* nnHomepage = nullptr;
    // The flat look of the tray menu.
    TXPStyle* xpStyle = nullptr;

    // How long the data folder's watcher waits before it lists the folder (see
    // DataFolderWatcher::setListingDelay); the program's start sets a second.
    std::chrono::milliseconds watchListingDelay{0};
    // Reports what other programs do in the data folder (a synchroniser bringing the changes
    // of other computers); null until FormCreate starts it.
    DataFolderWatcher* dataFolderWatcher() const { return watcher_; }

    // The last message told to the user (title, text); tests read it where no tray exists.
    QString lastTrayMessageTitle;
    QString lastTrayMessage;

  signals:
    // Emitted once the orderly end has saved the notes and removed the icon.
    void ended();
    // LoadAllNotes has opened every note it was to open.
    void notesOpened();

  private:
    void buildTray();
    // Sets LoadAllNotes off over `ids` or the notes `scan` reads.
    void startOpening(int mode, const QByteArrayList& ids, const std::optional<NoteCatalogue::Reading>& scan);
    // Opens the next notes of LoadAllNotes: at least kOpenedAtOnce on the first call, then for
    // a short slice of time at each turn of the event loop.
    void openMoreNotes(bool first);
    // Opens the notes the catalogue's scan found shown that the start did not open.
    void catchUpWithScan();
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    // A new note, made and placed as a click on the icon makes it; null while that refuses.
    TfrmStikko_sub* makeNote();
    void newNoteFromSelection();
    // A new window for `record` (made, or read from the note's file with `state`), opened
    // and listed; one from elsewhere is opened without writing anything. Without
    // `writeRecord` the window's record is left for the caller to write (writeOpenedRecords).
    TfrmStikko_sub* openNote(const NoteRecord& record, FileState state, bool fromElsewhere = false,
                             bool writeRecord = true);
    // Writes the records of `notes`, opened together without writing them, as one group, and
    // tells each window how its write went: at once where that is known, else when the group
    // is finished (finishOpenedRecords).
    void writeOpenedRecords(const QList<QPointer<TfrmStikko_sub>>& notes);
    // Closes a note as `how` says and lets it go; false (and the note stays open and listed)
    // when it could not save itself.
    bool closeNote(TfrmStikko_sub* note, NoteClosing how);
    void sendNotePostedEvents();
    bool idInUse(const QByteArray& id) const;
    QPoint newNotePlace(int w, int h) const;
    void deliverTrayMessage(int tries);

    // Writes the bodies of notes that could not save themselves at the end into the
    // recovery folder, and says where on stderr.
    void saveRecoveryCopies();

    void tellRingingNotes();

    // Keeping the index in step (stikko_main_find.cpp).
    // What the index last took from an open note's window: the text typed in it not saved yet,
    // and whether it rings.
    struct IndexedWindow {
        int revision = -1;
        bool ringing = false;
        friend bool operator==(const IndexedWindow&, const IndexedWindow&) = default;
    };
    // What the list of stored notes says of note `id` (with the ringing of its `window`, if
    // it is open), or nothing when it holds no such note.
    std::optional<IndexedNote> indexedFacts(const QByteArray& id, const TfrmStikko_sub* window) const;
    // The list of stored notes told of a change to note `id`: taken in at the next turn of
    // the event loop, with the others told meanwhile.
    void storedNoteChanged(const QByteArray& id);
    void followStoredNotes();
    // A note window closed as `how` says: a deleted note leaves the index.
    void indexClosed(TfrmStikko_sub* note, NoteClosing how);

    // The data folder as other programs change it (stikko_main_sync.cpp).
    void startWatching();
    void noteChangedElsewhere(const QByteArray& id);
    void noteRemovedElsewhere(const QByteArray& id);
    void conflictCopyFound(const QString& fileName);
    // Opens note `id` when its files say it is shown, writing nothing.
    void showNoteFromElsewhere(const QByteArray& id);
    // Tells the user that what was written elsewhere at the same time is now note `copyId`.
    void tellCopyMade(const QByteArray& copyId);

    // The windows whose records the background group is writing, each with the record sent,
    // in the group's order.
    struct OpenedWrite {
        QPointer<TfrmStikko_sub> note;
        NoteRecord record;
    };
    std::vector<OpenedWrite> openedWrites_;
    // The notes LoadAllNotes is opening.
    struct Opening;
    std::unique_ptr<Opening> opening_;
    bool started_ = false; // the start-up load has run
    bool leaveWindows_ = false;
    bool dataReadOnly_ = false; // the data folder could not be written at start
    // The start opened the notes remembered as shown: those the catalogue's scan finds shown
    // besides are opened once it has ended.
    enum class CatchUp { None, AfterScan, Due };
    CatchUp catchUp_ = CatchUp::None;
    QTimer* trayWatch_ = nullptr;
    DataFolderWatcher* watcher_ = nullptr;
    NoteIndex* index_ = nullptr;
    NoteIndexReader* indexReader_ = nullptr;
    QHash<const TfrmStikko_sub*, IndexedWindow> indexed_;
    QSet<QByteArray> storedChanges_; // told by the list of stored notes, not taken in yet
    QTimer* storedChangesDue_ = nullptr;
    QPointer<TfrmStikko_find> findWindow_;
    std::vector<Command> deferredCommands_; // arrived while the note manager was open
    QStringList ringingTitles_;             // notes that started ringing, not yet told
    bool trayPresent_ = true;
    bool trayEnabled_ = true;
    // The desktop's tray host would draw the tray menu itself; it is opened here instead.
    bool shellDrawsTrayMenu_ = false;
    bool ending_ = false;
    bool trayMessagePending_ = false;
    QSystemTrayIcon::MessageIcon trayMessageIcon_ = QSystemTrayIcon::Information;
};

// Null while the main form does not exist.
extern TfrmStikko_main* frmStikko_main;

} // namespace stikko
