#include "platform/userdialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPointer>

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

namespace {

// Runs `dialog` modally over its parent's window and above every note (notes kept on top
// included), then frees it; `read` takes the finished dialog and its result. A dialog whose
// parent goes away while it runs goes with it: `read` then gets null, as for a cancel.
template <class Dialog, class Read> auto runModal(Dialog* dialog, Read read) {
    keepAboveNotes(dialog);
    QPointer<Dialog> guard(dialog);
    const int code = dialog->exec();
    auto value = read(guard.data(), guard ? code : int(QDialog::Rejected));
    delete guard.data();
    return value;
}

QWidget* windowOf(QWidget* parent) {
    return parent ? parent->window() : nullptr;
}

} // namespace

void keepAboveNotes(QWidget* window) {
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

bool Dialogs::askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No,
                                windowOf(parent));
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return runModal(box, [](QMessageBox* done, int) {
        return done && done->clickedButton() == done->button(QMessageBox::Yes);
    });
}

void Dialogs::showError(QWidget* parent, const QString& text) {
    runModal(new QMessageBox(QMessageBox::Critical, QStringLiteral("Stikko"), text, QMessageBox::Ok,
                             windowOf(parent)),
             [](QMessageBox*, int) { return true; });
}

void Dialogs::showMessage(QWidget* parent, const QString& text) {
    QWidget* window = windowOf(parent);
    runModal(new QMessageBox(QMessageBox::Information, window ? window->windowTitle() : QString(), text,
                             QMessageBox::Ok, window),
             [](QMessageBox*, int) { return true; });
}

std::optional<QFont> Dialogs::chooseFont(QWidget* parent, const QFont& initial) {
    auto* dialog = new QFontDialog(initial, windowOf(parent));
    return runModal(dialog, [](QFontDialog* done, int code) -> std::optional<QFont> {
        if (!done || code != QDialog::Accepted)
            return std::nullopt;
        return done->selectedFont();
    });
}

std::optional<QColor> Dialogs::chooseColor(QWidget* parent, const QColor& initial) {
    auto* dialog = new QColorDialog(initial, windowOf(parent));
    return runModal(dialog, [](QColorDialog* done, int code) -> std::optional<QColor> {
        if (!done || code != QDialog::Accepted || !done->selectedColor().isValid())
            return std::nullopt;
        return done->selectedColor();
    });
}

std::optional<QString> Dialogs::chooseSoundFile(QWidget* parent, const QString& current) {
    auto* dialog = new QFileDialog(windowOf(parent));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("*.wav"));
    dialog->setDefaultSuffix(QStringLiteral("wav"));
    if (!current.isEmpty()) {
        const QFileInfo info(current);
        if (info.dir().exists())
            dialog->setDirectory(info.dir());
        dialog->selectFile(info.fileName());
    }
    return runModal(dialog, [](QFileDialog* done, int code) -> std::optional<QString> {
        if (!done || code != QDialog::Accepted || done->selectedFiles().isEmpty())
            return std::nullopt;
        return done->selectedFiles().constFirst();
    });
}

} // namespace stikko
