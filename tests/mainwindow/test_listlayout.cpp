// SPDX-License-Identifier: GPL-3.0-or-later
#include "listlayout.h"

#include <QTest>

#include <cmath>

using ListLayout::Geometry;

namespace {

// A client area of w x h twips is an outer window 75 wider and 675 taller.
ListLayout::Result layFor(const Geometry &g, double clientWidth, double clientHeight, int taskCount)
{
    return ListLayout::formResize(g, clientWidth + 75, clientHeight + 675, taskCount);
}

} // namespace

class TestListLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void movesStopAtTheEnds_data()
    {
        using ListLayout::Move;
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("move");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("expected");
        QTest::newRow("down") << 4 << int(Move::Down) << 10 << 5;
        QTest::newRow("down at the end") << 10 << int(Move::Down) << 10 << 10;
        QTest::newRow("up") << 4 << int(Move::Up) << 10 << 3;
        QTest::newRow("up at the top") << 1 << int(Move::Up) << 10 << 1;
        QTest::newRow("page down") << 2 << int(Move::PageDown) << 10 << 6;
        QTest::newRow("page down past the end") << 8 << int(Move::PageDown) << 10 << 10;
        QTest::newRow("page up past the top") << 3 << int(Move::PageUp) << 10 << 1;
        QTest::newRow("home") << 7 << int(Move::First) << 10 << 1;
        QTest::newRow("end") << 7 << int(Move::Last) << 10 << 10;
        QTest::newRow("nothing selected, down") << 0 << int(Move::Down) << 10 << 1;
        QTest::newRow("nothing selected, up") << 0 << int(Move::Up) << 10 << 1;
        QTest::newRow("nothing selected, end") << 0 << int(Move::Last) << 10 << 10;
        QTest::newRow("a row gone since") << 12 << int(Move::Up) << 10 << 1;
        QTest::newRow("an empty list") << 0 << int(Move::Down) << 0 << 0;
    }

    void movesStopAtTheEnds()
    {
        QFETCH(int, current);
        QFETCH(int, move);
        QFETCH(int, rows);
        QFETCH(int, expected);
        QCOMPARE(ListLayout::rowAfterMove(current, ListLayout::Move(move), rows, 4), expected);
    }

    void scrollingBringsARowIntoViewAndNoFurther()
    {
        // A viewport of ten rows' height (and its border), 100 rows.
        Geometry g = layFor(Geometry{}, 8520, 1725 + 10 * 255 + ListLayout::kViewportBorder, 100).geometry;
        QCOMPARE(g.pctContainer.height - ListLayout::kViewportBorder, 10 * 255.0);
        QVERIFY(g.scrollMax > 1000);
        QCOMPARE(ListLayout::rowsPerPage(g), 9);
        // Row 9 ends exactly at the bottom edge: already in view.
        QCOMPARE(ListLayout::scrollValueShowing(g, 9), 0);
        // Row 10 needs one row's scroll, and no more.
        QCOMPARE(ListLayout::scrollValueShowing(g, 10), 17);
        g.scrollValue = ListLayout::scrollValueShowing(g, 60);
        QCOMPARE(g.scrollValue, (61 * 255 - 10 * 255) / 15); // its bottom at the bottom edge
        // Going back up puts the row at the top edge.
        QCOMPARE(ListLayout::scrollValueShowing(g, 50), (49 * 255 + 255) / 15);
        // The first row shows the heading with it.
        QCOMPARE(ListLayout::scrollValueShowing(g, 1), 0);
        // Never past the end of the range.
        g.scrollMax = 100;
        g.scrollValue = 0;
        QCOMPARE(ListLayout::scrollValueShowing(g, 100), 100);
    }

    void smallestWindowShowsTheHeadingAndThreeRows()
    {
        const Twips::Rect smallest = ListLayout::minimumClientArea();
        const ListLayout::Result r = layFor(Geometry{}, smallest.width, smallest.height, 50);
        QVERIFY(r.skippedSteps.isEmpty());
        const Geometry &g = r.geometry;
        const double shown = g.pctContainer.height - ListLayout::kViewportBorder;
        QVERIFY(shown >= ListLayout::rowTop(g, 3) + g.lblFor.height);
        QVERIFY(shown < ListLayout::rowTop(g, 5) + g.lblFor.height); // and not much more
        // Each column keeps room for a few characters.
        QVERIFY(g.cmdDue.width >= 1000 && g.cmdFor.width >= 1000);
    }

    void designWindowWithEmptyList()
    {
        const ListLayout::Result r = layFor(Geometry{}, 8520, 5010, 0);
        const Geometry &g = r.geometry;
        QVERIFY(r.skippedSteps.isEmpty());
        QCOMPARE(g.pctContainer, (Twips::Rect{0, 0, 8520, 3285}));
        QCOMPARE(g.txtDescription, (Twips::Rect{0, 3315, 8520, 1695}));
        // The description box ends exactly at the bottom of the client area.
        QCOMPARE(g.txtDescription.top + g.txtDescription.height, 5010.0);
        QCOMPARE(g.lstContainer.width, 8265.0);
        QCOMPARE(g.vscroll, (Twips::Rect{8220, 0, 255, 3285}));
        // Two rows fit: no scrolling, the panel at the top, and one viewport to spare.
        QCOMPARE(g.scrollMax, 0);
        QCOMPARE(g.lstContainer.top, 0.0);
        QCOMPARE(g.lstContainer.height, 2 * 255.0 + 3285);
        QCOMPARE(g.cmdTitle, (Twips::Rect{0, 0, 3306, 255}));
        QCOMPARE(g.cmdFor.left, 3306.0);
        QCOMPARE(g.cmdFor.width, 2066.25);
        QCOMPARE(g.cmdDue.left, 5372.25);
        QCOMPARE(g.cmdDue.width, 2802.75);
        // The cells follow the buttons; the title cells keep their left.
        QCOMPARE(g.lblTitle, (Twips::Rect{0, 0, 3306, 255}));
        QCOMPARE(g.lblFor, (Twips::Rect{3306, 0, 2066.25, 255}));
        QCOMPARE(g.lblDue, (Twips::Rect{5372.25, 0, 2802.75, 255}));
    }

    void columnWidthsAddUpToThePanelLessNinety_data()
    {
        QTest::addColumn<double>("clientWidth");
        for (double w : {1500.0, 4000.0, 6255.0, 8520.0, 12345.0, 28800.0})
            QTest::addRow("%g", w) << w;
    }

    void columnWidthsAddUpToThePanelLessNinety()
    {
        QFETCH(double, clientWidth);
        const Geometry g = layFor(Geometry{}, clientWidth, 5010, 12).geometry;
        const double sum = g.cmdTitle.width + g.cmdFor.width + g.cmdDue.width;
        QVERIFY2(qAbs(sum - (g.lstContainer.width - 90)) < 0.01, qPrintable(QString::number(sum)));
        // The buttons touch each other.
        QCOMPARE(g.cmdFor.left, g.cmdTitle.left + g.cmdTitle.width);
        QCOMPARE(g.cmdDue.left, g.cmdFor.left + g.cmdFor.width);
        QCOMPARE(g.lstContainer.width, clientWidth - 255);
    }

    void fullListOverflowsAndScrolls()
    {
        Geometry start;
        start.scrollValue = 100;
        const Geometry g = layFor(start, 8520, 5010, 1001).geometry;
        const int max = int((1003 * 255.0 - 3285) / 15);
        QCOMPARE(g.scrollMax, max);
        QCOMPARE(g.scrollValue, 100);
        QCOMPARE(g.lstContainer.top, -1500.0);
        // Taller than its rows by exactly the viewport.
        QCOMPARE(g.lstContainer.height - 1003 * 255.0, g.pctContainer.height);
    }

    void scrollOffsetsStayWide()
    {
        QCOMPARE(ListLayout::panelTop(100), -1500.0);
        // Beyond what a 16-bit product could hold.
        QCOMPARE(ListLayout::panelTop(16832), -252480.0);
        Geometry start;
        start.scrollValue = 30000;
        const Geometry g = layFor(start, 8520, 5010, 1001).geometry;
        QCOMPARE(g.scrollValue, g.scrollMax);
        QCOMPARE(g.lstContainer.top, -15.0 * g.scrollMax);
        QVERIFY(g.lstContainer.top < -32768);
    }

    void growingWhileAtTheEndPullsTheValueBack()
    {
        Geometry g = layFor(Geometry{}, 8520, 5010, 60).geometry;
        g.scrollValue = g.scrollMax; // scrolled to the end
        const int before = g.scrollMax;
        const Geometry taller = layFor(g, 8520, 9000, 60).geometry;
        QVERIFY(taller.scrollMax < before);
        QCOMPARE(taller.scrollValue, taller.scrollMax);
        QCOMPARE(taller.lstContainer.top, -15.0 * taller.scrollMax);
        // The rows end at the viewport's bottom edge, less than one step below it.
        const double overhang = taller.lstContainer.top + 62 * 255.0 - taller.pctContainer.height;
        QVERIFY(overhang >= 0 && overhang < 15);
    }

    void shrinkingWhileAtTheEndKeepsThePlace()
    {
        Geometry g = layFor(Geometry{}, 8520, 9000, 60).geometry;
        g.scrollValue = g.scrollMax;
        const Geometry shorter = layFor(g, 8520, 4000, 60).geometry;
        // A smaller viewport means more to scroll; the rows stay where they were.
        QVERIFY(shorter.scrollMax > g.scrollMax);
        QCOMPARE(shorter.scrollValue, g.scrollMax);
        QCOMPARE(shorter.lstContainer.top, -15.0 * g.scrollMax);
    }

    void fewerRowsThanTheViewportResetTheScroll()
    {
        Geometry g = layFor(Geometry{}, 8520, 5010, 500).geometry;
        g.scrollValue = 400;
        const Geometry r = layFor(g, 8520, 5010, 3).geometry;
        QCOMPARE(r.scrollMax, 0);
        QCOMPARE(r.scrollValue, 0);
        QCOMPARE(r.lstContainer.top, 0.0);
    }

    void minimisedSkipsOnlyTheNegativeSteps()
    {
        const Geometry before = layFor(Geometry{}, 8520, 5010, 40).geometry;
        // A minimised window: next to nothing left of either side.
        const ListLayout::Result r = ListLayout::formResize(before, 60, 300, 41);
        const Geometry &g = r.geometry;
        QCOMPARE(r.skippedSteps, QList<int>({2, 3}));
        // Width and height keep their last values; everything after still ran.
        QCOMPARE(g.pctContainer.width, before.pctContainer.width);
        QCOMPARE(g.pctContainer.height, before.pctContainer.height);
        QCOMPARE(g.lstContainer.height, 43 * 255.0 + g.pctContainer.height);
        QCOMPARE(g.txtDescription.top, g.pctContainer.height + 30);
    }

    void narrowWindowSkipsEachFailingStep_data()
    {
        QTest::addColumn<double>("clientWidth");
        QTest::addColumn<QList<int>>("skipped");
        // Panel narrower than the scroll bar: step 6 fails, the button
        // widths are then worked out from the panel's last width.
        QTest::newRow("narrower than the bar") << 200.0 << QList<int>{6};
        // The due column alone would go below zero.
        QTest::newRow("due column negative") << 450.0 << QList<int>{15};
        QTest::newRow("just wide enough") << 520.0 << QList<int>{};
    }

    void narrowWindowSkipsEachFailingStep()
    {
        QFETCH(double, clientWidth);
        QFETCH(QList<int>, skipped);
        const Geometry before = layFor(Geometry{}, 8520, 5010, 5).geometry;
        const ListLayout::Result r = layFor(before, clientWidth, 5010, 5);
        QCOMPARE(r.skippedSteps, skipped);
        const Geometry &g = r.geometry;
        QCOMPARE(g.pctContainer.width, clientWidth);
        QCOMPARE(g.txtDescription.width, clientWidth);
        if (skipped.contains(15))
            QCOMPARE(g.cmdDue.width, before.cmdDue.width);
        QCOMPARE(g.lblDue.width, g.cmdDue.width);
        QCOMPARE(g.lblFor.width, g.cmdFor.width);
        QCOMPARE(g.cmdTitle.width, double(float(g.lstContainer.width * 0.4)));
    }

    void lowWindowSkipsTheViewportHeight()
    {
        const Geometry before = layFor(Geometry{}, 8520, 5010, 5).geometry;
        // Room for the description box only.
        const ListLayout::Result r = layFor(before, 8520, 1000, 5);
        QCOMPARE(r.skippedSteps, QList<int>({3}));
        QCOMPARE(r.geometry.vscroll.height, before.pctContainer.height);
        QCOMPARE(r.geometry.pctContainer.width, 8520.0);
    }

    void redrawFitsThePanel()
    {
        Geometry g = layFor(Geometry{}, 8520, 5010, 0).geometry;
        g.scrollMax = 7; // whatever a previous layout left
        g.scrollValue = 7;
        g.lstContainer.top = ListLayout::panelTop(7);
        // Rows that fit have nothing to scroll: the panel goes back to the
        // top, as a resize puts it, rather than stay scrolled out of view.
        const Geometry empty = ListLayout::fitPanel(g, 0);
        QCOMPARE(empty.scrollMax, 0);
        QCOMPARE(empty.scrollValue, 0);
        QCOMPARE(empty.lstContainer.top, 0.0);
        QCOMPARE(empty.lstContainer.height, 2 * 255.0 + g.pctContainer.height);
        const Geometry full = ListLayout::fitPanel(g, 1001);
        QCOMPARE(full.scrollMax, int((1003 * 255.0 - g.pctContainer.height) / 15));
        QCOMPARE(full.lstContainer.height, 1003 * 255.0 + g.pctContainer.height);
        // Fewer rows than the scroll value reaches: the bar pulls it in.
        Geometry scrolled = full;
        scrolled.scrollValue = full.scrollMax;
        const Geometry fewer = ListLayout::fitPanel(scrolled, 300);
        QCOMPARE(fewer.scrollMax, int((302 * 255.0 - g.pctContainer.height) / 15));
        QCOMPARE(fewer.scrollValue, fewer.scrollMax);
        QCOMPARE(fewer.lstContainer.top, -15.0 * fewer.scrollMax);
    }

    void rowsStackUnderTheHeader()
    {
        const Geometry g;
        QCOMPARE(ListLayout::rowTop(g, 1), 255.0);
        QCOMPARE(ListLayout::rowTop(g, 2), 510.0);
        QCOMPARE(ListLayout::rowTop(g, 1001), 1001 * 255.0);
    }

    void scrollingARowIntoView()
    {
        Geometry g = layFor(Geometry{}, 8520, 5010, 1001).geometry;
        const double viewport = g.pctContainer.height - ListLayout::kViewportBorder;
        // Row 2 is in view at the top: nothing moves.
        QCOMPARE(ListLayout::scrollValueShowing(g, 2), 0);
        // Row 500 comes in at the bottom edge, whole.
        const int value = ListLayout::scrollValueShowing(g, 500);
        QCOMPARE(value, int(std::ceil((ListLayout::rowTop(g, 500) + 255 - viewport) / 15)));
        g.scrollValue = value;
        QVERIFY(-ListLayout::panelTop(value) <= ListLayout::rowTop(g, 500));
        QVERIFY(-ListLayout::panelTop(value) + viewport >= ListLayout::rowTop(g, 500) + 255);
        // Rows in view stay where they are, the first whole one included.
        const int firstWhole = int(std::ceil((-ListLayout::panelTop(value) - 255) / 255.0)) + 1;
        QCOMPARE(ListLayout::scrollValueShowing(g, firstWhole), value);
        // The last row comes in whole, within the range.
        const int last = ListLayout::scrollValueShowing(g, 1001);
        QVERIFY(last <= g.scrollMax);
        QCOMPARE(-ListLayout::panelTop(last) + viewport, ListLayout::rowTop(g, 1001) + 255);
        // Scrolled down, the first row scrolls back up with the header.
        QCOMPARE(ListLayout::scrollValueShowing(g, 1), 0);
    }

    void designGeometry()
    {
        const Geometry g;
        QCOMPARE(g.pctContainer, (Twips::Rect{0, 0, 6255, 3015}));
        QCOMPARE(g.lstContainer, (Twips::Rect{0, 0, 3855, 2295}));
        QCOMPARE(g.vscroll, (Twips::Rect{5880, 0, 255, 1935}));
        QCOMPARE(g.cmdFor, (Twips::Rect{840, 0, 735, 255}));
        QCOMPARE(g.lblDue, (Twips::Rect{1800, 0, 975, 255}));
        QCOMPARE(g.txtDescription, (Twips::Rect{0, 3240, 4575, 1695}));
    }
};

QTEST_GUILESS_MAIN(TestListLayout)
#include "test_listlayout.moc"
