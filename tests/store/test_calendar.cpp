// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar.h"
#include "storesandbox.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

using Calendar::dateDiff;
using Calendar::makeDate;
using Calendar::sortKey;

class TestCalendar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rollsDatesOver_data();
    void rollsDatesOver();
    void rollsTimesOver();
    void sortKeyHasFixedWidth();
    void sortKeyOfPartsOutsideTheirWidthOrdersByMoment();
    void dueTextUsesLocaleFormats();
    void zoneLeavesNoTraceInAnyLocale();
    void zoneIsTakenOutWithWhatBelongsToIt_data();
    void zoneIsTakenOutWithWhatBelongsToIt();
    void dateDiffCountsBoundaries_data();
    void dateDiffCountsBoundaries();
    void dateDiffIsAntisymmetric();
    void dateDiff16Clamps();
};

void TestCalendar::rollsDatesOver_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("plain") << 2003 << 3 << 7 << QDate(2003, 3, 7);
    QTest::newRow("month 13") << 2003 << 13 << 1 << QDate(2004, 1, 1);
    QTest::newRow("month 0") << 2003 << 0 << 15 << QDate(2002, 12, 15);
    QTest::newRow("month -1") << 2003 << -1 << 15 << QDate(2002, 11, 15);
    QTest::newRow("month 25") << 2003 << 25 << 1 << QDate(2005, 1, 1);
    QTest::newRow("day 0") << 2003 << 3 << 0 << QDate(2003, 2, 28);
    QTest::newRow("day 0 leap") << 2004 << 3 << 0 << QDate(2004, 2, 29);
    QTest::newRow("31 February") << 2003 << 2 << 31 << QDate(2003, 3, 3);
    QTest::newRow("day -1") << 2003 << 1 << -1 << QDate(2002, 12, 30);
    QTest::newRow("day 400") << 2003 << 1 << 400 << QDate(2004, 2, 4);
    QTest::newRow("month and day 0") << 2003 << 0 << 0 << QDate(2002, 11, 30);
    // Astronomical year 0 is 1 BC, which QDate calls year -1.
    QTest::newRow("year 0") << 0 << 1 << 1 << QDate(-1, 1, 1);
    QTest::newRow("year 0 month 13") << 0 << 13 << 1 << QDate(1, 1, 1);
    QTest::newRow("largest") << 32767 << 32767 << 32767 << QDate(35497, 7, 1).addDays(32766);
}

void TestCalendar::rollsDatesOver()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QDate, expected);
    const QDate got = makeDate(year, month, day);
    QVERIFY(got.isValid());
    QCOMPARE(got, expected);
}

void TestCalendar::rollsTimesOver()
{
    QCOMPARE(Calendar::makeTime(9, 5, 0), QTime(9, 5, 0));
    QCOMPARE(Calendar::makeTime(9, 60, 0), QTime(10, 0, 0));
    QCOMPARE(Calendar::makeTime(25, 0, 0), QTime(1, 0, 0));
    QCOMPARE(Calendar::carriedDays(25, 0, 0), 1);
    QCOMPARE(Calendar::makeTime(0, 0, -1), QTime(23, 59, 59));
    QCOMPARE(Calendar::carriedDays(0, 0, -1), -1);
    QCOMPARE(Calendar::makeTime(0, 0, 0), QTime(0, 0, 0));
    QCOMPARE(Calendar::makeTime(32767, 32767, 32767), QTime(0, 0).addSecs(int((32767LL * 3600 + 32767LL * 60 + 32767) % 86400)));
}

namespace {

QString keyAt(int year, int month, int day, int hour, int minute, int second)
{
    return sortKey(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

// The key of a task typed with these parts.
QString keyOfTask(int year, int month, int day, int hour, int minute, int second)
{
    return TestData::task(QStringLiteral("T"), {}, year, month, day, hour, minute, second).sortKey;
}

} // namespace

void TestCalendar::sortKeyHasFixedWidth()
{
    QCOMPARE(keyAt(2003, 3, 7, 9, 5, 0), QStringLiteral("2003-03 - 07 09:05:00"));
    QCOMPARE(keyAt(2003, 3, 7, 9, 5, 0).size(), 21);
    QCOMPARE(keyAt(1, 1, 1, 0, 0, 0), QStringLiteral("0001-01 - 01 00:00:00"));
    QVERIFY(keyAt(2003, 3, 7, 9, 5, 1) > keyAt(2003, 3, 7, 9, 5, 0));
    QVERIFY(keyAt(2003, 3, 7, 10, 0, 0) > keyAt(2003, 3, 7, 9, 59, 59));
    QVERIFY(keyAt(2003, 12, 1, 0, 0, 0) > keyAt(2003, 11, 30, 23, 59, 59));
}

void TestCalendar::sortKeyOfPartsOutsideTheirWidthOrdersByMoment()
{
    // A task is keyed by the moment its parts roll over to, as it is shown:
    // minute 100 is 1:40 past the hour, hour 24 the next midnight.
    QCOMPARE(keyOfTask(2003, 3, 7, 9, 100, 0), QStringLiteral("2003-03 - 07 10:40:00"));
    QCOMPARE(keyOfTask(2003, 3, 7, -1, 0, 0), QStringLiteral("2003-03 - 06 23:00:00"));
    QCOMPARE(keyOfTask(2003, 3, 100, 0, 0, 0), QStringLiteral("2003-06 - 08 00:00:00"));
    QCOMPARE(keyOfTask(2026, 12, 8, 24, 0, 0), QStringLiteral("2026-12 - 09 00:00:00"));
    // Parts that fit the key's width but roll over all the same.
    QCOMPARE(keyOfTask(2003, 13, 0, 99, 99, 99), QStringLiteral("2004-01 - 04 04:40:39"));
    QCOMPARE(keyOfTask(-5, 1, 1, 0, 0, 0), QStringLiteral("0000-01 - 01 00:00:00"));
    QCOMPARE(keyOfTask(0, 0, 0, 0, 0, 0), QStringLiteral("0000-01 - 01 00:00:00"));
    QCOMPARE(keyOfTask(12000, 1, 1, 0, 0, 0), QStringLiteral("9999-12 - 31 23:59:59"));
    QCOMPARE(keyOfTask(9999, 12, 100, 0, 0, 0), QStringLiteral("9999-12 - 31 23:59:59"));
    for (const QString &k : {keyOfTask(2003, -3, 7, 9, 5, 0), keyOfTask(32767, 32767, 32767, 32767, 32767, 32767),
                             keyOfTask(-32768, -32768, -32768, -32768, -32768, -32768)})
        QCOMPARE(k.size(), 21);
}

void TestCalendar::dueTextUsesLocaleFormats()
{
    const QLocale locale = QLocale::system();
    const QString text = Calendar::dueText(QDateTime(QDate(2004, 3, 3), QTime(14, 5)));
    QVERIFY(text.startsWith(locale.toString(QDate(2004, 3, 3), QLocale::ShortFormat) + QStringLiteral(" at ")));
    QVERIFY2(text.contains(QStringLiteral("05")), qPrintable(text));
    // A due time carries no time zone.
    QVERIFY2(!text.contains(QStringLiteral("UTC")), qPrintable(text));
    // A task's date moves on with a time that rolls past midnight.
    const QString rolled = TestData::task(QStringLiteral("T"), {}, 2004, 3, 3, 25, 0, 0).dueText;
    QVERIFY2(rolled.startsWith(locale.toString(QDate(2004, 3, 4), QLocale::ShortFormat) + QStringLiteral(" at ")),
             qPrintable(rolled));
}

void TestCalendar::zoneLeavesNoTraceInAnyLocale()
{
    // A zone whose name cannot be mistaken for anything else in a time.
    const QTimeZone zone(QByteArrayLiteral("Pacific/Chatham"));
    QVERIFY(zone.isValid());
    const QDateTime moment(QDate(2024, 3, 3), QTime(14, 5, 9), zone);
    const QStringList leftovers = {QStringLiteral("()"), QStringLiteral("[]"), QStringLiteral("\uFF08\uFF09"),
                                   QStringLiteral("\u3010\u3011")};
    const auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(locales.size() > 100);
    int withZone = 0;
    for (const QLocale &locale : locales) {
        const QString format = locale.timeFormat(QLocale::LongFormat);
        const QString zoneName = locale.toString(moment, QStringLiteral("t"));
        if (locale.toString(moment, format).contains(zoneName))
            ++withZone;
        const QString shown = locale.toString(moment, Calendar::timeFormatWithoutZone(format));
        const QString what = QStringLiteral("%1: \"%2\" -> \"%3\"").arg(locale.name(), format, shown);
        QVERIFY2(!zoneName.isEmpty() && !shown.contains(zoneName), qPrintable(what));
        for (const QString &empty : leftovers)
            QVERIFY2(!shown.contains(empty), qPrintable(what));
        QVERIFY2(!shown.isEmpty() && !shown.front().isSpace() && !shown.back().isSpace(), qPrintable(what));
        for (const QChar separator : {u',', u'\u060C', u'\uFF0C', u'\u3001'})
            QVERIFY2(!shown.endsWith(separator) && !shown.startsWith(separator), qPrintable(what));
        // The time itself is still there.
        QVERIFY2(shown.contains(locale.toString(9)), qPrintable(what));
    }
    // Nearly every locale's long format names a zone, so the check above saw them.
    QVERIFY(withZone > locales.size() / 2);
}

void TestCalendar::zoneIsTakenOutWithWhatBelongsToIt_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("without");
    QTest::newRow("after a blank") << "HH:mm:ss t" << "HH:mm:ss";
    QTest::newRow("in brackets") << "HH:mm:ss (t)" << "HH:mm:ss";
    QTest::newRow("in square brackets") << "Bh:mm:ss [t]" << "Bh:mm:ss";
    QTest::newRow("after a comma") << "h:mm:ss AP, t" << "h:mm:ss AP";
    QTest::newRow("at the start") << "t HH:mm:ss" << "HH:mm:ss";
    QTest::newRow("a full stop of an abbreviation stays") << "H:mm:ss '\u0447'. t" << "H:mm:ss '\u0447'.";
    QTest::newRow("a quoted t is text") << "H 'at' mm t" << "H 'at' mm";
    QTest::newRow("longer zone names") << "HH:mm:ss tttt" << "HH:mm:ss";
    QTest::newRow("no zone at all") << "HH:mm:ss" << "HH:mm:ss";
}

void TestCalendar::zoneIsTakenOutWithWhatBelongsToIt()
{
    QFETCH(QString, format);
    QFETCH(QString, without);
    QCOMPARE(Calendar::timeFormatWithoutZone(format), without);
}

void TestCalendar::dateDiffCountsBoundaries_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<qint64>("expected");
    const QDate d(2026, 12, 8); // a Tuesday
    QTest::newRow("d same") << "d" << d << d << qint64(0);
    QTest::newRow("d tomorrow") << "d" << d << d.addDays(1) << qint64(1);
    QTest::newRow("d yesterday") << "d" << d << d.addDays(-1) << qint64(-1);
    QTest::newRow("y is days") << "y" << d << d.addDays(40) << qint64(40);
    QTest::newRow("empty unit is days") << "" << d << d.addDays(5) << qint64(5);
    QTest::newRow("unknown unit is days") << "fortnight" << d << d.addDays(5) << qint64(5);
    QTest::newRow("upper case unit") << "D" << d << d.addDays(5) << qint64(5);
    QTest::newRow("w whole weeks") << "w" << d << d.addDays(13) << qint64(1);
    QTest::newRow("w back") << "w" << d << d.addDays(-13) << qint64(-1);
    QTest::newRow("ww crosses sunday") << "ww" << QDate(2026, 12, 12) << QDate(2026, 12, 13) << qint64(1);
    QTest::newRow("ww same week") << "ww" << QDate(2026, 12, 13) << QDate(2026, 12, 19) << qint64(0);
    QTest::newRow("m boundary") << "m" << QDate(2026, 12, 31) << QDate(2027, 1, 1) << qint64(1);
    QTest::newRow("m same month") << "m" << QDate(2026, 12, 1) << QDate(2026, 12, 31) << qint64(0);
    QTest::newRow("q") << "q" << QDate(2026, 3, 31) << QDate(2026, 4, 1) << qint64(1);
    QTest::newRow("q year") << "q" << QDate(2026, 1, 1) << QDate(2027, 12, 31) << qint64(7);
    QTest::newRow("yyyy") << "yyyy" << QDate(2026, 12, 31) << QDate(2027, 1, 1) << qint64(1);
    QTest::newRow("yyyy across year 0") << "yyyy" << QDate(-1, 6, 1) << QDate(1, 6, 1) << qint64(1);
    QTest::newRow("h") << "h" << d << d.addDays(2) << qint64(48);
    QTest::newRow("n") << "n" << d << d.addDays(1) << qint64(1440);
    QTest::newRow("s") << "s" << d << d.addDays(-1) << qint64(-86400);
}

void TestCalendar::dateDiffCountsBoundaries()
{
    QFETCH(QString, unit);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(qint64, expected);
    QCOMPARE(dateDiff(unit, from, to), expected);
}

void TestCalendar::dateDiffIsAntisymmetric()
{
    // The list colours count from the due date to today and negate; that must
    // equal counting from today to the due date.
    const QDate today(2026, 12, 8);
    for (const char *unit : {"d", "w", "ww", "m", "q", "yyyy", "h", "n", "s"}) {
        for (int offset : {-400, -9, -1, 0, 1, 6, 7, 8, 31, 95, 1000}) {
            const QDate due = today.addDays(offset);
            QCOMPARE(-dateDiff(QString::fromLatin1(unit), due, today), dateDiff(QString::fromLatin1(unit), today, due));
        }
    }
}

void TestCalendar::dateDiff16Clamps()
{
    const QDate today(2026, 12, 8);
    QCOMPARE(Calendar::dateDiff16(u"d", today, today.addDays(40000)), qint16(32767));
    QCOMPARE(Calendar::dateDiff16(u"d", today, today.addDays(-40000)), qint16(-32768));
    QCOMPARE(Calendar::dateDiff16(u"s", today, today.addDays(1)), qint16(32767));
    QCOMPARE(Calendar::dateDiff16(u"d", today, today.addDays(32767)), qint16(32767));
}

QTEST_GUILESS_MAIN(TestCalendar)
#include "test_calendar.moc"
