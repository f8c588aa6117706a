// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar.h"

#include <QByteArray>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace Calendar {

namespace {

constexpr qint64 kSecondsPerDay = qint64(24) * 60 * 60;

// Floor division: roll-over of negative parts must go backwards in time.
constexpr qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

constexpr qint64 floorMod(qint64 a, qint64 b)
{
    return a - floorDiv(a, b) * b;
}

// Days since 1970-01-01 of a proleptic Gregorian date with astronomical years
// (Howard Hinnant's days_from_civil); valid for any month 1..12 and day 1..31.
constexpr qint64 daysFromCivil(qint64 y, qint64 m, qint64 d)
{
    y -= m <= 2;
    const qint64 era = floorDiv(y, 400);
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr qint64 kJulianDayOfEpoch = 2440588; // 1970-01-01

int askedOffsetAt(qint64 secsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secsSinceEpoch, Qt::LocalTime).offsetFromUtc();
}

// The local clock's distance ahead of UTC at an instant, in seconds. Each
// question to Qt has the C library look at the system's zone file again,
// and loading 10,000 tasks asks some 20,000 of them, nearly all about the
// same few hundred days. So a day whose offset is the same at its first and
// last second is taken to have it throughout, and kept; what is kept is
// forgotten after a second, or at once when TZ changes, so that a new zone
// is still followed.
int localOffsetAt(qint64 secsSinceEpoch)
{
    struct Kept {
        QByteArray tz;
        bool tzSet = false;
        qint64 until = 0;
        QHash<qint64, int> byDay; // the offset, or kMixed for a day the clocks change
    };
    constexpr int kMixed = std::numeric_limits<int>::min();
    thread_local Kept kept;
    const char *tz = std::getenv("TZ");
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now >= kept.until || kept.tzSet != (tz != nullptr) || (tz && kept.tz != tz)) {
        kept.byDay.clear();
        kept.tzSet = tz != nullptr;
        kept.tz = tz ? QByteArray(tz) : QByteArray();
        kept.until = now + 1000;
    }
    const qint64 day = floorDiv(secsSinceEpoch, kSecondsPerDay);
    const auto found = kept.byDay.constFind(day);
    int offset = 0;
    if (found != kept.byDay.constEnd()) {
        offset = *found;
    } else {
        const int first = askedOffsetAt(day * kSecondsPerDay);
        const int last = askedOffsetAt(day * kSecondsPerDay + kSecondsPerDay - 1);
        offset = first == last ? first : kMixed;
        kept.byDay.insert(day, offset);
    }
    return offset == kMixed ? askedOffsetAt(secsSinceEpoch) : offset;
}

// Asked of the system once: asking at every task costs a load of 10,000
// tasks a tenth of its time.
QString shortDateFormat()
{
    static const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    return format;
}

QString longTimeFormat()
{
    static const QString format = timeFormatWithoutZone(QLocale::system().timeFormat(QLocale::LongFormat));
    return format;
}

bool isOpening(QChar c)
{
    return c == u'(' || c == u'[' || c == u'\uFF08' || c == u'\u3010';
}

bool closes(QChar open, QChar c)
{
    return (open == u'(' && c == u')') || (open == u'[' && c == u']') || (open == u'\uFF08' && c == u'\uFF09')
           || (open == u'\u3010' && c == u'\u3011');
}

// What joins the zone to the rest: blanks and list commas, never a full stop,
// which in several languages ends an abbreviation such as "ч." for hours.
bool isJoiner(QChar c)
{
    return c.isSpace() || c == u',' || c == u'\uFF0C' || c == u'\u060C' || c == u'\u3001';
}

} // namespace

QString timeFormatWithoutZone(const QString &format)
{
    QString out;
    out.reserve(format.size());
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (quoted || c != u't') {
            out += c;
            continue;
        }
        // The zone, with any run of "t" that newer formats use for longer names.
        while (i + 1 < format.size() && format[i + 1] == u't')
            ++i;
        // "(t)", "[t]": the brackets go with it.
        if (!out.isEmpty() && isOpening(out.back()) && i + 1 < format.size() && closes(out.back(), format[i + 1])) {
            out.chop(1);
            ++i;
        }
        // And what joined it to the text before, or, at the start, after.
        while (!out.isEmpty() && isJoiner(out.back()))
            out.chop(1);
        if (out.isEmpty()) {
            while (i + 1 < format.size() && isJoiner(format[i + 1]))
                ++i;
        }
    }
    return out;
}

QDate makeDate(int year, int month, int day)
{
    const qint64 monthIndex = qint64(month) - 1;
    const qint64 y = qint64(year) + floorDiv(monthIndex, 12);
    const qint64 m = floorMod(monthIndex, 12) + 1;
    const qint64 days = daysFromCivil(y, m, 1) + (qint64(day) - 1);
    return QDate::fromJulianDay(days + kJulianDayOfEpoch);
}

int carriedDays(int hour, int minute, int second)
{
    const qint64 total = qint64(hour) * 3600 + qint64(minute) * 60 + second;
    return int(floorDiv(total, kSecondsPerDay));
}

QTime makeTime(int hour, int minute, int second)
{
    const qint64 total = qint64(hour) * 3600 + qint64(minute) * 60 + second;
    return QTime(0, 0).addSecs(int(floorMod(total, kSecondsPerDay)));
}

QDateTime localMoment(QDate date, QTime time)
{
    // Qt turns a local time the clocks skip into an invalid moment, and
    // picks either showing of a time they show twice by what it converted
    // last, so the instant is worked out here from offsets alone: the wall
    // clock's reading, counted as if it were UTC, less the offset in force.
    const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    // Nearly always the offset of the day before is still in force. Where
    // the clocks are put back it is the larger one, so a time shown twice
    // is taken at its first showing.
    const int before = localOffsetAt(wall - kSecondsPerDay);
    if (localOffsetAt(wall - before) == before)
        return QDateTime::fromSecsSinceEpoch(wall - before, Qt::LocalTime);
    // The clocks changed since (no zone changes them twice within two
    // days), and earlier that day than this time.
    const int after = localOffsetAt(wall + kSecondsPerDay);
    if (localOffsetAt(wall - after) == after)
        return QDateTime::fromSecsSinceEpoch(wall - after, Qt::LocalTime);
    // Neither offset was in force then: the clocks jumped over this time.
    // The change lies between the two readings; halving the span finds its
    // first second, which has the later offset.
    qint64 skippedFrom = wall - after;
    qint64 landed = wall - before;
    if (before < after && localOffsetAt(landed) == after) {
        while (landed - skippedFrom > 1) {
            const qint64 middle = skippedFrom + (landed - skippedFrom) / 2;
            if (localOffsetAt(middle) == after)
                landed = middle;
            else
                skippedFrom = middle;
        }
    }
    return QDateTime::fromSecsSinceEpoch(landed, Qt::LocalTime);
}

QString dueText(const QDateTime &moment)
{
    const QLocale locale = QLocale::system();
    return locale.toString(moment.date(), shortDateFormat()) + QStringLiteral(" at ")
           + locale.toString(moment.time(), longTimeFormat());
}

QString sortKey(const QDateTime &moment)
{
    // Written digit by digit: every task of a store gets one at each load.
    auto key = [](int y, int mo, int d, int h, int mi, int s) {
        QString out(21, Qt::Uninitialized);
        QChar *at = out.data();
        const auto put = [&at](int value, int width) {
            for (int i = width - 1; i >= 0; --i, value /= 10)
                at[i] = QChar(u'0' + value % 10);
            at += width;
        };
        const auto text = [&at](QLatin1StringView separator) {
            for (const char c : separator)
                *at++ = QLatin1Char(c);
        };
        put(y, 4);
        text(QLatin1StringView("-"));
        put(mo, 2);
        text(QLatin1StringView(" - "));
        put(d, 2);
        text(QLatin1StringView(" "));
        put(h, 2);
        text(QLatin1StringView(":"));
        put(mi, 2);
        text(QLatin1StringView(":"));
        put(s, 2);
        return out;
    };
    const QDate date = moment.date();
    const QTime time = moment.time();
    // QDate has no year 0: the year before 1 is -1, and gets the bottom key.
    if (date.year() < 1)
        return key(0, 1, 1, 0, 0, 0);
    if (date.year() > 9999)
        return key(9999, 12, 31, 23, 59, 59);
    return key(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

qint64 dateDiff(QStringView unit, QDate from, QDate to)
{
    const QString u = unit.toString().trimmed().toLower();
    const qint64 days = from.daysTo(to);
    if (u == u"w")
        return days / 7;
    if (u == u"ww") {
        // Weeks start on Sunday; Julian day 0 was a Monday.
        auto weekIndex = [](QDate d) { return floorDiv(d.toJulianDay() + 1, 7); };
        return weekIndex(to) - weekIndex(from);
    }
    if (u == u"m" || u == u"q" || u == u"yyyy") {
        // QDate skips year 0, so count years astronomically to cross it evenly.
        auto astroYear = [](QDate d) { return qint64(d.year() < 0 ? d.year() + 1 : d.year()); };
        const qint64 years = astroYear(to) - astroYear(from);
        if (u == u"yyyy")
            return years;
        if (u == u"m")
            return years * 12 + (to.month() - from.month());
        return years * 4 + ((to.month() - 1) / 3 - (from.month() - 1) / 3);
    }
    if (u == u"h")
        return days * 24;
    if (u == u"n")
        return days * 24 * 60;
    if (u == u"s")
        return days * kSecondsPerDay;
    return days; // "d", "y" and anything unknown
}

qint16 dateDiff16(QStringView unit, QDate from, QDate to)
{
    const qint64 diff = dateDiff(unit, from, to);
    return qint16(std::clamp<qint64>(diff, std::numeric_limits<qint16>::min(),
                                     std::numeric_limits<qint16>::max()));
}

} // namespace Calendar
