// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

// The list's redraw timer, which commands pause while one of their dialogs
// is open (the list asks whether it is paused to know a command is running).
// It has no interval unless one is given, and then it never ticks: a started
// Qt timer with interval 0 would fire on every pass of the event loop and
// redraw the list endlessly.
class PausableTimer : public QObject
{
    Q_OBJECT
public:
    explicit PausableTimer(QObject *parent = nullptr);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    int interval() const { return m_interval; }
    // Milliseconds between ticks; 0 or less means no ticking at all.
    void setInterval(int milliseconds);

    // Whether ticks are actually coming.
    bool isTicking() const { return m_timer.isActive(); }

Q_SIGNALS:
    void timeout();

private:
    void update();

    QTimer m_timer;
    bool m_enabled = true;
    int m_interval = 0;
};
