// SPDX-License-Identifier: GPL-3.0-or-later
#include "instance.h"

#include "privatefolder.h"
#include "systemerror.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace Instance {

namespace {

// A Unix socket's path has room for 107 bytes.
constexpr qsizetype kSocketPathRoom = 100;
constexpr qsizetype kLongestRequest = 64;
// Connections held at once while their requests have not come; the next
// one takes the place of the oldest. A start sends its request as soon as it
// is connected, so only what is not a Quorvi waits that long, and the
// process's files are left for the store, the bus and the windows.
constexpr qsizetype kMostUnheard = 32;
constexpr int kAcceptAgainMs = 200;
constexpr int kPutBackAgainMs = 30000;

bool fits(const QString &path)
{
    return QFile::encodeName(path).size() <= kSocketPathRoom;
}

// Whether the process at the other end of a connected socket is this user's.
bool peerIsUs(qintptr fd)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

QString lockFileFor(const QString &name)
{
    return name + QStringLiteral(".lock");
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

QByteArray currentFolder()
{
    char *resolved = ::realpath(".", nullptr);
    if (!resolved)
        return QFile::encodeName(QDir::current().canonicalPath());
    QByteArray folder(resolved);
    std::free(resolved);
    return folder;
}

QString socketName(const QByteArray &canonicalFolder, const QString &runtimeFolder)
{
    const QString file = QStringLiteral("store-%1.socket")
                             .arg(QString::fromLatin1(
                                 QCryptographicHash::hash(canonicalFolder, QCryptographicHash::Sha256).toHex().left(24)));
    if (!runtimeFolder.isEmpty()) {
        QString path = runtimeFolder + QStringLiteral("/quorvi/") + file;
        if (fits(path))
            return path;
    }
    const QString own = QStringLiteral("quorvi-%1/").arg(::geteuid()) + file;
    const QString path = QDir::tempPath() + u'/' + own;
    return fits(path) ? path : QStringLiteral("/tmp/") + own;
}

Guard::Guard(QObject *parent) : QObject(parent)
{
    m_acceptAgain.setSingleShot(true);
    m_acceptAgain.setInterval(kAcceptAgainMs);
    connect(&m_acceptAgain, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(m_serving);
        acceptPending();
    });
    m_putBackAgain.setSingleShot(true);
    m_putBackAgain.setInterval(kPutBackAgainMs);
    connect(&m_putBackAgain, &QTimer::timeout, this, &Guard::putBackIfGone);
    connect(&m_folderWatcher, &QFileSystemWatcher::directoryChanged, this, &Guard::putBackIfGone);
}

Guard::~Guard()
{
    close();
}

Outcome Guard::claim(const QString &name, Request request)
{
    if (const QString problem = PrivateFolder::ensure(QFileInfo(name).path()); !problem.isEmpty())
        return {Claim::Failed, 0, problem};
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

    // Nobody of ours listens: a socket left there is stale (its Quorvi was
    // killed) or someone else's, and the folder is ours.
    if (::unlink(QFile::encodeName(name).constData()) != 0 && errno != ENOENT)
        return {Claim::Failed, 0, systemError(QStringLiteral("cannot remove the old socket %1").arg(name), errno)};
    m_name = name;
    if (const QString problem = listen(); !problem.isEmpty())
        return {Claim::Failed, 0, problem};
    return {Claim::First, 0, {}};
}

std::optional<Outcome> Guard::handOver(const QString &name, Request request, bool *ending)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(2000))
        return std::nullopt;
    // Another user's socket where ours should be: not a Quorvi to tell
    // anything, let alone to leave the store to.
    if (!peerIsUs(socket.socketDescriptor()))
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

QString Guard::listen()
{
    // Our own listening socket rather than QLocalServer's, which stops
    // listening for good, and removes the socket, the first time a
    // connection cannot be taken (when the process's files run out).
    const QByteArray path = QFile::encodeName(m_name);
    sockaddr_un address {};
    if (size_t(path.size()) >= sizeof address.sun_path)
        return QStringLiteral("the socket's path %1 is too long").arg(m_name);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return systemError(QStringLiteral("cannot make a socket"), errno);
    struct stat made {};
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::chmod(path.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0
        || ::lstat(path.constData(), &made) != 0) {
        QString problem = systemError(QStringLiteral("cannot listen on %1").arg(m_name), errno);
        ::close(fd);
        return problem;
    }
    stopListening();
    m_listener = fd;
    m_device = made.st_dev;
    m_inode = made.st_ino;
    // Until serve(), later starts wait in the queue.
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    m_notifier->setEnabled(m_serving);
    connect(m_notifier, &QSocketNotifier::activated, this, &Guard::acceptPending);
    // A socket that is removed (by hand, or by a cleaner of old files in the
    // temporary folder) is put back, or later starts would not find us.
    const QString folder = QFileInfo(m_name).path();
    if (!m_folderWatcher.directories().contains(folder))
        m_folderWatcher.addPath(folder);
    return {};
}

void Guard::stopListening()
{
    m_acceptAgain.stop();
    if (m_notifier) {
        // Perhaps from within its own signal, through a request's handling.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_listener >= 0)
        ::close(m_listener);
    m_listener = -1;
}

void Guard::serve()
{
    if (m_serving)
        return;
    m_serving = true;
    if (m_notifier)
        m_notifier->setEnabled(true);
    acceptPending();
}

void Guard::acceptPending()
{
    while (m_listener >= 0 && m_serving) {
        if (m_unheard.size() >= kMostUnheard)
            drop(m_unheard.constFirst());
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Out of files (or memory) for now. The connection waits in
                // the queue until idle ones have been dropped; listening
                // goes on whatever happens.
                if (m_notifier)
                    m_notifier->setEnabled(false);
                m_acceptAgain.start();
            }
            return;
        }
        if (!peerIsUs(fd)) {
            ::close(fd);
            continue;
        }
        auto *socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            delete socket;
            ::close(fd);
            continue;
        }
        take(socket);
    }
}

void Guard::take(QLocalSocket *socket)
{
    m_unheard.append(socket);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_unheard.removeOne(socket); });
    auto *idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, this, [this, socket] { drop(socket); });
    idle->start(kIdleTimeoutMs);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle] { readRequest(socket, idle); });
    // A start's request is usually there already: read at once (readyRead
    // comes from within), it is not pushed out by connections accepted
    // after it.
    socket->waitForReadyRead(0);
}

void Guard::drop(QLocalSocket *socket)
{
    m_unheard.removeOne(socket);
    socket->abort();
    socket->deleteLater();
}

void Guard::readRequest(QLocalSocket *socket, QTimer *idle)
{
    if (!socket->canReadLine()) {
        // Whatever talks to us without ending a line soon is not a Quorvi.
        if (socket->bytesAvailable() > kLongestRequest)
            drop(socket);
        return;
    }
    idle->stop();
    m_unheard.removeOne(socket);
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

void Guard::putBackIfGone()
{
    if (m_listener < 0)
        return;
    struct stat now {};
    if (::lstat(QFile::encodeName(m_name).constData(), &now) == 0 || errno != ENOENT) {
        // Still there; or something else took its place, which is not ours
        // to remove.
        return;
    }
    if (PrivateFolder::ensure(QFileInfo(m_name).path()).isEmpty() && listen().isEmpty())
        return;
    // The folder could not be made again (its parent went too): the old
    // socket stays open, unreachable, until a later try succeeds.
    m_putBackAgain.start();
}

void Guard::close()
{
    if (m_listener < 0)
        return;
    m_putBackAgain.stop();
    if (!m_folderWatcher.directories().isEmpty())
        m_folderWatcher.removePaths(m_folderWatcher.directories());
    stopListening();
    // Only our own socket: after ours vanished another start may have put
    // its own in its place.
    const QByteArray path = QFile::encodeName(m_name);
    struct stat now {};
    if (::lstat(path.constData(), &now) == 0 && now.st_dev == m_device && now.st_ino == m_inode)
        ::unlink(path.constData());
}

} // namespace Instance
