#include "platform/userdialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>

namespace stikko {

namespace detail {
Dialogs*& installedDialogs() {
    static Dialogs* installed = nullptr;
    return installed;
}
} // namespace detail

Dialogs& dialogs() {
    static Dialogs standard;
    Dialogs* installed = detail::installedDialogs();
    return installed ? *installed : standard;
}

bool Dialogs::askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void Dialogs::showError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Stikko"), text);
}

void Dialogs::showMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, parent ? parent->window()->windowTitle() : QString(), text);
}

std::optional<QFont> Dialogs::chooseFont(QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

std::optional<QColor> Dialogs::chooseColor(QWidget* parent, const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, parent);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

std::optional<QString> Dialogs::chooseSoundFile(QWidget* parent, const QString& current) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("*.wav"));
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    if (!current.isEmpty()) {
        const QFileInfo info(current);
        if (info.dir().exists())
            dialog.setDirectory(info.dir());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace stikko
