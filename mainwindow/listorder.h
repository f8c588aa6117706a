// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The column header buttons of the task list: a click on another column keeps
// the direction, a click on the current column reverses it.
namespace ListOrder {

enum Column { Title = 0, For = 1, Due = 2 };

// The order after a click on the header of `column`. Orders 0..2 are
// ascending; anything from 9 up counts as descending.
constexpr int nextSortMode(int current, int column)
{
    if (current < 9)
        return current == column ? column + 10 : column;
    return current == column + 10 ? column : column + 10;
}

} // namespace ListOrder
