// SPDX-License-Identifier: GPL-3.0-or-later
#include "rowlook.h"

#include "calendar.h"

namespace RowLook {

Look decide(QDate due, std::span<const Module1::AlertRule> rules, QDate today)
{
    Look look;
    qint32 best = 99999;
    // Rules almost always share one unit; the date difference is the costly
    // part of a row, so it is only worked out again when the unit changes.
    const QString *lastUnit = nullptr;
    qint16 daysLeft = 0;
    for (const Module1::AlertRule &rule : rules) {
        if (!lastUnit || rule.unit != *lastUnit) {
            lastUnit = &rule.unit;
            daysLeft = Calendar::dateDiff16(rule.unit, today, due);
        }
        if (rule.interval <= best && daysLeft <= rule.interval) {
            best = rule.interval;
            look.color = rule.color;
        }
        look.bold = daysLeft < 1;
        look.ruleRan = true;
    }
    return look;
}

Look forTask(const Module1::Task &task, QDate today)
{
    const QDate due = Calendar::makeDate(task.year, task.month, task.day);
    return decide(due, std::span(Module1::rules.data(), std::size_t(qMax<int>(0, Module1::ruleCount))), today);
}

} // namespace RowLook
