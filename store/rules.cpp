// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules.h"

#include "calendar.h"

#include <algorithm>
#include <limits>

namespace Rules {

QDate dueDate(const Module1::Task &task)
{
    return Calendar::makeDate(task.year, task.month, task.day);
}

QDateTime dueMoment(const Module1::Task &task)
{
    const QDate date = dueDate(task).addDays(Calendar::carriedDays(task.hour, task.minute, task.second));
    return Calendar::localMoment(date, Calendar::makeTime(task.hour, task.minute, task.second));
}

QString dueText(const Module1::Task &task)
{
    return Calendar::dueText(dueMoment(task));
}

qint32 daysLeft(const Module1::Task &task, QDate today)
{
    const qint64 days = Calendar::dateDiff(u"d", today, dueDate(task));
    return qint32(std::clamp<qint64>(days, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

Choice choose(QDate due, std::span<const Module1::AlertRule> rules, QDate today)
{
    Choice choice;
    // Rules almost always share one unit, and the date difference is the
    // costly part, so it is worked out again only when the unit changes.
    const QString *lastUnit = nullptr;
    qint16 unitsLeft = 0;
    for (const Module1::AlertRule &rule : rules) {
        if (!lastUnit || rule.unit != *lastUnit) {
            lastUnit = &rule.unit;
            unitsLeft = Calendar::dateDiff16(rule.unit, today, due);
        }
        if (rule.interval <= choice.best && unitsLeft <= rule.interval) {
            choice.best = rule.interval;
            choice.color = rule.color;
            if (rule.popup) {
                choice.listed = true;
                choice.boxColor = rule.color;
            }
        }
        choice.dueOrLate = unitsLeft < 1;
        choice.ruleRan = true;
    }
    return choice;
}

Choice choose(const Module1::Task &task, std::span<const Module1::AlertRule> rules, QDate today)
{
    if (task.done)
        return {};
    return choose(dueDate(task), rules, today);
}

} // namespace Rules
