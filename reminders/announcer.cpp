// SPDX-License-Identifier: GPL-3.0-or-later
#include "announcer.h"

#include "desktopnotices.h"
#include "notice.h"
#include "scheduler.h"
#include "tray.h"

namespace Reminders {

Announcer::Announcer(Scheduler &scheduler, DesktopNotices &notices, Tray *tray, Front &front, QObject *parent)
    : QObject(parent), m_scheduler(scheduler), m_notices(notices), m_tray(tray), m_front(front)
{
    connect(&m_scheduler, &Scheduler::due, this, &Announcer::announce);
    connect(&m_scheduler, &Scheduler::dayChanged, this, [this](QDate today) { m_front.newDay(today); });
    connect(&m_notices, &DesktopNotices::undelivered, this, &Announcer::undelivered);
    connect(&m_notices, &DesktopNotices::showRequested, this,
            [this](const Module1::Task &task) { m_front.showTask(task); });
    connect(&m_notices, &DesktopNotices::snoozeRequested, this,
            [this](const Module1::Task &task, const QDateTime &until) { m_scheduler.putOff(task, until); });
    connect(&m_notices, &DesktopNotices::doneRequested, this,
            [this](const Module1::Task &task) { m_front.markTaskDone(task); });
    if (m_tray) {
        connect(m_tray, &Tray::messageClicked, this, [this] {
            if (m_trayTask)
                m_front.showTask(*m_trayTask);
        });
    }
}

void Announcer::announce(const Module1::Task &task)
{
    m_notices.announce(task);
}

void Announcer::undelivered(const Module1::Task &task)
{
    // A tray that appeared since the start is taken up here.
    if (m_tray && m_tray->ensureShown()) {
        const Notice::Text text = Notice::textFor(task);
        m_trayTask = task;
        m_tray->showMessage(text.summary, text.body);
        return;
    }
    m_front.showInAlertWindow(task);
}

} // namespace Reminders
