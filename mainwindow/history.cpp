// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and Redo in the task list: every change made here (New's and Edit's
// Ok, Delete, Mark Done and Not Done, the rules' Ok) leaves a step, which
// Undo takes back through the store and Redo does again.
#include "frmmain.h"

#include "frmtask.h"
#include "modal.h"
#include "pausabletimer.h"
#include "tasklist.h"

#include <QAction>
#include <QMenu>
#include <QUndoStack>

using namespace Module1;

void FrmMain::buildHistory(QMenu *tasksMenu, QAction *before)
{
    m_history = new QUndoStack(this);
    const auto add = [&](const char *name, const QString &caption, QKeySequence::StandardKey key,
                         void (FrmMain::*step)()) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setEnabled(false);
        tasksMenu->insertAction(before, action);
        connect(action, &QAction::triggered, this, step);
        return action;
    };
    QAction *undo = add("menu_undo", QStringLiteral("&Undo"), QKeySequence::Undo, &FrmMain::undoStep);
    QAction *redo = add("menu_redo", QStringLiteral("&Redo"), QKeySequence::Redo, &FrmMain::redoStep);
    connect(m_history, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    connect(m_history, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    // The caption names what the step would take back: "Undo Delete".
    connect(m_history, &QUndoStack::undoTextChanged, undo, [undo](const QString &text) {
        undo->setText(text.isEmpty() ? QStringLiteral("&Undo") : QStringLiteral("&Undo %1").arg(text));
    });
    connect(m_history, &QUndoStack::redoTextChanged, redo, [redo](const QString &text) {
        redo->setText(text.isEmpty() ? QStringLiteral("&Redo") : QStringLiteral("&Redo %1").arg(text));
    });
}

TaskUndo::Tell FrmMain::tellUndo()
{
    return [this](const SaveResult &failed, const QString &refused) {
        if (!refused.isEmpty())
            m_context.seam.information(this, Modal::kMessageTitle, refused);
        else
            m_context.seam.reportSave(this, failed);
    };
}

void FrmMain::remember(const QString &text, std::optional<Task> before, std::optional<Task> after)
{
    m_history->push(new TaskUndo::TaskStep(store(), m_undoIds, text, std::move(before), std::move(after), tellUndo()));
}

void FrmMain::rememberRules(std::vector<AlertRule> before)
{
    std::vector<AlertRule> after(store().rules().begin(), store().rules().end());
    m_history->push(new TaskUndo::RulesStep(store(), std::move(before), std::move(after), tellUndo()));
}

void FrmMain::undoStep()
{
    stepAndSelect(m_history->index() - 1, [this] { m_history->undo(); });
}

void FrmMain::redoStep()
{
    stepAndSelect(m_history->index(), [this] { m_history->redo(); });
}

void FrmMain::stepAndSelect(int index, const std::function<void()> &step)
{
    // The step may leave the stack (its task was changed elsewhere), so
    // what it speaks of is read first.
    const auto *taskStep = dynamic_cast<const TaskUndo::TaskStep *>(m_history->command(index));
    const TaskId id = taskStep ? taskStep->taskId() : 0;
    m_timer1->setEnabled(false);
    step();
    m_timer1->setEnabled(true);
    if (id != 0)
        m_list->selectTask(m_undoIds.now(id));
}

void FrmMain::runEditor(FrmTask *editor)
{
    editor->takeCommitted();
    m_context.seam.exec(editor);
    const std::optional<Commit> commit = editor->takeCommitted();
    const Task *now = commit ? store().find(commit->id) : nullptr;
    if (!now)
        return;
    const bool added = editor->editedId() == 0;
    remember(added ? QStringLiteral("New Task") : QStringLiteral("Edit"),
             added ? std::nullopt : std::optional<Task>(editor->original()), *now);
    // A new task is shown where it went, and an edited one followed.
    m_list->selectTask(commit->id);
}
