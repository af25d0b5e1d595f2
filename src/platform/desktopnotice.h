#pragma once
// The desktop's notifications (the freedesktop notification service on the session bus).

#include <QString>
#include <functional>

class QObject;

namespace stikko::notice {

// Asks the desktop to show a notification from the program. The answer comes later, in the
// event loop: when no notification service took it (no session bus, no service), `failed`
// runs, so the caller can say it another way. Nothing runs once `context` is gone.
void show(const QString& summary, const QString& body, QObject* context, std::function<void()> failed);

} // namespace stikko::notice
