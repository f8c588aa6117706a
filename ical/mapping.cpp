// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapping.h"

#include "components.h"
#include "repeat.h"
#include "rules.h"
#include "zones.h"

#include <QRegularExpression>

#include <optional>

namespace Mapping {

namespace {

const char *const kForName = "X-QUORVI-FOR";

// Text as a file gives it, without control characters (a tab aside):
// libical leaves some of them out when it writes, so they would not come
// back the same, and nobody types them.
QString fromFile(const char *text)
{
    QString value = QString::fromUtf8(text ? text : "");
    value.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c.unicode() == 0x7F;
    });
    return value;
}

// What the store can keep of a one-line text: line breaks would end the
// line, and trailing blanks do not survive a reading of the file.
QString oneLine(const char *text)
{
    QString value = fromFile(text);
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    return value;
}

// A description as Quorvi holds it: lines end in CR LF.
QString withBreaks(const char *text)
{
    QString value = fromFile(text);
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    value.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    value.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return value;
}

QByteArray asIcalText(const QString &description)
{
    QString value = description;
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return value.toUtf8();
}

icalproperty *first(icalcomponent *c, icalproperty_kind kind)
{
    return icalcomponent_get_first_property(c, kind);
}

QString forWhomOf(icalcomponent *todo)
{
    icalproperty *p = IcalKit::findX(todo, kForName);
    return p ? oneLine(icalproperty_get_x(p)) : QString();
}

// The properties Quorvi maps: a task whose one of these could not be read
// cannot be read as the file meant it.
bool isMapped(const QString &name)
{
    static const QStringList mapped = {
        QStringLiteral("SUMMARY"), QStringLiteral("DESCRIPTION"), QStringLiteral("DUE"),
        QStringLiteral("DTSTART"), QStringLiteral("DURATION"),    QStringLiteral("COMPLETED"),
        QStringLiteral("STATUS"),  QStringLiteral("RRULE"),       QStringLiteral("UID"),
        QString::fromLatin1(kForName),
    };
    return mapped.contains(name);
}

// The property libical's error is about ("... in DUE property ..."), if any.
QString errorSubject(const QString &error)
{
    static const QRegularExpression subject(QStringLiteral("\\bin ([A-Za-z0-9-]+) property"));
    const QRegularExpressionMatch m = subject.match(error);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

QString valueText(icalproperty *p)
{
    return QString::fromUtf8(icalproperty_get_value_as_string(p));
}

// The moment the VTODO is due: DUE, else DTSTART with its DURATION, else
// DTSTART. Nothing when there is none; `bad` names a date that is there
// but not one Quorvi can keep.
struct Due {
    std::optional<Zones::Local> local;
    bool fromDue = false;
    QString bad;
};

Due dueOf(icalcomponent *todo, icalcomponent *calendar)
{
    Due due;
    if (icalproperty *p = first(todo, ICAL_DUE_PROPERTY)) {
        due.local = Zones::toLocal(p, calendar);
        due.fromDue = true;
        if (!due.local)
            due.bad = QStringLiteral("DUE ") + valueText(p);
        return due;
    }
    icalproperty *start = first(todo, ICAL_DTSTART_PROPERTY);
    if (!start)
        return due;
    due.local = Zones::toLocal(start, calendar);
    if (!due.local) {
        due.bad = QStringLiteral("DTSTART ") + valueText(start);
        return due;
    }
    if (icalproperty *d = first(todo, ICAL_DURATION_PROPERTY)) {
        const icaldurationtype duration = icalproperty_get_duration(d);
        const int seconds = icaldurationtype_as_int(duration);
        due.local->moment = due.local->moment.addSecs(seconds);
        due.local->dateOnly = due.local->dateOnly && seconds % 86400 == 0;
    }
    return due;
}

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

struct CurrentRule {
    bool present = false;
    std::optional<Repeat::Rule> rule; // when Quorvi can follow it
};

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

// The done moment a VTODO gives: COMPLETED, else when it was last changed.
std::optional<QDateTime> completedOf(icalcomponent *todo, const QDateTime &now, QString *bad)
{
    if (icalproperty *p = first(todo, ICAL_COMPLETED_PROPERTY)) {
        if (const auto local = Zones::toLocal(p, nullptr))
            return local->moment;
        *bad = QStringLiteral("COMPLETED ") + valueText(p);
        return std::nullopt;
    }
    for (const icalproperty_kind kind : {ICAL_LASTMODIFIED_PROPERTY, ICAL_DTSTAMP_PROPERTY}) {
        if (icalproperty *p = first(todo, kind)) {
            if (const auto local = Zones::toLocal(p, nullptr))
                return local->moment;
        }
    }
    return now;
}

bool isDone(icalcomponent *todo)
{
    icalproperty *status = first(todo, ICAL_STATUS_PROPERTY);
    return (status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED) || first(todo, ICAL_COMPLETED_PROPERTY);
}

// A date-time or date value as a clock writes it: in the local zone by
// name (`tzid` set), in UTC, or floating.
struct TimeValue {
    icaltimetype time;
    QByteArray tzid;
};

TimeValue timeValue(const QDateTime &moment, bool dateOnly, const Clock &clock)
{
    TimeValue v{icaltime_null_time(), {}};
    QDateTime at = moment;
    if (!dateOnly && clock.zoneId.isEmpty() && clock.utc)
        at = moment.toUTC();
    v.time.year = at.date().year();
    v.time.month = at.date().month();
    v.time.day = at.date().day();
    v.time.is_date = dateOnly ? 1 : 0;
    if (!dateOnly) {
        v.time.hour = at.time().hour();
        v.time.minute = at.time().minute();
        v.time.second = at.time().second();
        if (!clock.zoneId.isEmpty())
            v.tzid = clock.zoneId.toUtf8();
        else if (clock.utc)
            v.time.zone = icaltimezone_get_utc_timezone();
    }
    return v;
}

// Gives a date property (DUE, DTSTART) the value, in place when it is
// there, so its position and its other parameters stay.
void setTime(icalcomponent *todo, icalproperty_kind kind, const TimeValue &v)
{
    icalproperty *p = first(todo, kind);
    if (!p) {
        p = icalproperty_new(kind);
        icalcomponent_add_property(todo, p);
    }
    icalproperty_remove_parameter_by_kind(p, ICAL_TZID_PARAMETER);
    icalproperty_remove_parameter_by_kind(p, ICAL_VALUE_PARAMETER);
    icalproperty_set_value(p, v.time.is_date ? icalvalue_new_date(v.time) : icalvalue_new_datetime(v.time));
    if (!v.tzid.isEmpty())
        icalproperty_add_parameter(p, icalparameter_new_tzid(v.tzid.constData()));
}

// Sets a one-line text property when it says something else; an empty
// value removes it.
template<typename Set, typename Make>
bool setText(icalproperty *p, icalcomponent *todo, const QString &wanted, const QString &current, Set set, Make make)
{
    if (current == wanted)
        return false;
    if (wanted.isEmpty()) {
        if (!p)
            return false;
        icalcomponent_remove_property(todo, p);
        icalproperty_free(p);
        return true;
    }
    if (p)
        set(p, wanted.toUtf8().constData());
    else
        icalcomponent_add_property(todo, make(wanted.toUtf8().constData()));
    return true;
}

bool writeTexts(icalcomponent *todo, const Module1::Task &task)
{
    bool changed = false;
    icalproperty *summary = first(todo, ICAL_SUMMARY_PROPERTY);
    changed |= setText(summary, todo, task.title, summary ? oneLine(icalproperty_get_summary(summary)) : QString(),
                       icalproperty_set_summary, icalproperty_new_summary);
    icalproperty *forWhom = IcalKit::findX(todo, kForName);
    changed |= setText(forWhom, todo, task.forWhom, forWhomOf(todo), icalproperty_set_x, [](const char *v) {
        icalproperty *p = icalproperty_new_x(v);
        icalproperty_set_x_name(p, kForName);
        return p;
    });
    // Compared as Quorvi holds it, written as iCalendar does.
    icalproperty *description = first(todo, ICAL_DESCRIPTION_PROPERTY);
    const QString current = description ? withBreaks(icalproperty_get_description(description)) : QString();
    if (current != task.description) {
        const QByteArray text = asIcalText(task.description);
        if (task.description.isEmpty()) {
            icalcomponent_remove_property(todo, description);
            icalproperty_free(description);
        } else if (description) {
            icalproperty_set_description(description, text.constData());
        } else {
            icalcomponent_add_property(todo, icalproperty_new_description(text.constData()));
        }
        changed = true;
    }
    return changed;
}

bool writeDone(icalcomponent *todo, const Module1::Task &task)
{
    icalproperty *completed = first(todo, ICAL_COMPLETED_PROPERTY);
    icalproperty *status = first(todo, ICAL_STATUS_PROPERTY);
    if (!task.done) {
        if (!isDone(todo))
            return false;
        if (status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED) {
            icalcomponent_remove_property(todo, status);
            icalproperty_free(status);
        }
        IcalKit::removeAll(todo, ICAL_COMPLETED_PROPERTY);
        IcalKit::removeAll(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
        return true;
    }
    const std::optional<QDateTime> moment = Repeat::parseMoment(task.doneText);
    bool changed = false;
    // Done without a moment of its own (STATUS alone) stays so; a moment
    // that differs by less than a second is the same one.
    const bool sameMoment = isDone(todo)
                            && (!completed
                                || Zones::toLocal(completed, nullptr).value_or(Zones::Local{}).moment == *moment);
    if (!sameMoment) {
        const icaltimetype utc = Zones::utcTime(*moment);
        if (completed)
            icalproperty_set_completed(completed, utc);
        else
            icalcomponent_add_property(todo, icalproperty_new_completed(utc));
        changed = true;
    }
    if (!status) {
        icalcomponent_add_property(todo, icalproperty_new_status(ICAL_STATUS_COMPLETED));
        changed = true;
    } else if (icalproperty_get_status(status) != ICAL_STATUS_COMPLETED) {
        icalproperty_set_status(status, ICAL_STATUS_COMPLETED);
        changed = true;
    }
    icalproperty *percent = first(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
    if (!percent) {
        icalcomponent_add_property(todo, icalproperty_new_percentcomplete(100));
        changed = true;
    } else if (icalproperty_get_percentcomplete(percent) != 100) {
        icalproperty_set_percentcomplete(percent, 100);
        changed = true;
    }
    return changed;
}

bool sameTime(icalproperty *a, icalproperty *b, icalcomponent *calendar)
{
    const auto x = Zones::toLocal(a, calendar);
    const auto y = Zones::toLocal(b, calendar);
    return x && y && x->moment == y->moment && x->dateOnly == y->dateOnly;
}

} // namespace

Clock clockAt(const QDateTime &now)
{
    Clock clock;
    clock.zoneId = Zones::localZoneId();
    clock.utc = clock.zoneId.isEmpty() && Zones::localIsUtc();
    clock.now = now;
    return clock;
}

QString uidOf(icalcomponent *component)
{
    return fromFile(icalcomponent_get_uid(component));
}

bool dueFits(const Module1::Task &task)
{
    const int year = Rules::dueMoment(task).date().year();
    return year >= Zones::kFirstYear && year <= Zones::kLastYear;
}

Reading read(icalcomponent *todo, icalcomponent *calendar, const QDateTime &now)
{
    Reading reading;
    Module1::Task &t = reading.task;
    // libical leaves a note where it could not read a line, and drops the
    // line: a task that lost a mapped property would come in wrong.
    for (icalproperty *e = first(todo, ICAL_XLICERROR_PROPERTY); e;
         e = icalcomponent_get_next_property(todo, ICAL_XLICERROR_PROPERTY)) {
        const QString error = QString::fromUtf8(icalproperty_get_xlicerror(e)).simplified();
        if (isMapped(errorSubject(error))) {
            reading.skipped = QStringLiteral("a line could not be read (%1)").arg(error);
            return reading;
        }
        reading.notes << QStringLiteral("a line that could not be read was left out (%1)").arg(error);
    }

    t.uid = uidOf(todo);
    t.title = oneLine(icalcomponent_get_summary(todo));
    t.forWhom = forWhomOf(todo);
    if (icalproperty *d = first(todo, ICAL_DESCRIPTION_PROPERTY))
        t.description = withBreaks(icalproperty_get_description(d));

    const Due due = dueOf(todo, calendar);
    if (!due.bad.isEmpty()) {
        reading.skipped = QStringLiteral("%1 is not a date and time within the years %2 to %3")
                              .arg(due.bad)
                              .arg(Zones::kFirstYear)
                              .arg(Zones::kLastYear);
        return reading;
    }
    if (icalproperty *start = first(todo, ICAL_DTSTART_PROPERTY); start && !Zones::toLocal(start, calendar)) {
        reading.skipped = QStringLiteral("DTSTART %1 is not a date and time within the years %2 to %3")
                              .arg(valueText(start))
                              .arg(Zones::kFirstYear)
                              .arg(Zones::kLastYear);
        return reading;
    }
    if (t.title.isEmpty() && !due.local) {
        reading.skipped = QStringLiteral("it has no SUMMARY and no DUE");
        return reading;
    }
    QDateTime moment;
    if (due.local) {
        moment = due.local->moment;
        if (!due.local->zoneKnown)
            reading.notes << QStringLiteral("its time zone is unknown here; its time was read as local time");
    } else {
        moment = QDateTime(now.date(), QTime(0, 0));
        reading.notes << QStringLiteral("it has no due date; it is due today");
    }
    t.year = qint16(moment.date().year());
    t.month = qint16(moment.date().month());
    t.day = qint16(moment.date().day());
    t.hour = qint16(moment.time().hour());
    t.minute = qint16(moment.time().minute());
    t.second = qint16(moment.time().second());

    if (isDone(todo)) {
        QString bad;
        const std::optional<QDateTime> done = completedOf(todo, now, &bad);
        if (!done) {
            reading.skipped = QStringLiteral("%1 is not a date and time within the years %2 to %3")
                                  .arg(bad)
                                  .arg(Zones::kFirstYear)
                                  .arg(Zones::kLastYear);
            return reading;
        }
        t.doneText = Repeat::formatMoment(*done);
    }

    const CurrentRule rule = currentRule(todo, calendar, moment.date());
    if (rule.rule)
        t.repeatText = Repeat::format(*rule.rule);
    else if (rule.present)
        reading.notes << QStringLiteral("it repeats in a way Quorvi cannot follow (%1); it comes in as a single task "
                                        "and its rule is kept for other programs")
                             .arg(valueText(first(todo, ICAL_RRULE_PROPERTY)));
    Module1::deriveFields(t);
    return reading;
}

bool write(icalcomponent *todo, icalcomponent *calendar, const Module1::Task &task, bool fresh, const Clock &clock,
           QString *problem)
{
    if (!dueFits(task)) {
        *problem = QStringLiteral("it is due in the year %1, outside the years %2 to %3 a calendar holds")
                       .arg(Rules::dueMoment(task).date().year())
                       .arg(Zones::kFirstYear)
                       .arg(Zones::kLastYear);
        return false;
    }
    bool changed = false;
    if (uidOf(todo) != task.uid) {
        icalcomponent_set_uid(todo, task.uid.toUtf8().constData());
        changed = true;
    }
    changed |= writeTexts(todo, task);

    // The rule is read against the series as it stands, before DUE moves.
    const QDateTime moment = Rules::dueMoment(task);
    const Due was = dueOf(todo, calendar);
    const CurrentRule ruleWas = currentRule(todo, calendar, was.local ? was.local->moment.date() : moment.date());
    const std::optional<Repeat::Rule> rule = Repeat::parse(task.repeatText);

    // A date-only DUE that came in (or none at all) goes out date-only while
    // the time Quorvi gave it, midnight, is untouched.
    const bool dateOnly = !fresh && (!was.local || was.local->dateOnly) && moment.time() == QTime(0, 0);
    bool dueWritten = false;
    if (!was.local || was.local->moment != moment || was.local->dateOnly != dateOnly) {
        setTime(todo, ICAL_DUE_PROPERTY, timeValue(moment, dateOnly, clock));
        // DUE and DURATION never go together.
        IcalKit::removeAll(todo, ICAL_DURATION_PROPERTY);
        dueWritten = true;
    }

    bool ruleWritten = false;
    if (rule) {
        if (!ruleWas.rule || !(*ruleWas.rule == *rule)) {
            IcalKit::removeAll(todo, ICAL_RRULE_PROPERTY);
            icalcomponent_add_property(todo, icalproperty_new_rrule(recurrenceOf(*rule, Rules::dueDate(task))));
            ruleWritten = true;
        }
    } else if (ruleWas.rule) {
        // Quorvi could follow it, so "never" is the user's choice; a rule
        // Quorvi cannot follow was never shown, and stays.
        IcalKit::removeAll(todo, ICAL_RRULE_PROPERTY);
        ruleWritten = true;
    }

    // DTSTART: where a series starts, so equal to DUE when Quorvi writes the
    // rule or moves the task; otherwise kept while it is no later than DUE
    // and of DUE's value type.
    icalproperty *start = first(todo, ICAL_DTSTART_PROPERTY);
    icalproperty *dueProperty = first(todo, ICAL_DUE_PROPERTY);
    if (dueProperty) {
        bool startFits = start != nullptr;
        if (start) {
            const auto s = Zones::toLocal(start, calendar);
            const auto d = Zones::toLocal(dueProperty, calendar);
            startFits = s && d && s->dateOnly == d->dateOnly && s->moment <= d->moment;
        }
        // A series Quorvi did not touch keeps whatever start it came with.
        const bool follows = rule && (dueWritten || ruleWritten);
        if ((start && !startFits) || (follows && !(start && sameTime(start, dueProperty, calendar)))) {
            const auto d = Zones::toLocal(dueProperty, calendar);
            setTime(todo, ICAL_DTSTART_PROPERTY, timeValue(d->moment, d->dateOnly, clock));
            changed = true;
        }
    }
    changed |= dueWritten || ruleWritten;
    changed |= writeDone(todo, task);
    return changed;
}

} // namespace Mapping
