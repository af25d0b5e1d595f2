#pragma once
// The note window: a frameless tool window with a coloured title bar, a rich-text body and a
// bottom tool bar, built from and written back to the note's record. The main form creates
// it, fills `record` (oid, ini_name, doc_name), calls showNote() and then ApplyStayOnTop().
//
// The class is split by concern: stikko_sub.cpp (building, showing, title, saving),
// stikko_sub_geometry.cpp (moving, resizing, folding), stikko_sub_editing.cpp (formatting
// commands), stikko_sub_commands.cpp (hide, delete, print, settings, links) and
// stikko_sub_alarm.cpp (the alarm).

#include "note/autosave.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QMouseEvent;
class QTextEdit;
class QTimer;

namespace stikko {

class ClickLabel;
class ImageBox;
class NoteEditor;
class NoteHost;
class Panel;
class SpeedButton;
class TXPStyle;

namespace sound {
class Player;
}

class TfrmStikko_sub : public QWidget {
    Q_OBJECT
  public:
    // `owner` is the main form's widget (destroys the window with it); `host` its services.
    TfrmStikko_sub(QWidget* owner, NoteHost* host);
    ~TfrmStikko_sub() override;

    NoteRecord record{};
    bool isclosed = false;
    bool isdeleted = false;
    bool ismodified = false;
    bool isringing = false;
    bool isdragging = false;
    bool issyncing = false;
    int32_t drag_x = 0;
    int32_t drag_y = 0;

    // FormShow: reload the record from its file (or the defaults file) and apply it, then show.
    void showNote();
    // FormShow for a record the caller has just read from the note's own file (`recordState`
    // says what the read found): the same without reading it again.
    void showLoadedNote(FileState recordState = FileState::Loaded);
    void ApplyNoteRecord();
    void ApplyGeometry();
    void ApplyStayOnTop();
    // Puts the window in front of every other window, notes kept on top included, until the
    // user has been to it and left it; with `takeFocus` it also takes the keyboard focus.
    void bringToFront(bool takeFocus);
    // True while bringToFront holds the window above the others.
    bool heldInFront() const { return frontHeld_; }
    void ArmAlarm();
    void UpdateTitleFromText();
    // Saves the body (when changed) and the record once; later calls do nothing. Returns false
    // when a file could not be written: the window then counts as not yet saved, so a later
    // close tries again, and the user has been told through the host.
    bool SaveOnClose();
    // Writes the record to the note's own file; false when it could not be written.
    bool writeRecord();
    // Writes the body to doc_name now (atomically); false when it could not be written.
    bool saveBody();
    // The record's writes after they were held back (an open write batch) did not reach the
    // disk: they are retried like any failed write.
    void recordWriteFailed(const QString& reason);
    // At the end, for a body that could not be written to the data folder: writes it to the
    // recovery folder. The path written, or nothing (also when there is nothing unsaved).
    std::optional<QString> saveRecoveryCopy(QString* error = nullptr);

    // A file of the note could not be read: the note is shown as it is and never writes over
    // it (`readOnly`); for an unreadable record file not even the record is written.
    bool readOnly() const { return readOnly_; }
    // A write failed and the text or record shown is not yet on disk; retries are running.
    bool hasUnsavedFailure() const { return bodyFailed_ || recordDirty_; }

    // The host stops being called (the main form detaches before it destroys its windows).
    void setHost(NoteHost* host) { host_ = host; }

    // Live preview hooks for the settings dialog (per-note mode).
    void setTitleColors(int32_t background, int32_t text);
    void setBodyColor(int32_t color);   // reDoc background and pnBottom0
    void setBottomColor(int32_t color); // pnBottom and pnClient
    void setToolbarVisible(bool shown);
    void setOpacityValue(int32_t value); // opt_color semantics: < 255 blends with its low byte

    QString titleCaption() const;
    QTextEdit* editor() const;

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
    QTimer* timCheck = nullptr;
    QTimer* timCheckRepeat = nullptr;
    QTimer* timAutosave = nullptr;
    sound::Player* mpAlram = nullptr; // plays the alarm sound; made with the first sound

    // The two menus are built on first use (most notes never open one): until noteMenu() or
    // editMenu() has been called, these pointers and those of the menus' actions are null.
    // The editor menu's shortcuts work without it; the body reports them as command keys.
    QMenu* noteMenu();
    QMenu* editMenu();
    // Whether the note stays above other windows (the note menu's check mark).
    bool stayOnTop() const { return stayOnTop_; }

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
    // Change tracking.
    void reDocChange();
    void reDocExit();
    // Moving, resizing, folding. Positions are in the receiving control's coordinates
    // (title bar) or on the screen (grips).
    void pnTitleMouseDown(Qt::MouseButton button, QPoint pos);
    void pnTitleMouseMove(QPoint pos);
    void pnTitleMouseUp(QPoint pos);
    void pnTitleDblClick();
    void imgSizeMouseDown(Qt::MouseButton button, QPoint globalPos);
    void imgSizeMouseMove(QPoint globalPos);
    void imgSizeMouseUp(QPoint globalPos);
    void imgMaxClick();
    void DragTitleTo(int x, int y);
    void ResizeStep(QPoint globalPos);
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
    void OpenNoteSettings(int page);
    void imgZemClick();
    void imgVantoClick();
    // Alarm.
    void timCheckTimer();
    void timCheckRepeatTimer();
    void PlayAlarmSound();
    void mpAlramNotify();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildToolbar();
    void buildMenus();
    void setStayOnTop(bool on);
    void applyRecord();
    void editorCommandKey(QKeyCombination key);
    void layoutPanels();
    void layoutTitleBar();
    void layoutToolbar();
    void setCaption(const QString& text);
    void addDateLine();
    void autosaveTimeout();
    void applyStyleToggle(ClickLabel* label, int style);
    void endGestureCursor();
    void setGestureCursor(Qt::CursorShape shape);
    void writeFailed(const QString& path, const QString& reason);
    void writeSucceeded();
    void scheduleAutosave();
    void enterReadOnly(const QString& path, bool recordUnreadable);
    void updateMark();
    QString lineText(int line) const;
    int lineCount() const;
    void buildAlarm();
    void startRinging();
    void blinkTitle();
    void keepPlaceFromWindowSystem();
    void releaseFront();

    NoteHost* host_ = nullptr;
    bool showing_ = false;     // showNote has started: changes count from here on
    bool loadingBody_ = false; // reading the body file is not a change
    bool cursorOverridden_ = false;
    bool soundPlaying_ = false; // this window's sound set the shared isplaying flag
    bool stayOnTop_ = false;
    bool holdWrites_ = false; // ApplyNoteRecord is running: writeRecord waits for its end
    bool writeHeld_ = false;  // a write waits for the end of ApplyNoteRecord
    bool frontHeld_ = false;  // bringToFront keeps the window above the others
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
