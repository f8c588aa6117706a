// SPDX-License-Identifier: GPL-3.0-or-later
#include "diskfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace DiskFile {

namespace {

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

Look fromStat(const struct stat &st)
{
    Look l;
    l.kind = S_ISREG(st.st_mode) ? Look::Regular : Look::Other;
    l.device = st.st_dev;
    l.inode = st.st_ino;
    l.size = st.st_size;
    l.modified = st.st_mtim;
    l.changed = st.st_ctim;
    l.mode = st.st_mode;
    l.owner = st.st_uid;
    l.group = st.st_gid;
    l.links = st.st_nlink;
    return l;
}

Look failed(int error)
{
    Look l;
    l.kind = Look::Failed;
    l.error = error;
    return l;
}

// Writes everything at `offset`, or returns the error number.
int writeAll(int fd, const QByteArray &bytes, off_t offset)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, size_t(left), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC; // nothing taken and no reason given: only a full disk does that
        p += n;
        left -= n;
        offset += n;
    }
    return 0;
}

// Writes the whole file from its start (cut to that length when `truncate`),
// puts it on the disk, reads back what stat says of it and closes it, which
// it does whatever happens. Returns the first error number, or 0.
int finish(int fd, const QByteArray &bytes, bool truncate, struct stat *st)
{
    int error = writeAll(fd, bytes, 0);
    if (!error && truncate && ::ftruncate(fd, off_t(bytes.size())) != 0)
        error = errno;
    if (!error && ::fdatasync(fd) != 0)
        error = errno;
    if (!error && ::fstat(fd, st) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    return error;
}

// The file a save must replace: the target of a symbolic link, so the link
// itself stays where the user put it.
QByteArray realTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return QFile::encodeName(path);
    const QString resolved = info.canonicalFilePath();
    return QFile::encodeName(resolved.isEmpty() ? info.symLinkTarget() : resolved);
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

bool Look::sameAs(const Look &other) const
{
    return kind == other.kind && device == other.device && inode == other.inode && size == other.size
           && sameTime(modified, other.modified) && sameTime(changed, other.changed);
}

Look look(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return failed(errno);
    }
    return fromStat(st);
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Read readWhole(const QString &path)
{
    Read result;
    // Never blocks on a pipe that took the file's place since it was looked at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result.error = errno;
        ::close(fd);
        return result;
    }
    result.look = fromStat(st);
    if (!S_ISREG(st.st_mode)) {
        result.error = EINVAL;
        ::close(fd);
        return result;
    }
    // The size is a hint only: the file may grow while it is read.
    result.bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype have = 0;
    for (;;) {
        if (have == result.bytes.size())
            result.bytes.resize(have * 2 + 4096);
        const ssize_t n = ::read(fd, result.bytes.data() + have, size_t(result.bytes.size() - have));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = errno;
            ::close(fd);
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        have += n;
    }
    result.bytes.truncate(have);
    ::close(fd);
    result.ok = true;
    return result;
}

Written replace(const QString &path, const QByteArray &bytes, const Look *keep)
{
    Written result;
    const QByteArray target = realTarget(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        result.error = error;
        return result;
    };

    if (keep && keep->exists()) {
        // Owner and group first: changing them clears the set-id bits the
        // mode below puts back. Where the system refuses the owner, the
        // group alone may still be allowed; where it refuses both, the file
        // is simply ours.
        if (::fchown(fd, keep->owner, keep->group) != 0)
            (void)::fchown(fd, uid_t(-1), keep->group);
        if (::fchmod(fd, keep->mode & 07777) != 0)
            return fail(errno);
    } else if (::fchmod(fd, 0666 & ~currentUmask()) != 0) {
        // A new file gets what any program would give it, not mkstemp's 0600.
        return fail(errno);
    }

    struct stat st {};
    if (const int error = finish(fd, bytes, false, &st)) {
        result.error = error;
        ::unlink(temporary.constData());
        return result;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        result.error = errno;
        ::unlink(temporary.constData());
        return result;
    }
    result.look = fromStat(st);
    // The rename itself moves the change time on; it is taken again, from
    // the file now at the path as long as that is still the one written.
    struct stat after {};
    if (::stat(target.constData(), &after) == 0 && after.st_dev == st.st_dev && after.st_ino == st.st_ino)
        result.look = fromStat(after);
    else
        result.look.changed = {};
    result.ok = true;
    return result;
}

Written overwrite(const QString &path, const QByteArray &bytes)
{
    Written result;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    const auto fail = [&](int error) {
        ::close(fd);
        result.error = error;
        return result;
    };
    // Claim the room before the first byte changes; file systems that cannot
    // say so in advance are written all the same.
    const int claimed = ::posix_fallocate(fd, 0, off_t(bytes.size()));
    if (claimed != 0 && claimed != EOPNOTSUPP && claimed != EINVAL && claimed != ENOSYS)
        return fail(claimed);
    struct stat st {};
    if (const int error = finish(fd, bytes, true, &st)) {
        result.error = error;
        return result;
    }
    result.look = fromStat(st);
    result.ok = true;
    return result;
}

bool isReadOnly(const QString &path, const Look &look)
{
    const QByteArray name = QFile::encodeName(path);
    // Asked first on its own: where the kernel cannot answer the access
    // question for the effective user, the C library works it out from the
    // permission bits and never sees a read-only mount.
    struct statvfs fs {};
    if (::statvfs(name.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY))
        return true;
    if (::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0)
        return errno == EACCES || errno == EROFS || errno == EPERM;
    // Root passes every permission check, but a file its owner cannot write
    // was made read-only on purpose.
    return ::geteuid() == 0 && !(look.mode & S_IWUSR);
}

} // namespace DiskFile
