// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alertpage.h"
#include "announcer.h"
#include "desktopnotices.h"
#include "opening.h"
#include "scheduler.h"
#include "tray.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>

#include <memory>

class FrmStartup;
class QWidget;

namespace Reminders {
class Alarm;
}

// A Quorvi that runs on after its start: it reminds at due moments, follows
// the date, answers other starts on its folder and, in background mode,
// keeps running with every window closed, with a tray icon where the
// desktop has a tray.
class Session : public QObject, public Reminders::Front
{
    Q_OBJECT
public:
    // `bus` carries the notifications: the session bus, or a test's own.
    Session(FrmStartup &startup, bool background, Reminders::Alarm &alarm, const QDBusConnection &bus,
            QObject *parent = nullptr);
    ~Session() override;

    // Starts reminding; in background mode puts up the tray icon.
    void start();

    bool background() const { return m_background; }

    // What another start on the same folder asks for: the task list, or the
    // start's alert once more (the alert window when anything is listed, the
    // task list when there is no store yet).
    void showAll();
    void alertAgain();

    // Front
    void showTask(const Module1::Task &task) override;
    void showInAlertWindow(const Module1::Task &task) override;
    void newDay(QDate today) override;
    void markTaskDone(const Module1::Task &task) override;

    Reminders::Scheduler &scheduler() { return m_scheduler; }
    Reminders::DesktopNotices &notices() { return m_notices; }
    // Null outside background mode.
    Reminders::Tray *tray() const { return m_tray.get(); }
    // Replaces the tray (before start()), for a test that needs one.
    void setTray(std::unique_ptr<Reminders::Tray> tray);

private:
    FrmStartup &m_startup;
    bool m_background;
    Reminders::Scheduler m_scheduler;
    Reminders::DesktopNotices m_notices;
    std::unique_ptr<Reminders::Tray> m_tray;
    std::unique_ptr<Reminders::Announcer> m_announcer;
    // Brings up what `cause` opens; the alert window opens with the
    // start's alert, not the reminders it gathered before.
    void open(Opening::Cause cause);
    // Sync with the calendar server, when this folder has an account.
    void startSync();
    void tellSync(const QString &message);

    // "In 10 minutes" or "Tomorrow" on the alert window's "Due now" page.
    void putOffShown(qsizetype entry, const QDateTime &until);

    QList<AlertPage::DueNowEntry> m_dueShown; // reminders in the alert window now
};
