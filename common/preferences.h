// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>
#include <QtGlobal>

#include <array>

// The program's few preferences about its windows and reminders, kept in
// quorvi.conf between starts; the tasks and the rules live in tasks.txt.
namespace Preferences {

QSettings settings();

// The list's order (a sortMode value); by due date when none was kept, or
// what was kept names no order.
qint16 listOrder();
void setListOrder(qint16 order);

// How long "Remind again" puts a reminder off, in minutes: one of
// kRemindAgainChoices, 10 when nothing (or something else) was kept.
inline constexpr std::array<int, 5> kRemindAgainChoices{5, 10, 30, 60, 240};
int remindAgainMinutes();
void setRemindAgainMinutes(int minutes);

// "5 minutes", "1 hour", "4 hours".
QString durationText(int minutes);
// What the reminder's button says: "In 5 minutes", "In 1 hour".
QString remindAgainCaption(int minutes);

} // namespace Preferences
