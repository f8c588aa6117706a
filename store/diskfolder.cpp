// SPDX-License-Identifier: GPL-3.0-or-later
// The store file's surroundings: what killed saves left in its folder, and
// whether the file may be written at all.
#include "diskfile.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace DiskFile {

int removeLeftovers(const QString &folder)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return 0;
    int removed = 0;
    const uid_t self = ::geteuid();
    while (const struct dirent *entry = ::readdir(dir)) {
        if (!isOwnTemporaryName(entry->d_name))
            continue;
        // Only a plain file of this user's: not a link, not someone else's.
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || st.st_uid != self)
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
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
