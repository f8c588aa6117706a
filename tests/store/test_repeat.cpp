// SPDX-License-Identifier: GPL-3.0-or-later
#include "repeat.h"

#include <QTest>

using Repeat::Rule;
using Repeat::Unit;

Q_DECLARE_METATYPE(Repeat::Unit)

namespace {

Rule monthly(int anchor, int count = 1)
{
    return Rule{count, Unit::Month, anchor};
}

} // namespace

class TestRepeat : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsAndWritesRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<Unit>("unit");
        QTest::addColumn<int>("anchor");
        QTest::newRow("every day") << "1d" << 1 << Unit::Day << 0;
        QTest::newRow("every other week") << "2w" << 2 << Unit::Week << 0;
        QTest::newRow("monthly on the 31st") << "1m@31" << 1 << Unit::Month << 31;
        QTest::newRow("every year on the 29th") << "1y@29" << 1 << Unit::Year << 29;
        QTest::newRow("the largest count") << "9999d" << 9999 << Unit::Day << 0;
    }

    void readsAndWritesRules()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(Unit, unit);
        QFETCH(int, anchor);
        const std::optional<Rule> rule = Repeat::parse(text);
        QVERIFY(rule);
        QCOMPARE(rule->count, count);
        QCOMPARE(rule->unit, unit);
        if (anchor > 0)
            QCOMPARE(rule->anchorDay, anchor);
        QCOMPARE(Repeat::format(*rule), text);
    }

    void refusesWhatItCannotRead_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *bad : {"often", "", "d", "0d", "-1d", "+1d", "1", "1x", "1 d", " 1d", "1d ", "1d@3", "1m",
                                "1m@", "1m@0", "1m@32", "1y@x", "10000d", "1.5w", "１d"})
            QTest::newRow(bad) << QString::fromUtf8(bad);
    }

    void refusesWhatItCannotRead()
    {
        QFETCH(QString, text);
        QVERIFY(!Repeat::parse(text));
    }

    void monthsKeepTheirDay_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QDate>("to");
        QTest::newRow("31 January to February") << QDate(2027, 1, 31) << 31 << 1 << QDate(2027, 2, 28);
        QTest::newRow("to February of a leap year") << QDate(2028, 1, 31) << 31 << 1 << QDate(2028, 2, 29);
        QTest::newRow("back to the 31st in March") << QDate(2027, 2, 28) << 31 << 1 << QDate(2027, 3, 31);
        QTest::newRow("April has 30") << QDate(2027, 3, 31) << 31 << 1 << QDate(2027, 4, 30);
        QTest::newRow("across a year end") << QDate(2027, 11, 30) << 30 << 3 << QDate(2028, 2, 29);
        QTest::newRow("many steps") << QDate(2027, 1, 15) << 15 << 25 << QDate(2029, 2, 15);
    }

    void monthsKeepTheirDay()
    {
        QFETCH(QDate, from);
        QFETCH(int, anchor);
        QFETCH(int, steps);
        QFETCH(QDate, to);
        QCOMPARE(Repeat::stepped(from, monthly(anchor), steps), to);
    }

    void leapDaysYearly()
    {
        const Rule yearly{1, Unit::Year, 29};
        QCOMPARE(Repeat::stepped(QDate(2028, 2, 29), yearly, 1), QDate(2029, 2, 28));
        QCOMPARE(Repeat::stepped(QDate(2029, 2, 28), yearly, 3), QDate(2032, 2, 29));
        QCOMPARE(Repeat::stepped(QDate(2028, 2, 29), Rule{4, Unit::Year, 29}, 1), QDate(2032, 2, 29));
        // A rule made for a task takes the day it is due on.
        QCOMPARE(Repeat::ruleFor(1, Unit::Year, QDate(2028, 2, 29)).anchorDay, 29);
        QCOMPARE(Repeat::ruleFor(0, Unit::Day, QDate(2028, 2, 29)).count, 1);
    }

    void nextDueDateIsTheFirstAfterNow_data()
    {
        QTest::addColumn<QDate>("due");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("next");
        const QDateTime now(QDate(2027, 6, 10), QTime(10, 0));
        QTest::newRow("due today later, daily: tomorrow")
            << QDate(2027, 6, 10) << QTime(18, 0) << "1d" << now << QDate(2027, 6, 11);
        QTest::newRow("a week late, weekly, due later today")
            << QDate(2027, 6, 3) << QTime(18, 0) << "1w" << now << QDate(2027, 6, 10);
        QTest::newRow("a week late, weekly, due earlier today")
            << QDate(2027, 6, 3) << QTime(9, 0) << "1w" << now << QDate(2027, 6, 17);
        QTest::newRow("three months late: the next future month, not one on")
            << QDate(2027, 3, 15) << QTime(12, 0) << "1m@15" << now << QDate(2027, 6, 15);
        QTest::newRow("three months late, the day passed this month")
            << QDate(2027, 3, 5) << QTime(12, 0) << "1m@5" << now << QDate(2027, 7, 5);
        QTest::newRow("every other week, long overdue")
            << QDate(2020, 1, 1) << QTime(8, 0) << "2w" << now << QDate(2027, 6, 23); // 195 fortnights
        QTest::newRow("due exactly now moves on")
            << QDate(2027, 6, 10) << QTime(10, 0) << "1d" << now << QDate(2027, 6, 11);
        QTest::newRow("not yet due: one step on")
            << QDate(2027, 8, 1) << QTime(10, 0) << "1m@1" << now << QDate(2027, 9, 1);
        QTest::newRow("yearly on 29 February")
            << QDate(2024, 2, 29) << QTime(10, 0) << "1y@29" << now << QDate(2028, 2, 29);
        QTest::newRow("monthly on the 31st, into June")
            << QDate(2027, 5, 31) << QTime(10, 0) << "1m@31" << now << QDate(2027, 6, 30);
    }

    void nextDueDateIsTheFirstAfterNow()
    {
        QFETCH(QDate, due);
        QFETCH(QTime, time);
        QFETCH(QString, rule);
        QFETCH(QDateTime, now);
        QFETCH(QDate, next);
        const std::optional<QDate> moved = Repeat::nextDueDate(due, 0, time, *Repeat::parse(rule), now);
        QVERIFY(moved);
        QCOMPARE(*moved, next);
    }

    void carriedTimeCountsForTheMomentNotTheDate()
    {
        // Hour 25 of 9 June is 1 o'clock on the 10th: still ahead at 00:30.
        const QDateTime now(QDate(2027, 6, 10), QTime(0, 30));
        QCOMPARE(Repeat::nextDueDate(QDate(2027, 6, 8), 1, QTime(1, 0), Rule{1, Unit::Day, 0}, now),
                 std::optional<QDate>(QDate(2027, 6, 9)));
    }

    void aLargeCarryIsCountedFromTheMoment()
    {
        // Hour -312 is thirteen days before the date; the series follows the moment.
        const QDateTime now(QDate(2027, 6, 10), QTime(12, 0));
        QCOMPARE(Repeat::nextDueDate(QDate(2027, 6, 20), -13, QTime(9, 0), Rule{1, Unit::Day, 0}, now),
                 std::optional<QDate>(QDate(2027, 6, 24)));
        QCOMPARE(Repeat::nextDueDate(QDate(2027, 3, 1), 40, QTime(9, 0), Rule{1, Unit::Week, 0}, now),
                 std::optional<QDate>(QDate(2027, 5, 3)));
    }

    void nothingBeyondTheLastYear()
    {
        const QDateTime now(QDate(2027, 6, 10), QTime(10, 0));
        QVERIFY(!Repeat::nextDueDate(QDate(32767, 12, 1), 0, QTime(0, 0), monthly(1), QDateTime(QDate(32767, 12, 2), QTime())));
        QVERIFY(Repeat::nextDueDate(QDate(2027, 6, 1), 0, QTime(0, 0), monthly(1), now));
    }

    void momentsAsTheFileWritesThem()
    {
        const QDateTime moment(QDate(2027, 3, 7), QTime(9, 5, 0));
        QCOMPARE(Repeat::formatMoment(moment), QStringLiteral("2027-03-07 09:05:00"));
        QCOMPARE(Repeat::parseMoment(u"2027-03-07 09:05:00"), std::optional<QDateTime>(moment));
        for (const char *bad : {"", "yesterday", "2027-02-30 09:00:00", "2027-03-07", "07.03.2027 09:05:00"})
            QVERIFY2(!Repeat::parseMoment(QString::fromUtf8(bad)), bad);
    }
};

QTEST_GUILESS_MAIN(TestRepeat)
#include "test_repeat.moc"
