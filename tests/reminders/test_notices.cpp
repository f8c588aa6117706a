// SPDX-License-Identifier: GPL-3.0-or-later
// What a reminder says, and the notifications themselves on a private bus
// with a stand-in notification service that records every call.
#include "calendar.h"
#include "desktopnotices.h"
#include "notice.h"
#include "notificationstandin.h"
#include "privatebus.h"
#include "storesandbox.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using Reminders::DesktopNotices;
using TestData::task;

Q_DECLARE_METATYPE(Module1::Task)

namespace {

Module1::Task taskOf(const QSignalSpy &spy, int i)
{
    return spy.at(i).at(0).value<Module1::Task>();
}

} // namespace

class TestNotices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<Module1::Task>(); }

    void init()
    {
        m_bus = std::make_unique<PrivateBus>();
        QVERIFY2(m_bus->isRunning(), "dbus-daemon did not start");
    }
    void cleanup() { m_bus.reset(); }

    void textSaysTitleForWhomAndWhen()
    {
        const Module1::Task t = task(QStringLiteral("Quarterly report"), QStringLiteral("Finance team"), 2027, 3, 7, 9, 5);
        const Notice::Text text = Notice::textFor(t);
        QCOMPARE(text.summary, QStringLiteral("Quarterly report"));
        QCOMPARE(text.body, QStringLiteral("For: Finance team\nDue: ") + t.dueText);

        // Nobody in particular: only when. No title: still something to read.
        const Notice::Text bare = Notice::textFor(task(QString(), QStringLiteral("  "), 2027, 2, 31, 24, 0));
        QCOMPARE(bare.summary, QStringLiteral("(a task without a title)"));
        // The due text is the list's, word for word, and names the moment
        // the reminder comes: day 31 of February is 3 March, and hour 24 of
        // it the start of 4 March.
        QCOMPARE(bare.body, QStringLiteral("Due: ") + task({}, {}, 2027, 3, 4, 0, 0).dueText);
        QVERIFY(bare.body.contains(QLocale().toString(QDate(2027, 3, 4), QLocale::ShortFormat)));
    }

    void rowOfFindsTheTaskWhereverItMoved()
    {
        const std::vector<Module1::Task> tasks = {
            task(QStringLiteral("b"), QStringLiteral("x"), 2030, 1, 1, 9),
            task(QStringLiteral("a"), QStringLiteral("x"), 2030, 1, 1, 8),
            task(QStringLiteral("a"), QStringLiteral("x"), 2030, 1, 1, 9)};
        QCOMPARE(Notice::rowOf(task(QStringLiteral("a"), QStringLiteral("x"), 2030, 1, 1, 9), tasks), 3);
        // Its time was edited since: the same title and for-whom text will do.
        QCOMPARE(Notice::rowOf(task(QStringLiteral("a"), QStringLiteral("x"), 2030, 1, 1, 7), tasks), 2);
        QCOMPARE(Notice::rowOf(task(QStringLiteral("a"), QStringLiteral("y"), 2030, 1, 1, 8), tasks), std::nullopt);
    }

    void notifiesWithSummaryBodyAndActions()
    {
        NotificationStandIn service;
        QVERIFY(service.serveOn(m_bus->connect(QStringLiteral("service"))));
        DesktopNotices notices(m_bus->connect(QStringLiteral("client")));
        const Module1::Task t = task(QStringLiteral("Call the plumber"), QStringLiteral("Home & garden"), 2030, 6, 15, 9);
        notices.announce(t);
        QTRY_COMPARE(service.calls.size(), 1);
        const NotificationStandIn::Call &call = service.calls.at(0);
        QCOMPARE(call.appName, QStringLiteral("Quorvi"));
        QCOMPARE(call.appIcon, QStringLiteral("quorvi"));
        QCOMPARE(call.replacesId, 0u);
        QCOMPARE(call.summary, QStringLiteral("Call the plumber"));
        // This service reads no markup, so the text goes as it is.
        QCOMPARE(call.body, Notice::textFor(t).body);
        QVERIFY(call.body.startsWith(QStringLiteral("For: Home & garden\nDue: ")));
        QCOMPARE(call.actions, QStringList({u"default"_s, u"Show"_s, u"show"_s, u"Show"_s, u"snooze"_s, u"In 10 minutes"_s,
                                            u"tomorrow"_s, u"Tomorrow"_s, u"done"_s, u"Done"_s}));
        QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("org.quorvi.Quorvi"));
        QCOMPARE(call.expireTimeout, 0);
    }

    void escapesTheBodyForAServiceThatReadsMarkup()
    {
        NotificationStandIn service({QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")});
        QVERIFY(service.serveOn(m_bus->connect(QStringLiteral("service"))));
        DesktopNotices notices(m_bus->connect(QStringLiteral("client")));
        notices.announce(task(QStringLiteral("<b>not bold</b>"), QStringLiteral("R&D <b>3</b> > 2"), 2030, 6, 15, 9));
        notices.announce(task(QStringLiteral("second"), {}, 2030, 6, 15, 9));
        QTRY_COMPARE(service.calls.size(), 2);
        QVERIFY(service.calls[0].body.startsWith(QStringLiteral("For: R&amp;D &lt;b&gt;3&lt;/b&gt; &gt; 2\n")));
        // The summary is plain text by the protocol, markup or not.
        QCOMPARE(service.calls[0].summary, QStringLiteral("<b>not bold</b>"));
        // What the service can do is asked once, not for every reminder.
        QCOMPARE(service.capabilityQuestions, 1);
    }

    void actionsComeBackForTheirOwnTask()
    {
        NotificationStandIn service;
        QVERIFY(service.serveOn(m_bus->connect(QStringLiteral("service"))));
        DesktopNotices notices(m_bus->connect(QStringLiteral("client")));
        QSignalSpy show(&notices, &DesktopNotices::showRequested);
        QSignalSpy snooze(&notices, &DesktopNotices::snoozeRequested);
        notices.announce(task(QStringLiteral("first"), {}, 2030, 6, 15, 9));
        notices.announce(task(QStringLiteral("second"), QStringLiteral("Bo"), 2030, 6, 15, 9));
        QTRY_COMPARE(service.calls.size(), 2);
        const uint first = service.calls[0].id;
        const uint second = service.calls[1].id;
        // The replies with the ids reach the client apart from the calls.
        QTRY_VERIFY(notices.isOpen(first) && notices.isOpen(second));

        service.invokeAction(second, QStringLiteral("snooze"));
        QTRY_COMPARE(snooze.count(), 1);
        QCOMPARE(taskOf(snooze, 0).title, QStringLiteral("second"));
        QCOMPARE(taskOf(snooze, 0).forWhom, QStringLiteral("Bo"));
        service.invokeAction(first, QStringLiteral("show"));
        QTRY_COMPARE(show.count(), 1);
        QCOMPARE(taskOf(show, 0).title, QStringLiteral("first"));
        service.invokeAction(first, QStringLiteral("default"));
        QTRY_COMPARE(show.count(), 2);

        // Another program's notification, and one that was closed, are not ours.
        service.invokeAction(first + 1000, QStringLiteral("show"));
        service.close(first);
        service.invokeAction(first, QStringLiteral("show"));
        QTest::qWait(200);
        QCOMPARE(show.count(), 2);
        QCOMPARE(snooze.count(), 1);
    }

    void noServiceHandsTheReminderBackWithoutBlocking()
    {
        DesktopNotices notices(m_bus->connect(QStringLiteral("client")));
        QSignalSpy undelivered(&notices, &DesktopNotices::undelivered);
        QElapsedTimer elapsed;
        elapsed.start();
        notices.announce(task(QStringLiteral("nobody listens"), {}, 2030, 6, 15, 9));
        // The answer comes later, from the event loop.
        QCOMPARE(undelivered.count(), 0);
        QVERIFY(elapsed.elapsed() < 1000);
        QTRY_COMPARE(undelivered.count(), 1);
        QCOMPARE(taskOf(undelivered, 0).title, QStringLiteral("nobody listens"));

        // A service that starts later in the session is found.
        NotificationStandIn service;
        QVERIFY(service.serveOn(m_bus->connect(QStringLiteral("service"))));
        notices.announce(task(QStringLiteral("now someone does"), {}, 2030, 6, 15, 9));
        QTRY_COMPARE(service.calls.size(), 1);
        QCOMPARE(undelivered.count(), 1);
    }

    void noBusAtAllHandsItBackAtOnce()
    {
        const QDBusConnection none =
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/quorvi-bus"), QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        DesktopNotices notices(none);
        QSignalSpy undelivered(&notices, &DesktopNotices::undelivered);
        notices.announce(task(QStringLiteral("no bus"), {}, 2030, 6, 15, 9));
        QCOMPARE(undelivered.count(), 1);
        QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    }

private:
    std::unique_ptr<PrivateBus> m_bus;
};

QTEST_GUILESS_MAIN(TestNotices)
#include "test_notices.moc"
