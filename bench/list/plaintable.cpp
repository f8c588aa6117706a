// SPDX-License-Identifier: GPL-3.0-or-later
#include "plaintable.h"

#include "colors.h"
#include "module1.h"
#include "rules.h"
#include "taskstore.h"

#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>

PlainTable::PlainTable(const Module1::TaskStore &store, QDate today) : m_store(store)
{
    m_model = new QStandardItemModel(this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_view = new QTableView(this);
    m_view->setModel(m_proxy);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(17);
    m_view->horizontalHeader()->setStretchLastSection(true);
    setCentralWidget(m_view);
    resize(568, 352);
    fill(today);
}

void PlainTable::fill(QDate today)
{
    m_model->clear();
    m_model->setHorizontalHeaderLabels({QStringLiteral("Title"), QStringLiteral("For"), QStringLiteral("Due")});
    for (const Module1::Task &t : m_store.tasks()) {
        if (t.done)
            continue;
        const QBrush colour(Colors::toColor(Rules::choose(t, m_store.rules(), today).color));
        QList<QStandardItem *> row = {new QStandardItem(t.title), new QStandardItem(t.forWhom),
                                      new QStandardItem(Rules::dueText(t))};
        for (QStandardItem *item : row) {
            item->setForeground(colour);
            item->setEditable(false);
        }
        m_model->appendRow(row);
    }
}

void PlainTable::filter(const QString &text)
{
    m_proxy->setFilterFixedString(text);
}
