// The program's life outside the windows: the single-instance marker and the folder lock, the
// termination signals turned into an orderly request on the event loop, the platform chosen for
// the session, the folder the notes are kept in, Qt's dialogs in Korean, and the command line
// with the channel that carries its commands to the running program.
#include "app/application.h"
#include "app/commandline.h"
#include "app/folder_lock.h"
#include "app/instance_channel.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "platform/appenv.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace stikko;
using Kind = Command::Kind;
using Outcome = CommandLine::Outcome;

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

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("said"); // in the error line, or "stdin" for --new -
        const auto row = [](const char* name, const QStringList& arguments, Outcome outcome, Kind kind = {},
                            const QString& text = {}, const QString& said = {}) {
            QTest::newRow(name) << arguments << int(outcome) << int(kind) << text << said;
        };
        row("nothing", {}, Outcome::Start);
        row("new", {u"--new"_qs}, Outcome::Run, Kind::NewNote);
        row("new with text", {u"--new"_qs, u"장 보기"_qs, u"milk"_qs}, Outcome::Run, Kind::NewNote,
            u"장 보기 milk"_qs);
        row("new from stdin", {u"--new"_qs, u"-"_qs}, Outcome::Run, Kind::NewNote, {}, u"stdin"_qs);
        row("new, text after --", {u"--new"_qs, u"--"_qs, u"-5°C"_qs, u"-"_qs}, Outcome::Run, Kind::NewNote,
            u"-5°C -"_qs);
        row("stdin among words", {u"--new"_qs, u"-"_qs, u"x"_qs}, Outcome::Error, {}, {}, u"'-'"_qs);
        row("find", {u"--find"_qs, u"한글"_qs, u"메모"_qs}, Outcome::Run, Kind::Find, u"한글 메모"_qs);
        row("selection", {u"--new-from-selection"_qs}, Outcome::Run, Kind::NewFromSelection);
        row("manager", {u"--manager"_qs}, Outcome::Run, Kind::Manager);
        row("help wins", {u"--new"_qs, u"x"_qs, u"--help"_qs}, Outcome::Help);
        row("version", {u"--version"_qs}, Outcome::Version);
        row("unknown option", {u"--frobnicate"_qs}, Outcome::Error, {}, {}, u"'--frobnicate'"_qs);
        row("option with a value", {u"--new=x"_qs}, Outcome::Error, {}, {}, u"'--new=x'"_qs);
        row("no option", {u"memo"_qs}, Outcome::Error, {}, {}, u"'memo'"_qs);
        row("argument of a command without", {u"--hide-all"_qs, u"now"_qs}, Outcome::Error, {}, {},
            u"'now'"_qs);
        row("two commands", {u"--new"_qs, u"--find"_qs}, Outcome::Error, {}, {}, u"'--find'"_qs);
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, outcome);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, said);
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(int(line.outcome), outcome);
        if (line.outcome == Outcome::Error) {
            QVERIFY2(line.error.contains(said), qPrintable(line.error));
            QVERIFY(!line.error.contains(u'\n'));
        } else if (line.outcome == Outcome::Run) {
            QCOMPARE(int(line.command.kind), kind);
            QCOMPARE(line.command.text, text);
            QCOMPARE(line.textFromStdin, said == u"stdin"_qs);
        }
    }

    // A request is a line and a text of the length it names; anything else is no request.
    void channel_takesBoundedRequestsOnly() {
        for (const Command& command :
             {Command{}, Command{Kind::NewNote, u"메모\n둘째 줄"_qs, true}, Command{Kind::Find, u""_qs, true},
              Command{Kind::ShowAll, {}, false}}) {
            bool complete = false;
            QCOMPARE(InstanceChannel::decode(InstanceChannel::encode(command), &complete), command);
            QVERIFY(complete);
        }
        QCOMPARE(InstanceChannel::encode(Command{}), QByteArray(InstanceChannel::kNewNote));
        // Text from outside: no control characters but tabs and line ends, no invalid UTF-8.
        const char raw[] = "a\0b\tc\r\nd\re\x07\xff";
        QCOMPARE(noteTextFrom(QByteArray(raw, sizeof raw - 1)), u"ab\tc\nd\ne\uFFFD"_qs);
        const auto refused = [](const QByteArray& bytes) {
            bool complete = false;
            return !InstanceChannel::decode(bytes, &complete) && complete;
        };
        QVERIFY(refused("find 3\nabcd"));
        QVERIFY(refused("find -3\nabc"));
        QVERIFY(refused("find 99999999\n"));
        QVERIFY(refused("manager 1\nx"));
        QVERIFY(refused("format-disk\n"));
        QVERIFY(refused(QByteArray(InstanceChannel::kMaxLine + 1, 'x')));
        bool complete = true;
        QVERIFY(!InstanceChannel::decode("find 3\nab", &complete) && !complete);

        // A running channel answers a request and drops a client whose request cannot be one.
        QTemporaryDir runtime;
        InstanceChannel channel(runtime.path() + u"/channel"_qs);
        QVERIFY(channel.listen());
        QSignalSpy received(&channel, &InstanceChannel::commandReceived);
        QLocalSocket good;
        good.connectToServer(runtime.path() + u"/channel"_qs);
        good.write(InstanceChannel::encode(Command{Kind::Find, u"한글"_qs, true}));
        QTRY_VERIFY(good.canReadLine());
        QCOMPARE(good.readLine(), QByteArray(InstanceChannel::kDone));
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).value<Command>().text, u"한글"_qs);
        QLocalSocket flood;
        flood.connectToServer(runtime.path() + u"/channel"_qs);
        flood.write("find 3145900\n" + QByteArray(1 << 16, 'x'));
        QTRY_COMPARE(flood.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(received.count(), 1);
    }
};

QTEST_MAIN(AppLifecycleTest)
#include "app_lifecycle_test.moc"
