// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar.h"

#include <QLocale>

#include <algorithm>
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

QString dueText(int year, int month, int day, int hour, int minute, int second)
{
    const QLocale locale = QLocale::system();
    return locale.toString(makeDate(year, month, day), QLocale::ShortFormat) + QStringLiteral(" at ")
           + locale.toString(makeTime(hour, minute, second), longTimeFormat());
}

QString sortKey(int year, int month, int day, int hour, int minute, int second)
{
    auto fits = [](int value, int width) {
        return value >= 0 && value < (width == 4 ? 10000 : 100);
    };
    auto key = [](int y, int mo, int d, int h, int mi, int s) {
        return QStringLiteral("%1-%2 - %3 %4:%5:%6")
            .arg(y, 4, 10, QLatin1Char('0'))
            .arg(mo, 2, 10, QLatin1Char('0'))
            .arg(d, 2, 10, QLatin1Char('0'))
            .arg(h, 2, 10, QLatin1Char('0'))
            .arg(mi, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    };
    if (fits(year, 4) && fits(month, 2) && fits(day, 2) && fits(hour, 2) && fits(minute, 2)
        && fits(second, 2)) {
        return key(year, month, day, hour, minute, second);
    }

    // A part too wide or negative for its place: key the moment it rolls over
    // to instead, pinned to the ends of the key's range when even that is wider.
    const QDate date = makeDate(year, month, day).addDays(carriedDays(hour, minute, second));
    const QTime time = makeTime(hour, minute, second);
    if (date.year() < 0)
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
