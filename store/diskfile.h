// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
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
    // overwrite only: the file at the path was not the one expected, and
    // nothing was written.
    bool notExpected = false;
};

// The file a save must replace: the target of a symbolic link, so the link
// itself stays where the user put it; `path` itself otherwise.
QString realTarget(const QString &path);

// What place() did. The file it replaced is kept, under a temporary name,
// until the caller has seen it: dropDisplaced() removes it, putBack()
// returns it to its place.
struct Placed {
    bool ok = false;
    int error = 0;
    Look look; // of the new file, in place
    // Whether the system could say what was replaced (it cannot where the
    // file system does not swap files; the save is then a plain rename).
    bool checked = false;
    bool displacedExists = false;
    Read displaced; // what was replaced: its bytes and look, or why not
    QByteArray displacedName; // where it is kept; empty once dropped
    QByteArray target;
};

// Writes `bytes` to a new file beside the real target of `path`, synced to
// the disk, then swaps it with that file in one step: a crash or a full disk
// leaves the old file whole, and whatever was at the path the moment the new
// file arrived (even if another program renamed it there a microsecond
// before) is in `displaced`, for the caller to compare with what it merged.
// When `keep` names an existing file its permission bits, and where the
// system allows its owner and group, pass to the new file.
Placed place(const QString &path, const QByteArray &bytes, const Look *keep);
void dropDisplaced(Placed &placed);
// Keeps the replaced file as `path` (renamed there, so a full disk cannot
// stop it; copied where `path` is on another file system).
Written keepDisplaced(Placed &placed, const QString &path);
// Swaps the replaced file back into its place and removes the new one, for a
// save that cannot finish what it started. Should yet another file have
// taken the place meanwhile, that one is kept as `spare` instead.
void putBack(Placed &placed, const QString &spare);

// Writes a new file of our own at `path` (a temporary file renamed over the
// name): a symbolic link there is replaced itself, never followed, so no one
// can make this write somewhere else. `keep` as for place().
Written replace(const QString &path, const QByteArray &bytes, const Look *keep);

// Rewrites the file itself, so that every other name (hard link) of it sees
// the new content. The room is claimed first, so a full disk fails before
// anything changes. When the file now at `path` is not `expected` (another
// program replaced it since it was looked at), nothing is written.
Written overwrite(const QString &path, const QByteArray &bytes, const Look &expected);

// Quorvi's temporary files have names no other program gives:
// ".tasks.txt.quorvi-Ab12Cd" beside "tasks.txt".
bool isOwnTemporaryName(QByteArrayView name);
// Removes what saves killed half way left in `folder`: regular files of this
// user with such a name. Only while the store's lock is held, since another
// Quorvi's save in progress would otherwise lose its new file. Returns how
// many were removed.
int removeLeftovers(const QString &folder);

// Whether `look` (an existing file at `path`) must not be written: no write
// permission for this user, a read-only file system, and for root, who may
// write anything, a file whose owner has no write permission.
bool isReadOnly(const QString &path, const Look &look);

} // namespace DiskFile
