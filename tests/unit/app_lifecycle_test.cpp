// The program's life outside the windows: the single-instance marker and the folder lock, the
// termination signals turned into an orderly request on the event loop, the platform chosen for
// the session, the folder the notes are kept in, and Qt's dialogs in Korean.
#include "app/application.h"
#include "app/folder_lock.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "platform/appenv.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace stikko;

class AppLifecycleTest : public QObject {
    Q_OBJECT
  private slots:
    // Two sessions (each with its own runtime folder, so their session markers never meet)
    // on one data folder: the lock beside the folder lets only one of them in.
    void oneDataFolder_oneProgram_whateverTheSession() {
        QTemporaryDir program;
        const QString data = program.path() + QStringLiteral("/./data/");
        QCOMPARE(FolderLock::lockPathFor(data), program.path() + QStringLiteral("/data.lock"));
        auto first = std::make_unique<FolderLock>(data);
        QCOMPARE(first->acquire(), FolderLock::Result::Acquired);
        FolderLock second(data);
        QCOMPARE(second.acquire(), FolderLock::Result::HeldElsewhere);
        QVERIFY(second.holder().contains(QString::number(QCoreApplication::applicationPid())));
        first.reset();
        QCOMPARE(second.acquire(), FolderLock::Result::Acquired);

        // Another program folder whose data/ is this one through a symbolic link: the same lock.
        QTemporaryDir other;
        QVERIFY(QDir(program.path()).mkpath(QStringLiteral("data")));
        QVERIFY(
            QFile::link(program.path() + QStringLiteral("/data"), other.path() + QStringLiteral("/data")));
        const QString linked = other.path() + QStringLiteral("/./data/");
        QCOMPARE(FolderLock::lockPathFor(linked), FolderLock::lockPathFor(data));
        FolderLock third(linked);
        QCOMPARE(third.acquire(), FolderLock::Result::HeldElsewhere);
    }

    void secondInstance_isRefused_untilTheFirstEnds() {
        QTemporaryDir runtime;
        auto first = std::make_unique<SingleInstance>(runtime.path());
        QCOMPARE(first->acquire(), SingleInstance::Result::Acquired);
        QVERIFY(first->path().endsWith(QStringLiteral("/MyProgram.lock")));

        SingleInstance second(runtime.path());
        QCOMPARE(second.acquire(), SingleInstance::Result::HeldElsewhere);
        QCOMPARE(second.acquire(), SingleInstance::Result::HeldElsewhere);

        first.reset();
        QVERIFY(!QFile::exists(runtime.path() + QStringLiteral("/MyProgram.lock")));
        QCOMPARE(second.acquire(), SingleInstance::Result::Acquired);
    }

    void markerOfADeadProcess_isTakenOver() {
        QProcess gone;
        gone.start(QStringLiteral("true"), {});
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());

        QTemporaryDir runtime;
        QFile lock(runtime.path() + QStringLiteral("/MyProgram.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(pid) + "\nstikko\n\n");
        lock.close();

        SingleInstance instance(runtime.path());
        QCOMPARE(instance.acquire(), SingleInstance::Result::Acquired);
    }

    void unwritableFolder_isReportedAsUnavailable() {
        SingleInstance instance(QStringLiteral("/proc/no-such-folder"));
        QCOMPARE(instance.acquire(), SingleInstance::Result::Unavailable);
    }

    void platform_isX11InAWaylandSessionWithXWayland_data() {
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("x11");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QByteArray>("platform");
        QTest::newRow("wayland with xwayland") << QByteArray("wayland") << QByteArray("wayland-0")
                                               << QByteArray(":0") << QByteArray() << QByteArray("xcb");
        QTest::newRow("wayland display only") << QByteArray() << QByteArray("wayland-0") << QByteArray(":1")
                                              << QByteArray() << QByteArray("xcb");
        QTest::newRow("wayland without xwayland") << QByteArray("wayland") << QByteArray("wayland-0")
                                                  << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("x11 session") << QByteArray("x11") << QByteArray() << QByteArray(":0") << QByteArray()
                                     << QByteArray();
        QTest::newRow("the user's choice stays")
            << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0") << QByteArray("wayland")
            << QByteArray("wayland");
    }
    void platform_isX11InAWaylandSessionWithXWayland() {
        QFETCH(QByteArray, session);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, x11);
        QFETCH(QByteArray, chosen);
        QFETCH(QByteArray, platform);
        QCOMPARE(platformForSession(session, wayland, x11, chosen), platform);
    }

    void unwritableProgramFolder_keepsNotesInTheUsersDataFolder() {
        test::TestEnv env;
        QTemporaryDir program, user;
        const QString programFolder = program.path() + u'/';
        const QByteArray shipped = "[VALUE_SECTION]\nscr_width=275\n";
        QVERIFY(QDir(programFolder).mkpath(QStringLiteral("system")));
        QFile defaults(programFolder + QStringLiteral("system/default_config.ini"));
        QVERIFY(defaults.open(QIODevice::WriteOnly) && defaults.write(shipped) == shipped.size());
        defaults.close();
        qputenv("XDG_DATA_HOME", user.path().toLocal8Bit());
        env::setProgramFolder(programFolder);

        // A program folder that can hold data/ keeps it.
        QCOMPARE(env::settleStorageFolder(), programFolder);
        QCOMPARE(env::storageFolder(), programFolder);

        // data/ cannot be made there (a file has its name: even root cannot): the user's data
        // folder, laid out the same way, its defaults seeded from the shipped file.
        QFile blocker(programFolder + QStringLiteral("data"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString expected = user.path() + QStringLiteral("/stikko/");
        QString error;
        QCOMPARE(env::settleStorageFolder(&error), expected);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(env::storageFolder(), expected);
        QVERIFY(QFileInfo(expected + QStringLiteral("data")).isDir());
        QFile seeded(expected + QStringLiteral("system/default_config.ini"));
        QVERIFY(seeded.open(QIODevice::ReadOnly));
        QCOMPARE(seeded.readAll(), shipped);
        seeded.close();

        // The user's own defaults are never replaced by the shipped ones.
        QVERIFY(seeded.open(QIODevice::WriteOnly) && seeded.write("mine") == 4);
        seeded.close();
        QCOMPARE(env::settleStorageFolder(), expected);
        QVERIFY(seeded.open(QIODevice::ReadOnly));
        QCOMPARE(seeded.readAll(), QByteArray("mine"));
    }

    void qtDialogs_speakKorean() {
        QVERIFY(installQtTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("예(&Y)"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("아니요(&N)"));
        QCOMPARE(QLocale().pmText(), QStringLiteral("오후"));
    }

    void terminationSignals_arriveOnTheEventLoop() {
        TerminationSignals watch;
        QVERIFY(watch.installed());
        QSignalSpy spy(&watch, &TerminationSignals::terminationRequested);
        for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
            ::raise(number);
            QVERIFY(spy.wait(2000) || spy.count() > 0);
            QCOMPARE(spy.takeFirst().at(0).toInt(), number);
        }
    }
};

QTEST_MAIN(AppLifecycleTest)
#include "app_lifecycle_test.moc"
