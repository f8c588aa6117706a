// SPDX-License-Identifier: GPL-3.0-or-later
// An RRULE read as a Quorvi repetition, and a repetition written as one.
#include "mappingparts.h"

namespace MappingParts {

namespace {

bool empty(const short *list)
{
    return list[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

int length(const short *list, int size)
{
    int n = 0;
    while (n < size && list[n] != ICAL_RECURRENCE_ARRAY_MAX)
        ++n;
    return n;
}

// The day a monthly or yearly rule keeps: BYMONTHDAY=D, or the run
// 28,...,D with BYSETPOS=-1 (the last of those the month has). 0 when the
// rule names none, -1 when it names days some other way.
int anchorDay(const icalrecurrencetype &r)
{
    const int days = length(r.by_month_day, ICAL_BY_MONTHDAY_SIZE);
    const int positions = length(r.by_set_pos, ICAL_BY_SETPOS_SIZE);
    if (days == 0)
        return positions == 0 ? 0 : -1;
    if (days == 1 && positions == 0)
        return r.by_month_day[0] >= 1 && r.by_month_day[0] <= 31 ? r.by_month_day[0] : -1;
    if (positions != 1 || r.by_set_pos[0] != -1 || r.by_month_day[0] != 28)
        return -1;
    for (int i = 1; i < days; ++i) {
        if (r.by_month_day[i] != 28 + i)
            return -1;
    }
    const int last = 28 + days - 1;
    return last <= 31 ? last : -1;
}

// A repetition Quorvi can follow, read from an RRULE whose series starts on
// `start`; nothing for any other (a COUNT, an UNTIL, several days, hours).
std::optional<Repeat::Rule> ruleOf(const icalrecurrencetype &r, QDate start)
{
    if (!icaltime_is_null_time(r.until) || r.count != 0 || r.rscale)
        return std::nullopt;
    if (r.interval < 1 || r.interval > Repeat::kMaxCount)
        return std::nullopt;
    if (!empty(r.by_second) || !empty(r.by_minute) || !empty(r.by_hour) || !empty(r.by_year_day)
        || !empty(r.by_week_no))
        return std::nullopt;
    Repeat::Rule rule;
    rule.count = r.interval;
    const int days = length(r.by_day, ICAL_BY_DAY_SIZE);
    const int months = length(r.by_month, ICAL_BY_MONTH_SIZE);
    switch (r.freq) {
    case ICAL_DAILY_RECURRENCE:
        rule.unit = Repeat::Unit::Day;
        if (days || months || anchorDay(r) != 0)
            return std::nullopt;
        return rule;
    case ICAL_WEEKLY_RECURRENCE: {
        rule.unit = Repeat::Unit::Week;
        if (months || anchorDay(r) != 0 || days > 1)
            return std::nullopt;
        // icalrecurrencetype_weekday counts from Sunday = 1; Qt from Monday.
        if (days == 1
            && (icalrecurrencetype_day_position(r.by_day[0]) != 0
                || int(icalrecurrencetype_day_day_of_week(r.by_day[0])) != start.dayOfWeek() % 7 + 1))
            return std::nullopt;
        return rule;
    }
    case ICAL_MONTHLY_RECURRENCE:
    case ICAL_YEARLY_RECURRENCE: {
        rule.unit = r.freq == ICAL_MONTHLY_RECURRENCE ? Repeat::Unit::Month : Repeat::Unit::Year;
        rule.anchorDay = start.day();
        if (days)
            return std::nullopt;
        if (months && (rule.unit == Repeat::Unit::Month || months > 1 || r.by_month[0] != start.month()))
            return std::nullopt;
        const int day = anchorDay(r);
        if (day < 0 || (day > 0 && rule.unit == Repeat::Unit::Year && !months && day > 28))
            return std::nullopt;
        if (day > 0)
            rule.anchorDay = day;
        return rule;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

// The VTODO's RRULE as Quorvi would read it; the series starts at DTSTART,
// or at the due date.
CurrentRule currentRule(icalcomponent *todo, icalcomponent *calendar, QDate due)
{
    CurrentRule current;
    icalproperty *p = first(todo, ICAL_RRULE_PROPERTY);
    if (!p)
        return current;
    current.present = true;
    if (icalcomponent_get_next_property(todo, ICAL_RRULE_PROPERTY))
        return current; // two rules at once: no single repetition
    QDate start = due;
    if (icalproperty *s = first(todo, ICAL_DTSTART_PROPERTY)) {
        if (const auto local = Zones::toLocal(s, calendar))
            start = local->moment.date();
    }
    current.rule = ruleOf(icalproperty_get_rrule(p), start);
    return current;
}

icalrecurrencetype recurrenceOf(const Repeat::Rule &rule, QDate due)
{
    icalrecurrencetype r;
    icalrecurrencetype_clear(&r);
    switch (rule.unit) {
    case Repeat::Unit::Day: r.freq = ICAL_DAILY_RECURRENCE; break;
    case Repeat::Unit::Week: r.freq = ICAL_WEEKLY_RECURRENCE; break;
    case Repeat::Unit::Month: r.freq = ICAL_MONTHLY_RECURRENCE; break;
    case Repeat::Unit::Year: r.freq = ICAL_YEARLY_RECURRENCE; break;
    }
    r.interval = short(rule.count);
    const bool byMonths = rule.unit == Repeat::Unit::Month || rule.unit == Repeat::Unit::Year;
    if (byMonths && rule.anchorDay > 28) {
        // The last of 28..day the month has: the 31st falls on the 30th in
        // April and on the 28th or 29th in February, as Quorvi has it.
        for (int day = 28; day <= rule.anchorDay; ++day)
            r.by_month_day[day - 28] = short(day);
        r.by_set_pos[0] = -1;
        // Without its month a yearly rule would take the last such day of
        // every month, and the last of the year.
        if (rule.unit == Repeat::Unit::Year)
            r.by_month[0] = short(due.month());
    }
    return r;
}

} // namespace MappingParts
