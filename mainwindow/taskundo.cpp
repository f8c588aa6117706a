// SPDX-License-Identifier: GPL-3.0-or-later
#include "taskundo.h"

#include "merge.h"

#include <algorithm>

namespace TaskUndo {

namespace {

QString changedElsewhere(const Module1::Task &task)
{
    return QStringLiteral("\"%1\" was changed elsewhere since, so it was left as it is.").arg(task.title);
}

bool sameRules(std::span<const Module1::AlertRule> a, const std::vector<Module1::AlertRule> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Module1::AlertRule &x, const Module1::AlertRule &y) { return Module1::sameStored(x, y); });
}

} // namespace

bool stillAsLeft(const Module1::TaskStore &store, Module1::TaskId id, const Module1::Task &expected)
{
    const Module1::Task *now = store.find(id);
    return now && Module1::sameStored(*now, expected);
}

TaskStep::TaskStep(Module1::TaskStore &store, Ids &ids, const QString &text, std::optional<Module1::Task> before,
                   std::optional<Module1::Task> after, Tell tell)
    : QUndoCommand(text), m_store(store), m_ids(ids), m_before(std::move(before)), m_after(std::move(after)),
      m_id(m_after ? m_after->id : m_before ? m_before->id : 0), m_tell(std::move(tell))
{
}

void TaskStep::undo()
{
    step(m_after, m_before);
}

void TaskStep::redo()
{
    // Pushed after the change was made.
    if (std::exchange(m_done, false))
        return;
    step(m_before, m_after);
}

void TaskStep::step(const std::optional<Module1::Task> &from, const std::optional<Module1::Task> &to)
{
    // The task must be as this step left it; anything else would undo a
    // change nobody asked to undo.
    const Module1::TaskId id = m_ids.now(m_id);
    if (from && !stillAsLeft(m_store, id, *from)) {
        setObsolete(true);
        m_tell({}, changedElsewhere(*from));
        return;
    }
    Module1::Commit commit;
    if (!to) {
        commit = m_store.removeTask(id);
    } else if (!from) {
        // Brought back as a new record; the store gives it its id.
        Module1::Task added = *to;
        added.id = 0;
        commit = m_store.commitTask(0, added);
        if (commit.ok())
            m_ids.moved(id, commit.id);
    } else {
        commit = m_store.commitTask(id, *to, &*from);
    }
    if (!commit.ok()) {
        setObsolete(true);
        m_tell(commit.save, {});
    }
}

RulesStep::RulesStep(Module1::TaskStore &store, std::vector<Module1::AlertRule> before,
                     std::vector<Module1::AlertRule> after, Tell tell)
    : QUndoCommand(QStringLiteral("Colors And Alerts")), m_store(store), m_before(std::move(before)),
      m_after(std::move(after)), m_tell(std::move(tell))
{
}

void RulesStep::undo()
{
    step(m_after, m_before);
}

void RulesStep::redo()
{
    if (std::exchange(m_done, false))
        return;
    step(m_before, m_after);
}

void RulesStep::step(const std::vector<Module1::AlertRule> &from, const std::vector<Module1::AlertRule> &to)
{
    if (!sameRules(m_store.rules(), from)) {
        setObsolete(true);
        m_tell({}, QStringLiteral("The colours and alerts were changed elsewhere since, so they were left as they are."));
        return;
    }
    const Module1::Commit commit = m_store.commitRules(to, &from);
    if (!commit.ok()) {
        setObsolete(true);
        m_tell(commit.save, {});
    }
}

} // namespace TaskUndo
