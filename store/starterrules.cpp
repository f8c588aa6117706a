// SPDX-License-Identifier: GPL-3.0-or-later
#include "starterrules.h"

namespace StarterRules {

namespace {

constexpr qint32 rgb(int red, int green, int blue)
{
    return qint32(red + 256 * green + 65536 * blue);
}

} // namespace

std::vector<Module1::AlertRule> rules()
{
    const QString days = QStringLiteral("d");
    // Widest first: the tightest matching rule gives the colour, and the
    // last one in the table decides bold, so "today or late" comes last.
    return {
        {7, days, rgb(0, 128, 0), false},
        {2, days, rgb(204, 102, 0), true},
        {0, days, rgb(255, 0, 0), true},
    };
}

bool giveToNewStore(std::vector<Module1::AlertRule> &written)
{
    // Rules the user set before the first save (in the rules dialog) are
    // the user's choice, even a single empty one.
    if (!written.empty())
        return false;
    written = rules();
    return true;
}

} // namespace StarterRules
