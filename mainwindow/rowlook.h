// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "colors.h"

#include "module1.h"

#include <QColor>
#include <QDate>

#include <span>

// How a task row looks: the text colour picked by the colour rules and
// whether it is drawn bold. No widget is involved, so the choice can be
// checked for any date and rule table.
namespace RowLook {

struct Look {
    qint32 color = 0;     // red + 256 * green + 65536 * blue
    bool bold = false;    // only meaningful when ruleRan
    bool ruleRan = false; // with no rules the row keeps the weight it had
    friend bool operator==(const Look &, const Look &) = default;
};

// The look of a task due on `due`, seen on `today`. Every rule is tried in
// table order: the matching rule with the smallest interval gives the colour
// (a later rule wins a tie), and the last rule alone decides the weight. The
// days left are clamped to 16 bits, so a date centuries away behaves like any
// other far-away date.
Look decide(QDate due, std::span<const Module1::AlertRule> rules, QDate today);

// The look of a task against the live rule table.
Look forTask(const Module1::Task &task, QDate today);

using Colors::rgb;
using Colors::toColor;

// The selected row: white on dark blue.
inline constexpr qint32 kSelectedBackground = rgb(0, 0, 100);
inline constexpr qint32 kSelectedText = rgb(255, 255, 255);

} // namespace RowLook
