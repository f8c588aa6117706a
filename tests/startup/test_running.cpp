// SPDX-License-Identifier: GPL-3.0-or-later
// The real program, run as a process that keeps running: `quorvi
// --background` on a private session bus, with the tests' stand-in
// notification service answering in this process.
#include "notificationstandin.h"
#include "privatebus.h"
#include "storesandbox.h"

#include <QDateTime>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

using TestData::task;

namespace {

// A started program that is killed when the test ends, however it ends.
class Running
{
public:
    Running(const QStringList &arguments, const QProcessEnvironment &env)
    {
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(QDir::currentPath());
        m_process.start(QStringLiteral(QUORVI_BINARY), arguments);
    }
    ~Running()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};

Module1::Task dueAt(const QString &title, const QString &forWhom, const QDateTime &moment)
{
    return task(title, forWhom, moment.date().year(), moment.date().month(), moment.date().day(),
                moment.time().hour(), moment.time().minute(), moment.time().second());
}

} // namespace

class TestRunning : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_store = std::make_unique<StoreSandbox>();
        m_runtime = std::make_unique<RuntimeSandbox>();
        m_bus = std::make_unique<PrivateBus>();
        QVERIFY2(m_bus->isRunning(), "dbus-daemon did not start");
    }
    void cleanup()
    {
        m_bus.reset();
        m_runtime.reset();
        m_store.reset();
    }

    void backgroundQuorviNotifiesAtTheDueMoment()
    {
        NotificationStandIn service;
        QVERIFY(service.serveOn(m_bus->connect(QStringLiteral("service"))));
        // Whole seconds, as the store holds them; far enough ahead that the
        // program is up and waiting by then.
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime soon = now.addSecs(3).addMSecs(-now.time().msec());
        TestData::saveStore({dueAt(QStringLiteral("Already past"), {}, now.addSecs(-60)),
                             dueAt(QStringLiteral("Stretch your legs"), QStringLiteral("Me"), soon),
                             dueAt(QStringLiteral("Next week"), {}, now.addDays(7))},
                            {});
        Running quorvi({QStringLiteral("--background")}, environment());
        QVERIFY(quorvi.process().waitForStarted(30000));

        // Nothing due at start, yet it stays.
        QTest::qWait(1000);
        QCOMPARE(quorvi.process().state(), QProcess::Running);
        QCOMPARE(service.calls.size(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 1, 20000);
        QVERIFY(QDateTime::currentDateTime() >= soon);
        QCOMPARE(service.calls[0].summary, QStringLiteral("Stretch your legs"));
        QVERIFY(service.calls[0].body.startsWith(QStringLiteral("For: Me\nDue: ")));
        QCOMPARE(service.calls[0].actions,
                 QStringList({"default", "Show", "show", "Show", "snooze", "In 10 minutes"}));
        // The past task was left to the alert page; next week's waits.
        QTest::qWait(500);
        QCOMPARE(service.calls.size(), 1);
        QCOMPARE(quorvi.process().state(), QProcess::Running);
    }

    void withoutBackgroundNothingDueStillEndsQuietly()
    {
        TestData::saveStore({dueAt(QStringLiteral("Next week"), {}, QDateTime::currentDateTime().addDays(7))}, {});
        Running quorvi({}, environment());
        QVERIFY(quorvi.process().waitForFinished(30000));
        QCOMPARE(quorvi.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(quorvi.process().exitCode(), 0);
    }

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus->address());
        return env;
    }

    std::unique_ptr<StoreSandbox> m_store;
    std::unique_ptr<RuntimeSandbox> m_runtime;
    std::unique_ptr<PrivateBus> m_bus;
};

QTEST_GUILESS_MAIN(TestRunning)
#include "test_running.moc"
