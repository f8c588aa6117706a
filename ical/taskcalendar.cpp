// SPDX-License-Identifier: GPL-3.0-or-later
#include "taskcalendar.h"

#include "components.h"
#include "merge.h"
#include "repeat.h"
#include "rules.h"
#include "zones.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QUuid>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace TaskCalendar {

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

// A task's VCALENDAR as the texts of its parts, each written by libical
// once: its own text and the file that holds many are both put together
// from them.
struct Pieces {
    std::vector<std::pair<QString, QByteArray>> properties; // name, text
    std::vector<std::pair<QByteArray, QByteArray>> zones;   // TZID, text
    QByteArray components;
    std::set<QByteArray> named; // the TZIDs its times name
};

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

struct Prepared {
    Component own;                   // a calendar made here, when there was none to edit
    icalcomponent *calendar = nullptr; // the one edited; null with a problem
    QString problem;
};

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

// The kept texts of many tasks, read in one go: a reading of each on its
// own costs more than the reading itself. `calendars[i]` belongs to
// `texts[i]` (null for an empty text).
struct KeptReading {
    Component root;
    std::vector<Component> single; // where the texts could not be read together
    std::vector<icalcomponent *> calendars;
};

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

// The calendar properties a task of the file keeps: all but an iTIP
// METHOD, which makes a message of a calendar.
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

QString countOf(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString listed(const QString &heading, const QStringList &lines)
{
    if (lines.isEmpty())
        return {};
    return QStringLiteral("\n\n") + heading + QStringLiteral("\n- ") + lines.join(QStringLiteral("\n- "));
}

QString shown(const QString &file)
{
    return QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
}

KeptCalendars keptForStore(QStringList *notes)
{
    KeptCalendars kept(KeptCalendars::fileFor(QDir::currentPath()));
    QString error;
    if (!kept.load(&error)) {
        *notes << QStringLiteral("The calendar texts kept from earlier trips could not be read (%1); what Quorvi "
                                 "does not show of each task was not carried along this time.")
                      .arg(error);
    }
    return kept;
}

void saveKept(const KeptCalendars &kept, QStringList *notes)
{
    QString error;
    if (!kept.save(&error)) {
        *notes << QStringLiteral("The calendar texts for the next trip could not be kept (%1).").arg(error);
    }
}

// The notices a save brings (a backup kept, a merge), as lines.
void noteSave(const Module1::SaveResult &saved, QStringList *notes)
{
    if (!saved.message.isEmpty())
        *notes << saved.message;
    if (!saved.notice.isEmpty())
        *notes << saved.notice;
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

FileReading readFile(const QByteArray &bytes, const QDateTime &now)
{
    FileReading out;
    const Component root = IcalKit::parse(bytes, &out.refusal);
    if (!root)
        return out;
    std::vector<icalcomponent *> calendars;
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
        calendars.push_back(root.get());
    } else {
        for (icalcomponent *c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars.push_back(c);
    }

    // Each task's own VCALENDAR is put together from the texts of the
    // file's parts, each written once: the file's calendar properties, the
    // zones its times name, the task and its changed occurrences.
    struct Own {
        icalcomponent *source;
        QByteArray components;
        std::set<QByteArray> named;
    };
    std::vector<Own> own;
    QHash<QString, std::size_t> byUid;
    std::vector<std::pair<icalcomponent *, icalcomponent *>> occurrences; // (calendar, VTODO)
    std::map<icalcomponent *, std::map<QByteArray, icalcomponent *>> zonesIn;
    const auto take = [](Own &into, icalcomponent *c) {
        dropErrors(c);
        into.components += IcalKit::textOf(c);
        zonesNamed(c, into.named);
    };
    for (icalcomponent *calendar : calendars) {
        for (icalcomponent *c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind == ICAL_VTIMEZONE_COMPONENT) {
                zonesIn[calendar].emplace(tzidOf(c), c);
                continue;
            }
            if (kind != ICAL_VTODO_COMPONENT) {
                out.skipped << label(c) + QStringLiteral(": ") + notATask(kind);
                continue;
            }
            if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
                occurrences.emplace_back(calendar, c);
                continue;
            }
            Mapping::Reading reading = Mapping::read(c, calendar, now);
            if (!reading.skipped.isEmpty()) {
                out.skipped << label(c) + QStringLiteral(": ") + reading.skipped;
                continue;
            }
            QString &uid = reading.task.uid;
            if (!uid.isEmpty() && byUid.contains(uid)) {
                out.skipped << label(c) + QStringLiteral(": a second task with the UID ") + uid;
                continue;
            }
            if (uid.isEmpty()) {
                uid = newUid();
                icalcomponent_set_uid(c, uid.toUtf8().constData());
            }
            for (const QString &note : std::as_const(reading.notes))
                out.notes << label(c) + QStringLiteral(": ") + note;
            byUid.insert(uid, out.found.size());
            out.found.push_back({reading.task, {}, reading.notes});
            own.push_back({calendar, {}, {}});
            take(own.back(), c);
        }
    }
    // Changed occurrences of a repeating task travel with it, untouched.
    for (const auto &[calendar, todo] : occurrences) {
        const auto it = byUid.constFind(Mapping::uidOf(todo));
        if (it == byUid.cend()) {
            out.skipped << label(todo) + QStringLiteral(": a changed occurrence (RECURRENCE-ID) of a task that is "
                                                        "not in the file");
            continue;
        }
        take(own[*it], todo);
    }
    std::map<icalcomponent *, QByteArray> properties;
    std::map<icalcomponent *, QByteArray> zoneTexts;
    for (std::size_t i = 0; i < own.size(); ++i) {
        auto props = properties.find(own[i].source);
        if (props == properties.end())
            props = properties.emplace(own[i].source, calendarProperties(own[i].source)).first;
        QByteArray &kept = out.found[i].kept;
        kept = "BEGIN:VCALENDAR\r\n" + props->second;
        // A zone the system knows is written from its rules when the task
        // goes out: thousands of copies of one VTIMEZONE would cost more to
        // read again than the tasks themselves.
        const auto &zones = zonesIn[own[i].source];
        for (const QByteArray &tzid : own[i].named) {
            const auto zone = zones.find(tzid);
            if (zone == zones.end() || Zones::isSystemZone(tzid))
                continue;
            auto text = zoneTexts.find(zone->second);
            if (text == zoneTexts.end())
                text = zoneTexts.emplace(zone->second, IcalKit::textOf(zone->second)).first;
            kept += text->second;
        }
        kept += own[i].components;
        kept += "END:VCALENDAR\r\n";
    }
    return out;
}

Exported exportTasks(std::span<Module1::Task> tasks, KeptCalendars &kept, const QDateTime &now)
{
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

Outcome exportStore(Module1::TaskStore &store, const QString &file, const QDateTime &now)
{
    using namespace Module1;
    QStringList notes;
    // The identities are saved before they go out, so that the file names
    // every task the way tasks.txt does; a save merged with a change made
    // elsewhere may bring tasks that need one too.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<Task> list(store.tasks().begin(), store.tasks().end());
        bool assigned = false;
        for (Task &task : list) {
            if (task.uid.isEmpty()) {
                task.uid = newUid();
                assigned = true;
            }
        }
        if (!assigned)
            break;
        const SaveResult saved = store.commitTaskList(std::move(list)).save;
        if (!saved.ok)
            return {false, saved.message};
        noteSave(saved, &notes);
        if (!saved.merged)
            break;
    }
    KeptCalendars kept = keptForStore(&notes);
    std::vector<Task> list(store.tasks().begin(), store.tasks().end());
    const Exported exported = exportTasks(list, kept, now);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(exported.file) < 0 || !out.commit())
        return {false, QStringLiteral("Could not write %1: %2").arg(shown(file), out.errorString())};
    saveKept(kept, &notes);
    return {true, QStringLiteral("Exported %1 to %2.").arg(countOf(exported.written, "task", "tasks"), shown(file))
                      + listed(QStringLiteral("Not exported:"), exported.problems) + listed(QStringLiteral("Also:"), notes)};
}

Outcome importStore(Module1::TaskStore &store, const QString &file, const QDateTime &now)
{
    using namespace Module1;
    const QFileInfo info(file);
    QFile in(file);
    if (info.exists() && !info.isFile())
        return {false, QStringLiteral("Could not read %1: it is not a regular file.").arg(shown(file))};
    if (info.size() > IcalKit::kLargestFile) {
        return {false, QStringLiteral("%1 is not a task list Quorvi can read: it is larger than %2 MB. Nothing "
                                      "was imported.")
                           .arg(shown(file))
                           .arg(IcalKit::kLargestFileMiB)};
    }
    if (!in.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("Could not read %1: %2").arg(shown(file), in.errorString())};
    const QByteArray bytes = in.read(IcalKit::kLargestFile + 1);

    QStringList notes;
    KeptCalendars kept = keptForStore(&notes);
    std::vector<Task> list(store.tasks().begin(), store.tasks().end());
    const Imported imported = importTasks(list, bytes, kept, now, kTaskSlots);
    if (!imported.refusal.isEmpty()) {
        return {false, QStringLiteral("%1 is not an iCalendar file Quorvi can read: %2. Nothing was imported.")
                           .arg(shown(file), imported.refusal)};
    }
    if (imported.added + imported.updated > 0) {
        const SaveResult saved = store.commitTaskList(std::move(list)).save;
        if (!saved.ok)
            return {false, saved.message};
        noteSave(saved, &notes);
    }
    saveKept(kept, &notes);
    QString summary = QStringLiteral("Imported from %1: %2 added, %3 updated")
                          .arg(shown(file))
                          .arg(imported.added)
                          .arg(imported.updated);
    if (imported.unchanged > 0)
        summary += QStringLiteral(", %1 already up to date").arg(imported.unchanged);
    summary += QStringLiteral(", %1 skipped.").arg(imported.skipped.size());
    return {true, summary + listed(QStringLiteral("Skipped:"), imported.skipped)
                      + listed(QStringLiteral("Read with care:"), imported.notes) + listed(QStringLiteral("Also:"), notes)};
}

int runCommand(bool importing, const QString &file)
{
    Module1::TaskStore store;
    const Module1::LoadReport report = store.loadTasks();
    if (report.unreadable) {
        std::fprintf(stderr, "quorvi: %s\n", qPrintable(report.problems.value(0)));
        return 1;
    }
    if (!report.problems.isEmpty()) {
        std::fprintf(stderr, "quorvi: some of %s could not be read as it stands:\n%s\n",
                     qPrintable(Module1::kStoreFileName), qPrintable(Module1::describeProblems(report)));
    }
    const QDateTime now = QDateTime::currentDateTime();
    const Outcome outcome = importing ? importStore(store, file, now) : exportStore(store, file, now);
    if (!outcome.ok) {
        std::fprintf(stderr, "quorvi: %s\n", qPrintable(outcome.message));
        return 1;
    }
    std::printf("%s\n", qPrintable(outcome.message));
    return 0;
}

} // namespace TaskCalendar
