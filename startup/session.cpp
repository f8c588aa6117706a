// SPDX-License-Identifier: GPL-3.0-or-later
#include "session.h"

#include "clock.h"
#include "frmmain.h"
#include "frmstartup.h"
#include "modal.h"
#include "module1.h"
#include "notice.h"
#include "syncaccountdialog.h"
#include "syncrunner.h"

#include <QApplication>

#include <utility>

Session::Session(FrmStartup &startup, bool background, Reminders::Alarm &alarm, const QDBusConnection &bus,
                 QObject *parent)
    : QObject(parent), m_startup(startup), m_background(background), m_scheduler(startup.context().store, alarm),
      m_notices(bus)
{
    connect(&m_startup, &FrmStartup::putOffRequested, this, &Session::putOffShown);
    // In the background, closing a window only hides it, and so does the
    // alert window's Exit; the tray's or the list's Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(!m_background);
    m_startup.setInBackground(m_background);
    if (m_background)
        setTray(std::make_unique<Reminders::Tray>());
    else
        m_announcer = std::make_unique<Reminders::Announcer>(m_scheduler, m_notices, nullptr, *this);
}

Session::~Session()
{
    // The runner outlives the session: it must not call back into it.
    if (Sync::Runner *runner = m_startup.context().sync) {
        runner->setStore(nullptr);
        runner->changeTables = nullptr;
        runner->askPassword = nullptr;
    }
}

void Session::setTray(std::unique_ptr<Reminders::Tray> tray)
{
    m_announcer.reset();
    m_tray = std::move(tray);
    if (m_tray) {
        connect(m_tray.get(), &Reminders::Tray::showAllRequested, this, &Session::showAll);
        connect(m_tray.get(), &Reminders::Tray::exitRequested, this,
                [this] { m_startup.context().seam.endProgram(0); });
    }
    m_announcer = std::make_unique<Reminders::Announcer>(m_scheduler, m_notices, m_tray.get(), *this);
}

void Session::start()
{
    if (m_tray)
        m_tray->ensureShown();
    m_scheduler.start();
    startSync();
}

void Session::startSync()
{
    Sync::Runner *sync = m_startup.context().sync;
    if (!sync)
        return;
    Sync::Runner &runner = *sync;
    // Changes from the server are committed like any change; the list
    // keeps its selection.
    runner.setStore(&m_startup.context().store);
    runner.changeTables = [this](const std::function<void()> &change) {
        if (FrmMain *list = m_startup.existingMainWindow())
            list->changeKeepingSelection(change);
        else
            change();
    };
    runner.askPassword = [this](const Sync::Account &account, const QString &why) {
        return askSyncPassword(m_startup.context().seam, m_startup.existingMainWindow(), account, why);
    };
    connect(&runner, &Sync::Runner::tell, this, &Session::tellSync, Qt::UniqueConnection);
    runner.start();
}

void Session::tellSync(const QString &message)
{
    m_startup.context().seam.notice(m_startup.existingMainWindow(), Modal::kMessageTitle, message);
}

void Session::open(Opening::Cause cause)
{
    QWidget *window = Opening::windowFor(m_startup, cause, Clock::today());
    if (!window)
        return;
    if (window == &m_startup)
        m_dueShown.clear();
    Opening::bringUp(window);
}

void Session::showAll()
{
    open(Opening::Cause::ShowAll);
}

void Session::alertAgain()
{
    open(Opening::Cause::AlertAgain);
}

void Session::showTask(const Module1::Task &task)
{
    FrmMain *list = m_startup.mainWindow();
    if (const std::optional<int> row = Notice::rowOf(task, m_startup.context().store.tasks()))
        list->showSlot(*row - 1);
    Opening::bringUp(list);
}

void Session::showInAlertWindow(const Module1::Task &task)
{
    // Reminders gather in the window until it is closed or put away.
    if (!m_startup.isVisible())
        m_dueShown.clear();
    m_dueShown.append({task, {}});
    m_startup.showDueNow(m_dueShown, Clock::today());
    Opening::bringUp(&m_startup);
}

void Session::putOffShown(qsizetype entry, const QDateTime &until)
{
    // Once only: the page says until when, and a second click does nothing.
    if (entry < 0 || entry >= m_dueShown.size() || m_dueShown[entry].putOffUntil.isValid())
        return;
    m_dueShown[entry].putOffUntil = until;
    m_scheduler.putOff(m_dueShown[entry].task, until);
    m_startup.showDueNow(m_dueShown, Clock::today());
}

void Session::markTaskDone(const Module1::Task &task)
{
    // At once, even with a dialog open: the editors hold copies. The very
    // task that was announced, or nothing: once marked (here, in the list,
    // or by a second click) or edited since, it no longer matches, and a
    // repeating one is not moved on twice.
    Module1::TaskStore &store = m_startup.context().store;
    const Module1::Task *now = store.find(task.id);
    if (!now || !Module1::sameStored(*now, task) || now->done)
        return;
    Module1::Marked marked = Module1::Marked::Unchanged;
    Module1::Commit commit;
    const auto mark = [&] { commit = store.markDone(task.id, Clock::now(), &marked); };
    FrmMain *list = m_startup.existingMainWindow();
    if (list)
        list->changeKeepingSelection(mark);
    else
        mark();
    if (marked != Module1::Marked::Unchanged)
        m_startup.context().seam.reportSave(list, commit.save);
}

void Session::newDay(QDate)
{
    // At once, even with a dialog open: it edits a copy.
    if (FrmMain *list = m_startup.existingMainWindow())
        list->drawList();
    if (!m_background)
        return;
    if (m_tray)
        m_tray->ensureShown();
    // As at login: the page is written again and the window comes up when
    // anything is listed.
    open(Opening::Cause::NewDay);
}
