// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An alarm for tests of reminders that remembers the moment it was set for
// and rings when a TestClock passes it.

#include "alarm.h"
#include "testclock.h"

#include <QDateTime>

// No Q_OBJECT: it adds no signals of its own, only raises the alarm's.
class ManualAlarm : public Reminders::Alarm
{
public:
    void wakeAt(const QDateTime &moment) override
    {
        armed = moment;
        ++setCount;
    }
    void ring() { Q_EMIT rang(); }
    void announceClockChange() { Q_EMIT clockChanged(); }

    QDateTime armed;
    int setCount = 0;
    int rings = 0; // rung by TestClock::advanceTo
};
