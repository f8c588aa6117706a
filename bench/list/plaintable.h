// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QMainWindow>

class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

// The yardstick for the task list: a plain Qt table of the store's tasks,
// the same three columns, one colour a row (the rules' colour), in a window
// of the list's size. What Qt's own item views cost for the same job.
class PlainTable : public QMainWindow
{
public:
    explicit PlainTable(QDate today = QDate::currentDate());

    // Fills the model from the tables again, as a reload would.
    void fill(QDate today);
    // Narrows the rows to those holding `text`, as a filter proxy does it.
    void filter(const QString &text);

    QTableView *view() const { return m_view; }

private:
    QStandardItemModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QTableView *m_view = nullptr;
};
