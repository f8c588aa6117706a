// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changetracking.h"
#include "merge.h"
#include "module1.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>
#include <span>
#include <vector>

class StoreWatcher;

namespace Module1 {

// What a change made through the store came to: the save's result, and,
// when the store read its file back afterwards, what that read found.
struct Commit {
    SaveResult save;
    LoadReport load;
    bool reloaded = false;
    TaskId id = 0; // the task committed, where there is one
    bool ok() const { return save.ok; }
};

// One store: the task and rule tables of tasks.txt in the working folder,
// the order they are in, what was last read from or written to the file,
// and the watch on it. The program makes one and hands it to every window;
// a test makes as many as it likes, and they share nothing.
//
// Everybody reads the tables; they change only through the store. The
// commit functions are the one door for a change: each saves the store
// (merged with what changed in the file meanwhile, under the folder's
// lock), and announces it through changed(). A record keeps its id through
// sorts, reloads and merges, so whoever holds one finds the task again.
class TaskStore : public QObject
{
    Q_OBJECT
public:
    explicit TaskStore(QObject *parent = nullptr);
    ~TaskStore() override;
    TaskStore(const TaskStore &) = delete;
    TaskStore &operator=(const TaskStore &) = delete;

    // The tables, in the current order.
    std::span<const Task> tasks() const { return m_tasks; }
    int taskCount() const { return int(m_tasks.size()); }
    std::span<const AlertRule> rules() const { return m_rules; }
    int ruleCount() const { return int(m_rules.size()); }
    qint16 sortMode() const { return m_sortMode; }
    void setSortMode(qint16 mode) { m_sortMode = mode; }
    bool isFull() const { return taskCount() >= kTaskSlots; }
    // The tasks the file holds beyond the tables' capacity: not shown, and
    // kept in the file by every save.
    std::span<const Task> tasksBeyond() const { return m_beyond.tasks; }
    // Both tables as plain lists, a copy.
    Records records() const { return {m_tasks, m_rules}; }

    // The slot of the task with `id`, or -1 when it is gone.
    int slotOf(TaskId id) const;
    // The task with `id`, or null.
    const Task *find(TaskId id) const;

    // Empties both tables and refills them from the store file.
    LoadReport loadTasks();
    // Empties both tables and refills them from the bytes of a store file,
    // as if the file held them (tests, the fuzzer).
    LoadReport readStore(const QByteArray &bytes);
    // Takes these records as if the file held them, without reading or
    // writing it (tests, benchmarks).
    void readRecords(Records records) { putInTables(std::move(records)); }
    // The tables as an edit made in memory and not saved yet would leave
    // them, what the file held beyond them kept (tests, benchmarks: the
    // windows change the tables only through the commits below).
    void setTables(std::vector<Task> tasks, std::vector<AlertRule> rules);
    // Whether loadTasks ran since the store was made.
    bool loaded() const { return m_loaded; }
    const LoadReport &lastLoadReport() const { return m_lastLoad; }
    // How often loadTasks read the file: a window that only shows what
    // was read reads nothing.
    int loadCount() const { return m_loads; }
    // See ChangeTracker::setRaceWindow.
    void setRaceWindow(qint64 ns) { m_tracker.setRaceWindow(ns); }
    // Rewrites the whole store file from the tables, atomically. When the
    // file is no longer what the store last read or wrote, the tables are
    // first merged with it (and hold the merged records, in sortMode's
    // order, afterwards, which is announced).
    SaveResult saveTasks();
    // Reorders the tables by sortMode.
    void sortTasks();
    // loadTasks, then sortTasks, then announces the change.
    LoadReport reloadInListOrder();

    // Whether the store file now differs from what the store last read or
    // wrote, and is there to be read. A file that went missing does not
    // count: the tables still hold every task and the next save writes it.
    bool storeChangedElsewhere();
    // Whether the store file is there and cannot be written (no write
    // permission, a read-only disk): every save would fail until that
    // changes. The windows say so as they open.
    static bool storeReadOnly();
    // The exact text saveTasks would write now.
    QByteArray storeText() const;

    // The commits. `original` is the record (or rules) the change started
    // from: when the store's own changed since (another program, a
    // reminder), both changes are merged as a save merges the file's.
    // A commit that cannot be saved leaves the tables as they were.
    //
    // `settled`, when given, runs once the change is saved (and read back),
    // before it is announced: a dialog hides there, so the redraw the
    // announcement brings finds it gone.
    //
    // A task edited, or added with id 0: saved, read back and sorted.
    Commit commitTask(TaskId id, const Task &task, const Task *original = nullptr,
                      const std::function<void()> &settled = {});
    // The rules replaced: saved, not read back.
    Commit commitRules(const std::vector<AlertRule> &rules, const std::vector<AlertRule> *original = nullptr,
                       const std::function<void()> &settled = {});
    // The whole task list replaced (an import, identities given): saved.
    Commit commitTaskList(std::vector<Task> list);
    // A task deleted, and saved; the tables keep the deletion when the
    // save fails, for the next save to write.
    Commit removeTask(TaskId id);
    // A task marked done, or not done, or moved on (see markTaskDone), and
    // saved. `marked` is what it came to; Unchanged saves nothing.
    Commit markDone(TaskId id, const QDateTime &now, Marked *marked = nullptr);

    // Follows the store file while a window shows it: changedElsewhere()
    // is emitted when another program changed it.
    void follow(bool on);
    bool following() const;
    StoreWatcher &watcher() const { return *m_watcher; }

Q_SIGNALS:
    // The tables changed: they were reloaded, merged, or a change was
    // committed. Whoever shows or acts on them listens here.
    void changed();
    // The file is no longer what the store last read or wrote.
    void changedElsewhere();

private:
    void announce() { Q_EMIT changed(); }
    // Takes `records` as the tables, the first kTaskSlots tasks and
    // kRuleSlots rules shown and the rest kept for the file; every task
    // keeps the id of the record it matches in the tables it replaces.
    void putInTables(Records records);
    void adoptIds(std::vector<Task> &fresh) const;
    TaskId newId() { return ++m_lastId; }
    Records recordsToSave() const;
    // Saves the tables; a failure puts `before` back.
    SaveResult saveOrRestore(Records before);
    void noteLoad(LoadReport &report);

    std::vector<Task> m_tasks;
    std::vector<AlertRule> m_rules;
    // What the file held beyond the tables' capacity: not shown, and
    // written back after the tables by every save.
    Records m_beyond;
    qint16 m_sortMode = 0;
    TaskId m_lastId = 0;
    bool m_loaded = false;
    int m_loads = 0;
    LoadReport m_lastLoad;
    ChangeTracker m_tracker;
    // The folders whose leftovers this store has cleared.
    QStringList m_clearedFolders;
    StoreWatcher *m_watcher = nullptr;
};

} // namespace Module1
