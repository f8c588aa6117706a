// SPDX-License-Identifier: GPL-3.0-or-later
#include "pausabletimer.h"

PausableTimer::PausableTimer(QObject *parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &PausableTimer::timeout);
}

void PausableTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    update();
}

void PausableTimer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    update();
}

void PausableTimer::update()
{
    if (m_enabled && m_interval > 0) {
        // Restarting would postpone the next tick on every switch-on.
        if (!m_timer.isActive() || m_timer.interval() != m_interval)
            m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}
