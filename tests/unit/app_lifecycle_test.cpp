// The two pieces of the program's life outside the windows: the single-instance marker and
// the termination signals turned into an orderly request on the event loop.
#include "app/folder_lock.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"

#include <QFile>
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
