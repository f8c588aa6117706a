// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QSystemTrayIcon>

namespace Reminders {

namespace {

// Where this name is on the bus, Qt puts the icon in that tray and sends
// its messages through the notification service.
constexpr QLatin1StringView kStatusNotifierWatcher("org.kde.StatusNotifierWatcher");

} // namespace

Tray::Tray(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus), m_menu(new QMenu)
{
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    QAction *showAll = m_menu->addAction(QStringLiteral("&Show all..."));
    showAll->setObjectName(QStringLiteral("trayShowAll"));
    QAction *exit = m_menu->addAction(QStringLiteral("&Exit"));
    exit->setObjectName(QStringLiteral("trayExit"));
    connect(showAll, &QAction::triggered, this, &Tray::showAllRequested);
    connect(exit, &QAction::triggered, this, &Tray::exitRequested);
}

Tray::~Tray()
{
    delete m_icon;
    delete m_menu;
}

bool Tray::ensureShown()
{
    if (m_icon)
        return true;
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    m_icon = new QSystemTrayIcon(QApplication::windowIcon());
    m_icon->setToolTip(QStringLiteral("Quorvi"));
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A plain click opens the list; the menu is for the rest.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT showAllRequested();
    });
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, &Tray::messageClicked);
    m_icon->show();
    return true;
}

bool Tray::isShown() const
{
    return m_icon && m_icon->isVisible();
}

void Tray::showMessage(const QString &summary, const QString &body)
{
    if (m_icon)
        m_icon->showMessage(summary, messageBody(body), QApplication::windowIcon(), 0);
}

QString Tray::messageBody(const QString &body) const
{
    const QDBusConnectionInterface *names = m_bus.isConnected() ? m_bus.interface() : nullptr;
    const bool throughTheService = names && names->isServiceRegistered(kStatusNotifierWatcher).value();
    return throughTheService ? body.toHtmlEscaped() : body;
}

} // namespace Reminders
