// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "components.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Time zones between Quorvi and iCalendar. Quorvi's due moments are wall
// clock times where the computer is; in a file they carry that zone's IANA
// name, so a phone in another zone shows the same moment.
namespace Zones {

// The IANA name of the computer's zone ("Europe/Berlin"), when libical can
// describe it; empty otherwise, and times then go out floating (without a
// zone), which every program reads as its own local time.
QString localZoneId();

// Whether the computer's clock is UTC all year: times then go out in UTC
// ("Z"), which needs no VTIMEZONE.
bool localIsUtc();

// The zone's VTIMEZONE, its TZID the plain IANA name (libical would put a
// prefix of its own before it). Null when libical does not know the zone.
IcalKit::Component vtimezone(const QString &id);

// Whether the system knows a zone of this name, so that its VTIMEZONE can
// be written from the system's rules whenever it is needed.
bool isSystemZone(const QByteArray &tzid);

// The zone a TZID names in this calendar: its own VTIMEZONE, or the system's
// zone of that name. Null when neither is there.
icaltimezone *resolve(icalcomponent *calendar, const char *tzid);

// A DATE-TIME or DATE value as Quorvi's local wall clock. A date becomes its
// midnight; UTC and zoned times are converted, except a time already in the
// local zone, which is taken as it reads (even in the hour a clock change
// skips, where a conversion would move it). `zoneKnown` says whether a TZID
// could be resolved; an unknown one is read as local.
struct Local {
    QDateTime moment;
    bool dateOnly = false;
    bool zoneKnown = true;
};
std::optional<Local> toLocal(icalproperty *property, icalcomponent *calendar);

// The same for a value already taken from a property, with its TZID.
std::optional<Local> toLocal(icaltimetype time, const char *tzid, icalcomponent *calendar);

// Whether the parts make a real date and time, within the years Quorvi
// keeps.
bool fits(const icaltimetype &time);

// The first and last years Quorvi keeps in a calendar file. libical writes
// no date after the year 3000 (it turns one into 00000000); a task due
// later is reported rather than written as a date nobody meant.
inline constexpr int kFirstYear = 1;
inline constexpr int kLastYear = 3000;

// A UTC value for a moment (COMPLETED, DTSTAMP, LAST-MODIFIED).
icaltimetype utcTime(const QDateTime &moment);

} // namespace Zones
