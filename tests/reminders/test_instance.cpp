// SPDX-License-Identifier: GPL-3.0-or-later
// The socket that keeps one Quorvi per store, in one process: its name, what
// it answers, a stale socket taken over, idle and vanished sockets, and
// another user on either end. Handing over between two real processes is in
// tests/startup/test_running.cpp.
#include "instance.h"
#include "otheruser.h"
#include "storesandbox.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>
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

// A later start's connection that sent `line` and waits for the answer;
// null when it could not connect.
std::unique_ptr<QLocalSocket> waitingStart(const QString &name, const QByteArray &line)
{
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(name);
    if (!socket->waitForConnected(5000))
        return nullptr;
    socket->write(line);
    socket->flush();
    return socket;
}

// The answer that comes back on it, once it has come.
QByteArray answerOn(QLocalSocket &socket)
{
    QByteArray answer;
    if (!QTest::qWaitFor([&] { return (answer += socket.readAll()).contains('\n'); }, 10000))
        return "(no answer) " + answer;
    return answer;
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
        const QString a = socketName("/home/ann/Tasks", m_runtime->path());
        QCOMPARE(a, socketName("/home/ann/Tasks", m_runtime->path()));
        QVERIFY(a != socketName("/home/ann/Tasks2", m_runtime->path()));
        QVERIFY(a.startsWith(m_runtime->path() + QStringLiteral("/quorvi/store-")));
        QVERIFY(a.endsWith(QStringLiteral(".socket")));
        // The folder's name as the system has it: two names that are not
        // UTF-8 are two folders, though they read alike as text.
        QVERIFY(socketName("/home/ann/dir\xff", m_runtime->path())
                != socketName("/home/ann/dir\xfe", m_runtime->path()));
        // Where a socket's path would be too long, or there is no runtime
        // folder: a folder of our own in the shared temporary folder, never
        // a bare name there that anyone could take first.
        const QString deep = QStringLiteral("/run/") + QString(120, u'x');
        const QString fallback = socketName("/home/ann/Tasks", deep);
        QCOMPARE(QFileInfo(fallback).path(), QDir::tempPath() + QStringLiteral("/quorvi-%1").arg(::geteuid()));
        QCOMPARE(fallback, socketName("/home/ann/Tasks", QString()));
    }

    void requestsRoundTrip()
    {
        QCOMPARE(parseRequest(requestLine(Request::Alert)), Request::Alert);
        QCOMPARE(parseRequest(requestLine(Request::ShowAll)), Request::ShowAll);
        QCOMPARE(parseRequest("rm -rf\n"), std::nullopt);
    }

    void firstClaimListensAndAnswers()
    {
        const QString name = socketName("/somewhere", m_runtime->path());
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
        const QString name = socketName("/loading", m_runtime->path());
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        QSignalSpy requested(&guard, &Guard::requested);
        const std::unique_ptr<QLocalSocket> early = waitingStart(name, "show-all\n");
        QVERIFY(early);
        QTest::qWait(200);
        QCOMPARE(requested.count(), 0);
        guard.serve();
        QTRY_COMPARE(requested.count(), 1);
        QVERIFY(answerOn(*early).startsWith("ok "));
    }

    void staleSocketIsTakenOver()
    {
        const QString name = socketName("/killed", m_runtime->path());
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
        const Outcome outcome = guard.claim(socketName("/x", m_runtime->path()), Request::Alert);
        QCOMPARE(outcome.claim, Claim::Failed);
        QVERIFY(outcome.problem.contains(QStringLiteral("link")));
        QVERIFY(!guard.isListening());
    }

    void idleConnectionsAreDropped()
    {
        const QString name = socketName("/idle", m_runtime->path());
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        guard.serve();
        QLocalSocket silent;
        QLocalSocket halfLine;
        silent.connectToServer(name);
        halfLine.connectToServer(name);
        QVERIFY(silent.waitForConnected(5000));
        QVERIFY(halfLine.waitForConnected(5000));
        halfLine.write("show-");
        halfLine.flush();
        // Each holds a file of a process that may only have 1,024; they are
        // closed after a few seconds rather than kept for ever.
        QTRY_VERIFY_WITH_TIMEOUT(silent.state() == QLocalSocket::UnconnectedState
                                     && halfLine.state() == QLocalSocket::UnconnectedState,
                                 15000);
        QVERIFY(guard.isListening());
        QVERIFY(ask(name, "alert\n").startsWith("ok "));
    }

    void aFailedAcceptDoesNotStopListening()
    {
        const QString name = socketName("/crowded", m_runtime->path());
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        QSignalSpy requested(&guard, &Guard::requested);
        const std::unique_ptr<QLocalSocket> early = waitingStart(name, "alert\n");
        QVERIFY(early);
        {
            // No file left for the connection: every number below the
            // limit is taken.
            rlimit before {};
            ::getrlimit(RLIMIT_NOFILE, &before);
            const int lowestFree = ::dup(0);
            ::close(lowestFree);
            const rlimit full {rlim_t(lowestFree), before.rlim_max};
            QCOMPARE(::setrlimit(RLIMIT_NOFILE, &full), 0);
            guard.serve();
            QCoreApplication::processEvents();
            ::setrlimit(RLIMIT_NOFILE, &before);
        }
        QVERIFY(guard.isListening());
        QTRY_COMPARE(requested.count(), 1);
        QVERIFY(answerOn(*early).startsWith("ok "));
    }

    void aVanishedSocketIsPutBack()
    {
        const QString name = socketName("/vanishing", m_runtime->path());
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        guard.serve();
        QVERIFY(QFile::remove(name));
        QTRY_VERIFY(QFileInfo::exists(name));
        QVERIFY(ask(name, "alert\n").startsWith("ok "));
        // The whole folder, as a cleaner of old files might take it.
        QVERIFY(QDir(QFileInfo(name).path()).removeRecursively());
        QTRY_VERIFY(QFileInfo::exists(name));
        QVERIFY(ask(name, "alert\n").startsWith("ok "));
        QCOMPARE(QFileInfo(QFileInfo(name).path()).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
        // Closed on purpose, it stays away.
        guard.close();
        QTest::qWait(100); // a put-back would come from the event loop
        QVERIFY(!QFileInfo::exists(name));
    }

    void neverHandsOverToAnotherUser()
    {
        if (!OtherUser::available())
            QSKIP("acting as another user needs root");
        // Someone else listens where our socket goes (placed there as root,
        // listening as nobody).
        const QString name = socketName("/squatted", m_runtime->path());
        QVERIFY(QDir().mkpath(QFileInfo(name).path()));
        OtherUser::Squatter squatter(QFile::encodeName(name), true);
        QVERIFY(squatter.ready());

        Guard guard;
        const Outcome outcome = guard.claim(name, Request::ShowAll);
        QCOMPARE(outcome.claim, Claim::First);
        // The impostor heard nothing; our own socket took its place.
        QCOMPARE(squatter.stop(), int(OtherUser::NothingCame));
        guard.serve();
        QVERIFY(ask(name, "alert\n").startsWith("ok "));
    }

    void requestsOfAnotherUserAreRefused()
    {
        if (!OtherUser::available())
            QSKIP("acting as another user needs root");
        const QString name = socketName("/open", m_runtime->path());
        Guard guard;
        QCOMPARE(guard.claim(name, Request::Alert).claim, Claim::First);
        QSignalSpy requested(&guard, &Guard::requested);
        guard.serve();
        // As if the files' permissions had let another user in.
        QVERIFY(QFile::setPermissions(m_runtime->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                             | QFile::ExeGroup | QFile::ExeOther));
        QCOMPARE(::chmod(QFile::encodeName(QFileInfo(name).path()).constData(), 0711), 0);
        QCOMPARE(::chmod(QFile::encodeName(name).constData(), 0666), 0);

        OtherUser::Child asker([&] { return OtherUser::ask(QFile::encodeName(name)); });
        QVERIFY(asker.started());
        QCOMPARE(asker.wait(20000), int(OtherUser::NothingCame));
        QCOMPARE(requested.count(), 0);
        QVERIFY(ask(name, "alert\n").startsWith("ok "));
        QCOMPARE(requested.count(), 1);
    }

private:
    std::unique_ptr<RuntimeSandbox> m_runtime;
};

QTEST_GUILESS_MAIN(TestInstance)
#include "test_instance.moc"
