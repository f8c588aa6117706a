// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendarbutton.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QKeyEvent>
#include <QScreen>
#include <QTextCharFormat>
#include <QVBoxLayout>

CalendarButton::CalendarButton(QWidget *parent) : QToolButton(parent)
{
    setObjectName(QStringLiteral("cmdCalendar"));
    // Three dots, as on every button that opens a chooser; the words are for
    // the tooltip and for screen readers.
    setText(QStringLiteral("..."));
    setToolTip(QStringLiteral("Choose the date from a calendar"));
    setAccessibleName(QStringLiteral("Calendar"));
    // Tab reaches it like the boxes, and Space or Enter opens it.
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QToolButton::clicked, this, &CalendarButton::opening);
}

void CalendarButton::build()
{
    m_popup = new QFrame(this, Qt::Popup);
    m_popup->setObjectName(QStringLiteral("calendarPopup"));
    m_popup->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto *layout = new QVBoxLayout(m_popup);
    layout->setContentsMargins(1, 1, 1, 1);
    m_calendar = new QCalendarWidget(m_popup);
    m_calendar->setObjectName(QStringLiteral("calendar"));
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setGridVisible(true);
    layout->addWidget(m_calendar);
    // A click picks the day; from the keyboard the arrows move and Enter
    // picks, which the calendar reports as activated.
    connect(m_calendar, &QCalendarWidget::clicked, this, &CalendarButton::choose);
    connect(m_calendar, &QCalendarWidget::activated, this, &CalendarButton::choose);
    const auto children = m_calendar->findChildren<QWidget *>();
    for (QWidget *child : children)
        child->installEventFilter(this);
    m_calendar->installEventFilter(this);
}

void CalendarButton::openOn(QDate selected, QDate today)
{
    if (!m_popup)
        build();
    m_calendar->setFirstDayOfWeek(locale().firstDayOfWeek());
    // Only today stands out; the mark of an earlier opening goes.
    m_calendar->setDateTextFormat(QDate(), QTextCharFormat());
    QTextCharFormat todayLook;
    todayLook.setFontWeight(QFont::Bold);
    todayLook.setFontUnderline(true);
    m_calendar->setDateTextFormat(today, todayLook);
    const QDate shown = selected.isValid() ? selected : today;
    m_calendar->setSelectedDate(shown);
    m_calendar->setCurrentPage(shown.year(), shown.month());

    m_popup->adjustSize();
    QPoint at = mapToGlobal(QPoint(width() - m_popup->width(), height()));
    if (const QScreen *screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(qBound(room.left(), at.x(), qMax(room.left(), room.right() - m_popup->width())));
        if (at.y() + m_popup->height() > room.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - m_popup->height());
    }
    m_popup->move(at);
    m_popup->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

void CalendarButton::choose(QDate date)
{
    m_popup->hide();
    setFocus(Qt::OtherFocusReason);
    Q_EMIT chosen(date);
}

bool CalendarButton::eventFilter(QObject *watched, QEvent *event)
{
    // Esc closes the calendar without a choice, wherever in it the focus is.
    if (m_popup && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_popup->hide();
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QToolButton::eventFilter(watched, event);
}

void CalendarButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QToolButton::keyPressEvent(event);
}
