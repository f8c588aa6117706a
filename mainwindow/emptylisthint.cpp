// SPDX-License-Identifier: GPL-3.0-or-later
#include "emptylisthint.h"

#include "taskstore.h"

#include <QEvent>

EmptyListHint::EmptyListHint(const Module1::TaskStore &store, const QString &text, QWidget *area, int top)
    : QLabel(text, area), m_store(store), m_top(top)
{
    setObjectName(QStringLiteral("lblEmptyList"));
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setEnabled(false); // drawn greyed: help, not a task
    area->installEventFilter(this);
    // Over the list's panel and its scroll bar, which are there already.
    raise();
    connect(&store, &Module1::TaskStore::changed, this, &EmptyListHint::follow);
    follow();
}

void EmptyListHint::follow()
{
    const QWidget *area = parentWidget();
    setGeometry(0, m_top, area->width(), qMax(fontMetrics().height() * 2, 1));
    setVisible(m_store.taskCount() == 0);
}

bool EmptyListHint::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        follow();
    return QLabel::eventFilter(watched, event);
}
