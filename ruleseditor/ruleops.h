// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QStringView>
#include <QtGlobal>

#include <vector>

// What the rules dialog's buttons do to its copy of the rules, kept apart
// from the widgets. Slots count from 0; rule numbers shown to the user
// count from 1.
namespace RuleOps {

using Rules = std::vector<Module1::AlertRule>;

// The slot of the rule whose number a box shows (its leading number - 1), or
// -1 when that is not a slot a table can have.
int slotFromNumberText(QStringView text);

// The slot "<" moves to from rule `number`, or -1 at rule 1 (no wrap-around).
int backTarget(int number);
// The slot ">" moves to from rule `number` of `count`, or -1 at the last rule.
int nextTarget(int number, int count);

bool isFull(const Rules &rules);

// Appends a rule of interval 0, unit "d", black, no popup. Returns its slot,
// or -1 when the table is full (nothing is changed then).
int appendRule(Rules &rules);

// Removes the rule in slot `cur`, and returns the slot to show next: the
// rule that followed, or slot 0 after the last one. The only rule is never
// removed: the dialog always shows one. A slot that holds no rule is not
// deleted.
int deleteRule(Rules &rules, int cur);

} // namespace RuleOps
