// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

// Two full stores that differ in every task, so a file that mixes them, or
// stops half way, cannot pass for either.
namespace SaverStore {

inline void fill(int generation)
{
    Module1::resetStore();
    for (int i = 0; i < Module1::kTaskSlots; ++i) {
        Module1::Task &t = Module1::tasks[i];
        t.title = QStringLiteral("Generation %1 task %2").arg(generation).arg(i);
        t.forWhom = QStringLiteral("Someone %1").arg(i % 13);
        t.year = qint16(2020 + generation);
        t.month = qint16(1 + i % 12);
        t.day = qint16(1 + i % 28);
        t.hour = qint16(i % 24);
        t.description = QStringLiteral("Line one of %1\r\nline two, generation %2").arg(i).arg(generation);
        Module1::deriveFields(t);
    }
    Module1::taskCount = Module1::kTaskSlots;
    for (int i = 0; i < Module1::kRuleSlots; ++i) {
        Module1::rules[i].interval = qint16(i + generation);
        Module1::rules[i].unit = QStringLiteral("d");
        Module1::rules[i].color = i * 1000;
        Module1::rules[i].popup = i % 2;
    }
    Module1::ruleCount = Module1::kRuleSlots;
}

} // namespace SaverStore
