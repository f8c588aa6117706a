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

// The scroll bar's range is 16-bit.
constexpr int kScrollLimit = std::numeric_limits<qint16>::max();

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
    s.setSize(3, g.pctContainer.height, outerHeight - g.txtDescription.height - 705);
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
    if (g.lstContainer.height > g.pctContainer.height) {
        const int range = scrollRange(g.lstContainer.height, g.pctContainer.height);
        if (range > kScrollLimit)
            s.skip(17);
        else
            g.scrollMax = range;
        if (g.scrollValue > g.scrollMax)
            g.scrollValue = g.scrollMax;
        g.lstContainer.top = panelTop(g.scrollValue);
    } else {
        g.lstContainer.top = 0;
        g.scrollMax = 0;
        g.scrollValue = 0; // the scroll bar cannot hold a value above its range
    }

    // 18: one viewport height to spare below the last row.
    s.setSize(18, g.lstContainer.height, g.lstContainer.height + g.pctContainer.height);
    return result;
}

Geometry fitPanel(const Geometry &current, int taskCount)
{
    Geometry g = current;
    g.lstContainer.height = single(double(taskCount + 2) * g.lblFor.height);
    if (g.lstContainer.height > g.pctContainer.height) {
        const int range = scrollRange(g.lstContainer.height, g.pctContainer.height);
        if (range <= kScrollLimit)
            g.scrollMax = range;
        if (g.scrollValue > g.scrollMax) {
            g.scrollValue = g.scrollMax;
            g.lstContainer.top = panelTop(g.scrollValue);
        }
    }
    g.lstContainer.height = single(g.pctContainer.height + g.lstContainer.height);
    return g;
}

int scrollValueShowing(const Geometry &g, int row)
{
    const double top = rowTop(g, row);
    const double bottom = top + g.lblFor.height;
    const double shownFrom = -panelTop(g.scrollValue);
    if (top >= shownFrom && bottom <= shownFrom + g.pctContainer.height)
        return g.scrollValue;
    // One row above it stays in sight (the header, for the first row).
    const int value = int((top - g.lblFor.height) / kTwipsPerScrollUnit);
    return std::clamp(value, 0, std::max(g.scrollMax, 0));
}

} // namespace ListLayout
