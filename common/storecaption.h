// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "taskstore.h"

#include <QString>

// A window's caption as it stands now: with a read-only tasks.txt it says
// so, for the task list and both editors alike, so that nobody learns it
// first from an Ok that cannot save.
inline QString storeCaption(const QString &caption)
{
    return Module1::TaskStore::storeReadOnly() ? caption + QStringLiteral(" (%1 is read-only)").arg(Module1::kStoreFileName)
                                    : caption;
}
