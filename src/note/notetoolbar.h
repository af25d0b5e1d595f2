#pragma once
// The note's tool bar: the strip below the body with a control for each of the command table's
// tool-bar items (toolbarItems()) and the resize grip at its right end. It reports which
// command a control asks for and shows the commands' states (on or off, available or not) as
// the note window sets them; what a command does is the window's business. The window uses only
// triggered(), setChecked(), setCommandEnabled() and sizeGrip(): one painted widget fed from the
// same items (each with its place, face, tip and accessible name) can take this one's place.

#include "note/notecommands.h"
#include "note/notewidgets.h"

#include <QList>

namespace stikko {

class NoteToolbar : public Panel {
    Q_OBJECT
  public:
    explicit NoteToolbar(QWidget* parent);

    // The on/off state of a command that has one (bold, italic, underline, bullets).
    void setChecked(NoteCommand command, bool on);
    void setCommandEnabled(NoteCommand command, bool enabled);
    // The grip that resizes the note.
    ImageBox* sizeGrip() const { return sizeGrip_; }

  signals:
    void triggered(NoteCommand command);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Control {
        const ToolbarItem* item;
        QWidget* widget;
    };
    const Control* find(NoteCommand command) const;

    QList<Control> controls_;
    ImageBox* sizeGrip_ = nullptr;
};

} // namespace stikko
