// SPDX-License-Identifier: GPL-3.0-or-later
#include "instance.h"

#include "privatefolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace Instance {

namespace {

// A Unix socket's path has room for 107 bytes.
constexpr qsizetype kSocketPathRoom = 100;
constexpr qsizetype kLongestRequest = 64;

QString userTag()
{
#ifdef Q_OS_UNIX
    return QString::number(::geteuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

QString lockFileFor(const QString &name)
{
    const QString file = name + QStringLiteral(".lock");
    return QDir::isAbsolutePath(name) ? file : QDir::temp().filePath(file);
}

} // namespace

QByteArray requestLine(Request request)
{
    return request == Request::ShowAll ? QByteArrayLiteral("show-all\n") : QByteArrayLiteral("alert\n");
}

std::optional<Request> parseRequest(QByteArrayView line)
{
    const QByteArray word = line.toByteArray().trimmed();
    if (word == "show-all")
        return Request::ShowAll;
    if (word == "alert")
        return Request::Alert;
    return std::nullopt;
}

QString socketName(const QString &canonicalFolder, const QString &runtimeFolder)
{
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(canonicalFolder.toUtf8(), QCryptographicHash::Sha256).toHex().left(24));
    if (!runtimeFolder.isEmpty()) {
        QString path = runtimeFolder + QStringLiteral("/quorvi/store-") + hash + QStringLiteral(".socket");
        if (QFile::encodeName(path).size() <= kSocketPathRoom)
            return path;
    }
    return QStringLiteral("quorvi-%1-%2").arg(userTag(), hash);
}

Guard::Guard(QObject *parent) : QObject(parent)
{
    // Only this user may talk to it, wherever the socket ends up.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
}

Guard::~Guard()
{
    close();
}

Outcome Guard::claim(const QString &name, Request request)
{
    if (QDir::isAbsolutePath(name)) {
        if (const QString problem = PrivateFolder::ensure(QFileInfo(name).path()); !problem.isEmpty())
            return {Claim::Failed, 0, problem};
    }
    // Two starts at once must not both find no one and both listen.
    QLockFile lock(lockFileFor(name));
    if (!lock.tryLock(10000))
        return {Claim::Failed, 0, QStringLiteral("another start on this folder holds %1").arg(lockFileFor(name))};

    for (int attempt = 0;; ++attempt) {
        bool ending = false;
        const std::optional<Outcome> outcome = handOver(name, request, &ending);
        if (outcome)
            return *outcome;
        if (!ending || attempt == 3)
            break;
        // A Quorvi that is just ending closes the connection without an
        // answer; once it is gone this start takes its place.
        QThread::msleep(200);
    }

    // Nobody listens: a socket left there is stale (its Quorvi was killed).
    QLocalServer::removeServer(name);
    if (!m_server.listen(name))
        return {Claim::Failed, 0, m_server.errorString()};
    return {Claim::First, 0, {}};
}

std::optional<Outcome> Guard::handOver(const QString &name, Request request, bool *ending)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(2000))
        return std::nullopt;
    socket.write(requestLine(request));
    socket.flush();
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < kLongestRequest) {
        if (!socket.waitForReadyRead(kAnswerTimeoutMs)) {
            if (socket.state() != QLocalSocket::ConnectedState) {
                *ending = true;
                return std::nullopt;
            }
            return Outcome{Claim::NoAnswer, 0,
                           QStringLiteral("a Quorvi is running for this folder but did not answer within %1 seconds")
                               .arg(kAnswerTimeoutMs / 1000)};
        }
        answer += socket.readAll();
    }
    const QList<QByteArray> words = answer.trimmed().split(' ');
    if (words.value(0) != "ok")
        return Outcome{Claim::NoAnswer, 0,
                       QStringLiteral("the running Quorvi answered '%1'").arg(QString::fromUtf8(answer.trimmed()))};
    return Outcome{Claim::HandedOver, words.value(1).toLongLong(), {}};
}

void Guard::serve()
{
    if (m_serving)
        return;
    m_serving = true;
    connect(&m_server, &QLocalServer::newConnection, this, &Guard::takeConnection);
    takeConnection();
}

void Guard::takeConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void Guard::readRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        // Whatever talks to us without ending a line soon is not a Quorvi.
        if (socket->bytesAvailable() > kLongestRequest)
            socket->abort();
        return;
    }
    const std::optional<Request> request = parseRequest(socket->readLine(kLongestRequest));
    if (!request) {
        socket->write("unknown\n");
    } else {
        // Answered once done, so the start that asked ends after the window
        // it asked for is up.
        Q_EMIT requested(*request);
        socket->write("ok " + QByteArray::number(QCoreApplication::applicationPid()) + '\n');
    }
    socket->flush();
    socket->disconnectFromServer();
}

void Guard::close()
{
    if (m_server.isListening())
        m_server.close();
}

} // namespace Instance
