#include "platform/desktopnotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QVariantMap>
#include <utility>

namespace stikko::notice {

namespace {
// How long the service may take to answer before the message is said another way.
constexpr int kAnswerTimeoutMs = 5000;
} // namespace

void show(const QString& summary, const QString& body, QObject* context, std::function<void()> failed) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // Said in the event loop as with a bus, so callers see one order of things.
        QTimer::singleShot(0, context, [failed = std::move(failed)] {
            if (failed)
                failed();
        });
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The launcher entry and the icon of the installed program tell the desktop whose it is.
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("stikko"));
    call << QStringLiteral("Stikko") << uint(0) << QStringLiteral("stikko") << summary << body
         << QStringList() << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, failed = std::move(failed)] {
                         if (watcher->isError() && failed)
                             failed();
                         watcher->deleteLater();
                     });
}

} // namespace stikko::notice
