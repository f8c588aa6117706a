// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace Reminders {

// One wake-up at a moment of the wall clock. The scheduler holds exactly one
// and sets it again after every wake-up, so nothing ever ticks while Quorvi
// waits. Tests put an alarm of their own in its place.
class Alarm : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Rings once when the wall clock reaches `moment` (at once when it is
    // past); replaces the moment set before. An invalid moment sets none.
    virtual void wakeAt(const QDateTime &moment) = 0;

Q_SIGNALS:
    void rang();
    // The wall clock was set (by hand, by time synchronisation) or the
    // machine woke from sleep: whatever was worked out from the old time
    // has to be worked out again.
    void clockChanged();
};

// The real alarm. On Linux a timer on the real-time clock with an absolute
// expiry: it fires at the wall-clock moment even when the machine slept in
// between, and it is cancelled, and says so, when the clock is set. Where
// that is missing a plain timer stands in, which only learns of a changed
// clock at its next wake-up.
class WallAlarm : public Alarm
{
    Q_OBJECT
public:
    explicit WallAlarm(QObject *parent = nullptr);
    ~WallAlarm() override;

    void wakeAt(const QDateTime &moment) override;

    // Whether the real-time timer is in use (false: the plain timer).
    bool followsWallClock() const { return m_fd >= 0; }

private:
    void readTimer();
    void plainTimerFired();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_plain = nullptr;
    QDateTime m_moment;
};

} // namespace Reminders
