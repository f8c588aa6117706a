// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The local time zone, set by a POSIX TZ string such as
// "EST5EDT,M3.2.0,M11.1.0" while the LocalZone lives: local dates and times
// worked out meanwhile follow its changes of clocks.

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

class LocalZone
{
public:
    explicit LocalZone(const QByteArray &tz) : m_previous(qgetenv("TZ")), m_hadZone(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", tz);
        ::tzset();
    }
    ~LocalZone()
    {
        if (m_hadZone)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        ::tzset();
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

private:
    QByteArray m_previous;
    bool m_hadZone;
};
