// SPDX-License-Identifier: GPL-3.0-or-later
#include "refreshtimer.h"

RefreshTimer::RefreshTimer(QObject *parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &RefreshTimer::timeout);
}

void RefreshTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    update();
}

void RefreshTimer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    update();
}

void RefreshTimer::update()
{
    if (m_enabled && m_interval > 0) {
        // Restarting would postpone the next tick on every switch-on.
        if (!m_timer.isActive() || m_timer.interval() != m_interval)
            m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}
