// SPDX-License-Identifier: GPL-3.0-or-later
#include "zones.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimeZone>

namespace Zones {

namespace {

icaltimezone *systemZone(const QByteArray &id)
{
    // libical finds the system's zones itself; it only has to be asked once.
    static QHash<QByteArray, icaltimezone *> known;
    const auto it = known.constFind(id);
    if (it != known.cend())
        return *it;
    icaltimezone *zone = id.isEmpty() ? nullptr : icaltimezone_get_builtin_timezone(id.constData());
    known.insert(id, zone);
    return zone;
}

// The computer's zone by name. Asking the system reads files, and a file
// of thousands of tasks asks for every date in it: the answer is kept for a
// second, which no change of zone needs to be seen sooner than.
QByteArray systemZoneId()
{
    static QByteArray id;
    static QElapsedTimer age;
    if (!age.isValid() || age.elapsed() > 1000) {
        id = QTimeZone::systemTimeZoneId();
        age.start();
    }
    return id;
}

QDateTime wallClock(const icaltimetype &t)
{
    return QDateTime(QDate(t.year, t.month, t.day), t.is_date ? QTime(0, 0) : QTime(t.hour, t.minute, t.second));
}

} // namespace

QString localZoneId()
{
    IcalKit::prepare();
    const QByteArray id = systemZoneId();
    icaltimezone *zone = systemZone(id);
    // UTC has no VTIMEZONE in libical, and a TZID needs one.
    return zone && icaltimezone_get_component(zone) ? QString::fromUtf8(id) : QString();
}

bool localIsUtc()
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return !zone.hasTransitions() && zone.offsetFromUtc(now) == 0;
}

IcalKit::Component vtimezone(const QString &id)
{
    icaltimezone *zone = systemZone(id.toUtf8());
    if (!zone)
        return {};
    icalcomponent *own = icaltimezone_get_component(zone);
    if (!own)
        return {};
    IcalKit::Component copy(icalcomponent_new_clone(own));
    if (icalproperty *tzid = icalcomponent_get_first_property(copy.get(), ICAL_TZID_PROPERTY))
        icalproperty_set_tzid(tzid, id.toUtf8().constData());
    // libical's note of where it found the zone means nothing elsewhere.
    while (icalproperty *location = IcalKit::findX(copy.get(), "X-LIC-LOCATION")) {
        icalcomponent_remove_property(copy.get(), location);
        icalproperty_free(location);
    }
    return copy;
}

bool isSystemZone(const QByteArray &tzid)
{
    icaltimezone *zone = systemZone(tzid);
    return zone && icaltimezone_get_component(zone);
}

icaltimezone *resolve(icalcomponent *calendar, const char *tzid)
{
    if (!tzid || !*tzid)
        return nullptr;
    if (calendar) {
        if (icaltimezone *own = icalcomponent_get_timezone(calendar, tzid))
            return own;
    }
    return systemZone(QByteArray(tzid));
}

bool fits(const icaltimetype &t)
{
    if (t.year < kFirstYear || t.year > kLastYear || !QDate::isValid(t.year, t.month, t.day))
        return false;
    return t.is_date || QTime::isValid(t.hour, t.minute, t.second);
}

std::optional<Local> toLocal(icaltimetype time, const char *tzid, icalcomponent *calendar)
{
    if (!fits(time))
        return std::nullopt;
    Local local;
    local.dateOnly = time.is_date;
    if (time.is_date) {
        local.moment = wallClock(time);
        return local;
    }
    icaltimezone *zone = icaltime_is_utc(time) ? icaltimezone_get_utc_timezone() : resolve(calendar, tzid);
    if (tzid && *tzid && !zone)
        local.zoneKnown = false;
    if (!zone || (tzid && systemZoneId() == tzid)) {
        local.moment = wallClock(time);
    } else {
        time.zone = zone;
        const icaltimetype utc = icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone());
        if (!fits(utc))
            return std::nullopt;
        local.moment = QDateTime(QDate(utc.year, utc.month, utc.day), QTime(utc.hour, utc.minute, utc.second),
                                 Qt::UTC)
                           .toLocalTime();
    }
    if (local.moment.date().year() < kFirstYear || local.moment.date().year() > kLastYear)
        return std::nullopt;
    return local;
}

std::optional<Local> toLocal(icalproperty *property, icalcomponent *calendar)
{
    icalvalue *value = icalproperty_get_value(property);
    if (!value)
        return std::nullopt;
    const icalvalue_kind kind = icalvalue_isa(value);
    if (kind != ICAL_DATETIME_VALUE && kind != ICAL_DATE_VALUE)
        return std::nullopt;
    const icaltimetype time = kind == ICAL_DATE_VALUE ? icalvalue_get_date(value) : icalvalue_get_datetime(value);
    icalparameter *tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    return toLocal(time, tzid ? icalparameter_get_tzid(tzid) : nullptr, calendar);
}

icaltimetype utcTime(const QDateTime &moment)
{
    const QDateTime utc = moment.toUTC();
    icaltimetype t = icaltime_null_time();
    t.year = utc.date().year();
    t.month = utc.date().month();
    t.day = utc.date().day();
    t.hour = utc.time().hour();
    t.minute = utc.time().minute();
    t.second = utc.time().second();
    t.is_date = 0;
    t.zone = icaltimezone_get_utc_timezone();
    return t;
}

} // namespace Zones
