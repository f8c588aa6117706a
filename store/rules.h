// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QDate>
#include <QDateTime>

#include <span>

// What a task's due date means and which colour rule applies to it, written
// once: the list's colours, the alert page and everything that reminds must
// agree on every task.
namespace Rules {

// The date a task is due: its year, month and day rolled over as a calendar
// does (day 31 of February is 3 March). The time of day plays no part.
QDate dueDate(const Module1::Task &task);

// The moment a task is due, in local time, which is when its reminder
// comes: the date and the time of day rolled over together (hour 25 is one
// o'clock the next day). A time the clocks skip is due when they land after
// it; a time they show twice, the first time.
QDateTime dueMoment(const Module1::Task &task);

// The due moment as every window and reminder shows it ("<short date> at
// <long time>"): on the day the time carried it to.
QString dueText(const Module1::Task &task);

// Whole calendar days from `today` to the due date: 0 today, negative when
// late, not limited to the 16 bits the rules compare.
qint32 daysLeft(const Module1::Task &task, QDate today);

// "No rule matched yet": wider than any interval a rule can hold.
inline constexpr int kNoInterval = 99999;

// What the rules make of one task on one day.
struct Choice {
    int best = kNoInterval; // the narrowest interval that matched
    qint32 color = 0;       // that rule's colour (a later rule wins a tie); black when none matched
    bool dueOrLate = false; // the last rule, in its own unit, finds the task due now or late
    bool ruleRan = false;   // there was any rule at all
    bool listed = false;    // a popup rule matched on the way; a narrower quiet rule keeps it listed
    qint32 boxColor = 0;    // the colour of the popup rule that listed it
    friend bool operator==(const Choice &, const Choice &) = default;
};

// Runs every rule in table order over a task due on `due`, seen on `today`.
// A rule matches when the units left (clamped to 16 bits) are at most its
// interval, and takes over when its interval is at most the narrowest so far,
// so the tightest matching rule gives the colour and a later one wins a tie.
Choice choose(QDate due, std::span<const Module1::AlertRule> rules, QDate today);

// The same for a task. A done task is chosen by no rule: it is not
// coloured, never bold and never listed.
Choice choose(const Module1::Task &task, std::span<const Module1::AlertRule> rules, QDate today);

} // namespace Rules
