// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diskfile.h"

#include <QString>

// "what: the system's reason" for a system call that failed with `error`
// (the errno it left), in the user's language.
inline QString systemError(const QString &what, int error)
{
    return QStringLiteral("%1: %2").arg(what, DiskFile::reason(error));
}
