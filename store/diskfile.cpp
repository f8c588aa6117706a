// SPDX-License-Identifier: GPL-3.0-or-later
#include "diskfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace DiskFile {

namespace {

constexpr char kOwnMark[] = ".quorvi-";
constexpr int kRandomPart = 6;

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

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The temporary name a new file has beside `target` until it takes its
// place: hidden, and marked as Quorvi's own.
QByteArray temporaryTemplate(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    return target.left(slash + 1) + '.' + target.mid(slash + 1) + kOwnMark + "XXXXXX";
}

// A new file beside `target` holding `bytes`, synced to the disk, with the
// permissions of `keep` (or a new file's usual ones), not yet in its place.
// Returns the error number, or 0 with its name in `name` and what stat says
// of it in `st`.
int writeTemporary(const QByteArray &target, const QByteArray &bytes, const Look *keep, QByteArray *name,
                   struct stat *st)
{
    QByteArray temporary = temporaryTemplate(target);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (keep && keep->exists()) {
        // Owner and group first: changing them clears the set-id bits the
        // mode below puts back. Where the system refuses the owner, the
        // group alone may still be allowed; where it refuses both, the file
        // is simply ours.
        if (::fchown(fd, keep->owner, keep->group) != 0)
            (void)::fchown(fd, uid_t(-1), keep->group);
        if (::fchmod(fd, keep->mode & 07777) != 0)
            error = errno;
    } else if (::fchmod(fd, 0666 & ~currentUmask()) != 0) {
        // A new file gets what any program would give it, not mkstemp's 0600.
        error = errno;
    }
    if (error) {
        ::close(fd);
    } else {
        error = finish(fd, bytes, false, st);
    }
    if (error) {
        ::unlink(temporary.constData());
        return error;
    }
    *name = std::move(temporary);
    return 0;
}

// What stat says of `target` when it is still the file described by `st`;
// the rename moved its change time on. Otherwise `st` without a change time.
Look lookInPlace(const QByteArray &target, const struct stat &st)
{
    struct stat after {};
    if (::stat(target.constData(), &after) == 0 && after.st_dev == st.st_dev && after.st_ino == st.st_ino)
        return fromStat(after);
    Look l = fromStat(st);
    l.changed = {};
    return l;
}

// Reads the whole of an open file and closes it.
Read readOpened(int fd)
{
    Read result;
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
    // Never blocks on a pipe that took the file's place since it was looked at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        Read result;
        result.error = errno;
        return result;
    }
    return readOpened(fd);
}

QString realTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.symLinkTarget() : resolved;
}

Placed place(const QString &path, const QByteArray &bytes, const Look *keep)
{
    Placed result;
    result.target = QFile::encodeName(realTarget(path));
    struct stat st {};
    QByteArray temporary;
    if (const int error = writeTemporary(result.target, bytes, keep, &temporary, &st)) {
        result.error = error;
        return result;
    }
    // Swapped, not renamed over: the file that was in place is still there
    // afterwards, under the temporary name, however late it arrived. Where
    // there is none, the new name is taken only while it is free.
    for (int tries = 0;; ++tries) {
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, result.target.constData(), RENAME_EXCHANGE) == 0) {
            result.checked = true;
            result.displacedExists = true;
            break;
        }
        int error = errno;
        if (error == ENOENT) {
            if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, result.target.constData(), RENAME_NOREPLACE)
                == 0) {
                result.checked = true;
                break;
            }
            error = errno;
            if (error == EEXIST && tries < 3)
                continue; // it appeared meanwhile: swap with it
        }
        if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
            // A file system that cannot swap: a plain rename, unchecked.
            if (::rename(temporary.constData(), result.target.constData()) == 0)
                break;
            error = errno;
        }
        ::unlink(temporary.constData());
        result.error = error;
        return result;
    }
    if (result.displacedExists) {
        result.displacedName = temporary;
        // Not followed, and never blocking: whatever was put at the path.
        const int fd = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0)
            result.displaced.error = errno;
        else
            result.displaced = readOpened(fd);
    }
    result.look = lookInPlace(result.target, st);
    result.ok = true;
    return result;
}

void dropDisplaced(Placed &placed)
{
    if (placed.displacedName.isEmpty())
        return;
    // A folder someone put in the file's place is not removed with it.
    ::unlink(placed.displacedName.constData());
    placed.displacedName.clear();
}

Written keepDisplaced(Placed &placed, const QString &path)
{
    Written result;
    if (placed.displacedName.isEmpty()) {
        result.error = ENOENT;
        return result;
    }
    const QByteArray name = QFile::encodeName(path);
    if (::rename(placed.displacedName.constData(), name.constData()) == 0) {
        placed.displacedName.clear();
        result.look = look(path);
        result.ok = true;
        return result;
    }
    if (errno != EXDEV) {
        result.error = errno;
        dropDisplaced(placed);
        return result;
    }
    result = replace(path, placed.displaced.bytes, &placed.displaced.look);
    dropDisplaced(placed);
    return result;
}

void putBack(Placed &placed, const QString &spare)
{
    if (placed.displacedName.isEmpty())
        return;
    if (::renameat2(AT_FDCWD, placed.displacedName.constData(), AT_FDCWD, placed.target.constData(), RENAME_EXCHANGE)
        != 0) {
        (void)::rename(placed.displacedName.constData(), placed.target.constData());
        placed.displacedName.clear();
        return;
    }
    // What came out is the new file, unless another program's took its
    // place in the meantime.
    struct stat out {};
    const bool ours = ::lstat(placed.displacedName.constData(), &out) == 0 && out.st_dev == placed.look.device
                      && out.st_ino == placed.look.inode;
    if (ours || ::rename(placed.displacedName.constData(), QFile::encodeName(spare).constData()) != 0)
        ::unlink(placed.displacedName.constData());
    placed.displacedName.clear();
}

Written replace(const QString &path, const QByteArray &bytes, const Look *keep)
{
    Written result;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    QByteArray temporary;
    if (const int error = writeTemporary(name, bytes, keep, &temporary, &st)) {
        result.error = error;
        return result;
    }
    // rename replaces the name: a symbolic link at `path` goes, its target
    // stays untouched.
    if (::rename(temporary.constData(), name.constData()) != 0) {
        result.error = errno;
        ::unlink(temporary.constData());
        return result;
    }
    result.look = lookInPlace(name, st);
    result.ok = true;
    return result;
}

Written overwrite(const QString &path, const QByteArray &bytes, const Look &expected)
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
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return fail(errno);
    const Look opened = fromStat(now);
    if (opened.device != expected.device || opened.inode != expected.inode || opened.size != expected.size
        || !sameTime(opened.modified, expected.modified)) {
        result.notExpected = true;
        return fail(0);
    }
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

bool isOwnTemporaryName(QByteArrayView name)
{
    const auto mark = qsizetype(sizeof(kOwnMark) - 1);
    if (name.size() < 2 + mark + kRandomPart || !name.startsWith('.'))
        return false;
    if (name.sliced(name.size() - kRandomPart - mark, mark) != QByteArrayView(kOwnMark))
        return false;
    const QByteArrayView random = name.last(kRandomPart);
    return std::all_of(random.begin(), random.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

} // namespace DiskFile
