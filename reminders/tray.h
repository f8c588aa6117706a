// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>

class QMenu;
class QSystemTrayIcon;

namespace Reminders {

// Quorvi's icon in the desktop's system tray, for a Quorvi that keeps
// running in the background. Its menu exists whether or not the desktop has
// a tray; the icon itself appears only where there is one.
class Tray : public QObject
{
    Q_OBJECT
public:
    // `bus` is the session bus, where Qt finds the desktop's tray, or a
    // private one in tests.
    explicit Tray(QObject *parent = nullptr) : Tray(QDBusConnection::sessionBus(), parent) { }
    explicit Tray(const QDBusConnection &bus, QObject *parent = nullptr);
    ~Tray() override;

    // Puts the icon in the tray if the desktop has one by now (a tray that
    // starts after Quorvi, as at login, is found on a later call). Returns
    // whether the icon is shown.
    virtual bool ensureShown();
    bool isShown() const;

    // A balloon from the icon; only shown while the icon is. Both texts are
    // shown as typed.
    virtual void showMessage(const QString &summary, const QString &body);

    // The body as the icon hands it on. In a StatusNotifier tray (KDE's,
    // and most others now) Qt passes the message unchanged to the
    // notification service, which reads markup in the body, so the body is
    // escaped there; Qt's own balloon shows it as plain text. (The summary
    // is plain text either way.)
    QString messageBody(const QString &body) const;

    // "&Show all...", "&Exit".
    QMenu *menu() const { return m_menu; }

Q_SIGNALS:
    void showAllRequested();
    void exitRequested();
    void messageClicked();

private:
    QDBusConnection m_bus;
    QMenu *m_menu = nullptr;
    QSystemTrayIcon *m_icon = nullptr;
};

} // namespace Reminders
