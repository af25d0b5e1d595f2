#pragma once
// The modal dialogs the program puts before the user: a Yes/No question, an error or a message to
// acknowledge, the font and colour dialogs and the choice of a sound file. Everything asks
// through dialogs(), so a test gives the answers (env::Override) instead of a box blocking it.
// Each opens over the window of its `parent` (none for null) and above every note.

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class QWidget;

namespace stikko {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A question with Yes and No, no icon, No the default button (every question the program
    // asks guards a command that cannot be taken back); true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text);
    // An error, under the program's name.
    virtual void showError(QWidget* parent, const QString& text);
    // A message under the title of `parent`'s window.
    virtual void showMessage(QWidget* parent, const QString& text);
    // The font dialog preset with `initial`; nothing when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial);
    // The colour dialog preset with `initial`; nothing when cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial);
    // An existing *.wav file, starting at `current`; its full path, or nothing when cancelled.
    virtual std::optional<QString> chooseSoundFile(QWidget* parent, const QString& current);
};

// The dialogs in use: the standard ones unless an env::Override holds others.
Dialogs& dialogs();

// Makes `window` (a dialog, before it is shown) open above the notes, notes kept on top
// included: every box and dialog of the program does.
void keepAboveNotes(QWidget* window);

namespace detail {
// The installed dialogs (null = the standard ones); env::Override sets it.
Dialogs*& installedDialogs();
} // namespace detail

} // namespace stikko
