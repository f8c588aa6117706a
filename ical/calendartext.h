// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "components.h"
#include "mapping.h"
#include "module1.h"

#include <QByteArray>
#include <QString>

#include <set>
#include <utility>
#include <vector>

#include <libical/ical.h>

// The texts of task calendars: a task put into its VCALENDAR, the parts of
// a calendar, and many tasks' calendars joined into one file. For this
// folder's own files; the rest of the program goes through taskcalendar.h.
namespace CalendarText {

// The TZIDs the component's times name, its subcomponents' too.
void zonesNamed(icalcomponent *top, std::set<QByteArray> &out);
QByteArray tzidOf(icalcomponent *vtimezone);
// Nothing libical could not read goes out again.
void dropErrors(icalcomponent *top);
// The calendar properties a task of the file keeps: all but an iTIP
// METHOD, which makes a message of a calendar.
QByteArray calendarProperties(icalcomponent *source);

// A task's VCALENDAR as the texts of its parts, each written by libical
// once: its own text and the file that holds many are both put together
// from them.
struct Pieces {
    std::vector<std::pair<QString, QByteArray>> properties; // name, text
    std::vector<std::pair<QByteArray, QByteArray>> zones;   // TZID, text
    QByteArray components;
    std::set<QByteArray> named; // the TZIDs its times name
};
Pieces piecesOf(icalcomponent *calendar);
// The text a VCALENDAR of these pieces has, as libical would write it.
QByteArray keptText(const Pieces &pieces);
// One VCALENDAR from the calendars of several tasks: Quorvi's VERSION and
// PRODID, the first of each other calendar property, each VTIMEZONE once
// (and those of zones only named, from the system), then the tasks.
QByteArray joined(const std::vector<Pieces> &calendars);

struct Prepared {
    IcalKit::Component own;                   // a calendar made here, when there was none to edit
    icalcomponent *calendar = nullptr; // the one edited; null with a problem
    QString problem;
};
// The task put into its kept calendar (`kept`, may be null), or into a new one.
Prepared prepare(const Module1::Task &task, icalcomponent *kept, const Mapping::Clock &clock);

// The kept texts of many tasks, read in one go: a reading of each on its
// own costs more than the reading itself. `calendars[i]` belongs to
// `texts[i]` (null for an empty text).
struct KeptReading {
    IcalKit::Component root;
    std::vector<IcalKit::Component> single; // where the texts could not be read together
    std::vector<icalcomponent *> calendars;
};
KeptReading readKept(const std::vector<QByteArray> &texts);

} // namespace CalendarText
