// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diskfile.h"

#include <QByteArray>
#include <QString>

// tasks.txt.bak: the store file as it was, kept before a save replaces a
// file the reader could not take as it stood, or one another program kept
// replacing while Quorvi saved.
namespace Module1::Backup {

QString name();

// What the user is told once the damaged file was kept.
QString keptMessage();

// Keeps `bytes` (the file as it is now, `look`) as the backup, a new file of
// Quorvi's own with the file's permissions. Returns the failure for the
// user, or empty.
QString keep(const QByteArray &bytes, const DiskFile::Look &look);

// Keeps the file `inPlace` swapped out (another program's) as the backup,
// and returns the message for the user.
QString keepDisplaced(DiskFile::Placed &inPlace);

} // namespace Module1::Backup
