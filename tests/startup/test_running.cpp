// SPDX-License-Identifier: GPL-3.0-or-later
// The real program, run as a process that keeps running: `quorvi
// --background` on a private session bus, with the tests' stand-in
// notification service answering in this process.
#include "instance.h"
#include "notificationstandin.h"
#include "otheruser.h"
#include "privatebus.h"
#include "storesandbox.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QTest>

#include <functional>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using TestData::task;

namespace {

// A started program that is killed when the test ends, however it ends.
class Running
{
public:
    Running(const QStringList &arguments, const QProcessEnvironment &env, const QString &folder = QDir::currentPath(),
            const std::function<void()> &inChild = {})
    {
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(folder);
        if (inChild)
            m_process.setChildProcessModifier(inChild);
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
Finished runToEnd(const QStringList &arguments, const QProcessEnvironment &env, const QString &folder = QDir::currentPath(),
                  const std::function<void()> &inChild = {})
{
    Running run(arguments, env, folder, inChild);
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

// Starts the program in a folder given by its bytes, which need not be text.
std::function<void()> inFolder(const QByteArray &folder)
{
    return [folder] {
        if (::chdir(folder.constData()) != 0)
            ::_exit(120);
    };
}

// A Unix socket connected without waiting; -1 when the other end takes no
// more for now, or (`refused`) none at all.
int connectWithoutWaiting(const QString &path, bool *refused)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_un address = OtherUser::addressOf(QFile::encodeName(path));
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return fd;
    *refused = errno != EAGAIN;
    ::close(fd);
    return -1;
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
                 QStringList({u"default"_s, u"Show"_s, u"show"_s, u"Show"_s, u"snooze"_s, u"In 10 minutes"_s,
                              u"tomorrow"_s, u"Tomorrow"_s, u"done"_s, u"Done"_s}));
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

    void guardOutlivesMoreConnectionsThanItHasFiles()
    {
        // A Quorvi allowed 1,024 open files, as a desktop session has it.
        Running first({QStringLiteral("--background")}, environment(), QDir::currentPath(), [] {
            const rlimit few {1024, 1024};
            ::setrlimit(RLIMIT_NOFILE, &few);
        });
        QVERIFY(first.process().waitForStarted(30000));
        QVERIFY(waitForSocket(QDir::currentPath()));
        rlimit mine {};
        ::getrlimit(RLIMIT_NOFILE, &mine);
        if (mine.rlim_max < 1300)
            QSKIP("this test needs 1,300 open files of its own");
        const rlimit raised {std::min<rlim_t>(mine.rlim_max, 4096), mine.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &raised);

        // 1,100 connections that never say anything.
        const QString socket = socketFor(QDir::currentPath());
        std::vector<int> idle;
        bool refused = false;
        QDeadlineTimer deadline(30000);
        while (idle.size() < 1100 && !refused && !deadline.hasExpired()) {
            const int fd = connectWithoutWaiting(socket, &refused);
            if (fd >= 0)
                idle.push_back(fd);
            else if (!refused)
                QTest::qWait(5); // the queue is full until it takes some
        }
        const auto closeAll = qScopeGuard([&] {
            for (const int fd : idle)
                ::close(fd);
            ::setrlimit(RLIMIT_NOFILE, &mine);
        });

        // A later start still finds it and hands over.
        const Finished later = runToEnd({QStringLiteral("--show-all")}, environment());
        QVERIFY2(later.finished, later.err.constData());
        QCOMPARE(handedOverTo(later), first.process().processId());
        QCOMPARE(first.process().state(), QProcess::Running);
        // The idle ones were let go.
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(idle.cbegin(), idle.cend(),
                                             [](int fd) {
                                                 char byte;
                                                 return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
                                             }),
                                 30000);
    }

    void foldersNamedAlikeButForBytesThatAreNotTextAreTwoStores()
    {
        const QByteArray ff = QFile::encodeName(m_store->path()) + "/dir\xff";
        const QByteArray fe = QFile::encodeName(m_store->path()) + "/dir\xfe";
        QCOMPARE(::mkdir(ff.constData(), 0700), 0);
        QCOMPARE(::mkdir(fe.constData(), 0700), 0);
        // Names the sandbox's own clean-up cannot spell.
        const auto removeBoth = qScopeGuard([&] {
            ::rmdir(ff.constData());
            ::rmdir(fe.constData());
        });
        Running first({QStringLiteral("--background")}, environment(), QDir::currentPath(), inFolder(ff));
        QVERIFY(first.process().waitForStarted(30000));
        QTRY_VERIFY_WITH_TIMEOUT(answers(Instance::socketName(ff, m_runtime->path())), 30000);

        // A start in the other folder is a Quorvi of its own.
        Running second({QStringLiteral("--background")}, environment(), QDir::currentPath(), inFolder(fe));
        QVERIFY(second.process().waitForStarted(30000));
        QTRY_VERIFY_WITH_TIMEOUT(answers(Instance::socketName(fe, m_runtime->path()))
                                     || second.process().state() != QProcess::Running,
                                 30000);
        QCOMPARE(handedOverTo({true, 0, second.process().readAllStandardOutput(), {}}), 0);
        QCOMPARE(second.process().state(), QProcess::Running);
        QCOMPARE(handedOverTo(runToEnd({QStringLiteral("--show-all")}, environment(), QDir::currentPath(), inFolder(fe))),
                 second.process().processId());
        QCOMPARE(handedOverTo(runToEnd({QStringLiteral("--show-all")}, environment(), QDir::currentPath(), inFolder(ff))),
                 first.process().processId());
    }

    void aSquatterOfAnotherUserIsNeverHandedTo()
    {
        if (!OtherUser::available())
            QSKIP("acting as another user needs root");
        // The runtime folder's path is too long for a socket, so the socket
        // goes to the shared temporary folder (one of the test's own here).
        const QString deep = m_runtime->path() + u'/' + QString(110, u'r');
        QVERIFY(QDir().mkdir(deep, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QTemporaryDir shared;
        QCOMPARE(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), deep);
        env.insert(QStringLiteral("TMPDIR"), shared.path());
        TestData::saveStore({dueAt(QStringLiteral("Next week"), {}, QDateTime::currentDateTime().addDays(7))}, {});

        // Another user was there first, listening where this folder's
        // Quorvi would be.
        const std::optional<QByteArray> tmpdir =
            qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
        qputenv("TMPDIR", QFile::encodeName(shared.path()));
        QString squatted = Instance::socketName(QFile::encodeName(QDir::current().canonicalPath()), deep);
        if (tmpdir)
            qputenv("TMPDIR", *tmpdir);
        else
            qunsetenv("TMPDIR");
        if (QDir::isRelativePath(squatted))
            squatted = shared.filePath(squatted);
        OtherUser::Squatter squatter(QFile::encodeName(squatted), false);
        QVERIFY(squatter.ready());

        const Finished start = runToEnd({}, env);
        QVERIFY(start.finished);
        QCOMPARE(handedOverTo(start), 0);
        QVERIFY2(start.err.contains("belongs to another user"), start.err.constData());
        QCOMPARE(squatter.stop(), int(OtherUser::NothingCame));
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
        return Instance::socketName(QFile::encodeName(QDir(folder).canonicalPath()), m_runtime->path());
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
