// The Qt Multimedia player behind the alarm, with whatever sound output this machine has (a
// sound server, or none at all): every sound it starts must end in exactly one completion
// report, or the shared one-sound-at-a-time flag would silence every note for good.

#include "platform/alarmsound.h"

#include <QFile>
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

  private slots:
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
        QTest::newRow("the shipped sound") << shipped;
        auto make = [this](const QString& name, const QByteArray& bytes) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write %s", qPrintable(name));
            return file.fileName();
        };
        // Qt decodes integer samples only.
        QTest::newRow("float samples") << make(QStringLiteral("float.wav"), wav(3, 32, 300));
        QTest::newRow("mp3 in a wav") << make(QStringLiteral("mp3.wav"), wav(0x55, 16, 300));
        QTest::newRow("cut short") << make(QStringLiteral("short.wav"), wav(1, 16, 300).left(30));
        QTest::newRow("not a sound") << make(QStringLiteral("junk.wav"), QByteArray(200, 'x'));
    }
    void playableOrBrokenFile_endsInExactlyOneReport() {
        QFETCH(QString, path);
        std::unique_ptr<sound::Player> player(sound::createPlayer(nullptr));
        QSignalSpy finished(player.get(), &sound::Player::finished);
        if (!player->play(path)) {
            QVERIFY(!player->isPlaying()); // refused at once: no report owed
            return;
        }
        QCOMPARE(finished.count(), 0); // never from inside play()
        QVERIFY(player->isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(!player->isPlaying());
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);

        // The player can play again afterwards.
        if (player->play(path))
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
    }

    void stop_endsTheSoundWithoutAReport() {
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
