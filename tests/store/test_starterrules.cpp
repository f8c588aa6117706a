// SPDX-License-Identifier: GPL-3.0-or-later
#include "alertpage.h"
#include "module1.h"
#include "rules.h"
#include "storesandbox.h"

#include <QFile>
#include <QTest>

#include <memory>

using namespace Module1;

namespace {

const QDate kToday(2026, 12, 8);

Task dueOn(const QString &title, QDate date)
{
    return TestData::task(title, {}, date.year(), date.month(), date.day(), 9);
}

} // namespace

class TestStarterRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_box = std::make_unique<StoreSandbox>(); }
    void cleanup() { m_box.reset(); }

    void aFirstRunColoursAndAlertsAtOnce()
    {
        QVERIFY(testStore().loadTasks().fileMissing);
        TestData::addTask(dueOn(QStringLiteral("first task"), kToday));
        QVERIFY(testStore().saveTasks().ok);
        QVERIFY(StoreSandbox::read().contains("act=addalert"));
        // The tables have them too, so the list is coloured without a reload.
        const int rulesInTables = testStore().ruleCount();
        QVERIFY(rulesInTables > 0);
        QVERIFY(testStore().loadTasks().problems.isEmpty());
        QCOMPARE(testStore().ruleCount(), rulesInTables);

        struct Case {
            int days;
            bool coloured, listed, red;
        };
        const Case cases[] = {
            {8, false, false, false}, {7, true, false, false}, {3, true, false, false}, {2, true, true, false},
            {1, true, true, false},   {0, true, true, true},   {-1, true, true, true},  {-400, true, true, true},
        };
        for (const Case &c : cases) {
            const Rules::Choice choice = Rules::choose(dueOn({}, kToday.addDays(c.days)), testStore().rules(), kToday);
            const QByteArray where = "due in " + QByteArray::number(c.days) + " days";
            QVERIFY2((choice.color != 0) == c.coloured, where.constData());
            QVERIFY2(choice.listed == c.listed, where.constData());
            QVERIFY2((choice.color == 255) == c.red, where.constData());
            // Today and late are bold; nothing before.
            QVERIFY2(choice.dueOrLate == (c.days <= 0), where.constData());
        }
        // Coloured within the week, but not like the last two days.
        QVERIFY(Rules::choose(dueOn({}, kToday.addDays(5)), testStore().rules(), kToday).color
                != Rules::choose(dueOn({}, kToday.addDays(2)), testStore().rules(), kToday).color);

        // The start's alert lists the two-day and today's tasks, today's in red.
        const std::vector<Task> list = {dueOn(QStringLiteral("in five days"), kToday.addDays(5)),
                                        dueOn(QStringLiteral("in two days"), kToday.addDays(2)),
                                        dueOn(QStringLiteral("today"), kToday)};
        const AlertPage::Page page = AlertPage::drawListed(list, testStore().rules(), kToday);
        QVERIFY(page.anyListed);
        QVERIFY(!page.text.contains(QStringLiteral("in five days")));
        QVERIFY(page.text.contains(QStringLiteral("in two days")));
        QVERIFY(page.text.contains(QStringLiteral("bgcolor=#FF0000>\r\n<tr><td bgcolor=#FFFFFF><b><small>Title:</small> today")));
    }

    void anExistingStoreIsNeverGivenRules_data()
    {
        QTest::addColumn<QByteArray>("store");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("only the header") << TestData::storeBytes({});
        QTest::newRow("tasks, no rules") << TestData::storeBytes({{"Rent", "", 1, 1, 2027, 9, 0, 0, ""}});
        QTest::newRow("blank lines") << QByteArray("\r\n\r\n");
    }

    void anExistingStoreIsNeverGivenRules()
    {
        QFETCH(QByteArray, store);
        StoreSandbox::write(store);
        QVERIFY(!testStore().loadTasks().fileMissing);
        TestData::addTask(dueOn(QStringLiteral("added"), kToday));
        QVERIFY(testStore().saveTasks().ok);
        QVERIFY(StoreSandbox::read().contains("ttl=added"));
        QVERIFY(!StoreSandbox::read().contains("act=addalert"));
        QCOMPARE(testStore().ruleCount(), 0);
    }

    void aStoreThatVanishedIsWrittenAsItWas()
    {
        StoreSandbox::write(TestData::storeBytes({{"Rent", "", 1, 1, 2027, 9, 0, 0, ""}}));
        testStore().loadTasks();
        QVERIFY(QFile::remove(kStoreFileName));
        QVERIFY(testStore().saveTasks().ok);
        QVERIFY(StoreSandbox::read().contains("ttl=Rent"));
        QVERIFY(!StoreSandbox::read().contains("act=addalert"));
    }

    void rulesSetBeforeTheFirstSaveStayTheOnlyOnes()
    {
        testStore().loadTasks();
        TestData::addRule(3, 65280, false);
        QVERIFY(testStore().saveTasks().ok);
        QCOMPARE(StoreSandbox::read().count("act=addalert"), 1);
        QVERIFY(StoreSandbox::read().contains(TestData::ruleBytes(3, "d", 65280, false)));
    }

    void aStoreAnotherProgramCreatedMeanwhileKeepsItsRules()
    {
        QVERIFY(testStore().loadTasks().fileMissing);
        // Written by someone else between the load and the first save.
        StoreSandbox::write(TestData::storeBytes({{"theirs", "", 1, 1, 2027, 9, 0, 0, ""}}));
        TestData::addTask(dueOn(QStringLiteral("ours"), kToday));
        const SaveResult saved = testStore().saveTasks();
        QVERIFY(saved.ok);
        const QByteArray file = StoreSandbox::read();
        QVERIFY(file.contains("ttl=theirs") && file.contains("ttl=ours"));
        QVERIFY(!file.contains("act=addalert"));
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
};

QTEST_GUILESS_MAIN(TestStarterRules)
#include "test_starterrules.moc"
