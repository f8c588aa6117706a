// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>

class QDBusPendingCallWatcher;

namespace Reminders {

// Reminders as desktop notifications, through the notification service on
// the session bus (org.freedesktop.Notifications). Every call is
// asynchronous, so a slow or hung service never holds Quorvi up; a reminder
// that no service takes is handed back through undelivered() for another way
// of showing it.
class DesktopNotices : public QObject
{
    Q_OBJECT
public:
    // `bus` is the session bus, or a private one in tests.
    explicit DesktopNotices(const QDBusConnection &bus, QObject *parent = nullptr);

    void announce(const Module1::Task &task);

    // Whether the notification the service numbered `id` is ours and still
    // open: its actions are taken only once the service's answer with the
    // number has come back.
    bool isOpen(uint id) const { return m_shown.contains(id); }

    // How long a call may take before the service counts as absent.
    static constexpr int kCallTimeoutMs = 5000;

    static inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

Q_SIGNALS:
    // "Show" (or a click on the notification) on this task's reminder.
    void showRequested(const Module1::Task &task);
    // "In 10 minutes" (as long as the reminder's button said) or
    // "Tomorrow" on this task's reminder: it is to come back `until`.
    void snoozeRequested(const Module1::Task &task, const QDateTime &until);
    // "Done" on this task's reminder.
    void doneRequested(const Module1::Task &task);
    // No service took the reminder.
    void undelivered(const Module1::Task &task);

private Q_SLOTS:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    enum class Service { Unknown, Asking, Ready };

    void askCapabilities();
    void capabilitiesAnswered(QDBusPendingCallWatcher *watcher);
    void send(const Module1::Task &task);
    void giveUpOnWaiting();

    QDBusConnection m_bus;
    Service m_service = Service::Unknown;
    bool m_markup = false;
    QList<Module1::Task> m_waiting;      // until the service has said what it can do
    struct Shown {
        Module1::Task task;
        int remindAgainMinutes = 0; // what its button offers
    };
    QHash<uint, Shown> m_shown; // by the service's notification id
};

} // namespace Reminders
