// SPDX-License-Identifier: GPL-3.0-or-later
// The one rule choice behind the list's colours and weight and the alert
// page's listing and box colour: every case is checked for both at once.
#include "localzone.h"
#include "rules.h"
#include "storesandbox.h"

#include <QTest>

#include <vector>

Q_DECLARE_METATYPE(Module1::AlertRule)

using Module1::AlertRule;
using TestData::rule;

namespace {

constexpr qint32 rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

constexpr qint32 kGreen = rgb(0, 160, 0);
constexpr qint32 kRed = rgb(220, 0, 0);
constexpr qint32 kBlue = rgb(0, 0, 255);
constexpr qint32 kA = rgb(10, 20, 30);
constexpr qint32 kB = rgb(40, 50, 60);
constexpr int kNone = Rules::kNoInterval;

const QDate kToday(2024, 5, 10);

using RuleList = QList<AlertRule>;

Rules::Choice choose(QDate due, const RuleList &rules)
{
    return Rules::choose(due, std::span<const AlertRule>(rules.constData(), size_t(rules.size())), kToday);
}

} // namespace

class TestRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choice_data()
    {
        QTest::addColumn<RuleList>("rules");
        QTest::addColumn<QDate>("due");
        QTest::addColumn<qint32>("color");   // the row's text colour
        QTest::addColumn<bool>("dueOrLate"); // the row is bold
        QTest::addColumn<bool>("listed");    // the task is on the alert page
        QTest::addColumn<qint32>("boxColor");
        QTest::addColumn<int>("best");

        const QDate in2 = kToday.addDays(2);
        const QDate in51 = QDate(2024, 6, 30);
        auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };

        // Which rule wins.
        row("narrower quiet rule keeps the popup listing")
            << RuleList{rule(10, 1, true), rule(3, 2)} << in2 << 2 << false << true << 1 << 3;
        row("narrower popup rule takes the box colour")
            << RuleList{rule(10, 1, true), rule(3, 2, true)} << in2 << 2 << false << true << 2 << 3;
        row("a wider later rule never takes over")
            << RuleList{rule(3, 1, true), rule(10, 2, true)} << in2 << 1 << false << true << 1 << 3;
        row("a tighter later rule that does not match leaves the colour")
            << RuleList{rule(3, kA), rule(0, kB)} << kToday.addDays(1) << kA << false << false << 0 << 3;
        row("equal intervals: the later rule")
            << RuleList{rule(5, 1, true), rule(5, 2, true)} << in2 << 2 << false << true << 2 << 5;
        row("equal intervals the other way round")
            << RuleList{rule(3, kB), rule(3, kA)} << kToday.addDays(1) << kA << false << false << 0 << 3;
        row("equal intervals, later quiet: listing kept")
            << RuleList{rule(5, 1, true), rule(5, 2)} << in2 << 2 << false << true << 1 << 5;
        row("narrower quiet rule first blocks a wider popup")
            << RuleList{rule(3, 1), rule(10, 2, true)} << in2 << 1 << false << false << 0 << 3;

        // Where a rule starts to match.
        row("interval equal to units left matches") << RuleList{rule(2, 1, true)} << in2 << 1 << false << true << 1 << 2;
        row("interval one short does not") << RuleList{rule(1, 1, true)} << in2 << 0 << false << false << 0 << kNone;
        row("late task under interval 0")
            << RuleList{rule(0, 1, true)} << kToday.addDays(-5) << 1 << true << true << 1 << 0;
        row("negative interval, not late enough")
            << RuleList{rule(-3, 1, true)} << kToday.addDays(-2) << 0 << true << false << 0 << kNone;
        row("negative interval, exactly late enough")
            << RuleList{rule(-2, kA)} << kToday.addDays(-2) << kA << true << false << 0 << -2;
        row("negative interval, later still")
            << RuleList{rule(-3, 1, true)} << kToday.addDays(-4) << 1 << true << true << 1 << -3;

        // Units, each rule its own.
        row("months unit: 51 days is 1 month")
            << RuleList{rule(1, 1, true, QStringLiteral("m"))} << in51 << 1 << false << true << 1 << 1;
        row("days unit: 51 days is not 1")
            << RuleList{rule(1, 1, true, QStringLiteral("d"))} << in51 << 0 << false << false << 0 << kNone;
        row("empty unit counts days")
            << RuleList{rule(51, 1, true, QString())} << in51 << 1 << false << true << 1 << 51;
        row("units mixed: the last rule's unit decides the weight")
            << RuleList{rule(1, 1, true, QStringLiteral("m")), rule(1, 2, true, QStringLiteral("yyyy"))} << in51 << 2
            << true << true << 2 << 1;
        row("days then months: 15 days, no month boundary")
            << RuleList{rule(30, kGreen), rule(5, kRed, false, QStringLiteral("m"))} << kToday.addDays(15) << kRed
            << true << false << 0 << 5;
        row("months then days: the day rule is wider than the one applied")
            << RuleList{rule(5, kRed, false, QStringLiteral("m")), rule(30, kGreen)} << kToday.addDays(15) << kRed
            << false << false << 0 << 5;
        row("days, months, days: each rule sees its own unit")
            << RuleList{rule(50, kA), rule(1, kB, false, QStringLiteral("m")), rule(1, kGreen)} << kToday.addDays(40)
            << kB << false << false << 0 << 1;
        row("late by days, still this month by months")
            << RuleList{rule(5, kA), rule(0, kB, false, QStringLiteral("m"))} << kToday.addDays(-5) << kB << true
            << false << 0 << 0;

        // Differences beyond 16 bits are held at its edges.
        const RuleList widest = {rule(32767, kA), rule(-32768, kB)};
        row("edge of the range") << widest << kToday.addDays(32767) << kA << false << false << 0 << 32767;
        row("just beyond the range") << widest << kToday.addDays(32768) << kA << false << false << 0 << 32767;
        row("year 9999") << widest << QDate(9999, 12, 31) << kA << false << false << 0 << 32767;
        row("long ago") << widest << QDate(1200, 1, 1) << kB << true << false << 0 << -32768;
        row("before the range") << widest << kToday.addDays(-40000) << kB << true << false << 0 << -32768;
        row("seconds clamp to 16 bits, far future")
            << RuleList{rule(32767, 1, true, QStringLiteral("s"))} << QDate(2124, 1, 1) << 1 << false << true << 1
            << 32767;
        row("seconds clamp to 16 bits, far past")
            << RuleList{rule(-32768, 1, true, QStringLiteral("s"))} << QDate(1924, 1, 1) << 1 << true << true << 1
            << -32768;
    }

    void choice()
    {
        QFETCH(RuleList, rules);
        QFETCH(QDate, due);
        QFETCH(qint32, color);
        QFETCH(bool, dueOrLate);
        QFETCH(bool, listed);
        QFETCH(qint32, boxColor);
        QFETCH(int, best);
        const Rules::Choice c = choose(due, rules);
        QCOMPARE(c.color, color);
        QCOMPARE(c.dueOrLate, dueOrLate);
        QCOMPARE(c.listed, listed);
        QCOMPARE(c.boxColor, boxColor);
        QCOMPARE(c.best, best);
        QVERIFY(c.ruleRan);
    }

    void tightestMatchingRuleWinsInAnyOrder_data()
    {
        QTest::addColumn<int>("order"); // which permutation of the three rules
        QTest::addColumn<int>("days");
        QTest::addColumn<qint32>("color");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("best");
        for (int order = 0; order < 6; ++order) {
            auto row = [&](const char *what, int days, qint32 color, bool bold, int best) {
                QTest::addRow("order %d, %s", order, what) << order << days << color << bold << best;
            };
            row("due in 5 days", 5, kGreen, false, 7);
            row("due in 7 days", 7, kGreen, false, 7);
            row("due in 2 days", 2, kRed, false, 2);
            row("due in 1 day", 1, kRed, false, 2);
            row("due today", 0, kBlue, true, 0);
            row("three days late", -3, kBlue, true, 0);
            row("due in 8 days", 8, 0, false, kNone);
            row("due in 10 days", 10, 0, false, kNone);
        }
    }

    void tightestMatchingRuleWinsInAnyOrder()
    {
        QFETCH(int, order);
        QFETCH(int, days);
        QFETCH(qint32, color);
        QFETCH(bool, bold);
        QFETCH(int, best);
        std::vector<AlertRule> rules = {rule(7, kGreen), rule(2, kRed), rule(0, kBlue)};
        for (int i = 0; i < order; ++i)
            std::next_permutation(rules.begin(), rules.end(),
                                  [](const AlertRule &a, const AlertRule &b) { return a.interval < b.interval; });
        const Rules::Choice c = Rules::choose(kToday.addDays(days), rules, kToday);
        QCOMPARE(c.color, color);
        QCOMPARE(c.dueOrLate, bold);
        QCOMPARE(c.best, best);
        QVERIFY(!c.listed); // none of them is a popup rule
    }

    void weightNeedsNoMatchingRule_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("bold");
        QTest::newRow("long overdue") << -400 << true;
        QTest::newRow("yesterday") << -1 << true;
        QTest::newRow("today") << 0 << true;
        QTest::newRow("tomorrow") << 1 << false;
        QTest::newRow("next year") << 365 << false;
    }

    void weightNeedsNoMatchingRule()
    {
        QFETCH(int, days);
        QFETCH(bool, bold);
        QCOMPARE(choose(kToday.addDays(days), {rule(-1000, kA)}).dueOrLate, bold);
        QCOMPARE(choose(kToday.addDays(days), {rule(1000, kA)}).dueOrLate, bold);
    }

    void noRulesLeavesBlackUnlistedAndTheWeightAlone()
    {
        for (int days : {-5, 0, 1, 400}) {
            const Rules::Choice c = choose(kToday.addDays(days), {});
            QCOMPARE(c, Rules::Choice{});
            QVERIFY(!c.ruleRan);
        }
    }

    void chooseForATaskUsesTheRulesGivenAndRollsTheDateOver()
    {
        const std::vector<AlertRule> rules{TestData::rule(0, kBlue, true)};
        Module1::Task t;
        // Day 0 of June is the last day of May; day 32 of May is 1 June.
        t.year = 2024;
        t.month = 6;
        t.day = 0;
        QCOMPARE(Rules::dueDate(t), QDate(2024, 5, 31));
        QCOMPARE(Rules::choose(t, rules, QDate(2024, 5, 31)).color, kBlue);
        QVERIFY(Rules::choose(t, rules, QDate(2024, 5, 31)).listed);
        QCOMPARE(Rules::choose(t, rules, QDate(2024, 5, 30)).color, 0);
        t.month = 5;
        t.day = 32;
        QCOMPARE(Rules::dueDate(t), QDate(2024, 6, 1));
        QVERIFY(!Rules::choose(t, {}, kToday).ruleRan);
    }

    void daysLeftCountsWholeDaysBeyond16Bits_data()
    {
        QTest::addColumn<QDate>("due");
        QTest::addColumn<int>("days");
        QTest::newRow("today") << kToday << 0;
        QTest::newRow("yesterday") << kToday.addDays(-1) << -1;
        QTest::newRow("across a year end") << QDate(2025, 1, 1) << 236;
        QTest::newRow("year 9999") << QDate(9999, 12, 31) << int(kToday.daysTo(QDate(9999, 12, 31)));
        QTest::newRow("long ago") << QDate(1200, 1, 1) << int(kToday.daysTo(QDate(1200, 1, 1)));
    }

    void daysLeftCountsWholeDaysBeyond16Bits()
    {
        QFETCH(QDate, due);
        QFETCH(int, days);
        // The time of day plays no part: late in the evening is still today.
        const Module1::Task t = TestData::task(QStringLiteral("T"), {}, due.year(), due.month(), due.day(), 23, 59, 59);
        QCOMPARE(Rules::daysLeft(t, kToday), days);
    }

    void dueMomentRollsDateAndTimeOverTogether_data()
    {
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("second");
        QTest::addColumn<QDateTime>("moment");
        QTest::newRow("as typed") << 10 << 9 << 5 << 0 << QDateTime(QDate(2024, 5, 10), QTime(9, 5, 0));
        QTest::newRow("hour 24 is the next midnight") << 10 << 24 << 0 << 0 << QDateTime(QDate(2024, 5, 11), QTime(0, 0));
        QTest::newRow("minute 60") << 31 << 23 << 60 << 0 << QDateTime(QDate(2024, 6, 1), QTime(0, 0));
        QTest::newRow("a negative second") << 1 << 0 << 0 << -1 << QDateTime(QDate(2024, 4, 30), QTime(23, 59, 59));
        QTest::newRow("day 0 and hour 49") << 0 << 49 << 0 << 0 << QDateTime(QDate(2024, 5, 2), QTime(1, 0));
    }

    void dueMomentRollsDateAndTimeOverTogether()
    {
        QFETCH(int, day);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, second);
        QFETCH(QDateTime, moment);
        const Module1::Task t = TestData::task(QStringLiteral("T"), {}, 2024, 5, day, hour, minute, second);
        QCOMPARE(Rules::dueMoment(t), moment);
        // The day the list colours by is the date as typed, before the time rolls it on.
        QCOMPARE(Rules::dueDate(t), QDate(2024, 5, 1).addDays(day - 1));
    }

    void dueMomentAcrossAChangeOfClocks_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QTime>("shown");
        const auto utc = [](int mo, int d, int h, int mi) { return QDateTime(QDate(2026, mo, d), QTime(h, mi), Qt::UTC); };
        // 8 March 2026: 2:00 standard time becomes 3:00 daylight time;
        // 1 November 2026: 2:00 daylight time becomes 1:00 standard time.
        const QByteArray newYork = "EST5EDT,M3.2.0,M11.1.0";
        QTest::newRow("skipped") << newYork << QDate(2026, 3, 8) << 2 << 30 << utc(3, 8, 7, 0) << QTime(3, 0);
        QTest::newRow("first skipped minute") << newYork << QDate(2026, 3, 8) << 2 << 0 << utc(3, 8, 7, 0) << QTime(3, 0);
        QTest::newRow("before the skip") << newYork << QDate(2026, 3, 8) << 1 << 59 << utc(3, 8, 6, 59) << QTime(1, 59);
        QTest::newRow("after the skip") << newYork << QDate(2026, 3, 8) << 3 << 1 << utc(3, 8, 7, 1) << QTime(3, 1);
        QTest::newRow("shown twice") << newYork << QDate(2026, 11, 1) << 1 << 30 << utc(11, 1, 5, 30) << QTime(1, 30);
        QTest::newRow("first shown twice") << newYork << QDate(2026, 11, 1) << 1 << 0 << utc(11, 1, 5, 0) << QTime(1, 0);
        QTest::newRow("after the repeat") << newYork << QDate(2026, 11, 1) << 2 << 0 << utc(11, 1, 7, 0) << QTime(2, 0);
        // Half an hour forward at 2:00 on 4 October 2026, back at 2:00 on 5 April.
        const QByteArray lordHowe = "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0";
        QTest::newRow("half hour skipped") << lordHowe << QDate(2026, 10, 4) << 2 << 15 << utc(10, 3, 15, 30) << QTime(2, 30);
        QTest::newRow("half hour twice") << lordHowe << QDate(2026, 4, 5) << 1 << 45 << utc(4, 4, 14, 45) << QTime(1, 45);
        // Midnight skipped (24:00 on Saturday 5 September is 1:00 on Sunday),
        // and the hour typed as 24 of the Saturday.
        const QByteArray santiago = "<-04>4<-03>,M9.1.6/24,M4.1.6/24";
        QTest::newRow("hour 24 skipped") << santiago << QDate(2026, 9, 5) << 24 << 30 << utc(9, 6, 4, 0) << QTime(1, 0);
    }

    void dueMomentAcrossAChangeOfClocks()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDate, date);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(QDateTime, moment);
        QFETCH(QTime, shown);
        const LocalZone local(zone);
        const Module1::Task t = TestData::task(QStringLiteral("T"), {}, date.year(), date.month(), date.day(), hour, minute);
        // The same whichever side of the change Qt last worked a local time out for.
        for (const int days : {-40, 40}) {
            QVERIFY(QDateTime(date.addDays(days), QTime(hour % 24, minute)).isValid());
            QCOMPARE(Rules::dueMoment(t), moment);
        }
        // Shown as the moment it is announced, as if typed so.
        const QDate shownDay = moment.toLocalTime().date();
        QCOMPARE(t.dueText, TestData::task({}, {}, shownDay.year(), shownDay.month(), shownDay.day(), shown.hour(),
                                           shown.minute()).dueText);
        QCOMPARE(Rules::dueText(t), t.dueText);
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
