// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "taskstore.h"

#include <QHash>
#include <QUndoCommand>

#include <functional>
#include <optional>
#include <vector>

// The steps Undo and Redo take back and do again: a task added, edited,
// marked done or deleted, and the rules replaced. Each goes through the
// store's commits, so it is saved (under the lock, merged with outside
// changes) and drawn like any change. A step whose task or rules were
// changed since by something else (another program, a reminder's Done)
// changes nothing: it says so and leaves the stack.
namespace TaskUndo {

// How a step tells the user what it could not do: a failed save, or a
// change made elsewhere. The window shows it through its seam.
using Tell = std::function<void(const Module1::SaveResult &failed, const QString &refused)>;

// Where a task went: one deleted and brought back by Undo is a new record
// with an id of its own, and every step that speaks of the old one must
// find the new. One per stack.
class Ids
{
public:
    void moved(Module1::TaskId from, Module1::TaskId to) { m_moved.insert(from, to); }
    Module1::TaskId now(Module1::TaskId id) const
    {
        for (auto found = m_moved.constFind(id); found != m_moved.cend(); found = m_moved.constFind(id))
            id = found.value();
        return id;
    }

private:
    QHash<Module1::TaskId, Module1::TaskId> m_moved;
};

class TaskStep : public QUndoCommand
{
public:
    // `before` is the task as it was (none: it was added), `after` as the
    // command left it (none: it was deleted). The change is made already;
    // the first redo does nothing.
    TaskStep(Module1::TaskStore &store, Ids &ids, const QString &text, std::optional<Module1::Task> before,
             std::optional<Module1::Task> after, Tell tell);

    void undo() override;
    void redo() override;

    // The task's id in the store now.
    Module1::TaskId taskId() const { return m_ids.now(m_id); }

private:
    void step(const std::optional<Module1::Task> &from, const std::optional<Module1::Task> &to);

    Module1::TaskStore &m_store;
    Ids &m_ids;
    std::optional<Module1::Task> m_before;
    std::optional<Module1::Task> m_after;
    Module1::TaskId m_id = 0;
    Tell m_tell;
    bool m_done = true;
};

class RulesStep : public QUndoCommand
{
public:
    RulesStep(Module1::TaskStore &store, std::vector<Module1::AlertRule> before,
              std::vector<Module1::AlertRule> after, Tell tell);

    void undo() override;
    void redo() override;

private:
    void step(const std::vector<Module1::AlertRule> &from, const std::vector<Module1::AlertRule> &to);

    Module1::TaskStore &m_store;
    std::vector<Module1::AlertRule> m_before;
    std::vector<Module1::AlertRule> m_after;
    Tell m_tell;
    bool m_done = true;
};

// Whether the store's task `id` is still `expected` (by its stored fields).
bool stillAsLeft(const Module1::TaskStore &store, Module1::TaskId id, const Module1::Task &expected);

} // namespace TaskUndo
