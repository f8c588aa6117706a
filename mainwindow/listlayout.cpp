// SPDX-License-Identifier: GPL-3.0-or-later
#include "listlayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace ListLayout {

namespace {

// Sizes are kept in single precision, as the controls store them.
double single(double value)
{
    return double(float(value));
}

// What the window's height holds besides the viewport and the description
// box: caption, menu bar, borders and the gap between the two.
constexpr double kOuterHeightBesides = 705;

// A scroll unit is a pixel, and no widget, the panel included, may be taller
// than Qt's limit (QWIDGETSIZE_MAX): far beyond 10,000 rows, where a 16-bit
// range would have stopped a list at about 1,900.
constexpr int kScrollLimit = (1 << 24) - 1;

class Steps
{
public:
    explicit Steps(Result &result) : m_result(result) { }

    // A size below zero is refused by the control; that one step is skipped.
    void setSize(int step, double &field, double value)
    {
        if (!std::isfinite(value) || value < 0) {
            skip(step);
            return;
        }
        field = single(value);
    }

    void setPosition(int step, double &field, double value)
    {
        if (!std::isfinite(value)) {
            skip(step);
            return;
        }
        field = single(value);
    }

    void skip(int step)
    {
        if (!m_result.skippedSteps.contains(step))
            m_result.skippedSteps.append(step);
    }

private:
    Result &m_result;
};

int scrollRange(double panelHeight, double viewportHeight)
{
    return int(std::floor(std::abs(panelHeight - viewportHeight) / kTwipsPerScrollUnit));
}

// Step 17 of a resize, and the same after every redraw: the scroll range
// covers the rows' overflow, and a value beyond it is pulled back, so a list
// that shrank at once is never left scrolled past its end (a viewport of
// bare workspace, without even the heading). Needs the panel's height
// before the spare viewport is added; false when the range does not fit the
// scroll bar and was left as it was.
bool clampScroll(Geometry &g)
{
    if (g.lstContainer.height <= g.pctContainer.height) {
        g.lstContainer.top = 0;
        g.scrollMax = 0;
        g.scrollValue = 0; // the scroll bar cannot hold a value above its range
        return true;
    }
    const int range = scrollRange(g.lstContainer.height, g.pctContainer.height);
    const bool fits = range <= kScrollLimit;
    if (fits)
        g.scrollMax = range;
    if (g.scrollValue > g.scrollMax)
        g.scrollValue = g.scrollMax;
    g.lstContainer.top = panelTop(g.scrollValue);
    return fits;
}

} // namespace

Result formResize(const Geometry &current, double outerWidth, double outerHeight, int taskCount)
{
    Result result;
    result.geometry = current;
    Geometry &g = result.geometry;
    Steps s(result);

    // 1-5: the viewport fills the window above the description box, which
    // keeps its height and takes the full width.
    s.setPosition(1, g.pctContainer.left, 0);
    s.setPosition(1, g.pctContainer.top, 0);
    s.setSize(2, g.pctContainer.width, outerWidth - 75);
    s.setSize(3, g.pctContainer.height, outerHeight - g.txtDescription.height - kOuterHeightBesides);
    s.setPosition(4, g.txtDescription.top, g.pctContainer.height + 30);
    s.setSize(5, g.txtDescription.width, g.pctContainer.width);

    // 6-9: the panel beside the scroll bar, one row per task plus the header
    // and a spare row.
    s.setSize(6, g.lstContainer.width, g.pctContainer.width - g.vscroll.width);
    s.setSize(7, g.lstContainer.height, double(taskCount + 2) * g.lblFor.height);
    s.setSize(8, g.vscroll.height, g.pctContainer.height);
    s.setPosition(9, g.vscroll.left, g.lstContainer.width - 45);

    // 10-15: the header buttons split the panel 40 / 25 / 35 and touch each
    // other; the last one stops short of the scroll bar.
    s.setPosition(10, g.cmdTitle.left, 0);
    s.setPosition(10, g.cmdTitle.top, 0);
    s.setPosition(10, g.cmdFor.top, 0);
    s.setPosition(10, g.cmdDue.top, 0);
    s.setSize(11, g.cmdTitle.width, g.lstContainer.width * 0.4);
    s.setPosition(12, g.cmdFor.left, g.cmdTitle.width);
    s.setSize(13, g.cmdFor.width, g.lstContainer.width * 0.25);
    s.setPosition(14, g.cmdDue.left, g.cmdFor.left + g.cmdFor.width);
    s.setSize(15, g.cmdDue.width, g.lstContainer.width * 0.35 - 90);

    // 16: the cells follow their header button (the title cells keep their left).
    s.setPosition(16, g.lblFor.left, g.cmdFor.left);
    s.setSize(16, g.lblFor.width, g.cmdFor.width);
    s.setSize(16, g.lblTitle.width, g.cmdTitle.width);
    s.setPosition(16, g.lblDue.left, g.cmdDue.left);
    s.setSize(16, g.lblDue.width, g.cmdDue.width);

    // 17: the scroll range covers the overflow; a shrink pulls the value back.
    if (!clampScroll(g))
        s.skip(17);

    // 18: one viewport height to spare below the last row.
    s.setSize(18, g.lstContainer.height, g.lstContainer.height + g.pctContainer.height);
    return result;
}

Geometry fitPanel(const Geometry &current, int taskCount)
{
    Geometry g = current;
    g.lstContainer.height = single(double(taskCount + 2) * g.lblFor.height);
    clampScroll(g);
    g.lstContainer.height = single(g.pctContainer.height + g.lstContainer.height);
    return g;
}

Twips::Rect minimumClientArea()
{
    const Geometry design;
    const double rowHeight = design.lblFor.height;
    // The viewport is as tall as the client area less the description box
    // and what formResize keeps below it.
    const double viewport = design.cmdFor.height + 3 * rowHeight + kViewportBorder;
    const double height = viewport + design.txtDescription.height + kOuterHeightBesides - kOuterExtraHeight;
    return {0, 0, 4500, height};
}

int scrollValueShowing(const Geometry &g, int row)
{
    // The first row brings the heading into view with it.
    const double top = row <= 1 ? 0 : rowTop(g, row);
    const double bottom = rowTop(g, row) + g.lblFor.height;
    const double shownFrom = g.scrollValue * kTwipsPerScrollUnit;
    const double shown = g.pctContainer.height - kViewportBorder;
    int value = g.scrollValue;
    if (top < shownFrom)
        value = int(std::floor(top / kTwipsPerScrollUnit));
    else if (bottom > shownFrom + shown)
        value = int(std::ceil((bottom - shown) / kTwipsPerScrollUnit));
    return std::clamp(value, 0, std::max(0, g.scrollMax));
}

RowSpan rowsInView(const Geometry &g, int rows, int spare)
{
    const double height = g.lblFor.height;
    if (rows < 1 || height <= 0)
        return {};
    const double shownFrom = g.scrollValue * kTwipsPerScrollUnit - g.cmdFor.height;
    const double shownTo = shownFrom + g.pctContainer.height - kViewportBorder;
    const int first = int(std::floor(shownFrom / height)) + 1 - spare;
    const int last = int(std::floor(shownTo / height)) + 1 + spare;
    return {std::max(1, first), std::min(rows, last)};
}

int rowsPerPage(const Geometry &g)
{
    return std::max(1, int((g.pctContainer.height - kViewportBorder) / g.lblFor.height) - 1);
}

int rowAfterMove(int current, Move move, int rows, int page)
{
    if (rows < 1)
        return 0;
    // With nothing selected, any move starts at the top.
    if (current < 1 || current > rows)
        return move == Move::Last ? rows : 1;
    switch (move) {
    case Move::Up: return std::max(1, current - 1);
    case Move::Down: return std::min(rows, current + 1);
    case Move::PageUp: return std::max(1, current - page);
    case Move::PageDown: return std::min(rows, current + page);
    case Move::First: return 1;
    case Move::Last: return rows;
    }
    return current;
}

} // namespace ListLayout
