// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"
#include "syncengine.h"
#include "syncstate.h"
#include "taskstore.h"

#include <QSet>
#include <QString>

#include <vector>

// All the sync's contact with the task store, in one place: the tasks a
// pass starts from, and the changes it brings, saved like any change.
namespace Sync::StoreSide {

// The folder whose store is synced, the key of its account and state.
QString storeFolder();

// The store's tasks for a pass, each with its own uid. Tasks without one
// (or with one another task has too) are given one and saved first, so the
// server and tasks.txt name each task alike.
struct Snapshot {
    std::vector<Module1::Task> tasks;
    QSet<QString> beyond; // the uids of the tasks the file holds beyond the list

    QString failure;
};
Snapshot take(Module1::TaskStore &store);

// Applies the changes to the tables and saves them, under the store's lock
// and merged with changes made elsewhere, like any change. A task edited
// here while the pass ran is merged field by field with what came. The
// state's entries of changes that could not be saved are taken back, so the
// next pass brings them again.
struct Applied {
    bool ok = true;
    QString message;      // the failure, or the save's notices
    int added = 0;
    int updated = 0;
    int removed = 0;
    QStringList notes;
};
Applied apply(Module1::TaskStore &store, const std::vector<Change> &changes, State &state);

} // namespace Sync::StoreSide
