// SPDX-License-Identifier: GPL-3.0-or-later
#include "colors.h"
#include "ruleops.h"

#include "module1.h"
#include "storesandbox.h"

#include <QTest>

using namespace Module1;

class TestRuleOps : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void colourFromStoredInteger_data();
    void colourFromStoredInteger();
    void storedIntegerFromColour_data();
    void storedIntegerFromColour();
    void slotFromNumberText_data();
    void slotFromNumberText();
    void backStopsAtRuleOne_data();
    void backStopsAtRuleOne();
    void nextStopsAtTheLastRule_data();
    void nextStopsAtTheLastRule();
    void appendFillsTheSlotAfterTheLast();
    void appendRefusesAFullTable();
    void deleteClosesTheGap_data();
    void deleteClosesTheGap();
    void deletingTheOnlyRuleKeepsIt();
    void deleteOfASlotPastTheEndRemovesNothing();
};

void TestRuleOps::colourFromStoredInteger_data()
{
    QTest::addColumn<qint32>("stored");
    QTest::addColumn<QColor>("color");
    QTest::newRow("black") << 0 << QColor(0, 0, 0);
    QTest::newRow("red is the low byte") << 255 << QColor(255, 0, 0);
    QTest::newRow("green") << 65280 << QColor(0, 255, 0);
    QTest::newRow("blue is the high byte") << 16711680 << QColor(0, 0, 255);
    QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
    QTest::newRow("white") << 16777215 << QColor(255, 255, 255);
    QTest::newRow("top byte ignored") << qint32(0x7F00FF00) << QColor(0, 255, 0);
    QTest::newRow("negative") << -1 << QColor(255, 255, 255);
}

void TestRuleOps::colourFromStoredInteger()
{
    QFETCH(qint32, stored);
    QFETCH(QColor, color);
    QCOMPARE(Colors::toColor(stored), color);
}

void TestRuleOps::storedIntegerFromColour_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<qint32>("stored");
    QTest::newRow("black") << QColor(Qt::black) << 0;
    QTest::newRow("red") << QColor(255, 0, 0) << 255;
    QTest::newRow("1 2 3") << QColor(1, 2, 3) << (1 + 256 * 2 + 65536 * 3);
    QTest::newRow("white") << QColor(Qt::white) << 16777215;
    QTest::newRow("alpha ignored") << QColor(10, 20, 30, 40) << (10 + 256 * 20 + 65536 * 30);
    QTest::newRow("from HSV") << QColor::fromHsv(0, 255, 255) << 255;
}

void TestRuleOps::storedIntegerFromColour()
{
    QFETCH(QColor, color);
    QFETCH(qint32, stored);
    QCOMPARE(Colors::fromColor(color), stored);
    QCOMPARE(Colors::toColor(stored).rgb() & 0xFFFFFF, color.toRgb().rgb() & 0xFFFFFF);
}

void TestRuleOps::slotFromNumberText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slot");
    QTest::newRow("rule 1") << "1" << 0;
    QTest::newRow("rule 101") << "101" << 100;
    QTest::newRow("past the table") << "102" << -1;
    QTest::newRow("zero") << "0" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("leading number") << " 3 x" << 2;
    QTest::newRow("huge") << "99999" << -1;
}

void TestRuleOps::slotFromNumberText()
{
    QFETCH(QString, text);
    QFETCH(int, slot);
    QCOMPARE(RuleOps::slotFromNumberText(text), slot);
}

void TestRuleOps::backStopsAtRuleOne_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("target");
    QTest::newRow("rule 1") << 1 << -1;
    QTest::newRow("rule 2") << 2 << 0;
    QTest::newRow("rule 5") << 5 << 3;
}

void TestRuleOps::backStopsAtRuleOne()
{
    QFETCH(int, number);
    QFETCH(int, target);
    QCOMPARE(RuleOps::backTarget(number), target);
}

void TestRuleOps::nextStopsAtTheLastRule_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("target");
    QTest::newRow("1 of 3") << 3 << 1 << 1;
    QTest::newRow("2 of 3") << 3 << 2 << 2;
    QTest::newRow("3 of 3") << 3 << 3 << -1;
    QTest::newRow("only rule") << 1 << 1 << -1;
    QTest::newRow("100 of 101") << 101 << 100 << 100;
    QTest::newRow("101 of 101") << 101 << 101 << -1;
}

void TestRuleOps::nextStopsAtTheLastRule()
{
    QFETCH(int, count);
    QFETCH(int, number);
    QFETCH(int, target);
    QCOMPARE(RuleOps::nextTarget(number, count), target);
}

void TestRuleOps::appendFillsTheSlotAfterTheLast()
{
    RuleOps::Rules rules{TestData::rule(3, 255, true), TestData::rule(9, 65280, true, QStringLiteral("w"))};
    QCOMPARE(RuleOps::appendRule(rules), 2);
    QCOMPARE(rules.size(), std::size_t(3));
    QCOMPARE(rules[2].interval, qint16(0));
    QCOMPARE(rules[2].unit, QStringLiteral("d"));
    QCOMPARE(rules[2].color, 0);
    QCOMPARE(rules[2].popup, false);
    QCOMPARE(rules[1].interval, qint16(9));
}

void TestRuleOps::appendRefusesAFullTable()
{
    RuleOps::Rules rules;
    for (int i = 0; i < kRuleSlots; ++i)
        rules.push_back(TestData::rule(i, i, false));
    QVERIFY(RuleOps::isFull(rules));
    const QByteArray before = storeText({}, rules);
    QCOMPARE(RuleOps::appendRule(rules), -1);
    QCOMPARE(int(rules.size()), kRuleSlots);
    QCOMPARE(storeText({}, rules), before);
    rules.pop_back();
    QVERIFY(!RuleOps::isFull(rules));
    QCOMPARE(RuleOps::appendRule(rules), kRuleSlots - 1);
    QVERIFY(RuleOps::isFull(rules));
}

void TestRuleOps::deleteClosesTheGap_data()
{
    QTest::addColumn<int>("cur");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QList<int>>("left"); // intervals of the rules afterwards
    QTest::newRow("first of 3") << 0 << 0 << QList<int>{20, 30};
    QTest::newRow("second of 3") << 1 << 1 << QList<int>{10, 30};
    QTest::newRow("last of 3") << 2 << 0 << QList<int>{10, 20};
}

void TestRuleOps::deleteClosesTheGap()
{
    QFETCH(int, cur);
    QFETCH(int, shown);
    QFETCH(QList<int>, left);
    RuleOps::Rules rules{TestData::rule(10, 1, true), TestData::rule(20, 2, false),
                         TestData::rule(30, 3, true, QStringLiteral("w"))};
    QCOMPARE(RuleOps::deleteRule(rules, cur), shown);
    QList<int> intervals;
    for (const AlertRule &r : rules)
        intervals << r.interval;
    QCOMPARE(intervals, left);
}

void TestRuleOps::deletingTheOnlyRuleKeepsIt()
{
    // The dialog always shows a rule: the last one stays as it is.
    RuleOps::Rules rules{TestData::rule(5, 99, true)};
    QCOMPARE(RuleOps::deleteRule(rules, 0), 0);
    QCOMPARE(rules.size(), std::size_t(1));
    QCOMPARE(rules[0].interval, qint16(5));
    QCOMPARE(rules[0].color, 99);
    QCOMPARE(rules[0].popup, true);
}

void TestRuleOps::deleteOfASlotPastTheEndRemovesNothing()
{
    RuleOps::Rules rules{TestData::rule(10, 1, true), TestData::rule(20, 2, false)};
    QCOMPARE(RuleOps::deleteRule(rules, 5), 5);
    QCOMPARE(rules.size(), std::size_t(2));
    QCOMPARE(RuleOps::deleteRule(rules, -1), 0);
    QCOMPARE(RuleOps::deleteRule(rules, kRuleSlots), 0);
    QCOMPARE(rules.size(), std::size_t(2));
    QCOMPARE(rules[1].interval, qint16(20));
}

QTEST_APPLESS_MAIN(TestRuleOps)
#include "test_ruleops.moc"
