// SPDX-License-Identifier: GPL-3.0-or-later
#include "ruleops.h"

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

int nextTarget(int number, int count)
{
    return (number >= 1 && number < count) ? number : -1;
}

bool isFull(const Rules &rules)
{
    return int(rules.size()) >= Module1::kRuleSlots;
}

int appendRule(Rules &rules)
{
    if (isFull(rules))
        return -1;
    Module1::AlertRule &r = rules.emplace_back();
    r.interval = 0;
    r.unit = QStringLiteral("d");
    r.color = 0;
    r.popup = false;
    return int(rules.size()) - 1;
}

int deleteRule(Rules &rules, int cur)
{
    const int count = int(rules.size());
    if (cur < 0 || cur >= count)
        return (cur >= 0 && cur < Module1::kRuleSlots) ? cur : 0;
    if (count == 1)
        return 0;
    rules.erase(rules.begin() + cur);
    return cur < count - 1 ? cur : 0;
}

} // namespace RuleOps
