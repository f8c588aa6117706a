// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

// What a reminder says, and which task it speaks of, worked out without a
// window or a bus.
namespace Notice {

struct Text {
    QString summary; // the title
    QString body;    // plain text: for whom, and when it is due
    friend bool operator==(const Text &, const Text &) = default;
};

Text textFor(const Module1::Task &task);

// The actions a reminder offers, as the notification protocol lists them:
// key, then label. "default" is a click on the reminder itself.
inline const QString kShowAction = QStringLiteral("show");
inline const QString kSnoozeAction = QStringLiteral("snooze");
inline const QString kTomorrowAction = QStringLiteral("tomorrow");
inline const QString kDoneAction = QStringLiteral("done");
inline const QString kDefaultAction = QStringLiteral("default");
// The put-off action's label names `remindAgainMinutes` ("In 30 minutes").
QStringList actions(int remindAgainMinutes);

// When a reminder put off at `now` comes back: `minutes` later, or at the
// same time on the next day for "Tomorrow" (the same wall-clock time, also
// across a change of the clocks).
QDateTime putOffUntil(bool tomorrow, int minutes, const QDateTime &now);

// The row (from 1) showing `task` in the tables as they stand: the task
// with its id, or failing that one with the same title, for-whom text and
// due moment, or failing that the same title and for-whom text. Nothing
// when it is gone.
std::optional<int> rowOf(const Module1::Task &task, std::span<const Module1::Task> tasks);

} // namespace Notice
