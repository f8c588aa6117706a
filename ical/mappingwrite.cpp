// SPDX-License-Identifier: GPL-3.0-or-later
// A task written into a VTODO.
#include "mapping.h"

#include "components.h"
#include "mappingparts.h"
#include "rules.h"

namespace Mapping {

namespace {

using namespace MappingParts;

QByteArray asIcalText(const QString &description)
{
    QString value = description;
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return value.toUtf8();
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

// DUE as the task says it; whether it was written. A date-only DUE that
// came in (or none at all) goes out date-only while the time Quorvi gave
// it, midnight, is untouched.
bool writeDue(icalcomponent *todo, const QDateTime &moment, const Due &was, bool fresh, const Clock &clock)
{
    const bool dateOnly = !fresh && (!was.local || was.local->dateOnly) && moment.time() == QTime(0, 0);
    if (was.local && was.local->moment == moment && was.local->dateOnly == dateOnly)
        return false;
    setTime(todo, ICAL_DUE_PROPERTY, timeValue(moment, dateOnly, clock));
    // DUE and DURATION never go together.
    IcalKit::removeAll(todo, ICAL_DURATION_PROPERTY);
    return true;
}

// The RRULE as the task says it; whether it was written.
bool writeRule(icalcomponent *todo, const std::optional<Repeat::Rule> &rule, const CurrentRule &ruleWas, QDate due)
{
    if (rule) {
        if (ruleWas.rule && *ruleWas.rule == *rule)
            return false;
        IcalKit::removeAll(todo, ICAL_RRULE_PROPERTY);
        icalcomponent_add_property(todo, icalproperty_new_rrule(recurrenceOf(*rule, due)));
        return true;
    }
    if (!ruleWas.rule)
        return false;
    // Quorvi could follow it, so "never" is the user's choice; a rule
    // Quorvi cannot follow was never shown, and stays.
    IcalKit::removeAll(todo, ICAL_RRULE_PROPERTY);
    return true;
}

// DTSTART: where a series starts, so equal to DUE when Quorvi writes the
// rule or moves the task (`follows`); otherwise kept while it is no later
// than DUE and of DUE's value type. Whether it changed.
bool writeStart(icalcomponent *todo, icalcomponent *calendar, bool follows, const Clock &clock)
{
    icalproperty *start = first(todo, ICAL_DTSTART_PROPERTY);
    icalproperty *dueProperty = first(todo, ICAL_DUE_PROPERTY);
    if (!dueProperty)
        return false;
    bool startFits = start != nullptr;
    if (start) {
        const auto s = Zones::toLocal(start, calendar);
        const auto d = Zones::toLocal(dueProperty, calendar);
        startFits = s && d && s->dateOnly == d->dateOnly && s->moment <= d->moment;
    }
    // A series Quorvi did not touch keeps whatever start it came with.
    if ((start && !startFits) || (follows && !(start && sameTime(start, dueProperty, calendar)))) {
        const auto d = Zones::toLocal(dueProperty, calendar);
        setTime(todo, ICAL_DTSTART_PROPERTY, timeValue(d->moment, d->dateOnly, clock));
        return true;
    }
    return false;
}

} // namespace

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

    const bool dueWritten = writeDue(todo, moment, was, fresh, clock);
    const bool ruleWritten = writeRule(todo, rule, ruleWas, Rules::dueDate(task));
    changed |= writeStart(todo, calendar, rule && (dueWritten || ruleWritten), clock);
    changed |= dueWritten || ruleWritten;
    changed |= writeDone(todo, task);
    return changed;
}

} // namespace Mapping
