// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>
#include <QtGlobal>

// What the rules dialog's buttons do to Module1::rules and ruleCount, kept
// apart from the widgets. Slots count from 0; rule numbers shown to the user
// count from 1.
namespace RuleOps {

// The slot of the rule whose number a box shows (its leading number - 1), or
// -1 when that is not a slot of the table.
int slotFromNumberText(QStringView text);

// The slot "<" moves to from rule `number`, or -1 at rule 1 (no wrap-around).
int backTarget(int number);
// The slot ">" moves to from rule `number`, or -1 at the last rule.
int nextTarget(int number);

bool isFull();

// Appends a rule of interval 0, unit "d", black, no popup. Returns its slot,
// or -1 when all 101 slots are in use (nothing is changed then).
int appendRule();

// Removes the rule in slot `cur` by moving every later rule down one slot,
// and returns the slot to show next: the rule that followed, or slot 0 after
// the last one. The slot past the new end keeps a copy of the last rule.
// A slot that holds no live rule is not deleted.
int deleteRule(int cur);

} // namespace RuleOps
