// SPDX-License-Identifier: GPL-3.0-or-later
// From the due moment to the desktop: the scheduler (on a test clock) hands
// each reminder to the notification service on a private bus, or, where no
// service answers, to the tray icon, or to the alert window; the actions on
// a notification come back to the task list and the scheduler.
#include "announcer.h"
#include "desktopnotices.h"
#include "notice.h"
#include "notificationstandin.h"
#include "preferences.h"
#include "privatebus.h"
#include "scheduler.h"
#include "storesandbox.h"
#include "manualalarm.h"
#include "testclock.h"
#include "tray.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Reminders;
using TestData::task;

namespace {

QDateTime at(int h, int mi, int s = 0)
{
    return QDateTime(QDate(2030, 6, 15), QTime(h, mi, s));
}

// The windows as the announcer sees them: what it asked of them.
struct RecordingFront : Front {
    void showTask(const Module1::Task &task) override { shown << task.title; }
    void showInAlertWindow(const Module1::Task &task) override { inAlertWindow << task.title; }
    void newDay(QDate today) override { days << today; }
    void markTaskDone(const Module1::Task &task) override { done << task.title; }
    QStringList shown, inAlertWindow, done;
    QList<QDate> days;
};

// A desktop with a tray: the real tray's menu and signals, with the icon's
// balloon recorded instead of drawn (the tests run without a desktop).
struct DesktopTray : Tray {
    bool ensureShown() override { return true; }
    void showMessage(const QString &summary, const QString &body) override { messages.append({summary, body}); }
    QList<std::pair<QString, QString>> messages;
};

// The whole way from the scheduler to a notification service on a private
// bus, with the windows recorded.
struct Rig {
    Rig(Module1::TaskStore &store, PrivateBus &bus)
        : serving(service.serveOn(bus.connect(QStringLiteral("service")))), scheduler(store, alarm),
          notices(bus.connect(QStringLiteral("client")))
    {
    }
    NotificationStandIn service;
    bool serving;
    ManualAlarm alarm;
    Scheduler scheduler;
    DesktopNotices notices;
    RecordingFront front;
    Announcer announcer{scheduler, notices, nullptr, front};
};

} // namespace

class TestAnnouncer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<StoreSandbox>();
        m_bus = std::make_unique<PrivateBus>();
        QVERIFY2(m_bus->isRunning(), "dbus-daemon did not start");
    }
    void cleanup()
    {
        m_bus.reset();
        m_sandbox.reset();
    }

    void dueMomentBecomesANotification()
    {
        TestClock clock(at(8, 0));
        TestData::addTask(task(QStringLiteral("Dentist"), QStringLiteral("Me"), 2030, 6, 15, 9, 15));
        Rig rig(testStore(), *m_bus);
        QVERIFY(rig.serving);
        auto &[service, serving, alarm, scheduler, notices, front, announcer] = rig;
        scheduler.start();
        clock.advanceTo(at(9, 14, 59), alarm);
        QTest::qWait(100);
        QCOMPARE(service.calls.size(), 0);
        clock.advanceTo(at(9, 15), alarm);
        QTRY_COMPARE(service.calls.size(), 1);
        QCOMPARE(service.calls[0].summary, QStringLiteral("Dentist"));
        QCOMPARE(service.calls[0].body, Notice::textFor(testStore().tasks()[0]).body);
        QVERIFY(service.calls[0].body.startsWith(QStringLiteral("For: Me\nDue: ")));
        QCOMPARE(service.calls[0].actions, Notice::actions(10));
        QVERIFY(front.inAlertWindow.isEmpty());
    }

    void showOpensTheListAndInTenMinutesComesBack()
    {
        TestClock clock(at(8, 0));
        TestData::addTask(task(QStringLiteral("Water the plants"), QStringLiteral("Home"), 2030, 6, 15, 9));
        Rig rig(testStore(), *m_bus);
        QVERIFY(rig.serving);
        auto &[service, serving, alarm, scheduler, notices, front, announcer] = rig;
        scheduler.start();
        clock.advanceTo(at(9, 0, 3), alarm);
        QTRY_COMPARE(service.calls.size(), 1);
        QTRY_VERIFY(notices.isOpen(service.calls[0].id)); // the reply with the id is back

        service.invokeAction(service.calls[0].id, Notice::kSnoozeAction);
        QTRY_COMPARE(scheduler.snoozed().size(), 1);
        QCOMPARE(alarm.armed, at(9, 10, 3));
        clock.advanceTo(at(9, 10, 2), alarm);
        QTest::qWait(100);
        QCOMPARE(service.calls.size(), 1);
        clock.advanceTo(at(9, 10, 3), alarm);
        QTRY_COMPARE(service.calls.size(), 2);
        // The same notification again.
        QCOMPARE(service.calls[1].summary, service.calls[0].summary);
        QCOMPARE(service.calls[1].body, service.calls[0].body);
        QCOMPARE(service.calls[1].actions, service.calls[0].actions);
        QVERIFY(service.calls[1].id != service.calls[0].id);
        QTRY_VERIFY(notices.isOpen(service.calls[1].id));

        service.invokeAction(service.calls[1].id, Notice::kShowAction);
        QTRY_COMPARE(front.shown, QStringList({u"Water the plants"_s}));
        QVERIFY(front.done.isEmpty());
        service.invokeAction(service.calls[1].id, Notice::kDoneAction);
        QTRY_COMPARE(front.done, QStringList({u"Water the plants"_s}));
    }

    void putOffLastsAsLongAsItsButtonSaid_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("caption");
        QTest::newRow("5 minutes") << 5 << "In 5 minutes";
        QTest::newRow("30 minutes") << 30 << "In 30 minutes";
        QTest::newRow("1 hour") << 60 << "In 1 hour";
        QTest::newRow("4 hours") << 240 << "In 4 hours";
    }

    void putOffLastsAsLongAsItsButtonSaid()
    {
        QFETCH(int, minutes);
        QFETCH(QString, caption);
        TestClock clock(at(8, 0));
        TestData::addTask(task(QStringLiteral("Stretch"), {}, 2030, 6, 15, 9));
        Preferences::setRemindAgainMinutes(minutes);
        Rig rig(testStore(), *m_bus);
        QVERIFY(rig.serving);
        auto &[service, serving, alarm, scheduler, notices, front, announcer] = rig;
        scheduler.start();
        clock.advanceTo(at(9, 0, 3), alarm);
        QTRY_COMPARE(service.calls.size(), 1);
        const QStringList actions = service.calls[0].actions;
        QCOMPARE(actions.at(actions.indexOf(Notice::kSnoozeAction) + 1), caption);
        QTRY_VERIFY(notices.isOpen(service.calls[0].id));

        // Changed in the menu meanwhile: the reminder keeps its word.
        Preferences::setRemindAgainMinutes(minutes == 5 ? 240 : 5);
        service.invokeAction(service.calls[0].id, Notice::kSnoozeAction);
        QTRY_COMPARE(scheduler.snoozed().size(), 1);
        const QDateTime back = at(9, 0, 3).addSecs(minutes * 60);
        QCOMPARE(scheduler.snoozed().at(0).at, back);
        clock.advanceTo(back.addSecs(-1), alarm);
        QTest::qWait(50);
        QCOMPARE(service.calls.size(), 1);
        clock.advanceTo(back, alarm);
        QTRY_COMPARE(service.calls.size(), 2);
        QCOMPARE(service.calls[1].summary, QStringLiteral("Stretch"));
        // The next one offers what the menu says now.
        QCOMPARE(service.calls[1].actions.at(actions.indexOf(Notice::kSnoozeAction) + 1),
                 Preferences::remindAgainCaption(minutes == 5 ? 240 : 5));
    }

    void tomorrowComesBackAtTheSameTimeTheNextDay()
    {
        TestClock clock(at(8, 0));
        TestData::addTask(task(QStringLiteral("Call Mum"), {}, 2030, 6, 15, 9));
        Rig rig(testStore(), *m_bus);
        QVERIFY(rig.serving);
        auto &[service, serving, alarm, scheduler, notices, front, announcer] = rig;
        scheduler.start();
        clock.advanceTo(at(9, 0), alarm);
        QTRY_COMPARE(service.calls.size(), 1);
        QVERIFY(service.calls[0].actions.contains(QStringLiteral("Tomorrow")));
        QTRY_VERIFY(notices.isOpen(service.calls[0].id));
        // Put off late in the evening: back at that time the next day.
        clock.advanceTo(at(21, 45), alarm);
        service.invokeAction(service.calls[0].id, Notice::kTomorrowAction);
        QTRY_COMPARE(scheduler.snoozed().size(), 1);
        const QDateTime back(QDate(2030, 6, 16), QTime(21, 45));
        clock.advanceTo(back.addSecs(-1), alarm);
        QCOMPARE(front.days, QList<QDate>({QDate(2030, 6, 16)}));
        QTest::qWait(50);
        QCOMPARE(service.calls.size(), 1);
        clock.advanceTo(back, alarm);
        QTRY_COMPARE(service.calls.size(), 2);
        QCOMPARE(service.calls[1].summary, QStringLiteral("Call Mum"));
    }

    void noServiceFallsBackToTheTray()
    {
        TestClock clock(at(8, 0));
        TestData::addTask(task(QStringLiteral("Pay rent"), QStringLiteral("Landlord"), 2030, 6, 15, 9));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        DesktopNotices notices(m_bus->connect(QStringLiteral("client")));
        DesktopTray tray;
        RecordingFront front;
        Announcer announcer(scheduler, notices, &tray, front);
        scheduler.start();
        clock.advanceTo(at(9, 0), alarm);
        QTRY_COMPARE(tray.messages.size(), 1);
        QCOMPARE(tray.messages[0].first, QStringLiteral("Pay rent"));
        QCOMPARE(tray.messages[0].second, Notice::textFor(testStore().tasks()[0]).body);
        QVERIFY(front.inAlertWindow.isEmpty());
        // A click on the balloon opens the list at the task.
        Q_EMIT tray.messageClicked();
        QCOMPARE(front.shown, QStringList({u"Pay rent"_s}));
    }

    void noServiceAndNoTrayFallsBackToTheAlertWindow()
    {
        TestClock clock(at(8, 0));
        TestData::addTask(task(QStringLiteral("Pay rent"), {}, 2030, 6, 15, 9));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        DesktopNotices notices(m_bus->connect(QStringLiteral("client")));
        Tray tray; // the real one: the tests have no desktop, so no tray
        RecordingFront front;
        Announcer announcer(scheduler, notices, &tray, front);
        scheduler.start();
        clock.advanceTo(at(9, 0), alarm);
        QTRY_COMPARE(front.inAlertWindow, QStringList({u"Pay rent"_s}));
        QVERIFY(!tray.isShown());
    }

    void theDayChangeReachesTheWindows()
    {
        TestClock clock(at(23, 0));
        ManualAlarm alarm;
        Scheduler scheduler(testStore(), alarm);
        DesktopNotices notices(m_bus->connect(QStringLiteral("client")));
        RecordingFront front;
        Announcer announcer(scheduler, notices, nullptr, front);
        scheduler.start();
        clock.advanceTo(QDateTime(QDate(2030, 6, 16), QTime(0, 0, 1)), alarm);
        QCOMPARE(front.days, QList<QDate>({QDate(2030, 6, 16)}));
    }

    void trayMessageReachesAMarkupReadingServiceEscaped()
    {
        // Qt draws its own balloon as plain text, but in a StatusNotifier
        // tray it hands the message to the notification service as it is.
        Tray tray(m_bus->connect(QStringLiteral("tray")));
        const QString body = QStringLiteral("For: <a href=\"https://example.org/\">R&D</a>\nDue: 1 Jan 2030");
        QCOMPARE(tray.messageBody(body), body);
        QDBusConnection desktop = m_bus->connect(QStringLiteral("desktop"));
        QVERIFY(desktop.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
        QCOMPARE(tray.messageBody(body),
                 QStringLiteral("For: &lt;a href=&quot;https://example.org/&quot;&gt;R&amp;D&lt;/a&gt;\nDue: 1 Jan 2030"));
    }

    void trayMenuOffersShowAllAndExit()
    {
        Tray tray;
        QSignalSpy showAll(&tray, &Tray::showAllRequested);
        QSignalSpy exit(&tray, &Tray::exitRequested);
        const QList<QAction *> actions = tray.menu()->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->text(), QStringLiteral("&Show all..."));
        QCOMPARE(actions[1]->text(), QStringLiteral("&Exit"));
        actions[0]->trigger();
        QCOMPARE(showAll.count(), 1);
        QCOMPARE(exit.count(), 0);
        actions[1]->trigger();
        QCOMPARE(exit.count(), 1);
    }

private:
    std::unique_ptr<StoreSandbox> m_sandbox;
    std::unique_ptr<PrivateBus> m_bus;
};

QTEST_MAIN(TestAnnouncer)
#include "test_announcer.moc"
