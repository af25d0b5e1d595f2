#include "platform/appenv.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace stikko::env {
namespace {
QString& folderSlot() {
    static QString folder;
    return folder;
}
QSize& workAreaSlot() {
    static QSize size;
    return size;
}
std::function<QDateTime()>& clockSlot() {
    static std::function<QDateTime()> clock;
    return clock;
}
} // namespace

QString programFolder() {
    QString& folder = folderSlot();
    if (folder.isEmpty() && QCoreApplication::instance())
        setProgramFolder(QCoreApplication::applicationDirPath());
    return folder;
}

void setProgramFolder(const QString& folder) {
    folderSlot() = folder.endsWith(u'/') || folder.isEmpty() ? folder : folder + u'/';
}

QSize workArea() {
    if (workAreaSlot().isValid())
        return workAreaSlot();
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            return screen->availableGeometry().size();
    }
    return QSize(1024, 768);
}

void setWorkArea(const QSize& size) { workAreaSlot() = size; }

QList<QRect> screenAreas() {
    if (workAreaSlot().isValid())
        return {QRect(QPoint(0, 0), workAreaSlot())};
    QList<QRect> areas;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        for (const QScreen* screen : QGuiApplication::screens())
            areas << screen->availableGeometry();
    }
    if (areas.isEmpty())
        areas << QRect(QPoint(0, 0), workArea());
    return areas;
}

QDateTime now() {
    const auto& clock = clockSlot();
    return clock ? clock() : QDateTime::currentDateTime();
}

void setClock(std::function<QDateTime()> clock) { clockSlot() = std::move(clock); }

} // namespace stikko::env
