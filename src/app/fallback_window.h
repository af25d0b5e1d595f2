#pragma once
// The program's window for desktops without a notification area (plain GNOME has none): a
// small window titled "Stikko" that offers a new note and every command of the tray menu.
// The main form shows it while no tray is there and hides it when one appears. Closing it
// ends the program, as the tray menu's exit does: it is the program's only presence then.

#include <QWidget>

class QLabel;
class QMenu;
class QPushButton;

namespace stikko {

class FallbackWindow : public QWidget {
    Q_OBJECT
  public:
    // `commands`: the tray menu, whose actions the window's buttons share (text, icon and
    // enabled state).
    explicit FallbackWindow(QMenu* commands, QWidget* parent = nullptr);

    QPushButton* sbNewNote = nullptr;
    QLabel* labMessage = nullptr;

    // Shows a message in the window (for a desktop that has no notification service either).
    void showMessage(const QString& text);

  signals:
    void newNoteClicked();
    void closeRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace stikko
