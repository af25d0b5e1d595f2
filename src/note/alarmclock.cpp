#include "note/alarmclock.h"

#include <QRegularExpression>
#include <limits>

namespace stikko::alarmclock {

std::optional<QDateTime> parseMoment(QByteArrayView text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return std::nullopt;
    QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    int hour = m.captured(4).toInt(); // an absent group reads as 0
    const int minute = m.captured(5).toInt();
    const int second = m.captured(6).toInt();
    if (!date.isValid())
        return std::nullopt;
    if (hour == 24) {
        date = date.addDays(1);
        hour = 0;
    }
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return std::nullopt;
    const QDateTime moment(date, time);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

int repeatIntervalMs(int32_t minutes) {
    if (minutes <= 0)
        return 0;
    const qint64 ms = qint64(minutes) * 60000;
    return int(std::min<qint64>(ms, std::numeric_limits<int>::max()));
}

} // namespace stikko::alarmclock
