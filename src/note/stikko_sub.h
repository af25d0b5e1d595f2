#pragma once
// The note window: a frameless tool window with a coloured title bar, a rich-text body and a
// bottom tool bar, showing one note's record and body.
//
// One way through: the window is given its record (open), applies it without writing, and
// writes it once; after that it writes its record itself whenever the user changes it (a
// gesture, a command, the title taken from the body, the settings dialog's values it takes),
// and its body when the body has changed. Nothing outside the window writes its record; the
// program closes it with one call that says whether the note ends shown, hidden or deleted.
//
// The class is split by concern: stikko_sub.cpp (building, applying a record, title, layout),
// stikko_sub_saving.cpp (writes, failures, closing), stikko_sub_geometry.cpp (place, size,
// folding), stikko_sub_editing.cpp (the formatting commands) and stikko_sub_commands.cpp (the
// command table and the note's own commands). The alarm (NoteAlarm), the mouse gestures
// (NoteGestures) and the tool bar (NoteToolbar) are classes of their own.

#include "note/autosave.h"
#include "note/notecommands.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

class QLabel;
class QMenu;
class QPainter;
class QTextCursor;
class QTextDocument;
class QTextEdit;
class QTimer;

namespace stikko {

class ImageBox;
class NoteAlarm;
class NoteBodyView;
class NoteEditor;
class BodyReader;
class BodyWriter;
class NoteGestures;
class NoteHost;
class NoteTitleBar;
class NoteToolbar;
class Panel;
class TXPStyle;

// How a note window ends.
enum class NoteClosing {
    Kept,    // the program ends: the note shows again at the next start
    Hidden,  // its record says hidden (isshow 0)
    Deleted, // its files are gone: nothing is written
};

class TfrmStikko_sub : public QWidget {
    Q_OBJECT
  public:
    // `owner` is the main form's widget (destroys the window with it); `host` its services.
    TfrmStikko_sub(QWidget* owner, NoteHost* host);
    ~TfrmStikko_sub() override;

    // --- The note's record ---------------------------------------------------------------
    // Opens note `id` as its files say: its record (the defaults while it has none) and body.
    void open(QByteArrayView id);
    // Opens the note with `record`, which the caller made or read from the note's own file
    // (`state`: what that read found; an unreadable file is never written over). The record
    // and the body are applied without writing, the window shows, and then the record is
    // written once (nothing is written when the file already holds it).
    void open(const NoteRecord& record, FileState state = FileState::Loaded);
    // Opens a note whose files came from elsewhere (another computer, through a synchroniser):
    // as open, but a missing body stays empty and nothing is written, so what arrives is never
    // sent back.
    void openFromElsewhere(const NoteRecord& record);
    // As open, but the record's one write is left to the caller, who writes the records of the
    // notes it opens together in one group (NoteFiles::saveRecordsInBackground) and tells each
    // window whose recordWritable() holds how its write went (recordSaved). That may come
    // while the window is in use: a save of its own meanwhile (a move, hiding, closing)
    // replaces the group's write, which the caller then drops; deleting the note drops it too.
    // A window closed before it hears saves its record itself.
    void openUnwritten(const NoteRecord& record, FileState state);
    // False for a note whose record is not to be written: deleted, or its file unreadable.
    bool recordWritable() const;
    // What saving the record came to (NoteFiles::saveRecord's result, reason and changed
    // elsewhere), taken as a write of the window's own: success clears the unsaved mark, a
    // failure is told, marked and retried, a file changed elsewhere is followed first. True
    // when the file holds the record now. `written`: the record as it was sent, when the
    // window may have changed it since (what changed after is still to be written).
    bool recordSaved(bool saved, const QString& reason, bool changedElsewhere,
                     const NoteRecord* written = nullptr);
    // Takes the note's files as they are now while it is open: `record` and `body` are
    // applied as they are, nothing is written and the focus stays where it is.
    void takeFromFiles(const NoteRecord& record, const BodyLoad& body);
    // The note's files were changed elsewhere since the window last read or wrote them (by a
    // synchroniser bringing another computer's changes): nothing is lost and nothing received
    // is written back. Without unsaved text the window takes them (takeFromFiles). With unsaved
    // text, the text stays and is saved, and the body from elsewhere becomes a note of its own
    // that the host opens beside this one. A change of the record made here and not yet
    // written stays on top of the one from elsewhere; a record from elsewhere that says hidden
    // hides the note. Nothing happens while the files hold what the window saw. Every write of
    // the window comes here first when its file was changed elsewhere.
    void followFiles();
    // The settings dialog's values (colours, opacity, tool bar, alarm, sound) of `settings`
    // become the note's and are written; the rest of `settings` is not looked at.
    void takeSettings(const NoteRecord& settings);
    // Shows the settings of `settings` (colours, tool bar, opacity) without taking them.
    void previewSettings(const NoteRecord& settings);
    // Shows the note unfolded at `frame` and writes that place (rearranging the notes).
    void placeAt(const QRect& frame);
    // Closes the window as `how` says, saving the body and the record (not for Deleted).
    // False when they could not be written: the window then stays open with its text and
    // keeps the record it had, and the user has been told.
    bool closeAs(NoteClosing how);
    // The program ends: the note saves itself as closing it would (NoteClosing::Kept), and the
    // window stays until it is destroyed. False when it could not be written.
    bool saveAtEnd();

    const NoteRecord& record() const { return record_; }
    // The body has changes not yet on disk.
    bool isModified() const { return modified_; }
    // The close-time save has run (the window is closing or closed).
    bool isClosed() const { return closed_; }
    bool isDeleted() const { return deleted_; }

    // Writes the body to its file now (atomically), after the write in the background if one
    // is under way; false when it could not be written.
    bool saveBody();
    // Completes the write of the body that the autosave has under way in the background
    // (copied a slice at a time, written on a thread of its own), and takes its result.
    void finishBodyWrite();
    // A body of megabytes is read on a thread of its own when the note opens: until it is
    // there the note shows no text, takes no typing and writes no body.
    bool bodyPending() const { return bodyPending_; }
    // Waits for that read and takes the body now.
    void finishBodyRead();
    // At the end, for a body that could not be written to the data folder: writes it to the
    // recovery folder. The path written, or nothing (also when there is nothing unsaved).
    std::optional<QString> saveRecoveryCopy(QString* error = nullptr);
    // A file of the note could not be read: the note is shown as it is and never writes over
    // it; for an unreadable record file not even the record is written.
    bool readOnly() const { return readOnly_; }
    // Before it opens: the data folder cannot be written, so the note opens read-only and
    // writes nothing (the program has told the user once for all notes).
    void openInReadOnlyFolder();
    // A write failed and the text or record shown is not yet on disk; retries are running.
    bool hasUnsavedFailure() const { return bodyFailed_ || recordDirty_; }

    // Puts the window in front of every other window, notes kept on top included, until the
    // user has been to it and left it; with `takeFocus` it also takes the keyboard focus.
    void bringToFront(bool takeFocus);
    // True while bringToFront holds the window above the others.
    bool heldInFront() const { return frontHeld_; }

    QString titleCaption() const;
    NoteTitleBar* titleBar() const { return pnTitle; }
    // The body's editor, made now if the note has shown its body painted so far.
    NoteEditor* editor();
    // The body's text and formats; the editor, once made, edits this document.
    QTextDocument* body() const { return body_; }
    NoteAlarm* alarm() const { return alarm_; }
    // Commits text the input method is still composing in the body.
    void commitComposition();
    // Shows the body's characters from `start` on, `length` of them, selected in the editor and
    // scrolled into view; a folded note unfolds first (its record is written, as unfolding by
    // hand writes it).
    void selectText(int start, int length);
    // Adds `text` on lines of its own at the end of the body, as typing there would, and writes
    // the body and the record at once. False when they could not be written (the user has been
    // told, and the note retries as after any failed write) or the note is read-only.
    bool appendText(const QString& text);

    // --- Commands --------------------------------------------------------------------
    // Carries out a command of the table (notecommands.h), as its menu item, tool-bar control
    // or key would.
    void run(NoteCommand command);
    // A command's state: on or off (for those that have one), and whether it can act now.
    bool isChecked(NoteCommand command) const;
    bool isEnabled(NoteCommand command) const;
    // The two menus, built on first use (most notes never open one). The editor menu's keys
    // work without it: the body hands them over as commands.
    QMenu* noteMenu();
    QMenu* editMenu();
    NoteToolbar* toolbar() const { return pnBottom; }
    // The flat style of the note's menus, panels and tool bar.
    TXPStyle* xpStyle() const { return xpStyle_; }
    // Writes the changed body on its own, a while after the last change.
    QTimer* autosaveTimer() const { return timAutosave; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    friend const NoteCommandInfo& commandInfo(NoteCommand command);

    void buildControls();
    void buildTitleBar();
    void buildBody();
    void buildToolbar();
    void buildMenu(QMenu* menu, std::span<const MenuItem> items);
    // Shows the commands' states in the tool bar and the menus built so far.
    void showCommandStates();
    void layoutPanels();
    // The window's own panels (see paintEvent); `depth` > 0: in the flat style's way for that
    // colour depth.
    void paintFrame(QPainter& p, int depth) const;
    // Makes the body's editor in the painted body's place, giving it the focus for `focus`
    // (none for Qt::NoFocusReason).
    void ensureEditor(Qt::FocusReason focus = Qt::NoFocusReason);
    // The painted body shows all of the text: the editor would show no scroll bar.
    bool bodyFits() const;
    // The caret as the editor has it (where it will stand, before the editor is made).
    QTextCursor bodyCursor() const;
    QTextCursor bodyCursorAt(int position) const;
    // The input method is composing a syllable in the editor, not yet in the document.
    bool composing() const;
    void reDocChange();
    void reDocExit();
    // The title bar's pictures.
    void imgMaxClick();
    void imgZemClick();
    void imgVantoClick();

    // Applying (nothing of these writes).
    // The record (and the body when given, shown as `body` says; a missing one starts with the
    // date line when `newBody`).
    void applyRecord(const BodyLoad* body, bool newBody);
    // Opening: the record is written at once when `write` (never for what came from elsewhere).
    void openAs(const NoteRecord& record, FileState state, bool fromElsewhere, bool write);
    // Shows `record` (and `body`, when given) taken from the note's files: nothing is written.
    void applyFromFiles(const NoteRecord& record, const BodyLoad* body);
    void applyLinkPicture();
    void applyBody(const BodyLoad& body, bool newBody);
    // Takes the body read in the background (BodyReader): the document made of it, if it
    // could be read.
    void bodyReadDone(const NoteFiles::BodyRead& file, QTextDocument* document);
    void applySettings();
    void applyGeometry();
    void applyStayOnTop();
    void armAlarm();
    void setStayOnTop(bool on);
    void setTitleColors(int32_t background, int32_t text);
    void setBodyColor(int32_t color);   // reDoc background and pnBottom0
    void setBottomColor(int32_t color); // pnBottom and pnClient
    void setToolbarVisible(bool shown);
    void setOpacityValue(int32_t value); // opt_color semantics: < 255 blends with its low byte
    void setCaption(const QString& text);
    // Takes the title from the body's first lines; true when it changed (the caller writes the
    // record).
    bool UpdateTitleFromText();
    void addDateLine();
    QString lineText(int line) const;
    int lineCount() const;

    // Gestures, folding, the place the window system gives.
    void foldOrUnfold();
    void storePlace();
    void storeSize();
    void keepPlaceFromWindowSystem();

    // The commands' handlers (the table's `run`); every one acts on the text as shown, the
    // syllable being composed committed first.
    void openGeneralSettings();
    void openAlarmSettings();
    void toggleStayOnTop();
    void cut();
    void copy();
    void paste();
    void print();
    void hideNote();
    void deleteNote();
    void openFind();
    void toggleBullets();
    void chooseFont();
    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    void chooseTextColor();
    void undoEdit();
    void toggleStyle(NoteCommand command);
    // Sets a state that follows the body (bold, italic, underline, bullets) and shows it.
    void showState(NoteCommand command, bool on);
    // The indicators follow the selection: bold, italic, underline and bullets as the caret or
    // the selection has them.
    void SelectionChange();
    void openSettings(int page);
    void startedRinging();
    void blinkTitle();
    void releaseFront();

    // Saving.
    bool writeRecord();
    bool saveOnClose();
    void autosaveTimeout();
    // The autosave's write of the body, in the background (BodyWriter).
    void startBodyWrite();
    void bodyWriteDone(const NoteFiles::BodyWrite& write);
    void bodyWriteRefused(const QString& reason, bool changedElsewhere);
    void scheduleAutosave();
    void writeFailed(const QString& path, const QString& reason);
    // The body could not be written: marked, told, retried, and copied to the recovery folder.
    void bodyFailedNow(const QString& reason);
    // Writes the body to its copy in the recovery folder: the path, or nothing.
    std::optional<QString> keepRecoveryCopy(QString* error);
    void writeSucceeded();
    void enterReadOnly(const QString& path, bool recordUnreadable);
    void updateMark();

    // --- Controls (named as the note's layout names them) -------------------------------
    // The three plain panels under the controls are painted by the window itself (a widget
    // each would cost every note three more widgets): the base panel with its raised bevel
    // and border, the client panel with its border, and the body's panel under the editor.
    struct PanelArea {
        QRect rect;
        QColor color;
    };
    PanelArea pnBase;
    NoteTitleBar* pnTitle = nullptr; // with its caption and pictures (imgZem, imgTime, ...)
    PanelArea pnClient;
    PanelArea pnDoc;
    QTextDocument* body_ = nullptr;
    NoteBodyView* bodyView_ = nullptr; // the body painted, until reDoc is made
    NoteEditor* reDoc = nullptr;
    Panel* pnBottom0 = nullptr; // the thin strip shown instead of the tool bar
    ImageBox* Image1 = nullptr; // its grip
    NoteToolbar* pnBottom = nullptr;
    QTimer* timAutosave = nullptr;
    QMenu* puConfig = nullptr;    // the note menu (right click on imgZem)
    QMenu* puEdit = nullptr;      // the editor menu (right click in the body)
    TXPStyle* xpStyle_ = nullptr; // the flat look of the menus, panels and tool bar

    NoteRecord record_{};
    NoteRecord base_{}; // the record as last written or read: what changed here since is record_'s
    NoteHost* host_ = nullptr;
    NoteAlarm* alarm_ = nullptr;
    NoteGestures* gestures_ = nullptr;
    bool showing_ = false;     // open has started: changes count from here on
    bool following_ = false;   // taking changes made elsewhere (followFiles)
    bool takingFiles_ = false; // applying a record from the files: an unchanged alarm rings on
    bool loadingBody_ = false; // putting in the body from its file (or a new one) is no edit
    int startCaret_ = 0;       // where the caret stands in a body just put in: below a new date line
    bool modified_ = false;
    bool closed_ = false;
    bool deleted_ = false;
    bool stayOnTop_ = false;
    std::array<bool, kNoteCommandCount> shownStates_{}; // see showState
    bool frontHeld_ = false;                            // bringToFront keeps the window above the others
    bool frontVisited_ = false;                         // the window was active while held in front
    QTimer* placeCheck_ = nullptr;                      // made with the first move the window system reports
    bool readOnly_ = false;         // a file could not be read: nothing is written over it
    bool recordUnreadable_ = false; // ... and that file is the record: it is not written either
    bool folderReadOnly_ = false;   // ... because the data folder cannot be written
    QString unreadablePath_;
    bool bodyFailed_ = false;    // the last write of the body failed
    bool recordDirty_ = false;   // the last write of the record failed
    bool recordPending_ = false; // openUnwritten: the caller's write of the record is not told yet
    bool failureTold_ = false;   // the user knows of the current run of failures
    AutosaveSchedule autosave_;
    BodyWriter* bodyWriter_ = nullptr; // made with the first autosave
    quint64 changes_ = 0;              // changes made to the body so far
    quint64 copiedChanges_ = 0;        // ... when the write under way copied it
    bool copiedComposing_ = false;     // ... and a syllable was being composed then
    qint64 firstChangeSinceCopy_ = -1; // the first change not in the write under way
    bool writeAgain_ = false;          // the autosave came while a write was under way
    bool finishingWrite_ = false;
    QString recoveryPath_;             // the copy of the body kept while its writes fail
    QTimer* recoveryCopy_ = nullptr;   // ... made again a moment after a change meanwhile
    qint64 recoveryCopyDueFrom_ = -1;  // ... counted from the first change it lacks
    BodyReader* bodyReader_ = nullptr; // made for the first large body
    bool bodyPending_ = false;         // the body is being read in the background
    bool pendingNewBody_ = false;      // ... and a missing one gets the date line
};

} // namespace stikko
