#pragma once
// The note's tool bar: the strip below the body with a control for each of the command table's
// tool-bar items (toolbarItems()) and the resize grip at its right end. It reports which
// command a control asks for and shows the commands' states (on or off, available or not) as
// the note window sets them; what a command does is the window's business.
//
// The controls are drawn by the bar itself (see ControlPanel): the labels in their own faces
// (the style letters red while their style is on), the buttons as flat speed buttons, in the
// flat style's way while it is active: at rest only the picture; under the pointer the panel
// tinted, outlined and the picture lifted on its shadow; held or on, pressed in.

#include "note/controlpanel.h"
#include "note/notecommands.h"

namespace stikko {

class ImageBox;

class NoteToolbar : public ControlPanel {
    Q_OBJECT
  public:
    explicit NoteToolbar(QWidget* parent);

    // The on/off state of a command that has one (bold, italic, underline, bullets).
    void setChecked(NoteCommand command, bool on);
    void setCommandEnabled(NoteCommand command, bool enabled);
    // The grip that resizes the note.
    ImageBox* sizeGrip() const { return sizeGrip_; }

    // The control of `command`, as shown: its place on the bar (empty when there is none),
    // whether it is on and whether it is available.
    QRect controlRect(NoteCommand command) const;
    bool isChecked(NoteCommand command) const;
    bool isCommandEnabled(NoteCommand command) const;

  signals:
    void triggered(NoteCommand command);

  protected:
    void paintControl(QPainter& painter, int index) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int find(NoteCommand command) const;
    void paintText(QPainter& painter, int index);
    void paintButton(QPainter& painter, int index);

    ImageBox* sizeGrip_ = nullptr;
};

} // namespace stikko
