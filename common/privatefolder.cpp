// SPDX-License-Identifier: GPL-3.0-or-later
#include "privatefolder.h"

#include "systemerror.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PrivateFolder {

#ifdef Q_OS_UNIX
QString ensure(const QString &folder)
{
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return systemError(QStringLiteral("cannot create the folder %1").arg(folder), errno);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return systemError(QStringLiteral("cannot examine the folder %1").arg(folder), errno);
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is a link, not a folder").arg(folder);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a folder").arg(folder);
    if (st.st_uid != ::geteuid())
        return QStringLiteral("the folder %1 belongs to another user").arg(folder);
    if ((st.st_mode & 0077) != 0 && ::chmod(name.constData(), 0700) != 0)
        return systemError(QStringLiteral("cannot make the folder %1 private").arg(folder), errno);
    return {};
}
#else
QString ensure(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    return {};
}
#endif

} // namespace PrivateFolder
