#include "platform/appenv.h"

#include "platform/alarmsound.h"
#include "platform/atomicfile.h"
#include "platform/userdialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <unistd.h>

namespace stikko::env {
namespace {
Environment*& installed() {
    static Environment* environment = nullptr;
    return environment;
}
QString withSlash(const QString& folder) {
    return folder.endsWith(u'/') || folder.isEmpty() ? folder : folder + u'/';
}
// True when `folder` holds a note's file (a name ending in .ini or .rtf).
bool holdsNoteFiles(const QString& folder) {
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.ini"), QStringLiteral("*.rtf")},
                                                     QDir::Files | QDir::NoDotAndDotDot);
    return !names.isEmpty();
}
// Whether the notes are kept in `folder`: its data/ can be written, or made; or it holds notes
// already, which are then used as they are (read-only) rather than left for another folder.
// Only a folder whose data/ never held notes (an installed program's) leaves the notes to the
// user's data folder.
bool canKeepNotesIn(const QString& folder) {
    const QFileInfo data(folder + QStringLiteral("data"));
    if (data.exists())
        return data.isDir() && (data.isWritable() || holdsNoteFiles(data.filePath()));
    return QFileInfo(folder).isWritable();
}
bool hasGuiApplication() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}
} // namespace

QDateTime Environment::now() const {
    return QDateTime::currentDateTime();
}

qint64 Environment::steadyMs() const {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

QSize Environment::workArea() const {
    if (hasGuiApplication()) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            return screen->availableGeometry().size();
    }
    return QSize(1024, 768);
}

QList<QRect> Environment::screenAreas() const {
    QList<QRect> areas;
    if (hasGuiApplication()) {
        for (const QScreen* screen : QGuiApplication::screens())
            areas << screen->availableGeometry();
    }
    if (areas.isEmpty())
        areas << QRect(QPoint(0, 0), workArea());
    return areas;
}

bool Environment::trayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool Environment::hasSoundOutput() const {
    return sound::hasOutputDevice();
}

sound::Player* Environment::createSoundPlayer(QObject* parent) const {
    return sound::createPlayer(parent);
}

qint64 Environment::writeToFile(int fd, const char* data, qint64 size) const {
    return ::write(fd, data, static_cast<size_t>(size));
}

Environment& current() {
    static Environment system;
    Environment* environment = installed();
    return environment ? *environment : system;
}

Override::Override(Environment& environment, Dialogs& dialogs)
    : oldEnvironment_(installed()), oldDialogs_(detail::installedDialogs()) {
    installed() = &environment;
    detail::installedDialogs() = &dialogs;
}

Override::~Override() {
    installed() = oldEnvironment_;
    detail::installedDialogs() = oldDialogs_;
}

QString programFolder() {
    QString& folder = current().programFolder;
    if (folder.isEmpty() && QCoreApplication::instance())
        setProgramFolder(QCoreApplication::applicationDirPath());
    return folder;
}

void setProgramFolder(const QString& folder) {
    current().programFolder = withSlash(folder);
}

QString storageFolder() {
    const QString& folder = current().storageFolder;
    return folder.isEmpty() ? programFolder() : folder;
}

void setStorageFolder(const QString& folder) {
    current().storageFolder = withSlash(folder);
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

} // namespace stikko::env
