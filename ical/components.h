// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <libical/ical.h>

#include <memory>
#include <mutex>

// libical as the mapping uses it: components that free themselves, their
// text, and a file read only when its structure holds together.
namespace IcalKit {

struct FreeComponent {
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, FreeComponent>;

// libical reports its errors through a global flag; they must never end the
// program. Called before any other use.
void prepare();

// Held by every way into this folder from outside it. libical keeps state
// of its own for the whole process (the error table its calls change and
// restore, the zones it loads and expands on first use), and so do the zone
// lookups here; sync maps tasks on a thread of its own while Export or
// Import may run on the window's. One at a time, then; a way in may call
// another.
[[nodiscard]] std::unique_lock<std::recursive_mutex> exclusive();

// The text libical writes for a component or a property (CR LF line ends,
// folded).
QByteArray textOf(icalcomponent *component);
QByteArray textOf(icalproperty *property);

// The files Quorvi reads are at most this large: past it, they are refused
// whole rather than read into memory.
inline constexpr qsizetype kLargestFileMiB = 64;
inline constexpr qsizetype kLargestFile = kLargestFileMiB * 1024 * 1024;

// Reads iCalendar text: one or more VCALENDARs, each component closed by
// the END of the same name, nothing outside them. Anything else is refused
// whole, with the reason in `refusal`, since a reader that guesses where a
// cut-off or badly nested file meant to go would make up tasks. The result
// is a VCALENDAR, or an XROOT holding several.
Component parse(const QByteArray &bytes, QString *refusal);

// The property's name as the file spells it ("DUE", "X-QUORVI-FOR").
QString nameOf(icalproperty *property);

// The first X- property of that name, or null.
icalproperty *findX(icalcomponent *component, const char *name);

// Removes every property of `kind` from the component.
void removeAll(icalcomponent *component, icalproperty_kind kind);

} // namespace IcalKit
