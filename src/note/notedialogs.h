#pragma once
// The questions a note window asks the user: the delete confirmation, the font dialog and the
// colour dialog. They go through one replaceable object so that tests can give the answers
// without a modal dialog blocking them.

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class QWidget;

namespace stikko {

class NoteDialogs {
  public:
    virtual ~NoteDialogs() = default;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text);
    // The font dialog preset with `initial`; nothing when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial);
    // The colour dialog preset with `initial`; nothing when cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial);
};

// The object in use: the standard dialogs unless one was installed.
NoteDialogs& noteDialogs();
// Installs `dialogs` (not owned); null goes back to the standard dialogs.
void setNoteDialogs(NoteDialogs* dialogs);

} // namespace stikko
