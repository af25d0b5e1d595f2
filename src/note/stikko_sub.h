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
// folding), stikko_sub_editing.cpp (formatting commands) and stikko_sub_commands.cpp (hide,
// delete, print, settings, links, stay on top). The alarm (NoteAlarm) and the mouse gestures
// (NoteGestures) are classes of their own.

#include "note/autosave.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QTextEdit;
class QTimer;

namespace stikko {

class ClickLabel;
class ImageBox;
class NoteAlarm;
class NoteEditor;
class NoteGestures;
class NoteHost;
class Panel;
class SpeedButton;
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
    // Takes the note's files as they are now while it is open: `record` and `body` are
    // applied as they are, nothing is written and the focus stays where it is.
    void takeFromFiles(const NoteRecord& record, const BodyLoad& body);
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

    const NoteRecord& record() const { return record_; }
    // The body has changes not yet on disk.
    bool isModified() const { return modified_; }
    // The close-time save has run (the window is closing or closed).
    bool isClosed() const { return closed_; }
    bool isDeleted() const { return deleted_; }

    // Writes the body to its file now (atomically); false when it could not be written.
    bool saveBody();
    // At the end, for a body that could not be written to the data folder: writes it to the
    // recovery folder. The path written, or nothing (also when there is nothing unsaved).
    std::optional<QString> saveRecoveryCopy(QString* error = nullptr);
    // A file of the note could not be read: the note is shown as it is and never writes over
    // it; for an unreadable record file not even the record is written.
    bool readOnly() const { return readOnly_; }
    // A write failed and the text or record shown is not yet on disk; retries are running.
    bool hasUnsavedFailure() const { return bodyFailed_ || recordDirty_; }

    // The host stops being called (the main form detaches before it destroys its windows).
    void setHost(NoteHost* host) { host_ = host; }

    // Puts the window in front of every other window, notes kept on top included, until the
    // user has been to it and left it; with `takeFocus` it also takes the keyboard focus.
    void bringToFront(bool takeFocus);
    // True while bringToFront holds the window above the others.
    bool heldInFront() const { return frontHeld_; }
    // Whether the note stays above other windows (the note menu's check mark).
    bool stayOnTop() const { return stayOnTop_; }

    QString titleCaption() const;
    NoteEditor* editor() const { return reDoc; }
    NoteAlarm* alarm() const { return alarm_; }
    // Commits text the input method is still composing in the body.
    void commitComposition();

    // --- Controls (named as the note's layout names them) -------------------------------
    Panel* pnBase = nullptr;
    Panel* pnTitle = nullptr;
    QLabel* labTitle = nullptr; // the title bar's caption
    ImageBox* imgZem = nullptr;
    ImageBox* imgTime = nullptr;
    ImageBox* imgMark = nullptr; // shown while a file cannot be read or written
    ImageBox* imgMax = nullptr;
    ImageBox* imgVanto = nullptr;
    Panel* pnClient = nullptr;
    Panel* pnDoc = nullptr;
    NoteEditor* reDoc = nullptr;
    Panel* pnBottom0 = nullptr;
    ImageBox* Image1 = nullptr; // grip on the thin strip
    Panel* pnBottom = nullptr;
    ImageBox* imgSize = nullptr; // grip on the tool bar
    ClickLabel* labFont = nullptr;
    ClickLabel* labBold = nullptr;
    ClickLabel* labItalic = nullptr;
    ClickLabel* labUnderline = nullptr;
    SpeedButton* sbColor = nullptr;
    SpeedButton* sbBullets = nullptr;
    SpeedButton* sbUndo = nullptr;
    SpeedButton* sbCut = nullptr;
    SpeedButton* sbCopy = nullptr;
    SpeedButton* sbPaste = nullptr;
    SpeedButton* sbDelete = nullptr;
    SpeedButton* sbPrint = nullptr;
    SpeedButton* sbClose = nullptr;
    // Writes the changed body on its own, a while after the last change.
    QTimer* timAutosave = nullptr;

    // The two menus are built on first use (most notes never open one): until noteMenu() or
    // editMenu() has been called, these pointers and those of the menus' actions are null.
    // The editor menu's shortcuts work without it; the body reports them as command keys.
    QMenu* noteMenu();
    QMenu* editMenu();

    // The note menu (right click on imgZem).
    QMenu* puConfig = nullptr;
    QAction* nnConfig = nullptr;
    QAction* nnTop = nullptr;
    QAction* nnAlarm = nullptr;
    QAction* nnCut = nullptr;
    QAction* nnCopy = nullptr;
    QAction* nnPaste = nullptr;
    QAction* nnPrint = nullptr;
    QAction* nnSizeHide = nullptr;
    QAction* N9 = nullptr;
    // The editor menu (right click in the body); its shortcuts act while the body has focus.
    QMenu* puEdit = nullptr;
    QAction* nnStep = nullptr;
    QAction* nnCopy2 = nullptr;
    QAction* nnCut2 = nullptr;
    QAction* nnPaste2 = nullptr;
    QAction* nnFont = nullptr;
    QAction* nnBold = nullptr;
    QAction* nnS = nullptr;
    QAction* nnUnderline = nullptr;
    QAction* nnPrint2 = nullptr;
    QAction* N6 = nullptr;
    QAction* N7 = nullptr;
    // The flat look of the two menus.
    TXPStyle* xpStyle = nullptr;

    // --- Handlers ----------------------------------------------------------------------
    void reDocChange();
    void reDocExit();
    void imgMaxClick();
    // Editing.
    void SelectionChange();
    void labBoldClick();
    void labItalicClick();
    void labUnderlineClick();
    void labFontClick();
    void sbColorClick();
    void sbBulletsClick();
    void nnStepClick();
    void sbUndoClick();
    void sbCutClick();
    void sbCopyClick();
    void sbPasteClick();
    // Note commands.
    void sbCloseClick();
    void sbDeleteClick();
    void sbPrintClick();
    void nnTopClick();
    void nnConfigClick();
    void nnAlarmClick();
    void imgZemClick();
    void imgVantoClick();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void buildControls();
    void buildToolbar();
    void buildMenus();
    void editorCommandKey(QKeyCombination key);
    void layoutPanels();
    void layoutTitleBar();
    void layoutToolbar();

    // Applying (nothing of these writes).
    // The record (and the body, shown as `body` says; a missing one starts with the date line
    // when `newBody`).
    void applyRecord(const BodyLoad& body, bool newBody);
    void applyLinkPicture();
    void applyBody(const BodyLoad& body, bool newBody);
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

    // Commands.
    void applyStyleToggle(ClickLabel* label, int style);
    void openSettings(int page);
    void startedRinging();
    void blinkTitle();
    void releaseFront();

    // Saving.
    bool writeRecord();
    bool saveOnClose();
    void autosaveTimeout();
    void scheduleAutosave();
    void writeFailed(const QString& path, const QString& reason);
    void writeSucceeded();
    void enterReadOnly(const QString& path, bool recordUnreadable);
    void updateMark();

    NoteRecord record_{};
    NoteHost* host_ = nullptr;
    NoteAlarm* alarm_ = nullptr;
    NoteGestures* gestures_ = nullptr;
    bool showing_ = false;     // open has started: changes count from here on
    bool loadingBody_ = false; // putting in the body from its file (or a new one) is no edit
    bool modified_ = false;
    bool closed_ = false;
    bool deleted_ = false;
    bool stayOnTop_ = false;
    bool frontHeld_ = false;       // bringToFront keeps the window above the others
    bool frontVisited_ = false;    // the window was active while held in front
    QTimer* placeCheck_ = nullptr; // made with the first move the window system reports
    bool readOnly_ = false;        // a file could not be read: nothing is written over it
    bool recordUnreadable_ = false; // ... and that file is the record: it is not written either
    QString unreadablePath_;
    bool bodyFailed_ = false;  // the last write of the body failed
    bool recordDirty_ = false; // the last write of the record failed
    bool failureTold_ = false; // the user knows of the current run of failures
    AutosaveSchedule autosave_;
};

} // namespace stikko
