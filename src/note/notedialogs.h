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

// The delete question, asked by the note window and the note manager alike.
inline const QString kDeleteCaption = QStringLiteral("확인");
inline const QString kDeleteQuestion =
    QStringLiteral("메모장이 완전 삭제됩니다. \n삭제된 자료는 복구 되지 않습니다. \n삭제하시겠습니까 ?");

// The program's one Yes/No box: no icon, and No is the default button, since the only
// question asked guards a command that cannot be taken back. True for Yes.
bool execYesNoBox(QWidget* parent, const QString& caption, const QString& text);
// The program's general error box.
void execErrorBox(QWidget* parent, const QString& text);

class NoteDialogs {
  public:
    virtual ~NoteDialogs() = default;
    // A Yes/No question (execYesNoBox); true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text);
    // The general error message (execErrorBox).
    virtual void showError(QWidget* parent, const QString& text);
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
