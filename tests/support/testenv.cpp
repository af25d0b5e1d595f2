#include "support/testenv.h"

#include "platform/appenv.h"
#include "platform/rtf.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace stikko::test {

QDateTime TestEnv::fixedNow() {
    return QDateTime(QDate(2004, 2, 1), QTime(9, 5, 3, 70));
}

QSize TestEnv::fixedWorkArea() {
    return QSize(1280, 770);
}

TestEnv::TestEnv()
    : oldDataHome_(qgetenv("XDG_DATA_HOME")), oldStateHome_(qgetenv("XDG_STATE_HOME")),
      oldCacheHome_(qgetenv("XDG_CACHE_HOME")), now_(fixedNow()), workArea_(fixedWorkArea()) {
    QDir root(dir_.path());
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("system"));
    root.mkpath(QStringLiteral("sound"));
    env::setProgramFolder(folder());
    // Deleted notes and recovered text must not land in the real user's folders.
    qputenv("XDG_DATA_HOME", QFile::encodeName(xdgDataDir()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(xdgStateDir()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(xdgCacheDir()));
}

TestEnv::~TestEnv() {
    for (const auto& [name, old] : {std::pair{"XDG_DATA_HOME", oldDataHome_},
                                    {"XDG_STATE_HOME", oldStateHome_},
                                    {"XDG_CACHE_HOME", oldCacheHome_}}) {
        if (old.isNull())
            qunsetenv(name);
        else
            qputenv(name, old);
    }
}

QString TestEnv::folder() const {
    return dir_.path() + u'/';
}

void TestEnv::setNow(const QDateTime& moment) {
    now_ = moment;
}

void TestEnv::advance(qint64 ms) {
    now_ = now_.addMSecs(ms);
    steady_ += ms;
}

void TestEnv::setWorkArea(const QSize& size) {
    workArea_ = size;
}

sound::Player* TestEnv::createSoundPlayer(QObject* parent) const {
    return const_cast<FakeSound&>(sound).createPlayer(parent);
}

qint64 TestEnv::writeToFile(int fd, const char* data, qint64 size) const {
    return writer ? writer(fd, data, size) : env::Environment::writeToFile(fd, data, size);
}

bool fire(QTimer* timer) {
    if (!timer || !timer->isActive())
        return false;
    if (timer->isSingleShot())
        timer->stop();
    return QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
}

bool TestEnv::installDefaultsFile() const {
    const QString target = systemDir() + QStringLiteral("default_config.ini");
    QFile::remove(target);
    return QFile::copy(QStringLiteral(STIKKO_SOURCE_DIR "/resources/system/default_config.ini"), target) &&
           QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

bool TestEnv::installSystemFolder() const {
    const QString shipped = QStringLiteral(STIKKO_SOURCE_DIR "/resources/system/");
    for (const QString& name : QDir(shipped).entryList(QDir::Files)) {
        QFile::remove(systemDir() + name);
        if (!QFile::copy(shipped + name, systemDir() + name))
            return false;
    }
    return installDefaultsFile();
}

bool TestEnv::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString target = path(relative);
    QDir().mkpath(QFileInfo(target).path());
    QFile file(target);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray TestEnv::readFile(const QString& relative) const {
    return readAll(path(relative));
}

bool TestEnv::exists(const QString& relative) const {
    return QFileInfo::exists(path(relative));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray fixture(const QString& name) {
    return readAll(QStringLiteral(STIKKO_TEST_DATA "/") + name);
}

namespace {
template <std::size_t N> QString text(const char (&field)[N]) {
    const QByteArray bytes(field, static_cast<qsizetype>(strnlen(field, N)));
    QString shown;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        shown +=
            (b >= 32 && b < 127) ? QString(QChar(b)) : QStringLiteral("\\x%1").arg(b, 2, 16, QChar(u'0'));
    }
    return shown;
}
} // namespace

QStringList describe(const NoteRecord& r) {
    QStringList out;
#define T(field) (out << QStringLiteral(#field "=") + text(r.field))
#define I(field) (out << QStringLiteral(#field "=%1").arg(r.field))
    T(oid);
    T(ini_name);
    T(doc_name);
    T(chknext);
    T(chkdate);
    T(chktime);
    T(wdate);
    T(edate);
    T(title);
    T(left_homepage);
    T(right_homepage);
    T(right_homepage_image);
    T(right_homepage_hint);
    I(scr_x);
    I(scr_y);
    I(scr_width);
    I(scr_height);
    I(chk);
    I(chkstep);
    I(soundcht);
    I(isalram);
    I(istop);
    I(isshow);
    I(isshow_toolbar);
    I(ismini);
    I(trash);
    I(title_color);
    I(titlebk_color);
    I(batang_color);
    I(bottom_color);
    I(opt_color);
    T(alram_date);
    T(alram_datetime);
    T(alram_timemode);
    T(sound_file);
    I(is_sound);
    I(alram_h);
    I(alram_m);
    I(alram_repeat);
#undef T
#undef I
    return out;
}

bool ignoresFileModes() {
    QTemporaryDir probe;
    if (!probe.isValid())
        return false;
    const QString locked = probe.path() + QStringLiteral("/locked");
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    QFile file(locked + QStringLiteral("/probe"));
    const bool wrote = file.open(QIODevice::WriteOnly);
    file.close();
    QFile::remove(file.fileName());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return wrote;
}

FileSizeLimit::FileSizeLimit(long long bytes) {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    oldSoft_ = limit.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    if (active_) {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(oldSoft_);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::signal(SIGXFSZ, oldHandler_ ? oldHandler_ : SIG_DFL);
}

QString bodyText(const QString& path) {
    QTextDocument doc;
    rtf::loadFile(path, doc);
    return doc.toPlainText();
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace stikko::test
