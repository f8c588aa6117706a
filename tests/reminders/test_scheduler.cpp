// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler.h"
#include "storesandbox.h"
#include "manualalarm.h"
#include "testclock.h"
#include "localzone.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <ctime>

using namespace Qt::StringLiterals;
using Reminders::Scheduler;
using TestData::task;

namespace {

// Clocks go from 2:00 straight to 3:00 on 8 March 2026 and from 2:00 back to
// 1:00 on 1 November 2026.
constexpr const char *kNewYorkRules = "EST5EDT,M3.2.0,M11.1.0";

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

QStringList titles(const QList<Module1::Task> &tasks)
{
    QStringList out;
    for (const Module1::Task &t : tasks)
        out << t.title;
    return out;
}

QStringList dueTitles(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &call : spy)
        out << call.at(0).value<Module1::Task>().title;
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Module1::Task)

class TestScheduler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<Module1::Task>(); }
    void init() { m_sandbox = std::make_unique<StoreSandbox>(); }
    void cleanup() { m_sandbox.reset(); }

    void nextDueMomentAmongManyTasks()
    {
        const QDateTime from = at(2030, 6, 15, 12, 0, 0);
        std::vector<Module1::Task> tasks;
        auto *random = QRandomGenerator::global();
        for (int i = 0; i < 1000; ++i) {
            // Spread over two years either side, none in the hour after
            // `from` nor in the two days before it.
            const bool before = random->bounded(2);
            qint64 minutes = random->bounded(before ? 2 * 24 * 60 : 60, 2 * 365 * 24 * 60);
            if (before)
                minutes = -minutes;
            const QDateTime m = from.addSecs(minutes * 60);
            tasks.push_back(task(QStringLiteral("t%1").arg(i), {}, m.date().year(), m.date().month(),
                                 m.date().day(), m.time().hour(), m.time().minute()));
        }
        // Written the way people type: hour 25 of the 14th is 1:00 on the 15th,
        // and minute 90 past 11 is 12:30.
        tasks.push_back(task(QStringLiteral("rolled"), {}, 2030, 6, 14, 25, 0));
        tasks.push_back(task(QStringLiteral("soonest"), {}, 2030, 6, 15, 11, 90));
        QCOMPARE(Reminders::nextDueMoment(tasks, from), at(2030, 6, 15, 12, 30));
        QCOMPARE(Reminders::nextDueMoment(tasks, at(2030, 6, 14, 23, 0)), at(2030, 6, 15, 1, 0));
        // A moment equal to `from` counts.
        QCOMPARE(Reminders::nextDueMoment(tasks, at(2030, 6, 15, 12, 30)), at(2030, 6, 15, 12, 30));
        QVERIFY(!Reminders::nextDueMoment({}, from).isValid());
        QVERIFY(!Reminders::nextDueMoment(tasks, from.addYears(5)).isValid());
    }

    void dueBetweenIsInclusiveAndInDueOrder()
    {
        const std::vector<Module1::Task> tasks = {
            task(QStringLiteral("late"), {}, 2030, 1, 1, 9, 0, 1), task(QStringLiteral("first"), {}, 2030, 1, 1, 8),
            task(QStringLiteral("before"), {}, 2030, 1, 1, 7, 59, 59), task(QStringLiteral("tie"), {}, 2030, 1, 1, 8),
            task(QStringLiteral("edge"), {}, 2030, 1, 1, 9)};
        QCOMPARE(titles(Reminders::dueBetween(tasks, at(2030, 1, 1, 8), at(2030, 1, 1, 9))),
                 QStringList({u"first"_s, u"tie"_s, u"edge"_s}));
        QVERIFY(Reminders::dueBetween(tasks, at(2030, 1, 2), at(2030, 1, 3)).isEmpty());
    }

    void nextDayStartAndEarliest()
    {
        QCOMPARE(Reminders::nextDayStart(at(2030, 12, 31, 23, 59, 59)), at(2031, 1, 1));
        QCOMPARE(Reminders::nextDayStart(at(2030, 3, 1)), at(2030, 3, 2));
        QCOMPARE(Reminders::earliest({QDateTime(), at(2030, 1, 2), at(2030, 1, 1)}), at(2030, 1, 1));
        QVERIFY(!Reminders::earliest({QDateTime(), QDateTime()}).isValid());

        // A day whose midnight the clocks skip (Santiago moved them from
        // midnight to one o'clock on 11 September 2022) starts at one.
        if (!QTimeZone("America/Santiago").isValid())
            QSKIP("no time zone data for America/Santiago");
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "America/Santiago");
        ::tzset();
        const QDateTime next = Reminders::nextDayStart(QDateTime(QDate(2022, 9, 10), QTime(20, 0)));
        const bool valid = next.isValid();
        const QDate date = next.date();
        const QTime time = next.time();
        qputenv("TZ", zone);
        ::tzset();
        QVERIFY(valid);
        QCOMPARE(date, QDate(2022, 9, 11));
        QCOMPARE(time, QTime(1, 0));
    }

    void sleepsUntilTheNextDueMomentAndAnnouncesIt()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        TestData::addTask(task(QStringLiteral("yesterday"), {}, 2030, 6, 14, 9));
        TestData::addTask(task(QStringLiteral("standup"), QStringLiteral("Team"), 2030, 6, 15, 9, 30));
        TestData::addTask(task(QStringLiteral("lunch"), {}, 2030, 6, 15, 12));
        TestData::addTask(task(QStringLiteral("also standup"), {}, 2030, 6, 15, 9, 30));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        // Nothing past is announced; the alarm waits for 9:30.
        QCOMPARE(due.count(), 0);
        QCOMPARE(alarm.armed, at(2030, 6, 15, 9, 30));

        clock.advanceTo(at(2030, 6, 15, 9, 31), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"standup"_s, u"also standup"_s}));
        QCOMPARE(due.at(0).at(0).value<Module1::Task>().forWhom, QStringLiteral("Team"));
        QCOMPARE(alarm.armed, at(2030, 6, 15, 12, 0));
        clock.advanceTo(at(2030, 6, 15, 12, 0, 30), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"standup"_s, u"also standup"_s, u"lunch"_s}));
        // With nothing left today, it wakes at midnight only.
        QCOMPARE(alarm.armed, at(2030, 6, 16));
    }

    void doneTasksAreNeverAnnounced()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        Module1::Task done = task(QStringLiteral("done already"), {}, 2030, 6, 15, 9);
        done.doneText = QStringLiteral("2030-06-14 18:00:00");
        Module1::deriveFields(done);
        TestData::addTask(done);
        TestData::addTask(task(QStringLiteral("snoozed, then done"), {}, 2030, 6, 15, 10));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        // The done task does not even wake it.
        QCOMPARE(alarm.armed, at(2030, 6, 15, 10));
        clock.advanceTo(at(2030, 6, 15, 10, 0, 1), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"snoozed, then done"_s}));
        scheduler.putOff(testStore().tasks()[1], clock.now().addSecs(600));
        QCOMPARE(TestData::markDone(1, clock.now()), Module1::Marked::Done);
        clock.advanceTo(at(2030, 6, 15, 10, 11), alarm);
        QCOMPARE(due.count(), 1);
        QVERIFY(scheduler.snoozed().isEmpty());
    }

    void aTaskDueExactlyNowIsAnnounced()
    {
        TestClock clock(at(2030, 6, 15, 9, 0));
        TestData::addTask(task(QStringLiteral("now"), {}, 2030, 6, 15, 9, 0));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        QCOMPARE(dueTitles(due), QStringList({u"now"_s}));
        QVERIFY(alarm.armed > clock.now());

        // And one that an edit makes due this very second.
        clock.set(at(2030, 6, 15, 10, 0));
        TestData::editTask(0, [&](Module1::Task &edited) { edited = task(QStringLiteral("edited to now"), {}, 2030, 6, 15, 10, 0); });
        Q_EMIT testStore().changed();
        QCOMPARE(dueTitles(due), QStringList({u"now"_s, u"edited to now"_s}));
    }

    void aTaskInASkippedHourIsAnnouncedOnceWhenTheGapEnds()
    {
        const LocalZone zone(kNewYorkRules);
        TestClock clock(at(2026, 3, 8, 1, 0));
        TestData::addTask(task(QStringLiteral("skipped"), {}, 2026, 3, 8, 2, 30));
        TestData::addTask(task(QStringLiteral("after"), {}, 2026, 3, 8, 3, 15));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        QCOMPARE(alarm.armed, at(2026, 3, 8, 3, 0));
        clock.advanceTo(at(2026, 3, 8, 3, 5), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"skipped"_s}));
        clock.advanceTo(at(2026, 3, 9, 12, 0), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"skipped"_s, u"after"_s}));
    }

    void aTaskInARepeatedHourIsAnnouncedOnceAtItsFirstPass()
    {
        const LocalZone zone(kNewYorkRules);
        const QDateTime firstPass = QDateTime(QDate(2026, 11, 1), QTime(5, 30), Qt::UTC).toLocalTime();
        TestClock clock(at(2026, 10, 31, 22, 0));
        TestData::addTask(task(QStringLiteral("repeated"), {}, 2026, 11, 1, 1, 30));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QList<QDateTime> announcedAt;
        connect(&scheduler, &Scheduler::due, this, [&] { announcedAt << clock.now(); });
        scheduler.start();
        clock.advanceTo(at(2026, 11, 1, 0, 30), alarm);
        // Whatever else works out a local time meanwhile (here a time in
        // standard time, as a list of tasks due in December does) makes no
        // difference to which half past one it is.
        QCOMPARE(QDateTime(QDate(2026, 12, 1), QTime(1, 30)).offsetFromUtc(), -5 * 3600);
        // Through both half past ones, into the next day.
        clock.advanceTo(at(2026, 11, 2, 12, 0), alarm);
        QCOMPARE(announcedAt, QList<QDateTime>({firstPass}));
    }

    void rearmsAfterAnEdit()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        TestData::addTask(task(QStringLiteral("a"), {}, 2030, 6, 15, 17));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        QCOMPARE(alarm.armed, at(2030, 6, 15, 17));

        TestData::editTask(0, [&](Module1::Task &edited) { edited.hour = 10; });
        Q_EMIT testStore().changed();
        QCOMPARE(alarm.armed, at(2030, 6, 15, 10));

        // Edited to a moment already gone: past, as at start, not announced.
        clock.set(at(2030, 6, 15, 9, 0));
        TestData::editTask(0, [&](Module1::Task &edited) { edited.hour = 8; });
        TestData::editTask(0, [&](Module1::Task &edited) { edited.minute = 30; });
        Q_EMIT testStore().changed();
        QCOMPARE(due.count(), 0);
        QCOMPARE(alarm.armed, at(2030, 6, 16));
    }

    void rearmsAfterAReload()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        TestData::saveStore({task(QStringLiteral("from the file"), {}, 2030, 6, 20, 14)}, {});
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        scheduler.start();
        QCOMPARE(alarm.armed, at(2030, 6, 16)); // the tables are still empty

        testStore().reloadInListOrder();
        QCOMPARE(alarm.armed, at(2030, 6, 16)); // midnight comes first
        clock.advanceTo(at(2030, 6, 19, 12, 0), alarm);
        QCOMPARE(alarm.armed, at(2030, 6, 20));
        clock.advanceTo(at(2030, 6, 20, 0, 0), alarm);
        QCOMPARE(alarm.armed, at(2030, 6, 20, 14));

        TestData::saveStore({task(QStringLiteral("rewritten"), {}, 2030, 6, 20, 6)}, {});
        testStore().reloadInListOrder();
        QCOMPARE(alarm.armed, at(2030, 6, 20, 6));
    }

    void rearmsAfterADeletion()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        TestData::addTask(task(QStringLiteral("first"), {}, 2030, 6, 15, 9));
        TestData::addTask(task(QStringLiteral("second"), {}, 2030, 6, 15, 11));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        QCOMPARE(alarm.armed, at(2030, 6, 15, 9));
        QVERIFY(testStore().removeTask(testStore().tasks()[0].id).ok());
        QCOMPARE(alarm.armed, at(2030, 6, 15, 11));
        clock.advanceTo(at(2030, 6, 15, 12), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"second"_s}));
    }

    void aReloadAtTheDueMomentDoesNotSwallowTheReminder()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        TestData::addTask(task(QStringLiteral("at nine"), {}, 2030, 6, 15, 9));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        // The moment has come, but the tables change before the alarm's
        // wake-up is delivered.
        clock.set(at(2030, 6, 15, 9, 0, 0).addMSecs(40));
        Q_EMIT testStore().changed();
        QCOMPARE(dueTitles(due), QStringList({u"at nine"_s}));
        alarm.ring(); // delivered late: nothing twice
        QCOMPARE(due.count(), 1);
    }

    void wakesOnlyAtMidnightsAndTheDueMoment()
    {
        // A month of waiting costs one wake-up a day and nothing between.
        TestClock clock(at(2030, 6, 1, 10, 0));
        TestData::addTask(task(QStringLiteral("next month"), {}, 2030, 7, 1, 10, 0));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        QSignalSpy days(&scheduler, &Scheduler::dayChanged);
        scheduler.start();
        clock.advanceTo(at(2030, 7, 1, 10, 0, 1), alarm);
        QCOMPARE(alarm.rings, 31); // 30 midnights and the due moment
        QCOMPARE(days.count(), 30);
        QCOMPARE(dueTitles(due), QStringList({u"next month"_s}));
        QCOMPARE(alarm.setCount, 1 + 31);
    }

    void theDayChange()
    {
        TestClock clock(at(2030, 12, 31, 23, 0));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy days(&scheduler, &Scheduler::dayChanged);
        scheduler.start();
        QCOMPARE(alarm.armed, at(2031, 1, 1));
        clock.advanceTo(at(2030, 12, 31, 23, 59, 59), alarm);
        QCOMPARE(days.count(), 0);
        clock.advanceTo(at(2031, 1, 1, 0, 0, 5), alarm);
        QCOMPARE(days.count(), 1);
        QCOMPARE(days.at(0).at(0).toDate(), QDate(2031, 1, 1));
        QCOMPARE(scheduler.day(), QDate(2031, 1, 1));
        QCOMPARE(alarm.armed, at(2031, 1, 2));
    }

    void aClockSetForwardCatchesUp()
    {
        // Also what a machine waking from a night's sleep looks like.
        TestClock clock(at(2030, 6, 15, 22, 0));
        TestData::addTask(task(QStringLiteral("overnight"), {}, 2030, 6, 16, 3));
        TestData::addTask(task(QStringLiteral("morning"), {}, 2030, 6, 16, 9));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        QSignalSpy days(&scheduler, &Scheduler::dayChanged);
        scheduler.start();
        clock.jumpTo(at(2030, 6, 16, 7, 0), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"overnight"_s}));
        QCOMPARE(days.count(), 1);
        QCOMPARE(days.at(0).at(0).toDate(), QDate(2030, 6, 16));
        QCOMPARE(alarm.armed, at(2030, 6, 16, 9));
    }

    void aClockSetBackRearmsFromTheClock()
    {
        TestClock clock(at(2030, 6, 16, 9, 30));
        TestData::addTask(task(QStringLiteral("at ten"), {}, 2030, 6, 16, 10));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        QSignalSpy days(&scheduler, &Scheduler::dayChanged);
        scheduler.start();
        clock.advanceTo(at(2030, 6, 16, 10, 5), alarm);
        QCOMPARE(due.count(), 1);

        // The clock was an hour and a day fast: ten o'clock comes round again,
        // and is announced when it does, and the day changes back.
        clock.jumpTo(at(2030, 6, 15, 9, 5), alarm);
        QCOMPARE(days.count(), 1);
        QCOMPARE(days.at(0).at(0).toDate(), QDate(2030, 6, 15));
        QCOMPARE(alarm.armed, at(2030, 6, 16));
        clock.advanceTo(at(2030, 6, 16, 10, 0), alarm);
        QCOMPARE(due.count(), 2);
    }

    void snoozedReminderComesBackTenMinutesLater()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        TestData::addTask(task(QStringLiteral("call"), QStringLiteral("Ann"), 2030, 6, 15, 9));
        TestData::addTask(task(QStringLiteral("later on"), {}, 2030, 6, 15, 11));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        clock.advanceTo(at(2030, 6, 15, 9, 0, 2), alarm);
        QCOMPARE(due.count(), 1);
        scheduler.putOff(due.at(0).at(0).value<Module1::Task>(), clock.now().addSecs(600));
        QCOMPARE(alarm.armed, at(2030, 6, 15, 9, 10, 2));

        // Kept in memory only, and through a reload that reads the task back.
        QVERIFY(testStore().saveTasks().ok);
        testStore().reloadInListOrder();
        QCOMPARE(alarm.armed, at(2030, 6, 15, 9, 10, 2));
        clock.advanceTo(at(2030, 6, 15, 9, 10, 1), alarm);
        QCOMPARE(due.count(), 1);
        clock.advanceTo(at(2030, 6, 15, 9, 10, 2), alarm);
        QCOMPARE(dueTitles(due), QStringList({u"call"_s, u"call"_s}));
        QCOMPARE(due.at(1).at(0).value<Module1::Task>().forWhom, QStringLiteral("Ann"));
        QVERIFY(scheduler.snoozed().isEmpty());
        QCOMPARE(alarm.armed, at(2030, 6, 15, 11, 0));

        // A task deleted since it was put off is not announced again.
        scheduler.putOff(testStore().tasks()[0], clock.now().addSecs(600));
        QVERIFY(testStore().removeTask(testStore().tasks()[0].id).ok());
        clock.advanceTo(at(2030, 6, 15, 9, 20, 3), alarm);
        QCOMPARE(due.count(), 2);
        QVERIFY(scheduler.snoozed().isEmpty());
    }

    void aSnoozedRepeatingTaskMarkedDoneStaysQuiet()
    {
        TestClock clock(at(2030, 6, 15, 8, 0));
        Module1::Task rent = task(QStringLiteral("rent"), {}, 2030, 6, 15, 9);
        rent.repeatText = QStringLiteral("1m@15");
        TestData::addTask(rent);
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        QSignalSpy due(&scheduler, &Scheduler::due);
        scheduler.start();
        clock.advanceTo(at(2030, 6, 15, 9, 0, 1), alarm);
        QCOMPARE(due.count(), 1);
        scheduler.putOff(testStore().tasks()[0], clock.now().addSecs(600));
        // Done moves it on to 15 July; the put-off June reminder is over.
        QCOMPARE(TestData::markDone(0, clock.now()), Module1::Marked::MovedOn);
        clock.advanceTo(at(2030, 6, 15, 9, 11), alarm);
        QCOMPARE(due.count(), 1);
        QCOMPARE(alarm.armed, at(2030, 6, 16));
    }

private:
    std::unique_ptr<StoreSandbox> m_sandbox;
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "test_scheduler.moc"
