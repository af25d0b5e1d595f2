#include "dialogs/prompts.h"

#include "note/notedialogs.h"

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
    return execYesNoBox(parent, caption, text);
}

void showError(QWidget* parent, const QString& text) {
    if (const ErrorHandler& handler = errorSlot()) {
        handler(parent, text);
        return;
    }
    execErrorBox(parent, text);
}

void setAskHandler(AskHandler handler) { askSlot() = std::move(handler); }
void setErrorHandler(ErrorHandler handler) { errorSlot() = std::move(handler); }

} // namespace stikko::prompts
