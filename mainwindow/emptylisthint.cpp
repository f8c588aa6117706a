// SPDX-License-Identifier: GPL-3.0-or-later
#include "emptylisthint.h"

#include "taskstore.h"

#include <QEvent>

EmptyListHint::EmptyListHint(const Module1::TaskStore &store, const QString &text, QWidget *area, QWidget *bar,
                             int top)
    : QLabel(text, area), m_store(store), m_bar(bar), m_top(top)
{
    setObjectName(QStringLiteral("lblEmptyList"));
    setAlignment(Qt::AlignCenter);
    // A narrow window or a large font breaks the line rather than cut it.
    setWordWrap(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Greyed as help, not a task: the colour made for hints on the list's
    // own background. A disabled label would take the disabled text colour,
    // which some styles make white for the grey window and so draw nothing
    // on the white list.
    setForegroundRole(QPalette::PlaceholderText);
    area->installEventFilter(this);
    bar->installEventFilter(this);
    // Over the list's panel and its scroll bar, which are there already.
    raise();
    connect(&store, &Module1::TaskStore::changed, this, &EmptyListHint::follow);
    follow();
}

void EmptyListHint::follow()
{
    const QWidget *area = parentWidget();
    const int width = m_bar->isHidden() ? area->width() : qMin(area->width(), m_bar->x());
    setGeometry(0, m_top, qMax(width, 1), qMax(fontMetrics().height() * 2, 1));
    setVisible(m_store.taskCount() == 0);
}

bool EmptyListHint::eventFilter(QObject *watched, QEvent *event)
{
    const bool place = event->type() == QEvent::Resize || event->type() == QEvent::Move;
    if ((watched == parentWidget() || watched == m_bar) && place)
        follow();
    return QLabel::eventFilter(watched, event);
}

void EmptyListHint::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    // Two lines of the new font.
    if (event->type() == QEvent::FontChange)
        follow();
}
