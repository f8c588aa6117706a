// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace Module1 {
class TaskStore;
}

// The one line of help an empty task list shows under its headings, so a
// first run says how to begin. It follows the store by itself: shown while
// there is no task at all (hidden done tasks count), gone with the first.
// A list that Find narrows to nothing is not empty: the Find bar says so.
class EmptyListHint : public QLabel
{
    Q_OBJECT
public:
    // Lies over `area` (the list's viewport), `top` pixels down, from its
    // left edge to the scroll bar `bar`; clicks go through to the list.
    EmptyListHint(const Module1::TaskStore &store, const QString &text, QWidget *area, QWidget *bar, int top);

    void follow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    const Module1::TaskStore &m_store;
    const QWidget *m_bar;
    int m_top;
};
