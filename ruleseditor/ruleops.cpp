// SPDX-License-Identifier: GPL-3.0-or-later
#include "ruleops.h"

#include "module1.h"
#include "numbers.h"

namespace RuleOps {

int slotFromNumberText(QStringView text)
{
    const int slot = Numbers::readInt16(text) - 1;
    return (slot >= 0 && slot < Module1::kRuleSlots) ? slot : -1;
}

int backTarget(int number)
{
    return number > 1 ? number - 2 : -1;
}

int nextTarget(int number)
{
    return (number >= 1 && number < Module1::ruleCount) ? number : -1;
}

bool isFull()
{
    return Module1::ruleCount >= Module1::kRuleSlots;
}

int appendRule()
{
    if (isFull())
        return -1;
    const int slot = Module1::ruleCount++;
    Module1::AlertRule &r = Module1::rules[slot];
    r.interval = 0;
    r.unit = QStringLiteral("d");
    r.color = 0;
    r.popup = false;
    return slot;
}

int deleteRule(int cur)
{
    if (cur < 0 || cur >= Module1::ruleCount)
        return (cur >= 0 && cur < Module1::kRuleSlots) ? cur : 0;
    for (int i = cur + 1; i < Module1::ruleCount; ++i)
        Module1::rules[i - 1] = Module1::rules[i];
    --Module1::ruleCount;
    return cur < Module1::ruleCount ? cur : 0;
}

} // namespace RuleOps
