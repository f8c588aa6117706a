// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mapping.h"
#include "repeat.h"
#include "zones.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>

#include <libical/ical.h>

// What reading a VTODO and writing one share: texts as a file gives them,
// the due moment and the repetition as a VTODO states them. For the
// mapping's own files; the rest of the program goes through mapping.h.
namespace MappingParts {

inline constexpr const char *kForName = "X-QUORVI-FOR";

// Text as a file gives it, without control characters (a tab aside).
QString fromFile(const char *text);
// What the store can keep of a one-line text.
QString oneLine(const char *text);
// A description as Quorvi holds it: lines end in CR LF.
QString withBreaks(const char *text);

icalproperty *first(icalcomponent *c, icalproperty_kind kind);
QString forWhomOf(icalcomponent *todo);
QString valueText(icalproperty *p);
bool isDone(icalcomponent *todo);

// The moment the VTODO is due: DUE, else DTSTART with its DURATION, else
// DTSTART. Nothing when there is none; `bad` names a date that is there
// but not one Quorvi can keep.
struct Due {
    std::optional<Zones::Local> local;
    bool fromDue = false;
    QString bad;
};
Due dueOf(icalcomponent *todo, icalcomponent *calendar);

// The VTODO's RRULE as Quorvi would read it; the series starts at DTSTART,
// or at the due date.
struct CurrentRule {
    bool present = false;
    std::optional<Repeat::Rule> rule; // when Quorvi can follow it
};
CurrentRule currentRule(icalcomponent *todo, icalcomponent *calendar, QDate due);

// The RRULE that says the rule, for a task due on `due`.
icalrecurrencetype recurrenceOf(const Repeat::Rule &rule, QDate due);

} // namespace MappingParts
