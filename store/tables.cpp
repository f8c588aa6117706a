// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"

namespace Module1 {

Notifier &notifier()
{
    static Notifier instance;
    return instance;
}

void announceChange()
{
    Q_EMIT notifier().changed();
}

void removeTask(int slot)
{
    if (slot < 0 || slot >= taskCount)
        return;
    for (int i = slot + 1; i < taskCount; ++i)
        tasks[i - 1] = tasks[i];
    --taskCount;
    announceChange();
}

} // namespace Module1
