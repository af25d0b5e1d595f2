#pragma once
// The world outside the program, for one test: a throw-away program folder (data/, system/ and
// sound/ in a temporary folder), clocks that move only when the test moves them, a fixed work
// area, a notification area that is there or not, sound players that only record, a file writer
// the test may make fail, and dialogs that answer as the test says. One object installs it all
// (env::Override) and puts everything back when it goes away.

#include "support/fake_dialogs.h"
#include "support/fake_sound.h"

#include "platform/appenv.h"
#include "store/subfunction.h"

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>

class QTimer;

namespace stikko::test {

class TestEnv : public env::Environment {
  public:
    // 09:05:03.07 on 1 February 2004, local time.
    static QDateTime fixedNow();
    // A 1280x770 work area (a 1280x800 screen less a 30-pixel panel).
    static QSize fixedWorkArea();

    TestEnv();
    ~TestEnv() override;
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    bool isValid() const { return dir_.isValid(); }
    // The program folder, ending in '/'.
    QString folder() const;
    QString dataDir() const { return folder() + QStringLiteral("data/"); }
    // The user's XDG data folder (the desktop's trash is its Trash/) and state folder (which
    // holds the recovery folder), both inside the temporary folder while the object lives.
    QString xdgDataDir() const { return folder() + QStringLiteral("xdg-data/"); }
    QString xdgStateDir() const { return folder() + QStringLiteral("xdg-state/"); }
    // The user's XDG cache folder (which holds the notes shown at the last end).
    QString xdgCacheDir() const { return folder() + QStringLiteral("xdg-cache/"); }
    QString systemDir() const { return folder() + QStringLiteral("system/"); }
    // The program folder + `relative` (e.g. "data/x.ini").
    QString path(const QString& relative) const { return folder() + relative; }

    // The date and time; the steady clock keeps its own count.
    void setNow(const QDateTime& moment);
    // Moves both clocks on.
    void advance(qint64 ms);
    void setWorkArea(const QSize& size);

    // Whether the desktop has a notification area (offscreen there is none).
    bool tray = false;
    // Replaces ::write for every file written (empty = ::write).
    std::function<qint64(int fd, const char* data, qint64 size)> writer;
    FakeSound sound;
    FakeDialogs dialogs;

    QDateTime now() const override { return now_; }
    qint64 steadyMs() const override { return steady_; }
    QSize workArea() const override { return workArea_; }
    QList<QRect> screenAreas() const override { return {QRect(QPoint(0, 0), workArea_)}; }
    bool trayAvailable() const override { return tray; }
    bool hasSoundOutput() const override { return sound.device; }
    sound::Player* createSoundPlayer(QObject* parent) const override;
    qint64 writeToFile(int fd, const char* data, qint64 size) const override;

    // Copies the shipped defaults file into system/; or every shipped file of system/ (the
    // defaults, the logo and the pictures).
    bool installDefaultsFile() const;
    bool installSystemFolder() const;

    // Whole-file helpers relative to the program folder. writeFile creates missing folders.
    bool writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;
    bool exists(const QString& relative) const;

  private:
    QTemporaryDir dir_;
    QByteArray oldDataHome_, oldStateHome_, oldCacheHome_;
    QDateTime now_;
    qint64 steady_ = 0;
    QSize workArea_;
    env::Override override_{*this, dialogs};
};

// The child of `owner` named `name` (a control as the layout names it), or null.
template <class T = QWidget> T* part(const QObject* owner, const char* name) {
    return owner->findChild<T*>(QLatin1String(name));
}

// Runs what a timer would run when it fires, without waiting for it: the test moves the clocks
// itself. False (and nothing runs) when the timer is not running.
bool fire(QTimer* timer);

// Reads a whole file; empty when it cannot be read.
QByteArray readAll(const QString& path);
// A fixture from tests/data.
QByteArray fixture(const QString& name);

// The plain text of a body file, as a note would show it.
QString bodyText(const QString& path);

// Runs the deferred deletes (deleteLater) and whatever they post.
void flushDeletes();

// Every field of a record as "name=value" lines (texts as CP949 bytes shown escaped), so a
// failed comparison names the fields that differ.
QStringList describe(const NoteRecord& record);

// True when the process can write into a folder without write permission (root does), which
// defeats tests that rely on file modes. Found out by trying, not by asking who we are.
bool ignoresFileModes();

// While it lives, no file of this process can grow past `bytes` (RLIMIT_FSIZE, which binds
// root too): a way to make a write fail halfway. The signal such a write raises is ignored.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isActive() const { return active_; }

  private:
    bool active_ = false;
    unsigned long long oldSoft_ = 0;
    void (*oldHandler_)(int) = nullptr;
};

} // namespace stikko::test
