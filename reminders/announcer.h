// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QDate>
#include <QObject>

#include <optional>

namespace Reminders {

class DesktopNotices;
class Scheduler;
class Tray;

// What reminders ask of the windows.
class Front
{
public:
    Front() = default;
    Q_DISABLE_COPY_MOVE(Front)
    virtual ~Front() = default;
    // The task list, with this task selected when it is still there.
    virtual void showTask(const Module1::Task &task) = 0;
    // The last resort for a reminder: the alert window.
    virtual void showInAlertWindow(const Module1::Task &task) = 0;
    // The date changed while Quorvi ran.
    virtual void newDay(QDate today) = 0;
    // "Done" on a reminder: the task as it stands is marked done (a
    // repeating one moves on) and the store saved.
    virtual void markTaskDone(const Module1::Task &task) = 0;
};

// Takes each reminder that falls due to the desktop: as a notification,
// else as a message from the tray icon, else in the alert window. Wires
// the notification's actions back: "Show" to the task list, "In 10 minutes"
// and "Tomorrow" to the scheduler, "Done" to the tables.
class Announcer : public QObject
{
    Q_OBJECT
public:
    // `tray` may be null: Quorvi has no tray icon outside background mode.
    Announcer(Scheduler &scheduler, DesktopNotices &notices, Tray *tray, Front &front, QObject *parent = nullptr);

    void announce(const Module1::Task &task);

private:
    void undelivered(const Module1::Task &task);

    Scheduler &m_scheduler;
    DesktopNotices &m_notices;
    Tray *m_tray;
    Front &m_front;
    std::optional<Module1::Task> m_trayTask; // the tray's last message is about it
};

} // namespace Reminders
