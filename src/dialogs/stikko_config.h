#pragma once
// The settings dialog: colours, opacity, tool bar, alarm and sound, either for the defaults
// that new notes start from (noteWindow null) or for one open note (noteWindow set), whose
// window then previews every change of colour, tool bar and opacity at once.
//
// There is no cancel: however the dialog closes, every control is written back: into the
// defaults record (which the caller stores), or to the note, which takes the values and writes
// them itself. The dialog reads and writes no file.

#include "store/subfunction.h"

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QToolButton>
#include <array>
#include <cstdint>

class QCheckBox;
class QDateEdit;
class QLabel;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace stikko {

class TfrmStikko_sub;

// A filled rounded rectangle that reports a press of any mouse button with its Tag.
class ConfigShape : public QWidget {
    Q_OBJECT
  public:
    ConfigShape(int tag, QWidget* parent);

    int Tag;
    int32_t fill() const { return fill_; }
    void setFill(int32_t color);
    void setOutline(int32_t color, int width);
    void setRadius(int radius);

  signals:
    void pressed(int tag);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int32_t fill_ = 0x00FFFFFF;
    int32_t outline_ = 0;
    int outlineWidth_ = 1;
    int radius_ = 4;
};

// A flat 18 x 18 picture button that names its colour target by Tag.
class ConfigColorButton : public QToolButton {
    Q_OBJECT
  public:
    ConfigColorButton(int tag, QWidget* parent);
    int Tag;
};

class TfrmStikko_config : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmStikko_config(QWidget* owner);
    ~TfrmStikko_config() override;

    // The note being edited; null in defaults mode. Set by the caller before showing.
    QPointer<TfrmStikko_sub> noteWindow;
    // The record edited in defaults mode (copied in before showing, out after closing).
    NoteRecord noteRecord{};
    // Colour swatches by colour target: 0 title background, 1 title text, 2 body, 3 tool bar.
    std::array<ConfigShape*, 4> swatches{};

    // Controls, by the names the rest of the program and the tests use.
    QTabWidget* pcConfig = nullptr;
    QWidget* tsColor = nullptr;
    QWidget* tsAlarm = nullptr;
    QWidget* tsSound = nullptr;
    QLabel* labCaption = nullptr;
    QToolButton* sbClose = nullptr;
    QLabel* imgNote = nullptr;
    ConfigShape* shTitle = nullptr;
    ConfigShape* shTitlebk = nullptr;
    ConfigShape* shDoc = nullptr;
    ConfigShape* shBottom = nullptr;
    ConfigShape* Shape2 = nullptr;
    ConfigColorButton* clTitle = nullptr;
    ConfigColorButton* clTitlebk = nullptr;
    ConfigColorButton* clDoc = nullptr;
    ConfigColorButton* clBottom = nullptr;
    QSlider* rsHide = nullptr;
    QCheckBox* cbToolbar = nullptr;
    QLabel* labHand = nullptr; // the hand pointing at the picture's tool bar, left of cbToolbar
    QCheckBox* cbAlram = nullptr;
    QDateEdit* dtDate = nullptr;
    QSpinBox* seH = nullptr;
    QSpinBox* seM = nullptr;
    QSpinBox* seRepeat = nullptr;
    QCheckBox* cbSound = nullptr;
    QLabel* labSound = nullptr;
    QToolButton* sbSound = nullptr;

    // Sets every control from the record.
    void LoadFromRecord(NoteRecord r);
    // Writes every control into the record; no other field is touched.
    void StoreToRecord(NoteRecord& r) const;
    // Runs the colour chooser for one colour target (0-3).
    void ChooseColor(int target);
    // Shows the current colours, tool-bar choice and opacity on the note (per-note mode).
    void PreviewOnNote();

    // Handlers.
    void sbCloseClick();
    void clTitleClick(int tag);
    void shTitleMouseDown(int tag);
    void rsHideChange();
    void cbToolbarClick();
    void dtDateChange();
    void sbSoundClick();

    // Whether the dialog has been shown for a note (fixed when it is shown).
    bool perNoteMode() const { return perNote_; }
    // The sound file path as it will be stored (the bytes behind labSound's caption).
    QByteArray soundFileBytes() const { return soundBytes_; }

    // The form that a chosen sound path is stored in: lower case, unless lower-casing would make
    // it name a different (or no) file on this file system. Public for tests.
    static QString soundPathForRecord(const QString& chosen);

  protected:
    void showEvent(QShowEvent* event) override;
    // Closing the note being edited closes the dialog first, so the note stores its values.
    bool eventFilter(QObject* watched, QEvent* event) override;

  public:
    void done(int result) override;

  private:
    void FormShow();
    void FormClose();
    void buildColorPage(QWidget* area);
    void buildAlarmPage(QWidget* area);
    void buildSoundPage(QWidget* area);
    // Keeps cbToolbar and its hand within the colour page.
    void placeToolbarChoice();
    void setSoundPath(const QByteArray& bytes);

    bool perNote_ = false;
    bool shown_ = false;
    bool stored_ = false;
    QByteArray soundBytes_;
};

// The settings dialog while it exists; null otherwise.
extern QPointer<TfrmStikko_config> frmStikko_config;

// The tray's "기본 환경 설정": re-reads the defaults file into the data module's defaults, lets
// the user edit a copy, copies it back and writes the defaults file (without the alarm keys).
// When a settings dialog is already open it is brought forward instead and nothing else happens.
// Returns true when the defaults file was written.
bool RunDefaultsSettings(QWidget* owner);

// The settings of one note, owned by its window, on page 0 (colours) or 1 (alarm). Returns when
// the dialog has closed; the note has then taken the dialog's values and written them.
// Returns false when nothing ran: no note, or another settings dialog already open (which is
// brought forward).
bool RunNoteSettings(TfrmStikko_sub* note, int page);

} // namespace stikko
