// SPDX-License-Identifier: GPL-3.0-or-later
#include "rowlook.h"

#include <QTest>

#include <vector>

using Module1::AlertRule;

namespace {

constexpr qint32 kGreen = RowLook::rgb(0, 160, 0);
constexpr qint32 kRed = RowLook::rgb(220, 0, 0);
constexpr qint32 kBlue = RowLook::rgb(0, 0, 255);
constexpr qint32 kA = RowLook::rgb(10, 20, 30);
constexpr qint32 kB = RowLook::rgb(40, 50, 60);

const QDate kToday(2024, 1, 10);

AlertRule rule(int interval, qint32 color, const QString &unit = QStringLiteral("d"))
{
    AlertRule r;
    r.interval = qint16(interval);
    r.color = color;
    r.unit = unit;
    return r;
}

using Rules = std::vector<AlertRule>;

RowLook::Look decide(int daysFromToday, const Rules &rules)
{
    return RowLook::decide(kToday.addDays(daysFromToday), rules, kToday);
}

} // namespace

class TestRowLook : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tightestMatchingRuleGivesTheColour_data()
    {
        QTest::addColumn<int>("order"); // which permutation of the three rules
        QTest::addColumn<int>("days");
        QTest::addColumn<qint32>("color");
        QTest::addColumn<bool>("bold");

        const int orders[] = {0, 1, 2, 3, 4, 5};
        for (int order : orders) {
            auto row = [&](const char *what, int days, qint32 color, bool bold) {
                QTest::addRow("order %d, %s", order, what) << order << days << color << bold;
            };
            row("due in 5 days", 5, kGreen, false);
            row("due in 7 days", 7, kGreen, false);
            row("due in 2 days", 2, kRed, false);
            row("due in 1 day", 1, kRed, false);
            row("due today", 0, kBlue, true);
            row("three days late", -3, kBlue, true);
            row("due in 8 days", 8, 0, false);
            row("due in 10 days", 10, 0, false);
        }
    }

    void tightestMatchingRuleGivesTheColour()
    {
        QFETCH(int, order);
        QFETCH(int, days);
        QFETCH(qint32, color);
        QFETCH(bool, bold);

        Rules rules = {rule(7, kGreen), rule(2, kRed), rule(0, kBlue)};
        for (int i = 0; i < order; ++i)
            std::next_permutation(rules.begin(), rules.end(),
                                  [](const AlertRule &a, const AlertRule &b) { return a.interval < b.interval; });
        const RowLook::Look look = decide(days, rules);
        QCOMPARE(look.color, color);
        QCOMPARE(look.bold, bold);
        QVERIFY(look.ruleRan);
    }

    void equalIntervalsGoToTheLaterRule()
    {
        QCOMPARE(decide(1, {rule(3, kA), rule(3, kB)}).color, kB);
        QCOMPARE(decide(1, {rule(3, kB), rule(3, kA)}).color, kA);
        // A wider rule after a tighter one never takes over.
        QCOMPARE(decide(1, {rule(3, kA), rule(5, kB)}).color, kA);
        // A later, tighter rule that does not match leaves the colour alone.
        QCOMPARE(decide(1, {rule(3, kA), rule(0, kB)}).color, kA);
    }

    void noRulesLeavesBlackAndTheWeightAlone()
    {
        for (int days : {-5, 0, 1, 400}) {
            const RowLook::Look look = decide(days, {});
            QCOMPARE(look.color, 0);
            QVERIFY(!look.ruleRan);
            QVERIFY(!look.bold);
        }
    }

    void boldOnlyWhenDueTodayOrLate_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("bold");
        QTest::newRow("long overdue") << -400 << true;
        QTest::newRow("yesterday") << -1 << true;
        QTest::newRow("today") << 0 << true;
        QTest::newRow("tomorrow") << 1 << false;
        QTest::newRow("next year") << 365 << false;
    }

    void boldOnlyWhenDueTodayOrLate()
    {
        QFETCH(int, days);
        QFETCH(bool, bold);
        // The rule need not match for the weight to apply.
        QCOMPARE(decide(days, {rule(-1000, kA)}).bold, bold);
        QCOMPARE(decide(days, {rule(1000, kA)}).bold, bold);
    }

    void lastRuleDecidesTheWeight()
    {
        // Ten January to 25 January: 15 days, but no month boundary.
        const Rules daysThenMonths = {rule(30, kGreen), rule(5, kRed, QStringLiteral("m"))};
        const RowLook::Look a = decide(15, daysThenMonths);
        QCOMPARE(a.color, kRed);
        QVERIFY(a.bold); // 0 months left

        const Rules monthsThenDays = {rule(5, kRed, QStringLiteral("m")), rule(30, kGreen)};
        const RowLook::Look b = decide(15, monthsThenDays);
        QCOMPARE(b.color, kRed); // the day rule is wider than the one applied
        QVERIFY(!b.bold);        // 15 days left
    }

    void farAwayDatesAreClamped_data()
    {
        QTest::addColumn<QDate>("due");
        QTest::addColumn<qint32>("color");
        QTest::addColumn<bool>("bold");
        // 32767 days is the widest the rules can tell apart.
        QTest::newRow("edge of the range") << kToday.addDays(32767) << kA << false;
        QTest::newRow("just beyond") << kToday.addDays(32768) << kA << false;
        QTest::newRow("year 9999") << QDate(9999, 12, 31) << kA << false;
        QTest::newRow("long ago") << QDate(1200, 1, 1) << kB << true;
        QTest::newRow("before the range") << kToday.addDays(-40000) << kB << true;
    }

    void farAwayDatesAreClamped()
    {
        QFETCH(QDate, due);
        QFETCH(qint32, color);
        QFETCH(bool, bold);
        // The widest rule matches everything up to the 16-bit edge.
        const Rules rules = {rule(32767, kA), rule(-32768, kB)};
        const RowLook::Look look = RowLook::decide(due, rules, kToday);
        QCOMPARE(look.color, color);
        QCOMPARE(look.bold, bold);
    }

    void negativeIntervalsMatchOverdueTasks()
    {
        const Rules rules = {rule(-2, kA)};
        QCOMPARE(decide(-1, rules).color, 0);
        QCOMPARE(decide(-2, rules).color, kA);
        QCOMPARE(decide(-9, rules).color, kA);
    }

    void unitsAreWorkedOutPerRule()
    {
        // Same due date, two units one after the other and back: each rule
        // must see its own unit's difference.
        const Rules rules = {rule(50, kA, QStringLiteral("d")), rule(1, kB, QStringLiteral("m")),
                             rule(1, kGreen, QStringLiteral("d"))};
        // 40 days ahead: one month boundary, 40 days.
        const RowLook::Look look = decide(40, rules);
        QCOMPARE(look.color, kB);
        QVERIFY(!look.bold);
        // Overdue by days but still this month by the months count.
        const Rules monthsLast = {rule(5, kA, QStringLiteral("d")), rule(0, kB, QStringLiteral("m"))};
        QCOMPARE(decide(-5, monthsLast).color, kB);
        QVERIFY(decide(-5, monthsLast).bold);
    }

    void forTaskUsesTheLiveRulesAndRollsTheDateOver()
    {
        Module1::resetStore();
        Module1::rules[0] = rule(0, kBlue);
        Module1::ruleCount = 1;
        const QDate today = QDate::currentDate();
        Module1::Task t;
        // Day 0 of next month is the last day of this month.
        const QDate next = today.addMonths(1);
        t.year = qint16(next.year());
        t.month = qint16(next.month());
        t.day = 0;
        const QDate due = QDate(today.year(), today.month(), today.daysInMonth());
        const RowLook::Look look = RowLook::forTask(t, today);
        QCOMPARE(look.color, due == today ? kBlue : 0);
        QCOMPARE(look.bold, due == today);
        Module1::ruleCount = 0;
        QVERIFY(!RowLook::forTask(t, today).ruleRan);
    }

    void coloursKeepRedInTheLowByte()
    {
        QCOMPARE(RowLook::rgb(0, 0, 100), 6553600);
        QCOMPARE(RowLook::rgb(255, 255, 255), 16777215);
        QCOMPARE(RowLook::toColor(RowLook::rgb(1, 2, 3)), QColor(1, 2, 3));
        QCOMPARE(RowLook::toColor(6553600), QColor(0, 0, 100));
    }
};

QTEST_GUILESS_MAIN(TestRowLook)
#include "test_rowlook.moc"
