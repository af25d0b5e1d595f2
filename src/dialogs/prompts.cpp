#include "dialogs/prompts.h"

#include <QMessageBox>

namespace stikko::prompts {
namespace {
AskHandler& askSlot() {
    static AskHandler handler;
    return handler;
}
ErrorHandler& errorSlot() {
    static ErrorHandler handler;
    return handler;
}
} // namespace

bool askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    if (const AskHandler& handler = askSlot())
        return handler(parent, caption, text);
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void showError(QWidget* parent, const QString& text) {
    if (const ErrorHandler& handler = errorSlot()) {
        handler(parent, text);
        return;
    }
    QMessageBox::critical(parent, QStringLiteral("Stikko"), text);
}

void setAskHandler(AskHandler handler) { askSlot() = std::move(handler); }
void setErrorHandler(ErrorHandler handler) { errorSlot() = std::move(handler); }

} // namespace stikko::prompts
