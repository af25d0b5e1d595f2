// A note's clocks: reading an alarm's moment, the interval between its sounds, and when a
// changed body is written on its own.

#include "note/alarmclock.h"
#include "note/autosave.h"

#include <QTest>
#include <limits>

using namespace stikko;

class AlarmClockTest : public QObject {
    Q_OBJECT
  private slots:
    void parseMoment_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QDateTime>("expected"); // invalid = not a moment
        const QDate day(2004, 2, 1);
        QTest::newRow("as written") << QByteArray("2004-02-01 09:05:03") << QDateTime(day, QTime(9, 5, 3));
        QTest::newRow("one-digit fields") << QByteArray("2004-2-1 9:5:3") << QDateTime(day, QTime(9, 5, 3));
        QTest::newRow("no seconds") << QByteArray("2004-02-01 09:05") << QDateTime(day, QTime(9, 5));
        QTest::newRow("date only") << QByteArray("2004-02-01") << QDateTime(day, QTime(0, 0));
        QTest::newRow("blanks around")
            << QByteArray(" 2004-02-01 09:05:03\r") << QDateTime(day, QTime(9, 5, 3));
        QTest::newRow("leap day") << QByteArray("2004-02-29 23:59:59")
                                  << QDateTime(QDate(2004, 2, 29), QTime(23, 59, 59));
        QTest::newRow("hour 24 is the next midnight")
            << QByteArray("2004-02-29 24:00:00") << QDateTime(QDate(2004, 3, 1), QTime(0, 0));
        QTest::newRow("no leap day") << QByteArray("2003-02-29 09:00:00") << QDateTime();
        QTest::newRow("month 13") << QByteArray("2004-13-01 09:00:00") << QDateTime();
        QTest::newRow("hour 25") << QByteArray("2004-02-01 25:00:00") << QDateTime();
        QTest::newRow("minute 60") << QByteArray("2004-02-01 09:60:00") << QDateTime();
        QTest::newRow("empty") << QByteArray() << QDateTime();
        QTest::newRow("words") << QByteArray("tomorrow") << QDateTime();
        QTest::newRow("trailing text") << QByteArray("2004-02-01 09:05:03 pm") << QDateTime();
        QTest::newRow("slashes") << QByteArray("2004/02/01 09:05:03") << QDateTime();
        QTest::newRow("high bytes") << QByteArray("\xb0\xa1-02-01") << QDateTime();
    }
    void parseMoment() {
        QFETCH(QByteArray, text);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> moment = alarmclock::parseMoment(text);
        QCOMPARE(moment.has_value(), expected.isValid());
        if (moment)
            QCOMPARE(*moment, expected);
    }

    void repeatInterval() {
        QCOMPARE(alarmclock::repeatIntervalMs(5), 300000);
        QCOMPARE(alarmclock::repeatIntervalMs(120), 7200000);
        QCOMPARE(alarmclock::repeatIntervalMs(0), 0);
        QCOMPARE(alarmclock::repeatIntervalMs(-5), 0);
        // Far beyond what a timer holds: the longest interval rather than a wrapped one.
        QCOMPARE(alarmclock::repeatIntervalMs(std::numeric_limits<int32_t>::max()),
                 std::numeric_limits<int>::max());
    }

    // Steady typing (a change every 150 ms for 20 s, on a moved clock) is written at the
    // latest a second after its first unsaved change, so that a crash costs at most two seconds
    // of it with the write's own time; a pause writes 0.7 s after the last change; a failed
    // write is retried five seconds later however much is typed.
    void autosave_hasACeilingAfterTheFirstUnsavedChange() {
        AutosaveSchedule schedule;
        qint64 now = 1000;
        qint64 firstUnsaved = now;
        qint64 due = schedule.changed(now);
        QCOMPARE(due, now + AutosaveSchedule::kQuietMs);
        int writes = 0;
        for (; now < 21000; now += 150) {
            if (now >= due) {
                QVERIFY(now - firstUnsaved <= AutosaveSchedule::kCeilingMs + 150);
                schedule.saved();
                ++writes;
                firstUnsaved = now;
            }
            due = schedule.changed(now);
            QVERIFY(due - firstUnsaved <= AutosaveSchedule::kCeilingMs);
        }
        QCOMPARE(writes, 19); // one every second (and a step) of steady typing
        QVERIFY(AutosaveSchedule::kCeilingMs <= 1000);

        schedule.saved();
        QCOMPARE(schedule.changed(30000), 30000 + AutosaveSchedule::kQuietMs);
        QCOMPARE(schedule.failed(32000), 32000 + AutosaveSchedule::kRetryMs);
        QCOMPARE(schedule.changed(33000), 32000 + AutosaveSchedule::kRetryMs);
        schedule.saved(); // a save ends the retries: the next change is quiet time again
        QCOMPARE(schedule.changed(40000), 40000 + AutosaveSchedule::kQuietMs);
    }
};

QTEST_GUILESS_MAIN(AlarmClockTest)
#include "alarmclock_test.moc"
