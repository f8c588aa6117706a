// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
    explicit Tray(QObject *parent = nullptr);
    ~Tray() override;

    // Puts the icon in the tray if the desktop has one by now (a tray that
    // starts after Quorvi, as at login, is found on a later call). Returns
    // whether the icon is shown.
    virtual bool ensureShown();
    bool isShown() const;

    // A balloon from the icon; only shown while the icon is.
    virtual void showMessage(const QString &summary, const QString &body);

    // "&Show all...", "&Exit".
    QMenu *menu() const { return m_menu; }

Q_SIGNALS:
    void showAllRequested();
    void exitRequested();
    void messageClicked();

private:
    QMenu *m_menu = nullptr;
    QSystemTrayIcon *m_icon = nullptr;
};

} // namespace Reminders
