// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

// The store file as the operating system sees it: what stat says about it,
// reading it whole, and the two ways of writing it. Every failure keeps the
// system's own error number, so the user is told the real cause ("No space
// left on device") and never a generic one.
namespace DiskFile {

// What stat says about a path, following symbolic links.
struct Look {
    enum Kind { Missing, Regular, Other, Failed };
    Kind kind = Missing;
    int error = 0; // errno when Failed
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified {};
    struct timespec changed {}; // ctime: no program can set it back
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    nlink_t links = 0;

    bool exists() const { return kind == Regular || kind == Other; }
    // The same file, unchanged as far as stat can tell.
    bool sameAs(const Look &other) const;
};

Look look(const QString &path);

// The operating system's words for an error number.
QString reason(int error);

struct Read {
    bool ok = false;
    int error = 0;
    QByteArray bytes;
    Look look; // of the file that was read, taken from the open file itself
};
Read readWhole(const QString &path);

struct Written {
    bool ok = false;
    int error = 0;
    Look look; // of the file as written
};

// Writes `bytes` to a new file beside `path`, synced to the disk, then
// renames it over `path`: a crash or a full disk leaves the old file whole.
// A symbolic link stays a link and its target is replaced. When `keep`
// names an existing file its permission bits, and where the system allows
// its owner and group, pass to the new file.
Written replace(const QString &path, const QByteArray &bytes, const Look *keep);

// Rewrites the file itself, so that every other name (hard link) of it sees
// the new content. The room is claimed first, so a full disk fails before
// anything changes.
Written overwrite(const QString &path, const QByteArray &bytes);

// Whether `look` (an existing file at `path`) must not be written: no write
// permission for this user, a read-only file system, and for root, who may
// write anything, a file whose owner has no write permission.
bool isReadOnly(const QString &path, const Look &look);

} // namespace DiskFile
