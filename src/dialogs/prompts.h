#pragma once
// The few modal message boxes of the note manager and the print command. Each goes through a
// replaceable handler so offscreen tests can give the answer instead of blocking on a box.

#include <QString>
#include <functional>

class QWidget;

namespace stikko::prompts {

// A question with Yes and No buttons, no icon and No as the default; true for Yes. The same
// box as the note window's.
using AskHandler = std::function<bool(QWidget* parent, const QString& caption, const QString& text)>;
// The program's general error message.
using ErrorHandler = std::function<void(QWidget* parent, const QString& text)>;

bool askYesNo(QWidget* parent, const QString& caption, const QString& text);
void showError(QWidget* parent, const QString& text);

// An empty handler goes back to the real message boxes.
void setAskHandler(AskHandler handler);
void setErrorHandler(ErrorHandler handler);

} // namespace stikko::prompts
