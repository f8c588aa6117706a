// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopnotices.h"

#include "clock.h"
#include "notice.h"
#include "preferences.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace Reminders {

DesktopNotices::DesktopNotices(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint,QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint,uint)));
}

void DesktopNotices::announce(const Module1::Task &task)
{
    if (!m_bus.isConnected()) {
        Q_EMIT undelivered(task);
        return;
    }
    if (m_service == Service::Ready) {
        send(task);
        return;
    }
    // Whether the body may hold markup is only known once the service has
    // answered; until then the reminder waits, without blocking anything.
    m_waiting.append(task);
    if (m_service == Service::Unknown)
        askCapabilities();
}

void DesktopNotices::askCapabilities()
{
    m_service = Service::Asking;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotices::capabilitiesAnswered);
}

void DesktopNotices::capabilitiesAnswered(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QStringList> reply = *watcher;
    if (reply.isError()) {
        giveUpOnWaiting();
        return;
    }
    m_service = Service::Ready;
    m_markup = reply.value().contains(QStringLiteral("body-markup"));
    const QList<Module1::Task> waiting = std::exchange(m_waiting, {});
    for (const Module1::Task &task : waiting)
        send(task);
}

void DesktopNotices::giveUpOnWaiting()
{
    // Asked afresh next time: a service may start later in the session.
    m_service = Service::Unknown;
    const QList<Module1::Task> waiting = std::exchange(m_waiting, {});
    for (const Module1::Task &task : waiting)
        Q_EMIT undelivered(task);
}

void DesktopNotices::send(const Module1::Task &task)
{
    const Notice::Text text = Notice::textFor(task);
    const int remindAgain = Preferences::remindAgainMinutes();
    QVariantMap hints;
    // Lets the desktop show the notification under Quorvi's name and icon.
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.quorvi.Quorvi"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Quorvi") << uint(0) << QStringLiteral("quorvi") << text.summary
         << (m_markup ? text.body.toHtmlEscaped() : text.body) << Notice::actions(remindAgain) << hints
         // A reminder stays until it is dealt with.
         << int(0);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, task, remindAgain](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            m_service = Service::Unknown;
            Q_EMIT undelivered(task);
            return;
        }
        m_shown.insert(reply.value(), {task, remindAgain});
    });
}

void DesktopNotices::actionInvoked(uint id, const QString &action)
{
    // Other programs' notifications are announced on the same bus.
    const auto found = m_shown.constFind(id);
    if (found == m_shown.cend())
        return;
    // A copy: a slot may run an event loop (a message box) in which the
    // service's replies change m_shown under a reference.
    const Module1::Task task = found.value().task; // NOLINT(performance-unnecessary-copy-initialization)
    if (action == Notice::kShowAction || action == Notice::kDefaultAction)
        Q_EMIT showRequested(task);
    else if (action == Notice::kSnoozeAction || action == Notice::kTomorrowAction)
        // As long as the button said, even when the preference changed since.
        Q_EMIT snoozeRequested(task, Notice::putOffUntil(action == Notice::kTomorrowAction,
                                                         found.value().remindAgainMinutes, Clock::now()));
    else if (action == Notice::kDoneAction)
        Q_EMIT doneRequested(task);
}

void DesktopNotices::notificationClosed(uint id, uint)
{
    m_shown.remove(id);
}

} // namespace Reminders
