// SPDX-License-Identifier: GPL-3.0-or-later
#include "storeside.h"

#include "merge.h"
#include "taskcalendar.h"

#include <QDir>
#include <QSet>

#include <algorithm>

namespace Sync::StoreSide {

namespace {

using namespace Module1;

std::vector<Task>::iterator withUid(std::vector<Task> &list, const QString &uid)
{
    return std::find_if(list.begin(), list.end(), [&uid](const Task &t) { return t.uid == uid; });
}

void takeBack(const Change &change, State &state)
{
    const QString uid = change.kind == Change::Remove ? change.before.uid : change.after.uid;
    if (change.previous)
        state.byUid[uid] = *change.previous;
    else
        state.byUid.erase(uid);
    // The next pass lists again, the whole collection: what could not be
    // saved here is not among the changes a sync-token would report.
    state.ctag.clear();
    state.syncToken.clear();
}

bool addTask(std::vector<Task> &list, const Task &task)
{
    if (int(list.size()) >= kTaskSlots)
        return false;
    list.push_back(task);
    deriveFields(list.back());
    return true;
}

// A change from the server to a task edited here while the pass ran: both
// merged field by field, the server's version kept beside where a field
// clashes. Where there is no room for it, the task stays as it is here,
// and the next pass merges again, keeping the server's version on the
// server.
void mergeHere(std::vector<Task> &list, std::vector<Task>::iterator slot, const Change &change, State &state,
               Applied &out)
{
    const Merged merged = mergeTask(change.before, *slot, change.after);
    if (merged.copy) {
        Task copy = *merged.copy;
        copy.uid = TaskCalendar::newUid();
        const qsizetype at = slot - list.begin();
        if (!addTask(list, copy)) {
            takeBack(change, state);
            return;
        }
        slot = list.begin() + at; // the push may have moved the tasks
        out.notes << QStringLiteral("\u201C%1\u201D was changed here while it came from the server: "
                                    "both versions are kept")
                         .arg(copy.title);
    }
    *slot = merged.task;
    deriveFields(*slot);
    ++out.updated;
}

QStringList notesOf(const SaveResult &saved)
{
    QStringList notes;
    if (!saved.message.isEmpty())
        notes << saved.message;
    if (!saved.notice.isEmpty())
        notes << saved.notice;
    return notes;
}

} // namespace

QString storeFolder()
{
    return QDir::currentPath();
}

Snapshot take(TaskStore &store)
{
    Snapshot out;
    if (store.lastLoadReport().unreadable) {
        out.failure = store.lastLoadReport().problems.value(0);
        return out;
    }
    // A save merged with a change made elsewhere may bring tasks that need
    // an identity too.
    for (int round = 0; round < 2; ++round) {
        std::vector<Task> list(store.tasks().begin(), store.tasks().end());
        QSet<QString> seen;
        bool assigned = false;
        for (Task &task : list) {
            if (task.uid.isEmpty() || seen.contains(task.uid)) {
                task.uid = TaskCalendar::newUid();
                assigned = true;
            }
            seen.insert(task.uid);
        }
        if (!assigned)
            break;
        const Commit committed = store.commitTaskList(std::move(list));
        if (!committed.ok()) {
            out.failure = committed.save.message;
            return out;
        }
        if (!committed.save.merged)
            break;
    }
    out.tasks.assign(store.tasks().begin(), store.tasks().end());
    for (const Task &task : store.tasksBeyond()) {
        if (!task.uid.isEmpty())
            out.beyond.insert(task.uid);
    }
    return out;
}

Applied apply(TaskStore &store, const std::vector<Change> &changes, State &state)
{
    Applied out;
    if (changes.empty())
        return out;
    std::vector<Task> list(store.tasks().begin(), store.tasks().end());
    for (const Change &change : changes) {
        const QString uid = change.kind == Change::Remove ? change.before.uid : change.after.uid;
        const auto slot = withUid(list, uid);
        const bool found = slot != list.end();
        switch (change.kind) {
        case Change::Remove:
            // A task edited here meanwhile stays, and goes back to the server.
            if (found && sameStored(*slot, change.before)) {
                list.erase(slot);
                ++out.removed;
            }
            break;
        case Change::Update:
        case Change::Add:
            if (!found) {
                // Deleted here while the pass ran: the edit that came wins.
                if (addTask(list, change.after)) {
                    ++out.added;
                } else {
                    out.notes << QStringLiteral("\u201C%1\u201D is on the server but the task list is full")
                                     .arg(change.after.title);
                    takeBack(change, state);
                }
            } else if (change.kind == Change::Add || sameStored(*slot, change.before)) {
                *slot = change.after;
                deriveFields(*slot);
                ++out.updated;
            } else {
                mergeHere(list, slot, change, state, out);
            }
            break;
        }
    }
    const Commit committed = store.commitTaskList(std::move(list));
    if (!committed.ok()) {
        for (const Change &change : changes)
            takeBack(change, state);
        out.ok = false;
        out.message = committed.save.message;
        return out;
    }
    out.notes << notesOf(committed.save);
    return out;
}

} // namespace Sync::StoreSide
