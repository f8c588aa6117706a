// SPDX-License-Identifier: GPL-3.0-or-later
// The real program, run as a process that keeps running: `quorvi
// --background` on a private session bus, with the tests' stand-in
// notification service answering in this process.
#include "instance.h"
#include "notificationstandin.h"
#include "privatebus.h"
#include "storesandbox.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

using namespace Qt::StringLiterals;
using TestData::task;

namespace {

// A started program that is killed when the test ends, however it ends.
class Running
{
public:
    Running(const QStringList &arguments, const QProcessEnvironment &env, const QString &folder = QDir::currentPath())
    {
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(folder);
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

struct Finished {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a start that is expected to end by itself.
Finished runToEnd(const QStringList &arguments, const QProcessEnvironment &env, const QString &folder = QDir::currentPath())
{
    Running run(arguments, env, folder);
    Finished result;
    result.finished = run.process().waitForFinished(60000) && run.process().exitStatus() == QProcess::NormalExit;
    result.exitCode = run.process().exitCode();
    result.out = run.process().readAllStandardOutput();
    result.err = run.process().readAllStandardError();
    return result;
}

// The process a start handed over to, as it says on standard output; 0 when
// it did not hand over.
qint64 handedOverTo(const Finished &run)
{
    static const QRegularExpression said(QStringLiteral("already running for this folder \\(process (\\d+)\\)"));
    const QRegularExpressionMatch match = said.match(QString::fromUtf8(run.out));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

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
                 QStringList({u"default"_s, u"Show"_s, u"show"_s, u"Show"_s, u"snooze"_s, u"In 10 minutes"_s, u"done"_s, u"Done"_s}));
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

    void secondStartHandsOverToTheFirst()
    {
        TestData::saveStore({TestData::dueIn(QStringLiteral("Due today"), 0)}, {TestData::rule(3, 255, true)});
        Running first({QStringLiteral("--background")}, environment());
        QVERIFY(first.process().waitForStarted(30000));
        QVERIFY(waitForSocket(QDir::currentPath()));
        const qint64 firstPid = first.process().processId();

        // A second start asks for the alert: the first writes the page again
        // and shows its window; the second ends at once.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_runtime->page()), 30000); // the first start's own
        QVERIFY(QFile::remove(m_runtime->page()));
        const Finished again = runToEnd({}, environment());
        QVERIFY(again.finished);
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(handedOverTo(again), firstPid);
        QVERIFY(QFileInfo::exists(m_runtime->page()));

        // The launcher's start asks for the list.
        const Finished list = runToEnd({QStringLiteral("--show-all")}, environment());
        QCOMPARE(list.exitCode, 0);
        QCOMPARE(handedOverTo(list), firstPid);
        QCOMPARE(first.process().state(), QProcess::Running);
    }

    void staleSocketFromAKilledQuorviIsTakenOver()
    {
        const QString socket = socketFor(QDir::currentPath());
        {
            Running killed({QStringLiteral("--background")}, environment());
            QVERIFY(killed.process().waitForStarted(30000));
            QVERIFY(waitForSocket(QDir::currentPath()));
            killed.process().kill(); // no chance to clean up
            QVERIFY(killed.process().waitForFinished(10000));
        }
        QVERIFY(QFileInfo::exists(socket));

        Running next({QStringLiteral("--background")}, environment());
        QVERIFY(next.process().waitForStarted(30000));
        // It takes the folder over rather than handing over to no one...
        QTRY_VERIFY_WITH_TIMEOUT(answers(socket), 30000);
        QCOMPARE(next.process().state(), QProcess::Running);
        // ...and the start after it finds it.
        const Finished after = runToEnd({QStringLiteral("--show-all")}, environment());
        QCOMPARE(handedOverTo(after), next.process().processId());
    }

    void startsOnDifferentFoldersStayIndependent()
    {
        QTemporaryDir other;
        Running here({QStringLiteral("--background")}, environment());
        Running there({QStringLiteral("--background")}, environment(), other.path());
        QVERIFY(here.process().waitForStarted(30000));
        QVERIFY(there.process().waitForStarted(30000));
        QVERIFY(waitForSocket(QDir::currentPath()));
        QVERIFY(waitForSocket(other.path()));
        QCOMPARE(handedOverTo(runToEnd({QStringLiteral("--show-all")}, environment(), other.path())),
                 there.process().processId());
        QCOMPARE(handedOverTo(runToEnd({QStringLiteral("--show-all")}, environment())), here.process().processId());
        QCOMPARE(here.process().state(), QProcess::Running);
        QCOMPARE(there.process().state(), QProcess::Running);
    }

    void optionsThatOnlyLookNeverTalkToTheRunningQuorvi()
    {
        TestData::saveStore({TestData::dueIn(QStringLiteral("Due today"), 0)}, {TestData::rule(3, 255, true)});
        Running first({QStringLiteral("--background")}, environment());
        QVERIFY(first.process().waitForStarted(30000));
        QVERIFY(waitForSocket(QDir::currentPath()));
        QTemporaryDir config;
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), config.path());
        const QString shot = config.filePath(QStringLiteral("shot.png"));
        const QList<QStringList> lookers = {{QStringLiteral("--help")},
                                            {QStringLiteral("--version")},
                                            {QStringLiteral("--autostart")},
                                            {QStringLiteral("--screenshot"), shot}};
        for (const QStringList &arguments : lookers) {
            const Finished run = runToEnd(arguments, env);
            QVERIFY2(run.finished && run.exitCode == 0, qPrintable(arguments.join(u' ') + u' ' + QString::fromLocal8Bit(run.err)));
            QCOMPARE(handedOverTo(run), 0);
        }
        // The screenshot was taken by the start itself.
        QVERIFY(QFileInfo(shot).size() > 0);
    }

private:
    QString socketFor(const QString &folder) const
    {
        return Instance::socketName(QDir(folder).canonicalPath(), m_runtime->path());
    }

    // Whether a Quorvi listens on the socket (a connection is all it takes).
    static bool answers(const QString &socket)
    {
        QLocalSocket probe;
        probe.connectToServer(socket);
        return probe.waitForConnected(1000);
    }

    bool waitForSocket(const QString &folder) const
    {
        const QString socket = socketFor(folder);
        return QTest::qWaitFor([&] { return QFileInfo::exists(socket) && answers(socket); }, 30000);
    }

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
