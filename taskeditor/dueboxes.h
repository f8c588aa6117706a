// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// What the editor's date and time boxes add up to, worked out without a
// window: the boxes take any number and roll it over, so the one line that
// says which moment they make is what tells a person what Ok will save.
namespace DuePreview {

// The due moment of `task` as it will be saved, in `locale`'s long date
// and its time ("Wednesday, 9 December 2026, 01:00" for 8 December and hour
// 25), with the seconds only when there are any, and ", in the past" when
// that moment is before `now`. The boxes themselves are never corrected.
QString text(const Module1::Task &task, const QDateTime &now, const QLocale &locale);

} // namespace DuePreview

namespace TaskFields {

// What New starts from at `now`: today's date and the next full hour (a
// quarter to midnight gives midnight, the next day), every other field
// blank. Ok on the untouched form then saves a task that makes sense.
Module1::Task blankTaskAt(const QDateTime &now);

} // namespace TaskFields
