// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Another user on the same machine, for the tests of the socket that keeps
// one Quorvi per folder. The tests run as root; a forked child that drops to
// "nobody" stands for someone else. The parent has threads, so the child
// makes plain system calls only, and it ends by itself.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace OtherUser {

constexpr uid_t kUid = 65534; // nobody
constexpr gid_t kGid = 65534;

inline bool available()
{
    return ::geteuid() == 0;
}

// What the child saw, as its exit status.
enum Seen { NothingCame = 0, RequestCame = 3, Answered = 4, Broken = 9 };

inline bool becomeNobody()
{
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kGid, kGid, kGid) == 0 && ::setresuid(kUid, kUid, kUid) == 0;
}

inline sockaddr_un addressOf(const QByteArray &path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::min(size_t(path.size()), sizeof address.sun_path - 1));
    return address;
}

// A child process of another user; waited for (or killed) at the end.
class Child
{
public:
    // `body` runs in the child and returns its exit status.
    template <typename Body>
    explicit Child(Body body)
    {
        m_pid = ::fork();
        if (m_pid == 0)
            ::_exit(body());
    }
    ~Child()
    {
        if (m_pid > 0 && m_status < 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool started() const { return m_pid > 0; }

    // Its exit status, or -1 if it has not ended within `ms`.
    int wait(int ms)
    {
        const QDeadlineTimer deadline(ms);
        while (m_status < 0 && !deadline.hasExpired()) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            else
                QTest::qWait(20);
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

// Listens on `path` as nobody, as a squatter would: answers a request the
// way a running Quorvi does and says whether one came. With
// `bindBeforeDropping` the socket file is made while still root (so it can
// sit in root's private folder) and only the listening is done as nobody,
// which is what the peer's credentials then name. Writes a byte to `ready`
// once it listens, and waits for a connection until `stop` is closed at the
// other end.
inline int squat(const QByteArray &path, bool bindBeforeDropping, int ready, int stop)
{
    const sockaddr_un address = addressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Broken;
    const auto bindIt = [&] { return ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0; };
    if (bindBeforeDropping && !bindIt())
        return Broken;
    if (!becomeNobody())
        return Broken;
    if (!bindBeforeDropping) {
        // Its own folder where ours would be, open to no one else.
        const QByteArray folder = path.left(path.lastIndexOf('/'));
        if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
            return Broken;
        if (!bindIt())
            return Broken;
    }
    if (::listen(fd, 8) != 0 || ::write(ready, "L", 1) != 1)
        return Broken;
    pollfd waiting[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
    if (::poll(waiting, 2, 60000) < 1 || waiting[0].revents == 0)
        return NothingCame;
    const int peer = ::accept(fd, nullptr, nullptr);
    if (peer < 0)
        return Broken;
    pollfd reading {peer, POLLIN, 0};
    char buffer[64];
    if (::poll(&reading, 1, 5000) != 1 || ::read(peer, buffer, sizeof buffer) <= 0)
        return NothingCame;
    const char answer[] = "ok 4242\n";
    (void)!::write(peer, answer, sizeof answer - 1);
    return RequestCame;
}

// A squatter: started at once, listening once ready() says so, told to
// stop (if nothing came) by stop().
class Squatter
{
public:
    Squatter(const QByteArray &path, bool bindBeforeDropping)
        : m_pipesMade(::pipe(m_ready) == 0 && ::pipe(m_stop) == 0),
          m_child([&] {
              ::close(m_stop[1]);
              return squat(path, bindBeforeDropping, m_ready[1], m_stop[0]);
          })
    {
    }
    ~Squatter()
    {
        for (const int fd : {m_ready[0], m_ready[1], m_stop[0], m_stop[1]})
            if (fd >= 0)
                ::close(fd);
    }

    bool ready()
    {
        pollfd reading {m_ready[0], POLLIN, 0};
        char byte = 0;
        return m_pipesMade && m_child.started() && ::poll(&reading, 1, 10000) == 1
               && ::read(m_ready[0], &byte, 1) == 1;
    }
    // What it saw.
    int stop()
    {
        ::close(m_stop[1]);
        m_stop[1] = -1;
        return m_child.wait(20000);
    }

private:
    int m_ready[2] = {-1, -1};
    int m_stop[2] = {-1, -1};
    bool m_pipesMade;
    Child m_child;
};

// Connects to `path` as nobody and asks for the task list: Answered when
// something answered, NothingCame when the connection was refused or closed.
inline int ask(const QByteArray &path)
{
    if (!becomeNobody())
        return Broken;
    const sockaddr_un address = addressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Broken;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return NothingCame;
    const char request[] = "show-all\n";
    if (::write(fd, request, sizeof request - 1) < 0)
        return NothingCame;
    pollfd reading {fd, POLLIN, 0};
    char buffer[64];
    if (::poll(&reading, 1, 10000) != 1)
        return Broken; // neither answered nor closed
    return ::read(fd, buffer, sizeof buffer) > 0 ? Answered : NothingCame;
}

} // namespace OtherUser
