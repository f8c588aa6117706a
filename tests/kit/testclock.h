// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Time for tests of reminders: a wall clock that stands still until the test
// moves it, and an alarm that remembers the moment it was set for. Moving
// the clock forward rings the alarm at every moment it was set for on the
// way, as the real one would; jumping it says the clock was set. No test
// waits for real time to pass.

#include "alarm.h"
#include "clock.h"

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

class TestClock
{
public:
    explicit TestClock(const QDateTime &start) : m_now(start)
    {
        Clock::setSource([this] { return m_now; });
    }
    ~TestClock() { Clock::setSource({}); }
    TestClock(const TestClock &) = delete;
    TestClock &operator=(const TestClock &) = delete;

    QDateTime now() const { return m_now; }
    void set(const QDateTime &now) { m_now = now; }

    // Lets time run to `to`, ringing the alarm at each moment it is set for
    // until then.
    void advanceTo(const QDateTime &to, ManualAlarm &alarm)
    {
        // Bounded, so a scheduler that kept setting the same moment fails
        // its test instead of hanging it.
        for (int i = 0; i < 100000 && alarm.armed.isValid() && alarm.armed <= to && alarm.armed >= m_now; ++i) {
            m_now = alarm.armed;
            ++alarm.rings;
            alarm.ring();
        }
        m_now = to;
    }

    // The clock is set to `to` (a jump either way, or a machine waking up).
    void jumpTo(const QDateTime &to, ManualAlarm &alarm)
    {
        m_now = to;
        alarm.announceClockChange();
    }

private:
    QDateTime m_now;
};
