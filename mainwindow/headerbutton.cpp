// SPDX-License-Identifier: GPL-3.0-or-later
#include "headerbutton.h"

#include <QStyleOptionHeader>
#include <QStylePainter>

void HeaderButton::setSortIndicator(Order order)
{
    if (order == m_order)
        return;
    m_order = order;
    // Screen readers cannot see the arrow.
    setAccessibleDescription(order == Order::None        ? QString()
                             : order == Order::Ascending ? QStringLiteral("sorted ascending")
                                                         : QStringLiteral("sorted descending"));
    update();
}

void HeaderButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (m_order == Order::None)
        return;
    QStylePainter painter(this);
    QStyleOptionHeader arrow;
    arrow.initFrom(this);
    // The same mapping QHeaderView uses, so the arrow points the way it does
    // in every other list of this style.
    arrow.sortIndicator = m_order == Order::Ascending ? QStyleOptionHeader::SortDown : QStyleOptionHeader::SortUp;
    const int side = qMin(height(), style()->pixelMetric(QStyle::PM_HeaderMarkSize, &arrow, this) + 4);
    arrow.rect = QRect(width() - side - 2, (height() - side) / 2, side, side);
    painter.drawPrimitive(QStyle::PE_IndicatorHeaderArrow, arrow);
}
