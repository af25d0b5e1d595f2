#pragma once
// A throw-away program folder for tests: data/, system/ and sound/ in a temporary folder,
// installed as the program folder, with a fixed clock and a fixed work area. Everything is
// put back when the object goes away.

#include "store/subfunction.h"

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace stikko::test {

class TestEnv {
  public:
    // 09:05:03.07 on 1 February 2004, local time.
    static QDateTime fixedNow();
    // A 1280x770 work area (a 1280x800 screen less a 30-pixel panel).
    static QSize fixedWorkArea();

    TestEnv();
    ~TestEnv();
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
    QString systemDir() const { return folder() + QStringLiteral("system/"); }
    // The program folder + `relative` (e.g. "data/x.ini").
    QString path(const QString& relative) const { return folder() + relative; }

    void setNow(const QDateTime& moment);
    void setWorkArea(const QSize& size);

    // Copies the shipped defaults file into system/.
    bool installDefaultsFile() const;

    // Whole-file helpers relative to the program folder. writeFile creates missing folders.
    bool writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;
    bool exists(const QString& relative) const;

  private:
    QTemporaryDir dir_;
    QString oldFolder_;
    QByteArray oldDataHome_, oldStateHome_;
};

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
