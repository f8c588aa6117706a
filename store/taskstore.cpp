// SPDX-License-Identifier: GPL-3.0-or-later
#include "taskstore.h"

#include "storelock.h"
#include "storereader.h"
#include "storesave.h"
#include "storewatcher.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <utility>

namespace Module1 {

namespace {

// The stored fields of a task as one key, to find its twin among many.
QString storedKey(const Task &t)
{
    return QStringList{t.title, t.forWhom, QString::number(t.year), QString::number(t.month),
                       QString::number(t.day), QString::number(t.hour), QString::number(t.minute),
                       QString::number(t.second), t.description, t.doneText, t.repeatText, t.uid}
        .join(QChar(0x1F));
}

} // namespace

TaskStore::TaskStore(QObject *parent) : QObject(parent), m_watcher(new StoreWatcher(*this, this))
{
    connect(m_watcher, &StoreWatcher::changedElsewhere, this, &TaskStore::changedElsewhere);
}

TaskStore::~TaskStore() = default;

int TaskStore::slotOf(TaskId id) const
{
    if (id == 0)
        return -1;
    const auto it = std::find_if(m_tasks.begin(), m_tasks.end(), [id](const Task &t) { return t.id == id; });
    return it == m_tasks.end() ? -1 : int(it - m_tasks.begin());
}

const Task *TaskStore::find(TaskId id) const
{
    const int slot = slotOf(id);
    return slot < 0 ? nullptr : &m_tasks[std::size_t(slot)];
}

void TaskStore::adoptIds(std::vector<Task> &fresh) const
{
    // Each id of the old tables goes to one record at most: first to a
    // record that carries it already (ours, through a merge), then to the
    // one with the same uid, then to one with the same stored fields.
    QHash<TaskId, int> oldSlot;
    QHash<QString, QList<int>> byUid;
    QHash<QString, QList<int>> byFields;
    for (int i = 0; i < int(m_tasks.size()); ++i) {
        const Task &t = m_tasks[std::size_t(i)];
        oldSlot.insert(t.id, i);
        if (!t.uid.isEmpty())
            byUid[t.uid].append(i);
        byFields[storedKey(t)].append(i);
    }
    std::vector<bool> taken(m_tasks.size(), false);
    const auto take = [&taken](QList<int> &slots) -> int {
        while (!slots.isEmpty()) {
            const int slot = slots.takeFirst();
            if (!taken[std::size_t(slot)])
                return slot;
        }
        return -1;
    };
    for (Task &t : fresh) {
        const auto it = oldSlot.constFind(t.id);
        if (t.id != 0 && it != oldSlot.constEnd() && !taken[std::size_t(*it)])
            taken[std::size_t(*it)] = true;
        else
            t.id = 0;
    }
    for (Task &t : fresh) {
        if (t.id != 0)
            continue;
        int slot = t.uid.isEmpty() ? -1 : take(byUid[t.uid]);
        if (slot < 0)
            slot = take(byFields[storedKey(t)]);
        if (slot >= 0) {
            taken[std::size_t(slot)] = true;
            t.id = m_tasks[std::size_t(slot)].id;
        }
    }
}

void TaskStore::putInTables(Records records)
{
    std::vector<Task> shown;
    const std::size_t taskRoom = std::min(records.tasks.size(), std::size_t(kTaskSlots));
    shown.assign(std::make_move_iterator(records.tasks.begin()),
                 std::make_move_iterator(records.tasks.begin() + std::ptrdiff_t(taskRoom)));
    m_beyond.tasks.assign(std::make_move_iterator(records.tasks.begin() + std::ptrdiff_t(taskRoom)),
                          std::make_move_iterator(records.tasks.end()));
    const std::size_t ruleRoom = std::min(records.rules.size(), std::size_t(kRuleSlots));
    m_rules.assign(records.rules.begin(), records.rules.begin() + std::ptrdiff_t(ruleRoom));
    m_beyond.rules.assign(records.rules.begin() + std::ptrdiff_t(ruleRoom), records.rules.end());
    adoptIds(shown);
    for (Task &t : shown) {
        if (t.id == 0)
            t.id = newId();
    }
    m_tasks = std::move(shown);
}

void TaskStore::setTables(std::vector<Task> tasks, std::vector<AlertRule> rules)
{
    for (Task &t : tasks)
        deriveFields(t);
    adoptIds(tasks);
    for (Task &t : tasks) {
        if (t.id == 0)
            t.id = newId();
    }
    m_tasks = std::move(tasks);
    m_rules = std::move(rules);
}

Records TaskStore::recordsToSave() const
{
    Records all = records();
    all.tasks.insert(all.tasks.end(), m_beyond.tasks.begin(), m_beyond.tasks.end());
    all.rules.insert(all.rules.end(), m_beyond.rules.begin(), m_beyond.rules.end());
    return all;
}

void TaskStore::noteLoad(LoadReport &report)
{
    report.repeated = !report.problems.isEmpty() && report.problems == m_lastLoad.problems;
    m_lastLoad = report;
    m_loaded = true;
    ++m_loads;
}

LoadReport TaskStore::readStore(const QByteArray &bytes)
{
    Records records;
    LoadReport report = parseStore(bytes, records);
    putInTables(std::move(records));
    return report;
}

LoadReport TaskStore::loadTasks()
{
    LoadReport report;
    // No save can be half way through the file while it is read.
    const StoreLock lock(lockFolder(), StoreLock::Kind::Shared, kLoadLockWaitMs);
    removeOwnLeftovers(lock, m_clearedFolders);

    Records records;
    const QFileInfo info(kStoreFileName);
    if (!info.exists() && !info.isSymLink()) {
        report.fileMissing = true;
        m_tracker.remember(DiskFile::Look{}, {}, {}, nullptr);
    } else if (info.isDir()) {
        report.unreadable = true;
        report.unreadableReason = QStringLiteral("it is a folder, not a file");
    } else if (!info.isFile()) {
        // A pipe would block the start for ever and a device could be endless.
        report.unreadable = true;
        report.unreadableReason = QStringLiteral("it is not a regular file");
    } else if (const DiskFile::Read read = DiskFile::readWhole(kStoreFileName); !read.ok) {
        report.unreadable = true;
        report.unreadableReason = DiskFile::reason(read.error);
    } else {
        report = parseStore(read.bytes, records);
        m_tracker.remember(read.look, read.bytes, records, &report);
    }
    if (report.unreadable) {
        m_tracker.forget();
        report.problems.prepend(
            QStringLiteral("%1 could not be read: %2").arg(kStoreFileName, report.unreadableReason));
    }
    putInTables(std::move(records));
    noteLoad(report);
    return report;
}

QByteArray TaskStore::storeText() const
{
    if (m_beyond.tasks.empty() && m_beyond.rules.empty())
        return Module1::storeText(m_tasks, m_rules);
    const Records all = recordsToSave();
    return Module1::storeText(all.tasks, all.rules);
}

SaveResult TaskStore::saveTasks()
{
    StoreSave save(m_tracker, recordsToSave(), m_sortMode);
    SaveResult result = save.run(m_lastLoad.unreadable, m_lastLoad.unreadableReason, m_clearedFolders);
    if (result.ok && (save.merged() || save.gaveStarterRules())) {
        putInTables(std::move(save.records()));
        announce();
    }
    return result;
}

void TaskStore::sortTasks()
{
    sortTaskList(m_tasks, m_sortMode);
}

LoadReport TaskStore::reloadInListOrder()
{
    LoadReport report = loadTasks();
    sortTasks();
    announce();
    return report;
}

bool TaskStore::storeChangedElsewhere()
{
    return m_tracker.glance().state == Glance::Changed;
}

bool TaskStore::storeReadOnly()
{
    const DiskFile::Look file = DiskFile::look(kStoreFileName);
    return file.exists() && DiskFile::isReadOnly(kStoreFileName, file);
}

SaveResult TaskStore::saveOrRestore(Records before)
{
    const std::vector<Task> beyond = m_beyond.tasks;
    SaveResult result = saveTasks();
    if (!result.ok) {
        m_tasks = std::move(before.tasks);
        m_rules = std::move(before.rules);
        m_beyond.tasks = beyond;
    }
    return result;
}

Commit TaskStore::commitTask(TaskId id, const Task &task, const Task *original,
                             const std::function<void()> &settled)
{
    Commit commit;
    Records before = records();
    const int slot = slotOf(id);
    Task edited = task;
    deriveFields(edited);
    if (slot < 0 && isFull()) {
        commit.save.ok = false;
        commit.save.message = QStringLiteral("The task list is full (%1 tasks).").arg(kTaskSlots);
        return commit;
    }
    int keptTwice = 0;
    if (slot >= 0)
        edited.id = id;
    if (slot < 0) {
        // New, or deleted meanwhile (an edit outlives a deletion, as in a merge).
        edited.id = newId();
        m_tasks.push_back(edited);
    } else if (original && !sameStored(*original, m_tasks[std::size_t(slot)])) {
        // Changed here since the editor took its copy: both changes meet
        // as in a merge, field by field for a task with a uid.
        MergeOutcome merge = mergeRecords({{*original}, {}}, {{edited}, {}}, {{m_tasks[std::size_t(slot)]}, {}});
        keptTwice = merge.tasksKeptTwice;
        // Both versions kept: the second is a task of its own.
        for (std::size_t i = 1; i < merge.merged.tasks.size(); ++i)
            merge.merged.tasks[i].id = newId();
        m_tasks.erase(m_tasks.begin() + slot);
        m_tasks.insert(m_tasks.begin() + slot, merge.merged.tasks.begin(), merge.merged.tasks.end());
    } else {
        m_tasks[std::size_t(slot)] = edited;
    }
    commit.id = edited.id;
    commit.save = saveOrRestore(std::move(before));
    commit.save.tasksKeptTwice += keptTwice;
    if (!commit.ok())
        return commit;
    // Read back as it now stands in the file, then shown in the list's order.
    commit.load = loadTasks();
    commit.reloaded = true;
    sortTasks();
    if (settled)
        settled();
    announce();
    return commit;
}

Commit TaskStore::commitRules(const std::vector<AlertRule> &rules, const std::vector<AlertRule> *original,
                              const std::function<void()> &settled)
{
    Commit commit;
    Records before = records();
    if (original && !std::equal(original->begin(), original->end(), m_rules.begin(), m_rules.end(),
                                [](const AlertRule &a, const AlertRule &b) { return sameStored(a, b); })) {
        m_rules = mergeRecords({{}, *original}, {{}, rules}, {{}, m_rules}).merged.rules;
    } else {
        m_rules = rules;
    }
    commit.save = saveOrRestore(std::move(before));
    if (!commit.ok())
        return commit;
    if (settled)
        settled();
    announce();
    return commit;
}

Commit TaskStore::commitTaskList(std::vector<Task> list)
{
    Commit commit;
    Records before = records();
    setTables(std::move(list), m_rules);
    commit.save = saveOrRestore(std::move(before));
    if (commit.ok())
        announce();
    return commit;
}

Commit TaskStore::removeTask(TaskId id)
{
    Commit commit;
    if (const int slot = slotOf(id); slot >= 0) {
        m_tasks.erase(m_tasks.begin() + slot);
        announce();
    }
    commit.save = saveTasks();
    return commit;
}

Commit TaskStore::markDone(TaskId id, const QDateTime &now, Marked *marked)
{
    Commit commit;
    commit.id = id;
    const int slot = slotOf(id);
    const Marked result = slot < 0 ? Marked::Unchanged : markTaskDone(m_tasks[std::size_t(slot)], now);
    if (marked)
        *marked = result;
    if (result == Marked::Unchanged)
        return commit;
    announce();
    commit.save = saveTasks();
    return commit;
}

void TaskStore::follow(bool on)
{
    if (!on)
        m_watcher->stop();
    else if (!m_watcher->isWatching())
        m_watcher->start();
}

bool TaskStore::following() const
{
    return m_watcher->isWatching();
}

} // namespace Module1
