// SPDX-License-Identifier: GPL-3.0-or-later
#include "repeat.h"

#include "calendar.h"

#include <algorithm>

namespace Repeat {

namespace {

constexpr QStringView kMomentFormat = u"yyyy-MM-dd HH:mm:ss";

// Whole units of text: digits only, no sign, no blanks.
std::optional<int> readCount(QStringView digits, int largest)
{
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > largest)
        return std::nullopt;
    return value;
}

char unitLetter(Unit unit)
{
    switch (unit) {
    case Unit::Day: return 'd';
    case Unit::Week: return 'w';
    case Unit::Month: return 'm';
    case Unit::Year: return 'y';
    }
    return 'd';
}

// Months in one step, for rules that step by months.
qint64 monthsPerStep(const Rule &rule)
{
    return qint64(rule.count) * (rule.unit == Unit::Year ? 12 : 1);
}

qint64 daysPerStep(const Rule &rule)
{
    return qint64(rule.count) * (rule.unit == Unit::Week ? 7 : 1);
}

// A month counted from year 0, so that months subtract plainly.
qint64 monthIndex(QDate date)
{
    return qint64(date.year()) * 12 + (date.month() - 1);
}

} // namespace

bool byMonths(Unit unit)
{
    return unit == Unit::Month || unit == Unit::Year;
}

std::optional<Rule> parse(QStringView text)
{
    qsizetype unitAt = 0;
    while (unitAt < text.size() && text[unitAt].isDigit())
        ++unitAt;
    if (unitAt == 0 || unitAt == text.size())
        return std::nullopt;
    const auto count = readCount(text.first(unitAt), kMaxCount);
    if (!count)
        return std::nullopt;
    Rule rule;
    rule.count = *count;
    const QChar letter = text[unitAt];
    const QStringView rest = text.mid(unitAt + 1);
    if (letter == u'd' || letter == u'w') {
        if (!rest.isEmpty())
            return std::nullopt;
        rule.unit = letter == u'd' ? Unit::Day : Unit::Week;
        return rule;
    }
    if (letter != u'm' && letter != u'y')
        return std::nullopt;
    rule.unit = letter == u'm' ? Unit::Month : Unit::Year;
    if (!rest.startsWith(u'@'))
        return std::nullopt;
    const auto day = readCount(rest.mid(1), 31);
    if (!day)
        return std::nullopt;
    rule.anchorDay = *day;
    return rule;
}

QString format(const Rule &rule)
{
    QString text = QString::number(rule.count) + QLatin1Char(unitLetter(rule.unit));
    if (byMonths(rule.unit))
        text += QLatin1Char('@') + QString::number(rule.anchorDay);
    return text;
}

Rule ruleFor(int count, Unit unit, QDate due)
{
    Rule rule;
    rule.count = std::clamp(count, 1, kMaxCount);
    rule.unit = unit;
    rule.anchorDay = due.isValid() ? due.day() : 1;
    return rule;
}

QDate stepped(QDate from, const Rule &rule, qint64 steps)
{
    if (!byMonths(rule.unit))
        return from.addDays(steps * daysPerStep(rule));
    const qint64 month = monthIndex(from) + steps * monthsPerStep(rule);
    const qint64 year = month >= 0 ? month / 12 : -((-month + 11) / 12);
    if (year < 1 || year > 32767)
        return {};
    const int monthOfYear = int(month - year * 12) + 1;
    const QDate first(int(year), monthOfYear, 1);
    return QDate(int(year), monthOfYear, std::min(rule.anchorDay, first.daysInMonth()));
}

std::optional<QDate> nextDueDate(QDate dueDate, int carriedDays, QTime time, const Rule &rule, const QDateTime &now)
{
    // A first guess from the distance, then whole steps to the first
    // occurrence after now: a task long overdue needs no step-by-step walk.
    // The distance counts from the day the moment falls on, which the time
    // of day may carry away from the due date.
    qint64 guess = 1;
    const QDate today = now.date();
    const QDate dueDay = dueDate.addDays(carriedDays);
    if (today > dueDay) {
        guess = byMonths(rule.unit) ? (monthIndex(today) - monthIndex(dueDay)) / monthsPerStep(rule)
                                    : dueDay.daysTo(today) / daysPerStep(rule);
        guess = std::max<qint64>(1, guess - 2);
    }
    for (qint64 steps = guess; steps < guess + 6; ++steps) {
        const QDate date = stepped(dueDate, rule, steps);
        if (!date.isValid() || date.year() > 32767)
            return std::nullopt;
        if (Calendar::localMoment(date.addDays(carriedDays), time) > now)
            return date;
    }
    return std::nullopt;
}

QString formatMoment(const QDateTime &moment)
{
    return moment.toLocalTime().toString(kMomentFormat);
}

std::optional<QDateTime> parseMoment(QStringView text)
{
    const QDateTime moment = QDateTime::fromString(text.trimmed().toString(), kMomentFormat);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

} // namespace Repeat
