// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QToolButton>

class QCalendarWidget;
class QFrame;

// The small button beside the editor's date boxes: it opens a month
// calendar in a popup, and the day chosen there (a click, or Enter after
// the arrow keys) is handed back. Esc or a click elsewhere closes it and
// changes nothing.
class CalendarButton : public QToolButton
{
    Q_OBJECT
public:
    explicit CalendarButton(QWidget *parent = nullptr);

    // Opens the calendar with `selected` chosen (today when it is no date)
    // and `today` marked.
    void openOn(QDate selected, QDate today);

Q_SIGNALS:
    // Pressed: the owner answers with openOn() and the boxes' date.
    void opening();
    void chosen(QDate date);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Enter opens it too, as on the dialog's other buttons.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void build();
    void choose(QDate date);

    QFrame *m_popup = nullptr;
    QCalendarWidget *m_calendar = nullptr;
};
