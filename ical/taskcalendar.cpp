// SPDX-License-Identifier: GPL-3.0-or-later
#include "taskcalendar.h"

#include "calendartext.h"
#include "components.h"
#include "merge.h"
#include "repeat.h"
#include "rules.h"
#include "zones.h"

#include <QHash>
#include <QSet>
#include <QUuid>

#include <map>
#include <set>
#include <vector>

namespace TaskCalendar {

namespace {

using namespace CalendarText;

// How a component is named in a report: its SUMMARY, else its UID.
QString label(icalcomponent *c)
{
    const QString summary = QString::fromUtf8(icalcomponent_get_summary(c)).simplified();
    if (!summary.isEmpty())
        return QStringLiteral("\u201C%1\u201D").arg(summary);
    const QString uid = QString::fromUtf8(icalcomponent_get_uid(c));
    if (!uid.isEmpty())
        return QStringLiteral("the %1 with UID %2").arg(QString::fromUtf8(icalcomponent_kind_to_string(icalcomponent_isa(c))), uid);
    return QStringLiteral("a %1 without SUMMARY or UID").arg(QString::fromUtf8(icalcomponent_kind_to_string(icalcomponent_isa(c))));
}

QString notATask(icalcomponent_kind kind)
{
    switch (kind) {
    case ICAL_VEVENT_COMPONENT: return QStringLiteral("an event (VEVENT), not a task");
    case ICAL_VJOURNAL_COMPONENT: return QStringLiteral("a journal entry (VJOURNAL), not a task");
    case ICAL_VFREEBUSY_COMPONENT: return QStringLiteral("free or busy time (VFREEBUSY), not a task");
    default: return QStringLiteral("a %1, not a task").arg(QString::fromUtf8(icalcomponent_kind_to_string(kind)));
    }
}

} // namespace

QString newUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void keepSpelling(const Module1::Task &task, Module1::Task &incoming)
{
    if (Rules::dueMoment(task) == Rules::dueMoment(incoming))
        Module1::copyDue(task, incoming);
    if (task.done && incoming.done
        && Repeat::parseMoment(task.doneText) == Repeat::parseMoment(incoming.doneText))
        incoming.doneText = task.doneText;
    const auto rule = Repeat::parse(task.repeatText);
    if (rule && rule == Repeat::parse(incoming.repeatText))
        incoming.repeatText = task.repeatText;
    Module1::deriveFields(incoming);
}

TaskText calendarOf(const Module1::Task &task, const QByteArray &kept, const Mapping::Clock &clock)
{
    const auto alone = IcalKit::exclusive();
    TaskText out;
    const KeptReading reading = readKept({kept});
    const Prepared prepared = prepare(task, reading.calendars[0], clock);
    if (!prepared.calendar) {
        out.problem = prepared.problem;
        return out;
    }
    std::vector<Pieces> one{piecesOf(prepared.calendar)};
    out.kept = keptText(one[0]);
    out.changed = out.kept != kept;
    out.text = joined(one);
    return out;
}

namespace {

// A file's tasks gathered: each task's own VCALENDAR is put together from
// the texts of the file's parts, each written once: the file's calendar
// properties, the zones its times name, the task and its changed
// occurrences.
class FileGathering
{
public:
    explicit FileGathering(const QDateTime &now)
        : m_now(now)
    {
    }

    // A VCALENDAR's components, sorted into tasks, zones and what is skipped.
    void takeCalendar(icalcomponent *calendar)
    {
        for (icalcomponent *c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind == ICAL_VTIMEZONE_COMPONENT)
                m_zonesIn[calendar].emplace(tzidOf(c), c);
            else if (kind != ICAL_VTODO_COMPONENT)
                m_out.skipped << label(c) + QStringLiteral(": ") + notATask(kind);
            else if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY))
                m_occurrences.emplace_back(calendar, c);
            else
                takeTask(calendar, c);
        }
    }

    // Changed occurrences of a repeating task travel with it, untouched.
    void takeOccurrences()
    {
        for (const auto &[calendar, todo] : m_occurrences) {
            const auto it = m_byUid.constFind(Mapping::uidOf(todo));
            if (it == m_byUid.cend()) {
                m_out.skipped << label(todo)
                                     + QStringLiteral(": a changed occurrence (RECURRENCE-ID) of a task that is "
                                                      "not in the file");
                continue;
            }
            take(m_own[*it], todo);
        }
    }

    FileReading finish()
    {
        for (std::size_t i = 0; i < m_own.size(); ++i)
            m_out.found[i].kept = keptOf(m_own[i]);
        return std::move(m_out);
    }

private:
    struct Own {
        icalcomponent *source;
        QByteArray components;
        std::set<QByteArray> named;
    };

    static void take(Own &into, icalcomponent *c)
    {
        dropErrors(c);
        into.components += IcalKit::textOf(c);
        zonesNamed(c, into.named);
    }

    void takeTask(icalcomponent *calendar, icalcomponent *c)
    {
        Mapping::Reading reading = Mapping::read(c, calendar, m_now);
        if (!reading.skipped.isEmpty()) {
            m_out.skipped << label(c) + QStringLiteral(": ") + reading.skipped;
            return;
        }
        QString &uid = reading.task.uid;
        if (!uid.isEmpty() && m_byUid.contains(uid)) {
            m_out.skipped << label(c) + QStringLiteral(": a second task with the UID ") + uid;
            return;
        }
        if (uid.isEmpty()) {
            uid = newUid();
            icalcomponent_set_uid(c, uid.toUtf8().constData());
        }
        for (const QString &note : std::as_const(reading.notes))
            m_out.notes << label(c) + QStringLiteral(": ") + note;
        m_byUid.insert(uid, m_out.found.size());
        m_out.found.push_back({reading.task, {}, reading.notes});
        m_own.push_back({calendar, {}, {}});
        take(m_own.back(), c);
    }

    QByteArray keptOf(const Own &own)
    {
        auto props = m_properties.find(own.source);
        if (props == m_properties.end())
            props = m_properties.emplace(own.source, calendarProperties(own.source)).first;
        QByteArray kept = "BEGIN:VCALENDAR\r\n" + props->second;
        // A zone the system knows is written from its rules when the task
        // goes out: thousands of copies of one VTIMEZONE would cost more to
        // read again than the tasks themselves.
        const auto &zones = m_zonesIn[own.source];
        for (const QByteArray &tzid : own.named) {
            const auto zone = zones.find(tzid);
            if (zone == zones.end() || Zones::isSystemZone(tzid))
                continue;
            auto text = m_zoneTexts.find(zone->second);
            if (text == m_zoneTexts.end())
                text = m_zoneTexts.emplace(zone->second, IcalKit::textOf(zone->second)).first;
            kept += text->second;
        }
        kept += own.components;
        kept += "END:VCALENDAR\r\n";
        return kept;
    }

    QDateTime m_now;
    FileReading m_out;
    std::vector<Own> m_own;
    QHash<QString, std::size_t> m_byUid;
    std::vector<std::pair<icalcomponent *, icalcomponent *>> m_occurrences; // (calendar, VTODO)
    std::map<icalcomponent *, std::map<QByteArray, icalcomponent *>> m_zonesIn;
    std::map<icalcomponent *, QByteArray> m_properties;
    std::map<icalcomponent *, QByteArray> m_zoneTexts;
};

} // namespace

FileReading readFile(const QByteArray &bytes, const QDateTime &now)
{
    const auto alone = IcalKit::exclusive();
    QString refusal;
    const IcalKit::Component root = IcalKit::parse(bytes, &refusal);
    if (!root) {
        FileReading out;
        out.refusal = refusal;
        return out;
    }
    FileGathering gathering(now);
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
        gathering.takeCalendar(root.get());
    } else {
        for (icalcomponent *c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            gathering.takeCalendar(c);
    }
    gathering.takeOccurrences();
    return gathering.finish();
}

Exported exportTasks(std::span<Module1::Task> tasks, KeptCalendars &kept, const QDateTime &now)
{
    const auto alone = IcalKit::exclusive();
    Exported out;
    const Mapping::Clock clock = Mapping::clockAt(now);
    std::vector<Pieces> calendars;
    calendars.reserve(tasks.size());
    QSet<QString> uids;
    uids.reserve(qsizetype(tasks.size()));
    std::vector<QByteArray> texts;
    texts.reserve(tasks.size());
    for (Module1::Task &task : tasks) {
        if (task.uid.isEmpty())
            task.uid = newUid();
        uids.insert(task.uid);
        texts.push_back(kept.find(task.uid));
    }
    const KeptReading reading = readKept(texts);
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const Module1::Task &task = tasks[i];
        const Prepared prepared = prepare(task, reading.calendars[i], clock);
        if (!prepared.calendar) {
            out.problems << QStringLiteral("\u201C%1\u201D: %2").arg(task.title, prepared.problem);
            continue;
        }
        calendars.push_back(piecesOf(prepared.calendar));
        kept.keep(task.uid, keptText(calendars.back()));
        ++out.written;
    }
    kept.keepOnly(uids);
    out.file = joined(calendars);
    return out;
}

Imported importTasks(std::vector<Module1::Task> &tasks, const QByteArray &bytes, KeptCalendars &kept,
                     const QDateTime &now, int capacity)
{
    const auto alone = IcalKit::exclusive();
    Imported out;
    FileReading reading = readFile(bytes, now);
    if (!reading.refusal.isEmpty()) {
        out.refusal = reading.refusal;
        return out;
    }
    out.skipped = reading.skipped;
    out.notes = reading.notes;
    QHash<QString, std::size_t> byUid;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        if (!tasks[i].uid.isEmpty())
            byUid.insert(tasks[i].uid, i);
    }
    for (Found &found : reading.found) {
        const auto it = byUid.constFind(found.task.uid);
        if (it != byUid.cend()) {
            Module1::Task &task = tasks[*it];
            keepSpelling(task, found.task);
            if (Module1::sameStored(task, found.task))
                ++out.unchanged;
            else
                ++out.updated;
            task = found.task;
        } else if (int(tasks.size()) >= capacity) {
            out.skipped << QStringLiteral("\u201C%1\u201D: the task list is full (%2 tasks)").arg(found.task.title).arg(capacity);
            continue;
        } else {
            byUid.insert(found.task.uid, tasks.size());
            tasks.push_back(found.task);
            ++out.added;
        }
        kept.keep(found.task.uid, found.kept);
    }
    return out;
}

} // namespace TaskCalendar
