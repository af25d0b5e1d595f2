#pragma once
// Moving a note window by its title bar and resizing it by a grip, as the mouse does them: the
// window follows the pointer here, under the gesture's cursor, and the note is told when a
// gesture starts and ends so that it can store the place or size it ends with. A double click
// on the title bar asks for the note to fold or unfold.

#include <QList>
#include <QObject>
#include <QPoint>
#include <functional>

class QWidget;

namespace stikko {

class NoteGestures : public QObject {
    Q_OBJECT
  public:
    // Watches `titleBar` and `grips` (all inside `window`) for the mouse. A press where
    // `onTitleControl` says the title bar has a control of its own is left to the title bar.
    NoteGestures(QWidget* window, QWidget* titleBar, const QList<QWidget*>& grips,
                 std::function<bool(const QPoint&)> onTitleControl = {});
    ~NoteGestures() override;

    // A move or a resize is under way.
    bool active() const { return active_; }
    // Gives the cursor back (the window closes in the middle of a gesture).
    void endCursor();

  signals:
    // The title bar or a grip was pressed: a gesture begins.
    void started();
    // The title bar was pressed where the window shows now: this is the note's place.
    void placeTaken();
    // A move by the title bar, or a resize by a grip, has ended.
    void moved();
    void resized();
    // The title bar was double-clicked.
    void foldRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void titlePressed(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    void titleDragged(QPoint globalPos);
    void titleReleased(QPoint globalPos);
    // Moves the window so that the pointer keeps its place on the title bar, while the pointer
    // stays inside the work area.
    void dragTitleTo(QPoint globalPos);
    void gripPressed(QPoint globalPos);
    void gripDragged(QPoint globalPos);
    void gripReleased();
    void setCursor(Qt::CursorShape shape);

    QWidget* window_;
    QWidget* titleBar_;
    std::function<bool(const QPoint&)> onTitleControl_;
    QList<QWidget*> grips_;
    bool active_ = false;
    QPoint anchor_;   // the press on the title bar, or the pointer's last place on the screen
    QPoint toScreen_; // from the pointer's place on the screen to the window's place plus anchor_
    bool cursorOverridden_ = false;
};

} // namespace stikko
