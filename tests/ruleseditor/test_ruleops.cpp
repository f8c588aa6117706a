// SPDX-License-Identifier: GPL-3.0-or-later
#include "colors.h"
#include "ruleops.h"

#include "module1.h"
#include "storesandbox.h"

#include <QTest>

#include <memory>

using namespace Module1;

class TestRuleOps : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Every case starts from empty tables in a folder of its own.
    void init() { m_box = std::make_unique<StoreSandbox>(); }
    void cleanup() { m_box.reset(); }

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
    void deletingTheOnlyRuleKeepsItsSlot();
    void deleteOfASlotPastTheEndRemovesNothing();

private:
    std::unique_ptr<StoreSandbox> m_box;
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
    ruleCount = qint16(count);
    QCOMPARE(RuleOps::nextTarget(number), target);
}

void TestRuleOps::appendFillsTheSlotAfterTheLast()
{
    TestData::addRule(3, 255, true);
    TestData::addRule(9, 65280, true, QStringLiteral("w"));
    // A stale slot, as a deletion leaves it.
    rules[2] = rules[1];
    QCOMPARE(RuleOps::appendRule(), 2);
    QCOMPARE(ruleCount, qint16(3));
    QCOMPARE(rules[2].interval, qint16(0));
    QCOMPARE(rules[2].unit, QStringLiteral("d"));
    QCOMPARE(rules[2].color, 0);
    QCOMPARE(rules[2].popup, false);
    QCOMPARE(rules[1].interval, qint16(9));
}

void TestRuleOps::appendRefusesAFullTable()
{
    for (int i = 0; i < kRuleSlots; ++i)
        TestData::addRule(i, i, false);
    QVERIFY(RuleOps::isFull());
    const QByteArray before = storeText();
    QCOMPARE(RuleOps::appendRule(), -1);
    QCOMPARE(ruleCount, qint16(kRuleSlots));
    QCOMPARE(storeText(), before);
    ruleCount = kRuleSlots - 1;
    QVERIFY(!RuleOps::isFull());
    QCOMPARE(RuleOps::appendRule(), kRuleSlots - 1);
    QVERIFY(RuleOps::isFull());
}

void TestRuleOps::deleteClosesTheGap_data()
{
    QTest::addColumn<int>("cur");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QList<int>>("left"); // intervals of the live rules afterwards
    QTest::newRow("first of 3") << 0 << 0 << QList<int>{20, 30};
    QTest::newRow("second of 3") << 1 << 1 << QList<int>{10, 30};
    QTest::newRow("last of 3") << 2 << 0 << QList<int>{10, 20};
}

void TestRuleOps::deleteClosesTheGap()
{
    QFETCH(int, cur);
    QFETCH(int, shown);
    QFETCH(QList<int>, left);
    TestData::addRule(10, 1, true);
    TestData::addRule(20, 2, false);
    TestData::addRule(30, 3, true, QStringLiteral("w"));
    QCOMPARE(RuleOps::deleteRule(cur), shown);
    QCOMPARE(int(ruleCount), left.size());
    QList<int> intervals;
    for (int i = 0; i < ruleCount; ++i)
        intervals << rules[i].interval;
    QCOMPARE(intervals, left);
    // The slot past the new end keeps a copy of the former last rule.
    QCOMPARE(rules[2].interval, qint16(30));
    QCOMPARE(rules[2].unit, QStringLiteral("w"));
}

void TestRuleOps::deletingTheOnlyRuleKeepsItsSlot()
{
    TestData::addRule(5, 99, true);
    QCOMPARE(RuleOps::deleteRule(0), 0);
    QCOMPARE(ruleCount, qint16(0));
    QCOMPARE(rules[0].interval, qint16(5));
    QCOMPARE(rules[0].color, 99);
    QCOMPARE(rules[0].popup, true);
}

void TestRuleOps::deleteOfASlotPastTheEndRemovesNothing()
{
    TestData::addRule(10, 1, true);
    TestData::addRule(20, 2, false);
    QCOMPARE(RuleOps::deleteRule(5), 5);
    QCOMPARE(ruleCount, qint16(2));
    QCOMPARE(RuleOps::deleteRule(-1), 0);
    QCOMPARE(RuleOps::deleteRule(kRuleSlots), 0);
    QCOMPARE(ruleCount, qint16(2));
    QCOMPARE(rules[1].interval, qint16(20));
}

QTEST_APPLESS_MAIN(TestRuleOps)
#include "test_ruleops.moc"
