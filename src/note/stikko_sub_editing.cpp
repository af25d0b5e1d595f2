// The formatting and editing commands, and the states of bold, italic, underline and bullets,
// which follow the selection.

#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/userdialogs.h"

#include <QFontInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>

namespace stikko {

namespace {

enum Style { Bold, Italic, Underline };

bool hasStyle(const QTextCharFormat& format, Style style) {
    switch (style) {
    case Bold:
        return format.fontWeight() > QFont::Normal;
    case Italic:
        return format.fontItalic();
    case Underline:
        return format.fontUnderline();
    }
    return false;
}

// Whether the selection has a style: every selected character has it. Without a selection,
// the format that typing would use.
bool selectionHasStyle(const QTextCursor& cursor, Style style) {
    if (!cursor.hasSelection())
        return hasStyle(cursor.charFormat(), style);
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const QTextDocument* doc = cursor.document();
    bool seen = false;
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= start || fragment.position() >= end)
                continue;
            seen = true;
            if (!hasStyle(fragment.charFormat(), style))
                return false;
        }
    }
    return seen ? true : hasStyle(cursor.charFormat(), style);
}

// The point size of `font` (given in points or in pixels).
qreal pointsOf(const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

// What the font dialog changed: `shown` is the font it opened on, `chosen` the one it gave back.
// Only what the user changed is applied, so a confirmed dialog leaves the rest as the text
// has it: above all the family name the file gives (굴림체, shown through a stand-in the dialog
// lists instead), and the sizes of a selection of several sizes. The dialog offers whole
// points.
QTextCharFormat fontChange(const QFont& shown, const QFont& chosen) {
    QTextCharFormat change;
    if (chosen.family() != shown.family())
        change.setFontFamilies(QStringList{chosen.family()});
    if (qRound(pointsOf(chosen)) != qRound(pointsOf(shown)))
        change.setFontPointSize(pointsOf(chosen));
    if (chosen.weight() != shown.weight())
        change.setFontWeight(chosen.weight());
    if (chosen.italic() != shown.italic())
        change.setFontItalic(chosen.italic());
    if (chosen.underline() != shown.underline())
        change.setFontUnderline(chosen.underline());
    if (chosen.strikeOut() != shown.strikeOut())
        change.setFontStrikeOut(chosen.strikeOut());
    return change;
}

} // namespace

void TfrmStikko_sub::SelectionChange() {
    if (!body_)
        return;
    const QTextCursor cursor = bodyCursor();
    showState(NoteCommand::Bold, selectionHasStyle(cursor, Bold));
    showState(NoteCommand::Italic, selectionHasStyle(cursor, Italic));
    showState(NoteCommand::Underline, selectionHasStyle(cursor, Underline));
    showState(NoteCommand::Indent, cursor.currentList() != nullptr);
}

void TfrmStikko_sub::showState(NoteCommand command, bool on) {
    shownStates_[std::size_t(command)] = on;
    pnBottom->setChecked(command, on);
}

bool TfrmStikko_sub::isChecked(NoteCommand command) const {
    return command == NoteCommand::StayOnTop ? stayOnTop_ : shownStates_[std::size_t(command)];
}

void TfrmStikko_sub::toggleStyle(NoteCommand command) {
    // The indicator carries the state: flipped, it says whether the style is added. Without a
    // selection the style is the one typing will use.
    const bool on = !isChecked(command);
    showState(command, on);
    QTextCharFormat change;
    if (command == NoteCommand::Bold)
        change.setFontWeight(on ? QFont::Bold : QFont::Normal);
    else if (command == NoteCommand::Italic)
        change.setFontItalic(on);
    else
        change.setFontUnderline(on);
    editor()->mergeCurrentCharFormat(change);
}

void TfrmStikko_sub::toggleBold() {
    toggleStyle(NoteCommand::Bold);
}
void TfrmStikko_sub::toggleItalic() {
    toggleStyle(NoteCommand::Italic);
}
void TfrmStikko_sub::toggleUnderline() {
    toggleStyle(NoteCommand::Underline);
}

void TfrmStikko_sub::chooseFont() {
    // The dialog opens on the font the text shows: the face that stands in for a family the
    // system lacks (the dialog lists installed faces only), at the text's size and style.
    QFont shown = editor()->currentCharFormat().font().resolve(body_->defaultFont());
    shown.setFamilies(QStringList{QFontInfo(shown).family()});
    if (const auto chosen = dialogs().chooseFont(this, shown)) {
        // Name, size and style as changed in the dialog; the colour stays the selection's.
        const QTextCharFormat change = fontChange(shown, *chosen);
        if (!change.properties().isEmpty())
            reDoc->mergeCurrentCharFormat(change);
    }
    reDoc->setFocus();
}

void TfrmStikko_sub::chooseTextColor() {
    const QTextCharFormat current = editor()->currentCharFormat();
    const QColor initial = current.hasProperty(QTextFormat::ForegroundBrush)
                               ? current.foreground().color()
                               : reDoc->palette().color(QPalette::Text);
    const auto chosen = dialogs().chooseColor(this, initial);
    if (!chosen)
        return; // cancelled: the focus stays where it was
    // Only the colour changes: a selection of mixed fonts or styles keeps them.
    QTextCharFormat change;
    change.setForeground(*chosen);
    reDoc->mergeCurrentCharFormat(change);
    reDoc->setFocus();
}

void TfrmStikko_sub::toggleBullets() {
    const bool on = !isChecked(NoteCommand::Indent);
    showState(NoteCommand::Indent, on);
    QTextCursor cursor = editor()->textCursor();
    cursor.beginEditBlock();
    if (on) {
        if (!cursor.currentList()) {
            QTextListFormat format;
            format.setStyle(QTextListFormat::ListDisc);
            cursor.createList(format);
        }
    } else {
        // Every paragraph of the selection leaves its list and keeps its own indent.
        const QTextDocument* doc = reDoc->document();
        const int end = cursor.selectionEnd();
        for (QTextBlock block = doc->findBlock(cursor.selectionStart()); block.isValid();
             block = block.next()) {
            if (QTextList* list = block.textList()) {
                const int indent = block.blockFormat().indent();
                list->remove(block);
                QTextCursor blockCursor(block);
                QTextBlockFormat format = blockCursor.blockFormat();
                format.setIndent(indent);
                blockCursor.setBlockFormat(format);
            }
            if (block.position() + block.length() > end)
                break;
        }
    }
    cursor.endEditBlock();
}

void TfrmStikko_sub::undoEdit() {
    editor()->undo();
}

void TfrmStikko_sub::cut() {
    editor()->cut();
}

void TfrmStikko_sub::copy() {
    editor()->copy();
}

void TfrmStikko_sub::paste() {
    editor()->paste();
}

// --- Text put in from outside -----------------------------------------------------------

void TfrmStikko_sub::selectText(int start, int length) {
    if (record_.ismini == 1)
        foldOrUnfold(); // a folded note shows no text
    ensureEditor(Qt::OtherFocusReason);
    const int last = body_->characterCount() - 1;
    QTextCursor cursor(body_);
    cursor.setPosition(std::clamp(start, 0, last));
    cursor.setPosition(std::clamp(start + std::max(length, 0), 0, last), QTextCursor::KeepAnchor);
    reDoc->setTextCursor(cursor);
    reDoc->ensureCursorVisible();
}

bool TfrmStikko_sub::appendText(const QString& text) {
    if (readOnly_ || closed_ || deleted_)
        return false;
    commitComposition();
    QTextCursor cursor(body_);
    cursor.movePosition(QTextCursor::End);
    // On lines of its own: the first of them is the title of a new note (its line 2). An
    // empty last line (where a new note's caret waits below its date line) takes it.
    const bool emptyLine = body_->isEmpty() || cursor.block().length() <= 1;
    cursor.insertText(emptyLine ? text : QStringLiteral("\n") + text);
    UpdateTitleFromText();
    // Written now, not a moment later: nobody is typing, and the text came from elsewhere.
    autosaveTimeout();
    return !modified_ && !hasUnsavedFailure();
}

} // namespace stikko
