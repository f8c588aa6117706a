// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <libical/ical.h>

// The mapping between a Quorvi task and a VTODO, field by field:
//
//   title             SUMMARY
//   for whom          X-QUORVI-FOR
//   description       DESCRIPTION (Quorvi's CR LF as iCalendar's line breaks)
//   due moment        DUE;TZID=<local zone>, the carried days applied (hour 25
//                     on 8 Dec is 9 Dec 01:00); date-only while a date-only DUE
//                     that came in keeps its midnight
//   done              STATUS:COMPLETED, COMPLETED (UTC), PERCENT-COMPLETE:100
//   repetition        RRULE FREQ and INTERVAL (a day after the 28th as
//                     BYMONTHDAY=28,...,day;BYSETPOS=-1), DTSTART = DUE
//   identity          UID
//
// Writing changes a property only when it does not already say what the task
// says, read the way reading does, so everything Quorvi does not map, and
// every value a task did not change, stays as the file had it.
namespace Mapping {

// How a VTODO becomes a task, or why it cannot.
struct Reading {
    Module1::Task task; // its uid is the VTODO's UID, empty when it has none
    QString skipped;    // why it is no task (a sentence); empty when it is one
    QStringList notes;  // what the user should know about how it was read
};

// `calendar` is the VCALENDAR holding the VTODO, for its VTIMEZONEs; `now`
// stands in for moments the VTODO does not give (a done task without
// COMPLETED, a task without any date: it is due today).
Reading read(icalcomponent *todo, icalcomponent *calendar, const QDateTime &now);

// How times go out: in the local zone by name, in UTC when the computer
// keeps UTC, otherwise floating.
struct Clock {
    QString zoneId;
    bool utc = false;
    QDateTime now;
};
Clock clockAt(const QDateTime &now);

// Puts the task into the VTODO (its UID too). `fresh`: the VTODO was made
// for this task, not kept from a file. Returns whether anything changed;
// false with `problem` set when the task cannot be written (a due moment
// outside the years a calendar holds), the VTODO then untouched.
bool write(icalcomponent *todo, icalcomponent *calendar, const Module1::Task &task, bool fresh, const Clock &clock,
           QString *problem);

// A component's UID as a task holds it: without the control characters
// libical leaves out when it writes, so that two UIDs that would be written
// alike are read alike.
QString uidOf(icalcomponent *component);

// The due moment's years a calendar file can hold; outside them a task is
// reported, not written.
bool dueFits(const Module1::Task &task);

} // namespace Mapping
