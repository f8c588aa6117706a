// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu commands: new, edit and delete tasks, export and
// import, the rules dialog, About and Exit.
#include "frmalerts.h"
#include "frmmain.h"
#include "clock.h"
#include "dueboxes.h"
#include "frmtask.h"
#include "modal.h"
#include "module1.h"
#include "pausabletimer.h"
#include "taskcalendar.h"

#include <QAction>
#include <QFileInfo>

using namespace Module1;

namespace {

constexpr QLatin1StringView kAboutTitle("About Quorvi");
constexpr QLatin1StringView kCalendarFiles("iCalendar files (*.ics);;All files (*)");

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
    on("menu_new", &FrmMain::newTask);
    on("menu_modify", &FrmMain::editSelectedTask);
    on("menu_modify2", &FrmMain::editPressedTask);
    on("menu_delete", &FrmMain::deleteTask);
    on("menu_delete2", &FrmMain::deleteTask);
    on("menu_done", &FrmMain::markDone);
    on("menu_done2", &FrmMain::markDone);
    on("menu_export", &FrmMain::exportTasks);
    on("menu_import", &FrmMain::importTasks);
    connect(findChild<QAction *>(QStringLiteral("menu_showdone")), &QAction::toggled, this,
            &FrmMain::setShowDoneTasks);
    on("menu_manage", &FrmMain::manageRules);
    on("menu_about", &FrmMain::showAbout);
    on("menu_exi", &FrmMain::exitProgram);
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

void FrmMain::newTask()
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
    // starts from now, so Ok on the untouched form saves a sensible one.
    tasks[taskCount - 1] = TaskFields::blankTaskAt(Clock::now());
    FrmTask *editor = frmTask();
    editor->prepare(taskCount);
    Modal::exec(editor);
    // A cancelled editor has reloaded the store, which restored the count.
    m_timer1->setEnabled(true);
}

void FrmMain::editSelectedTask()
{
    if (m_selectedRow < 1)
        return;
    frmTask()->prepare(m_selectedRow);
    Modal::exec(frmTask());
}

void FrmMain::editPressedTask()
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

void FrmMain::exportTasks()
{
    m_timer1->setEnabled(false);
    QString file = Modal::seam().chooseFile(this, Modal::FileUse::Save, QStringLiteral("Export Tasks"), kCalendarFiles);
    if (!file.isEmpty()) {
        if (QFileInfo(file).suffix().isEmpty())
            file += QStringLiteral(".ics");
        const TaskCalendar::Outcome outcome = TaskCalendar::exportStore(file, Clock::now());
        (outcome.ok ? Modal::information : Modal::warning)(this, Modal::kMessageTitle, outcome.message);
    }
    m_timer1->setEnabled(true);
}

void FrmMain::importTasks()
{
    m_timer1->setEnabled(false);
    const QString file = Modal::seam().chooseFile(this, Modal::FileUse::Open, QStringLiteral("Import Tasks"), kCalendarFiles);
    if (!file.isEmpty()) {
        // The list redraws when the import announces the new tasks.
        const TaskCalendar::Outcome outcome = TaskCalendar::importStore(file, Clock::now());
        (outcome.ok ? Modal::information : Modal::warning)(this, Modal::kMessageTitle, outcome.message);
    }
    m_timer1->setEnabled(true);
}

void FrmMain::manageRules()
{
    m_timer1->setEnabled(false);
    FrmAlerts *dialog = frmAlerts();
    dialog->drawAlert(0);
    Modal::exec(dialog);
    m_timer1->setEnabled(true);
}

void FrmMain::showAbout()
{
    Modal::information(this, kAboutTitle, aboutText());
}

void FrmMain::exitProgram()
{
    // Every change was saved by the command that made it.
    Modal::seam().endProgram(0);
}
