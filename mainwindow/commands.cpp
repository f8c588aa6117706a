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
#include "storeside.h"
#include "syncaccountdialog.h"
#include "syncrunner.h"
#include "taskcalendar.h"

#include <QAction>
#include <QFileInfo>
#include <QLocale>

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
    on("menu_find", &FrmMain::openFind);
    connect(findChild<QAction *>(QStringLiteral("menu_showdone")), &QAction::toggled, this,
            &FrmMain::setShowDoneTasks);
    on("menu_manage", &FrmMain::manageRules);
    on("menu_syncaccount", &FrmMain::editSyncAccount);
    on("menu_about", &FrmMain::showAbout);
    on("menu_exi", &FrmMain::exitProgram);
}

// Parented to this window, so they are centred on it and stay out of the
// task bar. What they change is announced by the store, not told to us.
FrmTask *FrmMain::frmTask()
{
    if (!m_frmTask)
        m_frmTask = new FrmTask(m_context, this);
    return m_frmTask;
}

FrmAlerts *FrmMain::frmAlerts()
{
    if (!m_frmAlerts)
        m_frmAlerts = new FrmAlerts(m_context, this);
    return m_frmAlerts;
}

void FrmMain::newTask()
{
    if (store().isFull()) {
        // Hidden done tasks fill the table too; saying so shows where room is.
        const int hidden = store().taskCount() - shownCount();
        const QLocale locale;
        m_context.seam.information(
            this, Modal::kMessageTitle,
            hidden > 0 ? QStringLiteral("The task list is full (%1 tasks, %2 of them done and hidden).")
                             .arg(locale.toString(kTaskSlots), locale.toString(hidden))
                       : QStringLiteral("The task list is full (%1 tasks).").arg(locale.toString(kTaskSlots)));
        return;
    }
    m_timer1->setEnabled(false);
    // A new task starts from now, so Ok on the untouched form saves a
    // sensible one; the store has it only once Ok commits it, so a Cancel
    // leaves the count as it was.
    FrmTask *editor = frmTask();
    editor->prepareNew(TaskFields::blankTaskAt(Clock::now()));
    runEditor(editor);
    m_timer1->setEnabled(true);
}

void FrmMain::editSelectedTask()
{
    const int slot = slotOfRow(selectedRow());
    if (slot < 0)
        return;
    frmTask()->prepare(slot + 1);
    runEditor(frmTask());
}

void FrmMain::editPressedTask()
{
    m_timer1->setEnabled(false);
    // The popup only opens over a row, which selects it first; the check
    // keeps a stray trigger from opening an editor on nothing.
    if (const int slot = slotOfRow(selectedRow()); slot >= 0) {
        frmTask()->prepare(slot + 1);
        runEditor(frmTask());
    }
    m_timer1->setEnabled(true);
}

void FrmMain::deleteTask()
{
    m_timer1->setEnabled(false);
    const TaskId id = selectedTask();
    const Task *gone = store().find(id);
    const std::optional<Task> before = gone ? std::optional<Task>(*gone) : std::nullopt;
    // The task on the row below takes the selection, as the row did before;
    // after the last row nothing is selected.
    m_list->selectNext(m_list->taskOfRow(selectedRow() + 1));
    // The store is saved even when no row was selected.
    const Commit commit = store().removeTask(id);
    m_timer1->setEnabled(true);
    if (m_context.seam.reportSave(this, commit.save) && before)
        remember(QStringLiteral("Delete"), before, std::nullopt);
}

void FrmMain::markDone()
{
    const TaskId id = selectedTask();
    if (id == 0)
        return;
    m_timer1->setEnabled(false);
    const Task before = *store().find(id);
    const QString title = before.title;
    // Where the task goes out of sight, the row below takes the selection.
    const TaskId below = m_list->taskOfRow(selectedRow() + 1);
    // The redraw this announces re-sorts the list: the task, when it is
    // still shown, stays selected wherever it went; a task that is hidden
    // now leaves its row to the one that followed, as a deletion does.
    Marked marked = Marked::Unchanged;
    const Commit commit = store().markDone(id, Clock::now(), &marked);
    if (marked == Marked::Unchanged) {
        m_timer1->setEnabled(true);
        m_context.seam.information(this, Modal::kMessageTitle,
                                   QStringLiteral("\"%1\" has no next date within the years a task can hold, "
                                                  "so it was left as it is.")
                                       .arg(title));
        return;
    }
    if (rowOfSlot(store().slotOf(id)) >= 1)
        m_list->selectTask(id);
    else
        m_list->selectTask(below);
    m_timer1->setEnabled(true);
    if (m_context.seam.reportSave(this, commit.save)) {
        if (const Task *after = store().find(id))
            remember(before.done ? QStringLiteral("Mark Not Done") : QStringLiteral("Mark Done"), before, *after);
    }
}

void FrmMain::exportTasks()
{
    m_timer1->setEnabled(false);
    QString file = m_context.seam.chooseFile(this, Modal::FileUse::Save, QStringLiteral("Export Tasks"), kCalendarFiles);
    if (!file.isEmpty()) {
        if (QFileInfo(file).suffix().isEmpty())
            file += QStringLiteral(".ics");
        const TaskCalendar::Outcome outcome = TaskCalendar::exportStore(store(), file, Clock::now());
        m_context.seam.message(this, Modal::kMessageTitle, outcome.message,
                               outcome.ok ? Modal::Kind::Information : Modal::Kind::Warning);
    }
    m_timer1->setEnabled(true);
}

void FrmMain::importTasks()
{
    m_timer1->setEnabled(false);
    const QString file =
        m_context.seam.chooseFile(this, Modal::FileUse::Open, QStringLiteral("Import Tasks"), kCalendarFiles);
    if (!file.isEmpty()) {
        // The list redraws when the import announces the new tasks.
        const TaskCalendar::Outcome outcome = TaskCalendar::importStore(store(), file, Clock::now());
        m_context.seam.message(this, Modal::kMessageTitle, outcome.message,
                               outcome.ok ? Modal::Kind::Information : Modal::Kind::Warning);
    }
    m_timer1->setEnabled(true);
}

void FrmMain::editSyncAccount()
{
    m_timer1->setEnabled(false);
    const QString folder = Sync::StoreSide::storeFolder();
    SyncAccountDialog dialog(this);
    const Sync::Account before = Sync::loadAccount(folder);
    dialog.showAccount(before);
    if (m_context.seam.exec(&dialog) == QDialog::Accepted) {
        const Sync::Account account = dialog.account();
        // Left empty on an account already set up, the password stays.
        const QString typed = dialog.password();
        const bool keep = typed.isEmpty() && before.isSet();
        const Sync::AccountChange change =
            Sync::changeAccount(folder, account, keep ? std::nullopt : std::optional<QString>(typed));
        if (m_context.sync)
            m_context.sync->forgetPassword();
        if (!change.error.isEmpty()) {
            m_context.seam.warning(this, Modal::kMessageTitle,
                                   QStringLiteral("The sync account could not be saved: %1.").arg(change.error));
        } else if (account.isSet()) {
            if (!change.unstored.isEmpty() && !keep) {
                // Kept for this session only; asked again at the next start.
                if (m_context.sync)
                    m_context.sync->setSessionPassword(typed);
                m_context.seam.information(this, Modal::kMessageTitle,
                                   QStringLiteral("The password is kept only while Quorvi runs: %1.").arg(change.unstored));
            }
            if (m_context.sync)
                m_context.sync->syncNow();
        }
    }
    m_timer1->setEnabled(true);
}

void FrmMain::showSyncResult(const QString &lastResult)
{
    for (QAction *action : m_syncEntries) {
        if (action)
            action->setToolTip(lastResult.isEmpty() ? action->text().remove(u'&') : lastResult);
    }
}

void FrmMain::manageRules()
{
    m_timer1->setEnabled(false);
    FrmAlerts *dialog = frmAlerts();
    dialog->prepare();
    dialog->drawAlert(0);
    std::vector<AlertRule> before(store().rules().begin(), store().rules().end());
    dialog->takeCommitted();
    m_context.seam.exec(dialog);
    if (dialog->takeCommitted())
        rememberRules(std::move(before));
    m_timer1->setEnabled(true);
}

void FrmMain::showAbout()
{
    m_context.seam.information(this, kAboutTitle, aboutText());
}

void FrmMain::exitProgram()
{
    // Every change was saved by the command that made it.
    m_context.seam.endProgram(0);
}
