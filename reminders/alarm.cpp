// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace Reminders {

WallAlarm::WallAlarm(QObject *parent) : Alarm(parent)
{
#ifdef Q_OS_LINUX
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
#endif
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &WallAlarm::readTimer);
    } else {
        m_plain = new QTimer(this);
        m_plain->setSingleShot(true);
        m_plain->setTimerType(Qt::PreciseTimer);
        connect(m_plain, &QTimer::timeout, this, &WallAlarm::plainTimerFired);
    }
}

WallAlarm::~WallAlarm()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void WallAlarm::wakeAt(const QDateTime &moment)
{
    m_moment = moment;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        struct itimerspec expiry {};
        if (moment.isValid()) {
            // A zero expiry would disarm the timer; a moment at or before the
            // epoch is long past, so the first nanosecond rings just as well.
            const qint64 ms = qMax<qint64>(moment.toMSecsSinceEpoch(), 0);
            expiry.it_value.tv_sec = time_t(ms / 1000);
            expiry.it_value.tv_nsec = long(ms % 1000) * 1000000L;
            if (ms == 0)
                expiry.it_value.tv_nsec = 1;
        }
        const int flags = TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET;
        if (::timerfd_settime(m_fd, flags, &expiry, nullptr) != 0 && errno == ECANCELED) {
            // The clock was set since the timer was last read: say so, and
            // arm anyway; whoever listens sets the moment again.
            ::timerfd_settime(m_fd, flags, &expiry, nullptr);
            QMetaObject::invokeMethod(this, &Alarm::clockChanged, Qt::QueuedConnection);
        }
        return;
    }
#endif
    m_plain->stop();
    if (!moment.isValid())
        return;
    const qint64 wait = QDateTime::currentDateTime().msecsTo(moment);
    m_plain->start(int(std::clamp<qint64>(wait, 0, std::numeric_limits<int>::max())));
}

void WallAlarm::readTimer()
{
#ifdef Q_OS_LINUX
    std::uint64_t expirations = 0;
    const ssize_t got = ::read(m_fd, &expirations, sizeof expirations);
    if (got < 0 && errno == ECANCELED) {
        // The timer stays armed for the old moment; the listener re-arms.
        Q_EMIT clockChanged();
        return;
    }
    if (got == ssize_t(sizeof expirations) && expirations > 0)
        Q_EMIT rang();
#endif
}

void WallAlarm::plainTimerFired()
{
    // A plain timer counts elapsed time; if the clock moved meanwhile the
    // moment may not have come yet.
    if (m_moment.isValid() && QDateTime::currentDateTime() < m_moment) {
        wakeAt(m_moment);
        return;
    }
    Q_EMIT rang();
}

} // namespace Reminders
