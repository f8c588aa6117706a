// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Time for tests: a wall clock that stands still until the test moves it,
// in force while the TestClock lives. With an alarm (manualalarm.h), moving
// the clock forward rings the alarm at every moment it was set for on the
// way, as the real one would; jumping it says the clock was set. No test
// waits for real time to pass.

#include "clock.h"

#include <QDateTime>

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
    template<typename Alarm>
    void advanceTo(const QDateTime &to, Alarm &alarm)
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
    template<typename Alarm>
    void jumpTo(const QDateTime &to, Alarm &alarm)
    {
        m_now = to;
        alarm.announceClockChange();
    }

private:
    QDateTime m_now;
};
