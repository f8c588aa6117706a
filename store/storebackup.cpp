// SPDX-License-Identifier: GPL-3.0-or-later
#include "storebackup.h"

#include "module1.h"

namespace Module1::Backup {

QString name()
{
    return kStoreFileName + QLatin1StringView(".bak");
}

QString keptMessage()
{
    return QStringLiteral("Some of %1 could not be read as it stood; the file as it was was kept as %2.")
        .arg(kStoreFileName, name());
}

QString keep(const QByteArray &bytes, const DiskFile::Look &look)
{
    const DiskFile::Written backup = DiskFile::replace(name(), bytes, &look);
    if (backup.ok)
        return {};
    return QStringLiteral("Could not save %1: keeping the file as it was as %2 failed: %3")
        .arg(kStoreFileName, name(), DiskFile::reason(backup.error));
}

QString keepDisplaced(DiskFile::Placed &inPlace)
{
    const DiskFile::Written kept = DiskFile::keepDisplaced(inPlace, name());
    return QStringLiteral("Another program kept replacing %1 while Quorvi saved it; your change is "
                          "saved, and the last version the other program wrote %2.")
        .arg(kStoreFileName, kept.ok ? QStringLiteral("was kept as %1").arg(name())
                                     : QStringLiteral("could not be kept: %1").arg(DiskFile::reason(kept.error)));
}

} // namespace Module1::Backup
