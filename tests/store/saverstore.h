// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"
#include "taskstore.h"

#include <vector>

// Two full stores that differ in every task, so a file that mixes them, or
// stops half way, cannot pass for either.
namespace SaverStore {

// Fills the tables of `store` with generation `generation`, unsaved.
inline void fill(Module1::TaskStore &store, int generation)
{
    std::vector<Module1::Task> tasks(Module1::kTaskSlots);
    for (int i = 0; i < Module1::kTaskSlots; ++i) {
        Module1::Task &t = tasks[std::size_t(i)];
        t.title = QStringLiteral("Generation %1 task %2").arg(generation).arg(i);
        t.forWhom = QStringLiteral("Someone %1").arg(i % 13);
        t.year = qint16(2020 + generation);
        t.month = qint16(1 + i % 12);
        t.day = qint16(1 + i % 28);
        t.hour = qint16(i % 24);
        t.description = QStringLiteral("Line one of %1\r\nline two, generation %2").arg(i).arg(generation);
    }
    std::vector<Module1::AlertRule> rules(Module1::kRuleSlots);
    for (int i = 0; i < Module1::kRuleSlots; ++i) {
        Module1::AlertRule &r = rules[std::size_t(i)];
        r.interval = qint16(i + generation);
        r.unit = QStringLiteral("d");
        r.color = i * 1000;
        r.popup = i % 2;
    }
    store.setTables(std::move(tasks), std::move(rules));
}

} // namespace SaverStore
