// The formatting and editing commands of the tool bar and the editor menu, and the tool bar's
// indicators that follow the selection. Every command first commits a syllable the input
// method is still composing, so it acts on the text as the user sees it.

#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/userdialogs.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

namespace stikko {

namespace {

constexpr int32_t kIndicatorOn = 255; // pure red
constexpr int32_t kIndicatorOff = 0;  // black

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
bool selectionHasStyle(const QTextEdit& editor, Style style) {
    const QTextCursor cursor = editor.textCursor();
    if (!cursor.hasSelection())
        return hasStyle(editor.currentCharFormat(), style);
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const QTextDocument* doc = editor.document();
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
    return seen ? true : hasStyle(editor.currentCharFormat(), style);
}

} // namespace

void TfrmStikko_sub::SelectionChange() {
    if (!reDoc)
        return;
    labBold->setFontColor(selectionHasStyle(*reDoc, Bold) ? kIndicatorOn : kIndicatorOff);
    labItalic->setFontColor(selectionHasStyle(*reDoc, Italic) ? kIndicatorOn : kIndicatorOff);
    labUnderline->setFontColor(selectionHasStyle(*reDoc, Underline) ? kIndicatorOn : kIndicatorOff);
    sbBullets->setChecked(reDoc->textCursor().currentList() != nullptr);
}

void TfrmStikko_sub::applyStyleToggle(ClickLabel* label, int style) {
    commitComposition();
    // The label carries the state: its flipped colour says whether the style is added.
    label->setFontColor(label->fontColor() == kIndicatorOn ? kIndicatorOff : kIndicatorOn);
    const bool on = label->fontColor() == kIndicatorOn;
    QTextCharFormat change;
    switch (style) {
    case Bold:
        change.setFontWeight(on ? QFont::Bold : QFont::Normal);
        break;
    case Italic:
        change.setFontItalic(on);
        break;
    default:
        change.setFontUnderline(on);
        break;
    }
    reDoc->mergeCurrentCharFormat(change);
}

void TfrmStikko_sub::labBoldClick() {
    applyStyleToggle(labBold, Bold);
}
void TfrmStikko_sub::labItalicClick() {
    applyStyleToggle(labItalic, Italic);
}
void TfrmStikko_sub::labUnderlineClick() {
    applyStyleToggle(labUnderline, Underline);
}

void TfrmStikko_sub::labFontClick() {
    commitComposition();
    const QFont initial = reDoc->currentCharFormat().font();
    if (const auto chosen = dialogs().chooseFont(this, initial)) {
        // Name, size and style come from the dialog; the colour stays the selection's.
        QTextCharFormat change;
        change.setFont(*chosen);
        reDoc->mergeCurrentCharFormat(change);
    }
    reDoc->setFocus();
}

void TfrmStikko_sub::sbColorClick() {
    commitComposition();
    const QTextCharFormat current = reDoc->currentCharFormat();
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

void TfrmStikko_sub::sbBulletsClick() {
    commitComposition();
    QTextCursor cursor = reDoc->textCursor();
    cursor.beginEditBlock();
    if (sbBullets->isChecked()) {
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

void TfrmStikko_sub::nnStepClick() {
    commitComposition();
    sbBullets->setChecked(!sbBullets->isChecked());
    sbBulletsClick();
}

void TfrmStikko_sub::sbUndoClick() {
    commitComposition();
    reDoc->undo();
}

void TfrmStikko_sub::sbCutClick() {
    commitComposition();
    reDoc->cut();
}

void TfrmStikko_sub::sbCopyClick() {
    commitComposition();
    reDoc->copy();
}

void TfrmStikko_sub::sbPasteClick() {
    commitComposition();
    reDoc->paste();
}

} // namespace stikko
