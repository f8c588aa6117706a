// SPDX-License-Identifier: GPL-3.0-or-later
#include "storeside.h"

#include "merge.h"
#include "taskcalendar.h"

#include <QDir>
#include <QSet>

namespace Sync::StoreSide {

namespace {

using namespace Module1;

int slotOf(const QString &uid)
{
    for (int i = 0; i < taskCount; ++i) {
        if (tasks[i].uid == uid)
            return i;
    }
    return -1;
}

void takeBack(const Change &change, State &state)
{
    const QString uid = change.kind == Change::Remove ? change.before.uid : change.after.uid;
    if (change.previous)
        state.byUid[uid] = *change.previous;
    else
        state.byUid.erase(uid);
    state.ctag.clear();
}

bool addTask(const Task &task)
{
    if (taskCount >= kTaskSlots)
        return false;
    tasks[taskCount] = task;
    deriveFields(tasks[taskCount]);
    ++taskCount;
    return true;
}

} // namespace

QString storeFolder()
{
    return QDir::currentPath();
}

Snapshot take()
{
    Snapshot out;
    if (lastLoadReport().unreadable) {
        out.failure = lastLoadReport().problems.value(0);
        return out;
    }
    // A save merged with a change made elsewhere may bring tasks that need
    // an identity too.
    for (int round = 0; round < 2; ++round) {
        QSet<QString> seen;
        bool assigned = false;
        for (Task &task : liveTasks()) {
            if (task.uid.isEmpty() || seen.contains(task.uid)) {
                task.uid = TaskCalendar::newUid();
                assigned = true;
            }
            seen.insert(task.uid);
        }
        if (!assigned)
            break;
        const SaveResult saved = saveTasks();
        if (!saved.ok) {
            out.failure = saved.message;
            return out;
        }
        if (!saved.merged)
            break;
    }
    const auto live = liveTasks();
    out.tasks.assign(live.begin(), live.end());
    return out;
}

Applied apply(const std::vector<Change> &changes, State &state)
{
    Applied out;
    if (changes.empty())
        return out;
    for (const Change &change : changes) {
        const QString uid = change.kind == Change::Remove ? change.before.uid : change.after.uid;
        const int slot = slotOf(uid);
        switch (change.kind) {
        case Change::Remove:
            // A task edited here meanwhile stays, and goes back to the server.
            if (slot >= 0 && sameStored(tasks[slot], change.before)) {
                removeTask(slot);
                ++out.removed;
            }
            break;
        case Change::Update:
        case Change::Add:
            if (slot < 0) {
                // Deleted here while the pass ran: the edit that came wins.
                if (addTask(change.after)) {
                    ++out.added;
                } else {
                    out.notes << QStringLiteral("\u201C%1\u201D is on the server but the task list is full")
                                     .arg(change.after.title);
                    takeBack(change, state);
                }
            } else if (change.kind == Change::Add || sameStored(tasks[slot], change.before)) {
                tasks[slot] = change.after;
                deriveFields(tasks[slot]);
                ++out.updated;
            } else {
                const Merged merged = mergeTask(change.before, tasks[slot], change.after);
                tasks[slot] = merged.task;
                deriveFields(tasks[slot]);
                ++out.updated;
                if (merged.copy) {
                    Task copy = *merged.copy;
                    copy.uid = TaskCalendar::newUid();
                    if (addTask(copy))
                        out.notes << QStringLiteral("\u201C%1\u201D was changed here while it came from the server: "
                                                    "both versions are kept")
                                         .arg(copy.title);
                }
            }
            break;
        }
    }
    announceChange();
    const SaveResult saved = saveTasks();
    if (!saved.ok) {
        for (const Change &change : changes)
            takeBack(change, state);
        out.ok = false;
        out.message = saved.message;
        return out;
    }
    if (!saved.message.isEmpty())
        out.notes << saved.message;
    if (!saved.notice.isEmpty())
        out.notes << saved.notice;
    return out;
}

} // namespace Sync::StoreSide
