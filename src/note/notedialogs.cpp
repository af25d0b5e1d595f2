#include "note/notedialogs.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace stikko {

namespace {
NoteDialogs*& installed() {
    static NoteDialogs* dialogs = nullptr;
    return dialogs;
}
} // namespace

bool execYesNoBox(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void execErrorBox(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Stikko"), text);
}

bool NoteDialogs::askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    return execYesNoBox(parent, caption, text);
}

void NoteDialogs::showError(QWidget* parent, const QString& text) {
    execErrorBox(parent, text);
}

std::optional<QFont> NoteDialogs::chooseFont(QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

std::optional<QColor> NoteDialogs::chooseColor(QWidget* parent, const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, parent);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

NoteDialogs& noteDialogs() {
    static NoteDialogs standard;
    return installed() ? *installed() : standard;
}

void setNoteDialogs(NoteDialogs* dialogs) {
    installed() = dialogs;
}

} // namespace stikko
