#pragma once
// The note manager: a check list of every note stored in the data folder, with its title and
// alarm time; the check mark says whether the note is on the screen. Ticking or clearing a
// mark shows or hides the note at once; the pop-up menu toggles or deletes the selected note.
// It reads the note files through the store and changes notes only through the registry.

#include "store/subfunction.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDialog>
#include <QStringList>
#include <functional>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QToolButton;

namespace stikko {

class NoteRegistry;

// A list line is at most this many bytes.
inline constexpr int kAdminLineLimit = 255;

// The list line of a note, in CP949 bytes: "%-40s   %-20s" of its title and, when its alarm is
// on, its alarm time. Widths count bytes, so with a fixed-pitch font in which a Korean letter
// takes two cells the columns line up. A line longer than kAdminLineLimit is cut there, never
// inside a double-byte character.
QByteArray FormatAdminLine(const NoteRecord& record);

class TfrmStikko_admin : public QDialog {
    Q_OBJECT
  public:
    TfrmStikko_admin(QWidget* owner, NoteRegistry& registry);
    ~TfrmStikko_admin() override;

    // Rebuilds the check list and lbOid from the note files on disk.
    void FillList();

    // Handlers, public so the main form's tests and the shortcuts can reach them.
    void sbCloseClick();
    void clbStikkoClickCheck(int line); // `line`'s check mark was just toggled by the user
    void nnHideClick();
    void nnDeleteClick();

    // The selected line of the check list, or -1.
    int selectedLine() const;

    QFrame* pnFrame = nullptr;
    QLabel* labHeading = nullptr;
    QFrame* pnColumns = nullptr;
    QLabel* labTitle = nullptr;
    QLabel* labAlarm = nullptr;
    QListWidget* clbStikko = nullptr;
    QToolButton* sbClose = nullptr;
    QMenu* puEdit = nullptr;
    QAction* nnHide = nullptr;
    QAction* nnDelete = nullptr;

    QByteArrayList lbOid; // note ids; entry i belongs to line i of clbStikko

  protected:
    void showEvent(QShowEvent* event) override; // FormShow
    void done(int result) override;             // FormClose
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildForm();
    void buildList();
    void buildMenu();
    void emptyLists();

    NoteRegistry& registry_;
    bool filling_ = false; // check marks set by the program are not user toggles
};

// The open manager, or null.
extern TfrmStikko_admin* frmStikko_admin;

// The tray's "view all notes" command: unless a manager is open already, switches the tray
// off through `setTrayEnabled`, runs the manager modally, frees it and switches the tray on
// again. False when a manager was already open (nothing happened).
bool RunNoteManager(QWidget* owner, NoteRegistry& registry, const std::function<void(bool)>& setTrayEnabled);

} // namespace stikko
