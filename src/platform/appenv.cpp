#include "platform/appenv.h"

#include "platform/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

namespace stikko::env {
namespace {
QString& folderSlot() {
    static QString folder;
    return folder;
}
QString& storageSlot() {
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
QString withSlash(const QString& folder) {
    return folder.endsWith(u'/') || folder.isEmpty() ? folder : folder + u'/';
}
// Whether the notes can be kept in `folder`: its data/ can be written, or made.
bool canKeepNotesIn(const QString& folder) {
    const QFileInfo data(folder + QStringLiteral("data"));
    if (data.exists())
        return data.isDir() && data.isWritable();
    return QFileInfo(folder).isWritable();
}
} // namespace

QString programFolder() {
    QString& folder = folderSlot();
    if (folder.isEmpty() && QCoreApplication::instance())
        setProgramFolder(QCoreApplication::applicationDirPath());
    return folder;
}

void setProgramFolder(const QString& folder) {
    folderSlot() = withSlash(folder);
}

QString storageFolder() {
    const QString& folder = storageSlot();
    return folder.isEmpty() ? programFolder() : folder;
}

void setStorageFolder(const QString& folder) {
    storageSlot() = withSlash(folder);
}

QString settleStorageFolder(QString* error) {
    const QString program = programFolder();
    if (canKeepNotesIn(program)) {
        setStorageFolder({});
        return program;
    }
    // XDG_DATA_HOME, or ~/.local/share when it is not set.
    const QString user = withSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
                         QStringLiteral("stikko/");
    setStorageFolder(user);

    const QString defaults = user + QStringLiteral("system/default_config.ini");
    if (!QDir().mkpath(user + QStringLiteral("data")) || !QDir().mkpath(user + QStringLiteral("system"))) {
        if (error)
            *error = QStringLiteral("cannot make %1").arg(user);
        return user;
    }
    if (QFileInfo::exists(defaults))
        return user;
    QFile shipped(program + QStringLiteral("system/default_config.ini"));
    // No shipped file: the defaults then come from the built-in fallbacks, as beside the program.
    if (!shipped.exists())
        return user;
    if (!shipped.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(shipped.fileName());
        return user;
    }
    const QByteArray bytes = shipped.readAll();
    if (shipped.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(shipped.fileName());
        return user;
    }
    QString reason;
    if (!writeFileAtomically(defaults, bytes, &reason) && error)
        *error = QStringLiteral("cannot write %1: %2").arg(defaults, reason);
    return user;
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
