// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// Due dates are built from loose parts that people type, so "day 31 of
// February" or "minute 60" must roll over the way calendar arithmetic does.
namespace Calendar {

// The date made from year, month and day with roll-over: month 13 is January
// of the next year, day 0 the last day of the month before. Years are counted
// astronomically (year 0 is the year before year 1).
QDate makeDate(int year, int month, int day);

// The time of day made from hour, minute and second with roll-over; whole
// days beyond or before midnight are dropped.
QTime makeTime(int hour, int minute, int second);

// Whole days that the time parts add to or take from the date (hour 25 -> 1).
int carriedDays(int hour, int minute, int second);

// The first moment the local clock shows `time` on `date`. Where the clocks
// are put forward over it, the moment they land on (2:30 in a jump from 2:00
// to 3:00 is 3:00); where they are put back and show it twice, the first
// time. Unlike QDateTime(date, time) it is never invalid, and it does not
// depend on which local times were worked out before.
QDateTime localMoment(QDate date, QTime time);

// A time format with its time zone taken out, together with the brackets,
// blanks and commas that belong to the zone ("H:mm:ss (t)" -> "H:mm:ss",
// "h:mm:ss AP, t" -> "h:mm:ss AP"). A due time has no zone, and a zone name
// would only crowd the list's due column.
QString timeFormatWithoutZone(const QString &format);

// "<short date> at <long time>" of a local moment, in the user's locale.
QString dueText(const QDateTime &moment);

// Fixed-width key "yyyy-mm - dd hh:nn:ss" of a local moment: comparing keys
// as text orders the moments. Moments before the year 1 or after 9999 are
// held at the ends.
QString sortKey(const QDateTime &moment);

// Unit boundaries crossed going from `from` to `to` (negative when `to` is
// earlier). Units: "d"/"y" days, "w" whole weeks, "ww" calendar weeks, "m"
// months, "q" quarters, "yyyy" years, "h"/"n"/"s" hours, minutes, seconds of
// whole days. An empty or unknown unit counts days.
qint64 dateDiff(QStringView unit, QDate from, QDate to);

// The same, limited to the 16-bit range the rules compare against.
qint16 dateDiff16(QStringView unit, QDate from, QDate to);

} // namespace Calendar
