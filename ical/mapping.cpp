// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapping.h"

#include "components.h"
#include "mappingparts.h"
#include "repeat.h"
#include "rules.h"
#include "zones.h"

#include <QRegularExpression>

#include <optional>

namespace Mapping {

namespace {

using namespace MappingParts;

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

QString outsideYears(const QString &what)
{
    return QStringLiteral("%1 is not a date and time within the years %2 to %3")
        .arg(what)
        .arg(Zones::kFirstYear)
        .arg(Zones::kLastYear);
}

// libical leaves a note where it could not read a line, and drops the
// line: a task that lost a mapped property would come in wrong. False when
// the task is skipped for it.
bool readErrors(icalcomponent *todo, Reading &reading)
{
    for (icalproperty *e = first(todo, ICAL_XLICERROR_PROPERTY); e;
         e = icalcomponent_get_next_property(todo, ICAL_XLICERROR_PROPERTY)) {
        const QString error = QString::fromUtf8(icalproperty_get_xlicerror(e)).simplified();
        if (isMapped(errorSubject(error))) {
            reading.skipped = QStringLiteral("a line could not be read (%1)").arg(error);
            return false;
        }
        reading.notes << QStringLiteral("a line that could not be read was left out (%1)").arg(error);
    }
    return true;
}

void readTexts(icalcomponent *todo, Module1::Task &t)
{
    t.uid = uidOf(todo);
    t.title = oneLine(icalcomponent_get_summary(todo));
    t.forWhom = forWhomOf(todo);
    if (icalproperty *d = first(todo, ICAL_DESCRIPTION_PROPERTY))
        t.description = withBreaks(icalproperty_get_description(d));
}

// The due moment into the task (today at midnight when there is none);
// nothing when the task is skipped for its dates.
std::optional<QDateTime> readDue(icalcomponent *todo, icalcomponent *calendar, const QDateTime &now,
                                 Reading &reading)
{
    const Due due = dueOf(todo, calendar);
    if (!due.bad.isEmpty()) {
        reading.skipped = outsideYears(due.bad);
        return std::nullopt;
    }
    if (icalproperty *start = first(todo, ICAL_DTSTART_PROPERTY); start && !Zones::toLocal(start, calendar)) {
        reading.skipped = outsideYears(QStringLiteral("DTSTART ") + valueText(start));
        return std::nullopt;
    }
    if (reading.task.title.isEmpty() && !due.local) {
        reading.skipped = QStringLiteral("it has no SUMMARY and no DUE");
        return std::nullopt;
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
    Module1::Task &t = reading.task;
    t.year = qint16(moment.date().year());
    t.month = qint16(moment.date().month());
    t.day = qint16(moment.date().day());
    t.hour = qint16(moment.time().hour());
    t.minute = qint16(moment.time().minute());
    t.second = qint16(moment.time().second());
    return moment;
}

// False when the task is skipped for its done moment.
bool readDone(icalcomponent *todo, const QDateTime &now, Reading &reading)
{
    if (!isDone(todo))
        return true;
    QString bad;
    const std::optional<QDateTime> done = completedOf(todo, now, &bad);
    if (!done) {
        reading.skipped = outsideYears(bad);
        return false;
    }
    reading.task.doneText = Repeat::formatMoment(*done);
    return true;
}

void readRule(icalcomponent *todo, icalcomponent *calendar, QDate due, Reading &reading)
{
    const CurrentRule rule = currentRule(todo, calendar, due);
    if (rule.rule)
        reading.task.repeatText = Repeat::format(*rule.rule);
    else if (rule.present)
        reading.notes << QStringLiteral("it repeats in a way Quorvi cannot follow (%1); it comes in as a single task "
                                        "and its rule is kept for other programs")
                             .arg(valueText(first(todo, ICAL_RRULE_PROPERTY)));
}

} // namespace

Clock clockAt(const QDateTime &now)
{
    const auto alone = IcalKit::exclusive();
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
    if (!readErrors(todo, reading))
        return reading;
    readTexts(todo, reading.task);
    const std::optional<QDateTime> moment = readDue(todo, calendar, now, reading);
    if (!moment || !readDone(todo, now, reading))
        return reading;
    readRule(todo, calendar, moment->date(), reading);
    Module1::deriveFields(reading.task);
    return reading;
}

} // namespace Mapping
