// SPDX-License-Identifier: GPL-3.0-or-later
#include "storelock.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// A save of a full store takes a few milliseconds: short naps catch the
// moment the other one lets go without spinning.
constexpr long kNapNs = 1'000'000;

void nap()
{
    struct timespec pause {0, kNapNs};
    ::nanosleep(&pause, nullptr);
}

QString commandOf(const QByteArray &pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll().trimmed());
}

} // namespace

StoreLock::StoreLock(const QString &folder, Kind kind, int waitMs)
{
    // O_RDONLY is all a folder can be opened with, and all flock needs.
    m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    const int operation = (kind == Kind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (::flock(m_fd, operation) == 0) {
            m_held = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return; // a file system without locks: go on as before
        if (deadline.hasExpired()) {
            m_busy = true;
            return;
        }
        nap();
    }
}

StoreLock::~StoreLock()
{
    // Closing the folder lets go of the lock.
    if (m_fd >= 0)
        ::close(m_fd);
}

QString StoreLock::holder() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return {};
    // The system lists every lock with the process that took it and the
    // file it is on, as "major:minor:inode" of that file.
    const QByteArray on = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':'
                          + QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':'
                          + QByteArray::number(quint64(st.st_ino));
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return {};
    const pid_t self = ::getpid();
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        // "1: FLOCK ADVISORY WRITE 1234 fd:01:5678 0 EOF"; waiters have "->".
        if (parts.size() < 6 || parts[1] != "FLOCK" || parts[5] != on)
            continue;
        const QByteArray &pid = parts[4];
        if (pid.toLongLong() == self)
            continue;
        const QString command = commandOf(pid);
        return command.isEmpty() ? QStringLiteral("process %1").arg(QString::fromLatin1(pid))
                                 : QStringLiteral("process %1 (%2)").arg(QString::fromLatin1(pid), command);
    }
    return {};
}
