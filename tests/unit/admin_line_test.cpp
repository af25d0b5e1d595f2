// The note manager's list line: byte widths, the alarm column and the cut at 255 bytes.

#include "dialogs/stikko_admin.h"
#include "platform/codepage.h"

#include <QtTest>
#include <cstring>

using namespace stikko;

namespace {
NoteRecord record(const QByteArray& title, int isalram, const QByteArray& alarm) {
    NoteRecord r{};
    std::memcpy(r.title, title.constData(), size_t(qMin<qsizetype>(title.size(), sizeof r.title - 1)));
    std::memcpy(r.alram_datetime, alarm.constData(),
                size_t(qMin<qsizetype>(alarm.size(), sizeof r.alram_datetime - 1)));
    r.isalram = isalram;
    return r;
}
} // namespace

class AdminLineTest : public QObject {
    Q_OBJECT
  private slots:
    void columnsCountBytes() {
        const QByteArray korean = cp949::encode(u"장보기 목록"); // 11 bytes, 6 characters
        QCOMPARE(korean.size(), 11);
        const QByteArray on = FormatAdminLine(record(korean, 1, "2003-12-31 08:00:00"));
        QCOMPARE(on, korean + QByteArray(29, ' ') + "   " + "2003-12-31 08:00:00 ");
        QCOMPARE(on.size(), 63);

        // Alarm off: the right column is blank even when a time is stored.
        const QByteArray off = FormatAdminLine(record(korean, 0, "2003-12-31 08:00:00"));
        QCOMPARE(off, korean + QByteArray(29 + 3 + 20, ' '));

        // A title longer than 40 bytes is not cut; the alarm column moves right.
        const QByteArray longTitle(50, 'x');
        QCOMPARE(FormatAdminLine(record(longTitle, 1, "2004-01-01 00:00:00")),
                 longTitle + "   " + "2004-01-01 00:00:00 ");
    }

    void longLineIsCutAt255WithoutSplittingACharacter() {
        // 251 + 3 = 254 bytes, then a two-byte letter would end at byte 256: it is left out.
        const QByteArray alarm = cp949::encode(u"오후 3:30");
        QCOMPARE(FormatAdminLine(record(QByteArray(251, 'x'), 1, alarm)), QByteArray(251, 'x') + "   ");
        // 250 + 3 + 2 = 255: the letter fits exactly.
        const QByteArray fits = FormatAdminLine(record(QByteArray(250, 'x'), 1, alarm));
        QCOMPARE(fits.size(), 255);
        QVERIFY(fits.endsWith(alarm.left(2)));
        // Plain bytes are cut at 255 exactly.
        QCOMPARE(FormatAdminLine(record(QByteArray(254, 'y'), 1, "12:00")).size(), kAdminLineLimit);
        // A title filling its whole field (no terminator inside) is read up to the field's end.
        NoteRecord full{};
        std::memset(full.title, 'z', sizeof full.title);
        const QByteArray line = FormatAdminLine(full);
        QCOMPARE(line.size(), 255);
        QCOMPARE(line, QByteArray(255, 'z'));
    }
};

QTEST_APPLESS_MAIN(AdminLineTest)
#include "admin_line_test.moc"
