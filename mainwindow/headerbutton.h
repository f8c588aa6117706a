// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPushButton>

// A column heading of the task list. The heading of the column the list is
// ordered by shows the direction with the style's sort indicator, as the
// headers of item views do; its caption stays the column's name.
class HeaderButton : public QPushButton
{
    Q_OBJECT
public:
    enum class Order { None, Ascending, Descending };

    using QPushButton::QPushButton;

    Order sortIndicator() const { return m_order; }
    void setSortIndicator(Order order);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Order m_order = Order::None;
};
