// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendartext.h"

#include "zones.h"

#include <map>

namespace CalendarText {

namespace {

using IcalKit::Component;

const char *const kProductId = "-//Quorvi authors//Quorvi " QUORVI_VERSION "//EN";

Component newCalendar()
{
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(kProductId));
    return calendar;
}

// The VTODO that is the task itself, not a changed occurrence of it.
icalcomponent *masterTodo(icalcomponent *calendar, const QString &uid)
{
    // Compared as the task holds it (a UID that is not UTF-8 was read with
    // replacement characters).
    for (icalcomponent *c = icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_VTODO_COMPONENT)) {
        if (!icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY) && Mapping::uidOf(c) == uid)
            return c;
    }
    return nullptr;
}

// SEQUENCE, DTSTAMP and LAST-MODIFIED: always there, moved on with a change.
void stamp(icalcomponent *todo, bool changed, bool fresh, const QDateTime &now)
{
    icalproperty *sequence = icalcomponent_get_first_property(todo, ICAL_SEQUENCE_PROPERTY);
    if (!sequence)
        icalcomponent_add_property(todo, icalproperty_new_sequence(fresh ? 0 : int(changed)));
    else if (changed)
        icalproperty_set_sequence(sequence, icalproperty_get_sequence(sequence) + 1);
    const icaltimetype utc = Zones::utcTime(now);
    icalproperty *dtstamp = icalcomponent_get_first_property(todo, ICAL_DTSTAMP_PROPERTY);
    if (!dtstamp)
        icalcomponent_add_property(todo, icalproperty_new_dtstamp(utc));
    else if (changed)
        icalproperty_set_dtstamp(dtstamp, utc);
    icalproperty *modified = icalcomponent_get_first_property(todo, ICAL_LASTMODIFIED_PROPERTY);
    if (!modified)
        icalcomponent_add_property(todo, icalproperty_new_lastmodified(utc));
    else if (changed)
        icalproperty_set_lastmodified(modified, utc);
}

// The component and everything nested in it, in no particular order, with
// a loop rather than recursion, however deep a file nests its components.
std::vector<icalcomponent *> allWithin(icalcomponent *top)
{
    std::vector<icalcomponent *> all{top};
    for (std::size_t i = 0; i < all.size(); ++i) {
        icalcomponent *c = all[i];
        for (icalcomponent *sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
             sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
            all.push_back(sub);
    }
    return all;
}

} // namespace

// The TZIDs the component's times name, its subcomponents' too.
void zonesNamed(icalcomponent *top, std::set<QByteArray> &out)
{
    for (icalcomponent *c : allWithin(top)) {
        for (icalproperty *p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
            for (icalparameter *z = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER); z;
                 z = icalproperty_get_next_parameter(p, ICAL_TZID_PARAMETER))
                out.insert(QByteArray(icalparameter_get_tzid(z)));
        }
    }
}

QByteArray tzidOf(icalcomponent *vtimezone)
{
    icalproperty *p = icalcomponent_get_first_property(vtimezone, ICAL_TZID_PROPERTY);
    return p ? QByteArray(icalproperty_get_tzid(p)) : QByteArray();
}

// Nothing libical could not read goes out again.
void dropErrors(icalcomponent *top)
{
    for (icalcomponent *c : allWithin(top))
        IcalKit::removeAll(c, ICAL_XLICERROR_PROPERTY);
}

QByteArray calendarProperties(icalcomponent *source)
{
    QByteArray out;
    for (icalproperty *p = icalcomponent_get_first_property(source, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(source, ICAL_ANY_PROPERTY)) {
        if (icalproperty_isa(p) != ICAL_METHOD_PROPERTY && icalproperty_isa(p) != ICAL_XLICERROR_PROPERTY)
            out += IcalKit::textOf(p);
    }
    return out;
}

Pieces piecesOf(icalcomponent *calendar)
{
    Pieces pieces;
    for (icalproperty *p = icalcomponent_get_first_property(calendar, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(calendar, ICAL_ANY_PROPERTY))
        pieces.properties.emplace_back(IcalKit::nameOf(p), IcalKit::textOf(p));
    for (icalcomponent *c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
        if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT) {
            pieces.zones.emplace_back(tzidOf(c), IcalKit::textOf(c));
        } else {
            pieces.components += IcalKit::textOf(c);
            zonesNamed(c, pieces.named);
        }
    }
    return pieces;
}

// The text a VCALENDAR of these pieces has, as libical would write it.
QByteArray keptText(const Pieces &pieces)
{
    QByteArray out = "BEGIN:VCALENDAR\r\n";
    for (const auto &property : pieces.properties)
        out += property.second;
    for (const auto &zone : pieces.zones)
        out += zone.second;
    out += pieces.components;
    out += "END:VCALENDAR\r\n";
    return out;
}

// One VCALENDAR from the calendars of several tasks: Quorvi's VERSION and
// PRODID, the first of each other calendar property, each VTIMEZONE once
// (and those of zones only named, from the system), then the tasks.
QByteArray joined(const std::vector<Pieces> &calendars)
{
    QByteArray properties;
    std::set<QString> seen{QStringLiteral("VERSION"), QStringLiteral("PRODID"), QStringLiteral("METHOD")};
    std::map<QByteArray, QByteArray> zones;
    std::set<QByteArray> named;
    qsizetype size = 0;
    for (const Pieces &pieces : calendars) {
        for (const auto &property : pieces.properties) {
            if (seen.insert(property.first).second)
                properties += property.second;
        }
        for (const auto &zone : pieces.zones)
            zones.emplace(zone.first, zone.second);
        named.insert(pieces.named.begin(), pieces.named.end());
        size += pieces.components.size();
    }
    for (const QByteArray &tzid : named) {
        if (zones.contains(tzid))
            continue;
        if (const Component own = Zones::vtimezone(QString::fromUtf8(tzid)))
            zones.emplace(tzid, IcalKit::textOf(own.get()));
    }
    QByteArray out;
    out.reserve(size + 8192);
    out += "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:";
    out += kProductId;
    out += "\r\n";
    out += properties;
    for (const auto &zone : zones)
        out += zone.second;
    for (const Pieces &pieces : calendars)
        out += pieces.components;
    out += "END:VCALENDAR\r\n";
    return out;
}

// The task put into its kept calendar (`kept`, may be null), or into a new one.
Prepared prepare(const Module1::Task &task, icalcomponent *kept, const Mapping::Clock &clock)
{
    Prepared out;
    icalcomponent *todo = nullptr;
    if (kept && icalcomponent_isa(kept) == ICAL_VCALENDAR_COMPONENT) {
        // libical writes some values it took in a form it cannot read
        // back (an unknown STATUS as an empty one): such a line goes.
        dropErrors(kept);
        todo = masterTodo(kept, task.uid);
        if (todo)
            out.calendar = kept;
    }
    const bool fresh = !todo;
    if (fresh) {
        out.own = newCalendar();
        out.calendar = out.own.get();
        todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
        icalcomponent_add_component(out.calendar, todo);
    }
    const bool changed = Mapping::write(todo, out.calendar, task, fresh, clock, &out.problem);
    if (!out.problem.isEmpty()) {
        out.calendar = nullptr;
        return out;
    }
    stamp(todo, changed, fresh, clock.now);
    return out;
}

KeptReading readKept(const std::vector<QByteArray> &texts)
{
    KeptReading out;
    out.calendars.assign(texts.size(), nullptr);
    QByteArray all;
    int count = 0;
    for (const QByteArray &text : texts) {
        if (text.isEmpty())
            continue;
        all += text;
        if (!text.endsWith('\n'))
            all += "\r\n";
        ++count;
    }
    if (count == 0)
        return out;
    QString refusal;
    out.root = IcalKit::parse(all, &refusal);
    std::vector<icalcomponent *> found;
    if (out.root && count == 1) {
        found.push_back(out.root.get());
    } else if (out.root) {
        for (icalcomponent *c = icalcomponent_get_first_component(out.root.get(), ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(out.root.get(), ICAL_ANY_COMPONENT))
            found.push_back(c);
    }
    if (int(found.size()) == count) {
        std::size_t next = 0;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (!texts[i].isEmpty())
                out.calendars[i] = found[next++];
        }
        return out;
    }
    // One of them is damaged: each on its own, so the others still count.
    out.root.reset();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].isEmpty())
            continue;
        out.single.push_back(IcalKit::parse(texts[i], &refusal));
        out.calendars[i] = out.single.back().get();
    }
    return out;
}

} // namespace CalendarText
