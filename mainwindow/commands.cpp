// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu commands: new, edit and delete tasks, the rules
// dialog, About and Exit.
#include "frmalerts.h"
#include "frmmain.h"
#include "clock.h"
#include "frmtask.h"
#include "modal.h"
#include "module1.h"
#include "refreshtimer.h"

#include <QAction>

using namespace Module1;

namespace {

constexpr QLatin1StringView kAboutTitle("About Quorvi");

QString aboutText()
{
    return QStringLiteral("Quorvi %1\n"
                          "A small reminder for tasks and their due dates.\n\n"
                          "Written by the Quorvi authors <%2>.\n"
                          "Special thanks to: Wendeline Marchbanks, keeper of the first task list")
        .arg(QStringLiteral(QUORVI_VERSION), QStringLiteral(QUORVI_CONTACT));
}

} // namespace

void FrmMain::connectCommands()
{
    const auto on = [this](const char *name, void (FrmMain::*command)()) {
        auto *action = findChild<QAction *>(QLatin1String(name));
        Q_ASSERT(action);
        connect(action, &QAction::triggered, this, command);
    };
    on("menu_new", &FrmMain::menu_new_Click);
    on("menu_modify", &FrmMain::menu_modify_Click);
    on("menu_modify2", &FrmMain::menu_modify2_Click);
    on("menu_delete", &FrmMain::deleteTask);
    on("menu_delete2", &FrmMain::deleteTask);
    on("menu_done", &FrmMain::markDone);
    on("menu_done2", &FrmMain::markDone);
    connect(findChild<QAction *>(QStringLiteral("menu_showdone")), &QAction::toggled, this,
            &FrmMain::setShowDoneTasks);
    on("menu_manage", &FrmMain::menu_manage_Click);
    on("menu_about", &FrmMain::menu_about_Click);
    on("menu_exi", &FrmMain::menu_exi_Click);
}

// Parented to this window, so they are centred on it and stay out of the
// task bar. What they change is announced by the store, not told to us.
FrmTask *FrmMain::frmTask()
{
    if (!m_frmTask)
        m_frmTask = new FrmTask(this);
    return m_frmTask;
}

FrmAlerts *FrmMain::frmAlerts()
{
    if (!m_frmAlerts)
        m_frmAlerts = new FrmAlerts(this);
    return m_frmAlerts;
}

void FrmMain::menu_new_Click()
{
    // The new task takes the slot after the last; there is none past 1001.
    if (taskCount >= kTaskSlots) {
        // Hidden done tasks fill slots too; saying so shows where room is.
        const int hidden = taskCount - shownCount();
        Modal::information(this, Modal::kMessageTitle,
                           hidden > 0 ? QStringLiteral("The task list is full (%1 tasks, %2 of them done and hidden).")
                                            .arg(kTaskSlots)
                                            .arg(hidden)
                                      : QStringLiteral("The task list is full (%1 tasks).").arg(kTaskSlots));
        return;
    }
    m_timer1->setEnabled(false);
    ++taskCount;
    // The slot may still hold a deleted task or a cancelled New; a new task
    // starts blank, as a never-used slot does.
    tasks[taskCount - 1] = Task{};
    FrmTask *editor = frmTask();
    editor->prepare(taskCount);
    Modal::exec(editor);
    // A cancelled editor has reloaded the store, which restored the count.
    m_timer1->setEnabled(true);
}

void FrmMain::menu_modify_Click()
{
    if (m_selectedRow < 1)
        return;
    frmTask()->prepare(m_selectedRow);
    Modal::exec(frmTask());
}

void FrmMain::menu_modify2_Click()
{
    m_timer1->setEnabled(false);
    // The popup only opens over a row, which selects it first; the check
    // keeps a stray trigger from opening an editor on nothing.
    if (m_selectedRow >= 1) {
        frmTask()->prepare(m_selectedRow);
        Modal::exec(frmTask());
    }
    m_timer1->setEnabled(true);
}

void FrmMain::deleteTask()
{
    m_timer1->setEnabled(false);
    // The redraw this announces keeps the selection on the same row, which
    // now shows the task that followed.
    if (m_selectedRow > 0)
        removeTask(m_selectedRow - 1);
    m_timer1->setEnabled(true);
    Modal::reportSave(this, saveTasks());
}

void FrmMain::markDone()
{
    if (m_selectedRow < 1 || m_selectedRow > taskCount)
        return;
    m_timer1->setEnabled(false);
    const int slot = m_selectedRow - 1;
    // The redraw this announces re-sorts the list: the task, when it is
    // still shown, stays selected wherever it went; a task that is hidden
    // now leaves its row to the one that followed, as a deletion does.
    Task marked;
    if (Module1::markDone(slot, Clock::now(), &marked) == Marked::Unchanged) {
        m_timer1->setEnabled(true);
        Modal::information(this, Modal::kMessageTitle,
                           QStringLiteral("\"%1\" has no next date within the years a task can hold, "
                                          "so it was left as it is.")
                               .arg(tasks[slot].title));
        return;
    }
    const int row = findTask(marked, slot) + 1;
    if (row >= 1 && row <= shownCount()) {
        highlight(row);
        bringIntoView(row);
    }
    m_timer1->setEnabled(true);
    Modal::reportSave(this, saveTasks());
}

void FrmMain::menu_manage_Click()
{
    m_timer1->setEnabled(false);
    FrmAlerts *dialog = frmAlerts();
    dialog->drawAlert(0);
    Modal::exec(dialog);
    m_timer1->setEnabled(true);
}

void FrmMain::menu_about_Click()
{
    Modal::information(this, kAboutTitle, aboutText());
}

void FrmMain::menu_exi_Click()
{
    // Every change was saved by the command that made it.
    Modal::seam().endProgram(0);
}
