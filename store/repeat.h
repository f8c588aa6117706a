// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

// Repeating tasks and the moment a task was done, as the store file writes
// them ("rep=1m@31", "don=2027-03-07 09:05:00"), and where a repeating task
// goes next. No widgets here.
namespace Repeat {

enum class Unit { Day, Week, Month, Year };

struct Rule {
    int count = 1;
    Unit unit = Unit::Month;
    // The day of the month a monthly or yearly task belongs to: on the 31st,
    // it falls on the last day of shorter months and returns to the 31st in
    // longer ones. Unused for days and weeks.
    int anchorDay = 1;
    friend bool operator==(const Rule &, const Rule &) = default;
};

// Months and years step by calendar months and belong to a day of the month.
bool byMonths(Unit unit);

// The largest count a rule may hold; larger ones are not read.
inline constexpr int kMaxCount = 9999;

// "1d", "2w", "1m@31", "1y@29": a count from 1, a unit, and for months and
// years "@" and the day of the month. Nothing for anything else.
std::optional<Rule> parse(QStringView text);
QString format(const Rule &rule);

// A rule for a task due on `due`: months and years belong to its day.
Rule ruleFor(int count, Unit unit, QDate due);

// The date `steps` whole steps after `from` (the month-end rule applied).
QDate stepped(QDate from, const Rule &rule, qint64 steps);

// The due date of the first occurrence after `now` of a series whose
// current occurrence is due on `dueDate`: whole steps on, at least one, so a
// task three months late moves to the next future month, not one month on.
// Each occurrence is due at `time` on its date, `carriedDays` later (a time
// typed as hour 25 falls on the next day). Nothing when that lies beyond the
// dates a task can hold.
std::optional<QDate> nextDueDate(QDate dueDate, int carriedDays, QTime time, const Rule &rule, const QDateTime &now);

// "2027-03-07 09:05:00", local time, as don= holds it.
QString formatMoment(const QDateTime &moment);
std::optional<QDateTime> parseMoment(QStringView text);

} // namespace Repeat
