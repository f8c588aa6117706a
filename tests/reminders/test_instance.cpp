// SPDX-License-Identifier: GPL-3.0-or-later
// The socket that keeps one Quorvi per store, in one process: its name, what
// it answers, and a stale socket taken over. Handing over between two real
// processes is in tests/startup/test_running.cpp.
#include "instance.h"
#include "storesandbox.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Instance;

namespace {

// What a socket answers to one line.
QByteArray ask(const QString &name, const QByteArray &line)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(5000))
        return "(no connection)";
    socket.write(line);
    QByteArray answer;
    const bool answered = QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return answer.contains('\n') || socket.state() == QLocalSocket::UnconnectedState;
        },
        10000);
    return answered ? answer : "(no answer) " + answer;
}

// A socket file nobody listens on, as a killed Quorvi leaves it.
bool leaveStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo(path).exists();
}

} // namespace

class TestInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_runtime = std::make_unique<RuntimeSandbox>(); }
    void cleanup() { m_runtime.reset(); }

    void socketIsNamedAfterTheFolder()
    {
        const QString a = socketName(QStringLiteral("/home/ann/Tasks"), m_runtime->path());
        QCOMPARE(a, socketName(QStringLiteral("/home/ann/Tasks"), m_runtime->path()));
        QVERIFY(a != socketName(QStringLiteral("/home/ann/Tasks2"), m_runtime->path()));
        QVERIFY(a.startsWith(m_runtime->path() + QStringLiteral("/quorvi/store-")));
        QVERIFY(a.endsWith(QStringLiteral(".socket")));
        // Where a socket's path would be too long, or there is no runtime
        // folder, a bare name for this user alone.
        const QString deep = QStringLiteral("/run/") + QString(120, u'x');
        const QString bare = socketName(QStringLiteral("/home/ann/Tasks"), deep);
        QVERIFY(!bare.contains(u'/'));
        QVERIFY(bare.startsWith(QStringLiteral("quorvi-%1-").arg(::geteuid())));
        QCOMPARE(bare, socketName(QStringLiteral("/home/ann/Tasks"), QString()));
    }

    void requestsRoundTrip()
    {
        QCOMPARE(parseRequest(requestLine(Request::Alert)), Request::Alert);
        QCOMPARE(parseRequest(requestLine(Request::ShowAll)), Request::ShowAll);
        QCOMPARE(parseRequest("rm -rf\n"), std::nullopt);
    }

    void firstClaimListensAndAnswers()
    {
        const QString name = socketName(QStringLiteral("/somewhere"), m_runtime->path());
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        QVERIFY(guard.isListening());
        // Owner-only, in a private folder.
        QCOMPARE(QFileInfo(QFileInfo(name).path()).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);

        QSignalSpy requested(&guard, &Guard::requested);
        guard.serve();
        QCOMPARE(ask(name, "show-all\n"), "ok " + QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0).at(0).value<Request>(), Request::ShowAll);
        QCOMPARE(ask(name, "alert\n").left(3), QByteArray("ok "));
        QCOMPARE(requested.at(1).at(0).value<Request>(), Request::Alert);
        QCOMPARE(ask(name, "what?\n"), QByteArray("unknown\n"));
        QCOMPARE(requested.count(), 2);

        guard.close();
        QVERIFY(!QFileInfo::exists(name));
    }

    void requestsBeforeServingWait()
    {
        // A later start may ask while this one is still loading its store.
        const QString name = socketName(QStringLiteral("/loading"), m_runtime->path());
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        QSignalSpy requested(&guard, &Guard::requested);
        QLocalSocket early;
        early.connectToServer(name);
        QVERIFY(early.waitForConnected(5000));
        early.write("show-all\n");
        early.flush();
        QTest::qWait(200);
        QCOMPARE(requested.count(), 0);
        guard.serve();
        QTRY_COMPARE(requested.count(), 1);
        QByteArray answer;
        QTRY_VERIFY((answer += early.readAll()).contains('\n'));
        QVERIFY(answer.startsWith("ok "));
    }

    void staleSocketIsTakenOver()
    {
        const QString name = socketName(QStringLiteral("/killed"), m_runtime->path());
        QDir().mkpath(QFileInfo(name).path());
        QVERIFY(leaveStaleSocket(name));
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        guard.serve();
        QVERIFY(ask(name, "alert\n").startsWith("ok "));
    }

    void aFolderThatIsNotOursIsRefused()
    {
        // Someone else's link where our private folder should be.
        QVERIFY(QFile::link(QDir::tempPath(), m_runtime->path() + QStringLiteral("/quorvi")));
        Guard guard;
        const Outcome outcome = guard.claim(socketName(QStringLiteral("/x"), m_runtime->path()), Request::Alert);
        QCOMPARE(outcome.claim, Claim::Failed);
        QVERIFY(outcome.problem.contains(QStringLiteral("link")));
        QVERIFY(!guard.isListening());
    }

private:
    std::unique_ptr<RuntimeSandbox> m_runtime;
};

QTEST_GUILESS_MAIN(TestInstance)
#include "test_instance.moc"
