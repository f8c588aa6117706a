// SPDX-License-Identifier: GPL-3.0-or-later
#include "session.h"

#include "clock.h"
#include "frmmain.h"
#include "frmstartup.h"
#include "modal.h"
#include "module1.h"
#include "notice.h"
#include "program.h"

#include <QApplication>
#include <QFileInfo>

#include <utility>

namespace {

// How often a "Done" said while a dialog is open asks again whether it closed.
constexpr int kDialogRetryMs = 300;

} // namespace

Session::Session(FrmStartup &startup, bool background, Reminders::Alarm &alarm, const QDBusConnection &bus,
                 QObject *parent)
    : QObject(parent), m_startup(startup), m_background(background), m_scheduler(alarm), m_notices(bus)
{
    // In the background, closing a window only hides it; the tray's or a
    // window's Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(!m_background);
    m_startup.setReleasePageWhenHidden(m_background);
    if (m_background)
        setTray(std::make_unique<Reminders::Tray>());
    else
        m_announcer = std::make_unique<Reminders::Announcer>(m_scheduler, m_notices, nullptr, *this);
    m_pendingRetry.setInterval(kDialogRetryMs);
    connect(&m_pendingRetry, &QTimer::timeout, this, &Session::markPendingDone);
}

Session::~Session() = default;

void Session::setTray(std::unique_ptr<Reminders::Tray> tray)
{
    m_announcer.reset();
    m_tray = std::move(tray);
    if (m_tray) {
        connect(m_tray.get(), &Reminders::Tray::showAllRequested, this, &Session::showAll);
        connect(m_tray.get(), &Reminders::Tray::exitRequested, this, [] { Modal::seam().endProgram(0); });
    }
    m_announcer = std::make_unique<Reminders::Announcer>(m_scheduler, m_notices, m_tray.get(), *this);
}

void Session::start()
{
    if (m_tray)
        m_tray->ensureShown();
    m_scheduler.start();
}

void Session::bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void Session::showAll()
{
    m_startup.cmdShowAll_Click();
}

void Session::alertAgain()
{
    const bool listed = m_startup.alertAgain(Clock::today());
    const bool storeMissing = !QFileInfo::exists(Module1::kStoreFileName);
    switch (Program::chooseOpening(false, storeMissing, listed)) {
    case Program::Opening::Alert:
        m_dueShown.clear();
        bringUp(&m_startup);
        break;
    case Program::Opening::MainWindow:
        bringUp(m_startup.mainWindow());
        break;
    case Program::Opening::Nothing:
        break;
    }
}

void Session::showTask(const Module1::Task &task)
{
    FrmMain *list = m_startup.mainWindow();
    if (const std::optional<int> row = Notice::rowOf(task, Module1::liveTasks())) {
        list->highlight(*row);
        list->bringIntoView(*row);
    }
    bringUp(list);
}

void Session::showInAlertWindow(const Module1::Task &task)
{
    // Reminders gather in the window until it is closed or put away.
    if (!m_startup.isVisible())
        m_dueShown.clear();
    m_dueShown.append(task);
    m_startup.showDueNow(m_dueShown, Clock::today());
    bringUp(&m_startup);
}

void Session::markTaskDone(const Module1::Task &task)
{
    m_pendingDone.append(task);
    markPendingDone();
}

void Session::markPendingDone()
{
    // An open dialog is editing the tables in place; a save now would write
    // its half-made edit, and its Cancel would drop this one.
    if (QApplication::activeModalWidget()) {
        m_pendingRetry.start();
        return;
    }
    m_pendingRetry.stop();
    bool marked = false;
    for (const Module1::Task &task : std::exchange(m_pendingDone, {})) {
        const std::optional<int> row = Notice::rowOf(task, Module1::liveTasks());
        // Gone, or done already (by the list, or a second click): nothing to do.
        if (!row || Module1::tasks[*row - 1].done)
            continue;
        marked = Module1::markDone(*row - 1, Clock::now()) != Module1::Marked::Unchanged || marked;
    }
    if (marked)
        Modal::reportSave(m_startup.existingMainWindow(), Module1::saveTasks());
}

void Session::newDay(QDate today)
{
    if (FrmMain *list = m_startup.existingMainWindow())
        list->drawList();
    if (!m_background)
        return;
    if (m_tray)
        m_tray->ensureShown();
    // As at login: the page is written again and the window comes up when
    // anything is listed.
    if (m_startup.alertAgain(today)) {
        m_dueShown.clear();
        bringUp(&m_startup);
    }
}
