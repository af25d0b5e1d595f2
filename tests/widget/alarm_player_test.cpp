// The Qt Multimedia player behind the alarm, playing into a sound server of the test's own (a
// null sink, as on a machine without a sound card): a sound plays for as long as it lasts, and
// every sound started must end in exactly one completion report, or the shared
// one-sound-at-a-time flag would silence every note for good. Where no server can be started,
// what needs one is skipped, and says so.

#include "platform/alarmsound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace stikko;

namespace {

// A WAV file of `ms` milliseconds of silence, mono, 8000 samples a second.
QByteArray wav(quint16 formatTag, quint16 bits, int ms) {
    auto le16 = [](quint16 v) { return QByteArray(1, char(v & 0xff)) + char(v >> 8); };
    auto le32 = [&](quint32 v) { return le16(quint16(v & 0xffff)) + le16(quint16(v >> 16)); };
    const quint32 rate = 8000;
    const quint16 align = bits / 8;
    const QByteArray data(int(rate * align * unsigned(ms) / 1000), '\0');
    const QByteArray fmt =
        le16(formatTag) + le16(1) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
    const QByteArray body =
        "WAVE" + ("fmt " + le32(quint32(fmt.size())) + fmt) + ("data" + le32(quint32(data.size())) + data);
    return "RIFF" + le32(quint32(body.size())) + body;
}

} // namespace

class AlarmPlayerTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString shipped = QStringLiteral(STIKKO_SOURCE_DIR "/resources/sound/alram.wav");
    static constexpr int kShippedMs = 850; // its length
    QProcess server;
    bool output = false;

    // Whether the server has a stream to play from now (pactl, a client like the player).
    static bool serverHasStream() {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {"list", "short", "sink-inputs"});
        return pactl.waitForFinished() && pactl.exitCode() == 0 &&
               !pactl.readAllStandardOutput().trimmed().isEmpty();
    }

  private slots:
    // Before anything asks Qt Multimedia for a device: it connects to the server then.
    void initTestCase() {
        const QString runtime = dir.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // Server and player meet in the private runtime folder, and the server's cookie stays
        // out of the user's home.
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        qputenv("PULSE_COOKIE", dir.filePath(QStringLiteral("cookie")).toLocal8Bit());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), dir.path());
        server.setProcessEnvironment(environment);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral("pulseaudio"),
                     {"-n", "-F", "/dev/null", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                      "--load=module-null-sink sink_name=nullsink", "--load=module-native-protocol-unix"});
        if (server.waitForStarted()) {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(runtime + QStringLiteral("/pulse/native")) ||
                                         server.state() == QProcess::NotRunning,
                                     10000);
        }
        output = sound::hasOutputDevice();
        if (!output)
            qWarning("no sound output (pulseaudio could not be started): the playing itself is not tested");
    }
    void cleanupTestCase() {
        server.terminate();
        server.waitForFinished();
    }

    void fileThatCannotBeOpened_startsNothing() {
        std::unique_ptr<sound::Player> player(sound::createPlayer(nullptr));
        QSignalSpy finished(player.get(), &sound::Player::finished);
        QVERIFY(!player->play(dir.filePath(QStringLiteral("missing.wav"))));
        QVERIFY(!player->play(dir.path())); // a folder
        QVERIFY(!player->play(QString()));
        QVERIFY(!player->isPlaying());
        QTest::qWait(200);
        QCOMPARE(finished.count(), 0);
    }

    void playableOrBrokenFile_endsInExactlyOneReport_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("playable");
        QTest::newRow("the shipped sound") << shipped << true;
        auto make = [this](const QString& name, const QByteArray& bytes) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write %s", qPrintable(name));
            return file.fileName();
        };
        // Qt decodes integer samples only.
        QTest::newRow("float samples") << make(QStringLiteral("float.wav"), wav(3, 32, 300)) << false;
        QTest::newRow("mp3 in a wav") << make(QStringLiteral("mp3.wav"), wav(0x55, 16, 300)) << false;
        QTest::newRow("cut short") << make(QStringLiteral("short.wav"), wav(1, 16, 300).left(30)) << false;
        QTest::newRow("not a sound") << make(QStringLiteral("junk.wav"), QByteArray(200, 'x')) << false;
    }
    void playableOrBrokenFile_endsInExactlyOneReport() {
        QFETCH(QString, path);
        QFETCH(bool, playable);
        if (playable && !output)
            QSKIP("no sound output to play into");
        std::unique_ptr<sound::Player> player(sound::createPlayer(nullptr));
        QSignalSpy finished(player.get(), &sound::Player::finished);
        QElapsedTimer playing;
        playing.start();
        if (!player->play(path)) {
            QVERIFY(!playable);
            QVERIFY(!player->isPlaying()); // refused at once: no report owed
            return;
        }
        QCOMPARE(finished.count(), 0); // never from inside play()
        QVERIFY(player->isPlaying());
        if (playable)
            QTRY_VERIFY_WITH_TIMEOUT(serverHasStream(), 5000); // it reaches the output
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(!player->isPlaying());
        // Played, not given up on: the report comes once the whole sound has been heard.
        if (playable)
            QVERIFY2(playing.elapsed() >= kShippedMs, qPrintable(QString::number(playing.elapsed())));
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);

        // The player can play again afterwards.
        if (player->play(path))
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
    }

    void stop_endsTheSoundWithoutAReport() {
        if (!output)
            QSKIP("no sound output to play into");
        std::unique_ptr<sound::Player> player(sound::createPlayer(nullptr));
        QSignalSpy finished(player.get(), &sound::Player::finished);
        QVERIFY(player->play(shipped));
        player->stop();
        QVERIFY(!player->isPlaying());
        QTest::qWait(1500); // longer than the sound
        QCOMPARE(finished.count(), 0);
    }
};

QTEST_MAIN(AlarmPlayerTest)
#include "alarm_player_test.moc"
