// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "twips.h"

#include <QList>

// Where the controls of the task list window go, in twips. The window feeds
// its current geometry in and applies what comes out; nothing here touches a
// widget, so every resize rule can be checked directly.
namespace ListLayout {

inline constexpr double kTwipsPerScrollUnit = 15;
// The viewport's border, a pixel on each side, is inside pctContainer.
inline constexpr double kViewportBorder = 2 * Twips::kPerPixel;

struct Geometry {
    Twips::Rect pctContainer{0, 0, 6255, 3015};
    Twips::Rect lstContainer{0, 0, 3855, 2295}; // inside pctContainer
    Twips::Rect vscroll{5880, 0, 255, 1935};    // inside pctContainer
    Twips::Rect cmdTitle{0, 0, 855, 255};       // inside lstContainer
    Twips::Rect cmdFor{840, 0, 735, 255};
    Twips::Rect cmdDue{1560, 0, 735, 255};
    // The row templates; every row of a column shares their left and width,
    // and the height of lblFor is the row height.
    Twips::Rect lblTitle{0, 0, 975, 255};
    Twips::Rect lblFor{960, 0, 855, 255};
    Twips::Rect lblDue{1800, 0, 975, 255};
    Twips::Rect txtDescription{0, 3240, 4575, 1695};
    int scrollValue = 0;
    int scrollMax = 0;
    friend bool operator==(const Geometry &, const Geometry &) = default;
};

struct Result {
    Geometry geometry;
    QList<int> skippedSteps; // numbers of the steps that would have set a negative size
};

// The outer window size in twips (caption, border and menu bar included)
// for a client area of this many twips.
inline constexpr double kOuterExtraWidth = 75;
inline constexpr double kOuterExtraHeight = 675;

// Lays the window out again for an outer size of outerWidth x outerHeight
// twips. Eighteen steps in a fixed order; a step that would give a control a
// negative size (a tiny or minimised window) is skipped and the rest still run.
Result formResize(const Geometry &current, double outerWidth, double outerHeight, int taskCount);

// After the rows were rebuilt: the panel is as tall as the rows plus the
// header and one spare row, the scroll range and value are fitted to that
// as a resize fits them (no range, and the panel at the top, when the rows
// fit the viewport), and the panel gets one viewport height more so it
// still fills the viewport when scrolled to the end.
Geometry fitPanel(const Geometry &current, int taskCount);

// The panel's top for a scroll value. Kept wide: a full list scrolls
// further than a 16-bit product reaches.
inline double panelTop(int scrollValue)
{
    return -kTwipsPerScrollUnit * double(scrollValue);
}

// Top of row n (from 1) inside the panel: directly under the header buttons.
inline double rowTop(const Geometry &g, int row)
{
    return double(row - 1) * g.lblFor.height + g.cmdFor.height;
}

// The smallest client area the window may shrink to, in twips: room for the
// heading and three rows in the list, the description box below it, and
// columns wide enough to read a little of each.
Twips::Rect minimumClientArea();

// The scroll value that brings row `row` (from 1) wholly into view, moving
// as little as possible (the first row brings the heading along); the
// current value when it is already in view.
int scrollValueShowing(const Geometry &g, int row);

// The rows (from 1, at most `rows`) that show in the viewport at the
// current scroll value, with `spare` more on either side; first > last when
// there are none. Only these rows need cells.
struct RowSpan {
    int first = 1;
    int last = 0;
    bool contains(int row) const { return row >= first && row <= last; }
    friend bool operator==(const RowSpan &, const RowSpan &) = default;
};
RowSpan rowsInView(const Geometry &g, int rows, int spare);

// Whole rows that fit in the viewport: how far Page Up and Page Down move.
int rowsPerPage(const Geometry &g);

// Where the selection goes from `current` (0: none) on a key that moves it
// in a list of `rows` rows; `current` itself for any other key.
enum class Move { Up, Down, PageUp, PageDown, First, Last };
int rowAfterMove(int current, Move move, int rows, int page);

} // namespace ListLayout
