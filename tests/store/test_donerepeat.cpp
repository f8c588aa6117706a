// SPDX-License-Identifier: GPL-3.0-or-later
// Done and repeating tasks in the store: the two optional lines of a task
// record, the order that puts done tasks last, marking a task done, and the
// merge that counts the lines as part of the record.
#include "localzone.h"
#include "merge.h"
#include "module1.h"
#include "repeat.h"
#include "rules.h"
#include "storesandbox.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::StoredTask;
using TestData::storeBytes;

namespace {

// One task record as the writer lays it out, with the new lines after des=.
QByteArray record(const QByteArray &title, const QByteArray &extra)
{
    return "ttl=" + title + "\r\nfor=Me\r\nday=7\r\nmon=3\r\nyea=2027\r\nhou=9\r\nmin=5\r\nsec=0\r\ndes=d\r\n" + extra
        + "act=addtask\r\n\r\n";
}

QByteArray store(const QByteArray &records)
{
    return "; Quorvi\r\n; ----------\r\n; Tasks and settings\r\n; DO NOT MODIFY THIS FILE\r\n\r\n[Tasks]\r\n\r\n"
        + records + "[Alerts]\r\n\r\n\r\n";
}

QStringList titles()
{
    QStringList out;
    for (const Task &t : testStore().tasks())
        out << t.title;
    return out;
}

} // namespace

class TestDoneRepeat : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_box = std::make_unique<StoreSandbox>(); }
    void cleanup() { m_box.reset(); }

    void storesWithoutTheNewKeysStayAsTheyWere()
    {
        const QByteArray bytes = storeBytes({StoredTask{"Plain", "Me", 7, 3, 2027, 9, 5, 0, "a|~b"}},
                                            TestData::ruleBytes(3, "d", 255, true));
        StoreSandbox::write(bytes);
        QVERIFY(testStore().loadTasks().problems.isEmpty());
        QVERIFY(testStore().tasks()[0].doneText.isEmpty() && testStore().tasks()[0].repeatText.isEmpty() && !testStore().tasks()[0].done);
        QCOMPARE(testStore().storeText(), bytes);
    }

    void newLinesAreWrittenAfterTheDescriptionAndReadBack()
    {
        const QByteArray bytes = store(record("Done", "don=2027-03-07 09:05:00\r\n") + record("Monthly", "rep=1m@31\r\n")
                                       + record("Both", "don=2027-03-08 10:00:00\r\nrep=2w\r\n"));
        StoreSandbox::write(bytes);
        QVERIFY(testStore().loadTasks().problems.isEmpty());
        QCOMPARE(testStore().taskCount(), 3);
        QVERIFY(testStore().tasks()[0].done);
        QCOMPARE(testStore().tasks()[0].doneText, QStringLiteral("2027-03-07 09:05:00"));
        QVERIFY(!testStore().tasks()[1].done);
        QCOMPARE(testStore().tasks()[1].repeatText, QStringLiteral("1m@31"));
        QCOMPARE(testStore().tasks()[2].repeatText, QStringLiteral("2w"));
        QCOMPARE(testStore().storeText(), bytes);
        QVERIFY(testStore().saveTasks().ok);
        QCOMPARE(StoreSandbox::read(), bytes);
    }

    void theNewKeysDoNotCarryOver()
    {
        // Every other key does; these two stay with their own record.
        StoreSandbox::write("ttl=First\r\ndon=2027-03-07 09:05:00\r\nrep=1d\r\nact=addtask\r\n"
                            "ttl=Second\r\nact=addtask\r\n");
        testStore().loadTasks();
        QCOMPARE(testStore().taskCount(), 2);
        QVERIFY(testStore().tasks()[0].done);
        QCOMPARE(testStore().tasks()[0].repeatText, QStringLiteral("1d"));
        QVERIFY(!testStore().tasks()[1].done);
        QVERIFY(testStore().tasks()[1].doneText.isEmpty() && testStore().tasks()[1].repeatText.isEmpty());
        QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Second"));
    }

    void unreadableValuesAreReportedAndKept()
    {
        const QByteArray bytes = store(record("Often", "rep=often\r\n") + record("Someday", "don=someday\r\n"));
        StoreSandbox::write(bytes);
        const LoadReport report = testStore().loadTasks();
        QCOMPARE(report.problems.size(), 2);
        QVERIFY2(report.problems[0].startsWith(QStringLiteral("tasks.txt line 17: ")), qPrintable(report.problems[0]));
        QVERIFY(report.problems[0].contains(QStringLiteral("often")));
        QVERIFY(report.problems[1].contains(QStringLiteral("someday")));
        // Not repeating, not done, and the text stays until the task is changed.
        QVERIFY(!Repeat::parse(testStore().tasks()[0].repeatText));
        QVERIFY(!testStore().tasks()[1].done);
        QCOMPARE(testStore().storeText(), bytes);
    }

    void doneTasksGoLastInEveryOrder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("by title") << int(ByTitle) << QStringList{u"b"_s, u"d"_s, u"a"_s, u"c"_s};
        QTest::newRow("latest due first") << int(ByDueReversed) << QStringList{u"d"_s, u"b"_s, u"c"_s, u"a"_s};
        QTest::newRow("an order no header gives") << 5 << QStringList{u"b"_s, u"d"_s, u"a"_s, u"c"_s};
    }

    void doneTasksGoLastInEveryOrder()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, order);
        const char *names[] = {"a", "b", "c", "d"};
        for (int i = 0; i < 4; ++i) {
            Task t = TestData::task(QString::fromLatin1(names[i]), {}, 2027, 1, 1 + i);
            if (i % 2 == 0)
                t.doneText = QStringLiteral("2027-01-01 00:00:00");
            deriveFields(t);
            TestData::addTask(t);
        }
        testStore().setSortMode(qint16(mode));
        testStore().sortTasks();
        QCOMPARE(titles(), order);
    }

    void aDoneTaskIsChosenByNoRule()
    {
        TestData::addRule(1000, 255, true);
        Task t = TestData::task(QStringLiteral("Late"), {}, 2020, 1, 1);
        QVERIFY(Rules::choose(t, testStore().rules(), QDate(2027, 1, 1)).listed);
        t.doneText = QStringLiteral("2021-01-01 00:00:00");
        deriveFields(t);
        const Rules::Choice c = Rules::choose(t, testStore().rules(), QDate(2027, 1, 1));
        QVERIFY(!c.listed && !c.dueOrLate && c.color == 0);
    }

    void markingDoneAndNotDone()
    {
        TestData::addTask(TestData::task(QStringLiteral("Once"), {}, 2027, 3, 7, 9, 5, 0));
        QSignalSpy changed(&testStore(), &Module1::TaskStore::changed);
        const QDateTime now(QDate(2027, 3, 10), QTime(8, 30, 15));
        QCOMPARE(TestData::markDone(0, now), Marked::Done);
        QVERIFY(testStore().tasks()[0].done);
        QCOMPARE(testStore().tasks()[0].doneText, QStringLiteral("2027-03-10 08:30:15"));
        QCOMPARE(TestData::markDone(0, now), Marked::NotDone);
        QVERIFY(!testStore().tasks()[0].done && testStore().tasks()[0].doneText.isEmpty());
        QCOMPARE(changed.count(), 2);
        QCOMPARE(TestData::markDone(1, now), Marked::Unchanged);
        QCOMPARE(TestData::markDone(-1, now), Marked::Unchanged);
        QCOMPARE(changed.count(), 2);
    }

    void aRepeatingTaskMovesOnInstead()
    {
        // Monthly on the 31st, three months late: the next future month's
        // last day, the time of day kept, and still in the list.
        Task t = TestData::task(QStringLiteral("Rent"), {}, 2027, 1, 31, 9, 5, 0);
        t.repeatText = QStringLiteral("1m@31");
        TestData::addTask(t);
        const QDateTime now(QDate(2027, 4, 10), QTime(12, 0));
        QCOMPARE(TestData::markDone(0, now), Marked::MovedOn);
        QVERIFY(!testStore().tasks()[0].done && testStore().tasks()[0].doneText.isEmpty());
        QCOMPARE(Rules::dueMoment(testStore().tasks()[0]), QDateTime(QDate(2027, 4, 30), QTime(9, 5)));
        QCOMPARE(testStore().tasks()[0].sortKey, QStringLiteral("2027-04 - 30 09:05:00"));
        QCOMPARE(testStore().tasks()[0].repeatText, QStringLiteral("1m@31"));
        QCOMPARE(TestData::markDone(0, now), Marked::MovedOn);
        QCOMPARE(Rules::dueDate(testStore().tasks()[0]), QDate(2027, 5, 31));
        // An unreadable repetition is no repetition: the task is done.
        TestData::editTask(0, [&](Module1::Task &edited) { edited.repeatText = QStringLiteral("often"); });
        QCOMPARE(TestData::markDone(0, now), Marked::Done);
    }

    void markedAtItsVeryMomentItMovesPastIt()
    {
        // Due now, to the second: the next occurrence is one step on, never
        // the moment it is marked at.
        Task weekly = TestData::task(QStringLiteral("Bins"), {}, 2027, 3, 7, 9, 5, 0);
        weekly.repeatText = QStringLiteral("1w");
        TestData::addTask(weekly);
        QCOMPARE(TestData::markDone(0, QDateTime(QDate(2027, 3, 7), QTime(9, 5))), Marked::MovedOn);
        QCOMPARE(Rules::dueMoment(testStore().tasks()[0]), QDateTime(QDate(2027, 3, 14), QTime(9, 5)));
        // Several steps late, marked exactly at a later occurrence.
        QCOMPARE(TestData::markDone(0, QDateTime(QDate(2027, 4, 4), QTime(9, 5))), Marked::MovedOn);
        QCOMPARE(Rules::dueMoment(testStore().tasks()[0]), QDateTime(QDate(2027, 4, 11), QTime(9, 5)));
        // A time of day carried to the next day (hour 25) counts from the
        // moment it rolls over to.
        Task carried = TestData::task(QStringLiteral("Late"), {}, 2027, 3, 7, 25, 0, 0);
        carried.repeatText = QStringLiteral("1d");
        TestData::addTask(carried);
        QCOMPARE(TestData::markDone(1, QDateTime(QDate(2027, 3, 8), QTime(1, 0))), Marked::MovedOn);
        QCOMPARE(Rules::dueMoment(testStore().tasks()[1]), QDateTime(QDate(2027, 3, 9), QTime(1, 0)));
    }

    void aDailyTaskMovesOnToADayWhoseTimeTheClocksSkip()
    {
        // Clocks go from 2:00 to 3:00 on 8 March 2026: the 2:30 of that day
        // comes at 3:00, and it is still the next occurrence.
        const LocalZone zone("EST5EDT,M3.2.0,M11.1.0");
        Task t = TestData::task(QStringLiteral("Pills"), {}, 2026, 3, 7, 2, 30, 0);
        t.repeatText = QStringLiteral("1d");
        TestData::addTask(t);
        QCOMPARE(TestData::markDone(0, QDateTime(QDate(2026, 3, 7), QTime(9, 0))), Marked::MovedOn);
        QCOMPARE(Rules::dueDate(testStore().tasks()[0]), QDate(2026, 3, 8));
        QCOMPARE(Rules::dueMoment(testStore().tasks()[0]), QDateTime(QDate(2026, 3, 8), QTime(3, 0)));
    }

    void theMergeCountsTheNewLines()
    {
        Task plain = TestData::task(QStringLiteral("Rent"), QStringLiteral("Me"), 2027, 1, 31);
        Task done = plain;
        done.doneText = QStringLiteral("2027-02-01 08:00:00");
        deriveFields(done);
        const Records base{{plain}, {}};
        // Marked done here, untouched there: the done version wins.
        MergeOutcome out = mergeRecords(base, Records{{done}, {}}, base);
        QCOMPARE(out.merged.tasks.size(), std::size_t(1));
        QCOMPARE(out.merged.tasks[0].doneText, done.doneText);
        // Marked done here, set to repeat there: both versions are kept.
        Task repeating = plain;
        repeating.repeatText = QStringLiteral("1m@31");
        out = mergeRecords(base, Records{{done}, {}}, Records{{repeating}, {}});
        QCOMPARE(out.merged.tasks.size(), std::size_t(2));
        QCOMPARE(out.tasksKeptTwice, 1);
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
};

QTEST_GUILESS_MAIN(TestDoneRepeat)
#include "test_donerepeat.moc"
