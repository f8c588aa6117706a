// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QMainWindow>

namespace Module1 {
class TaskStore;
}

class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

// The yardstick for the task list: a plain Qt table of the store's tasks,
// the same three columns, one colour a row (the rules' colour), in a window
// of the list's size. What Qt's own item views cost for the same job.
class PlainTable : public QMainWindow
{
public:
    explicit PlainTable(const Module1::TaskStore &store, QDate today = QDate::currentDate());

    // Fills the model from the store's tables again, as a reload would.
    void fill(QDate today);
    // Narrows the rows to those holding `text`, as a filter proxy does it.
    void filter(const QString &text);

    QTableView *view() const { return m_view; }

private:
    const Module1::TaskStore &m_store;
    QStandardItemModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QTableView *m_view = nullptr;
};
