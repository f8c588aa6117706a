// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"
#include "taskstore.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>

#include <span>

namespace Reminders {

class Alarm;

// When reminders are due, worked out without a timer.

// Every task not done whose due moment lies in [from, to], earliest first
// (tasks due at the same moment keep their table order).
QList<Module1::Task> dueBetween(std::span<const Module1::Task> tasks, const QDateTime &from, const QDateTime &to);

// The earliest due moment of a task not done at or after `from`; invalid
// when there is none.
QDateTime nextDueMoment(std::span<const Module1::Task> tasks, const QDateTime &from);

// The first moment of the day after `now`'s date, in local time.
QDateTime nextDayStart(const QDateTime &now);

// The earliest of the valid moments given; invalid when none is.
QDateTime earliest(std::initializer_list<QDateTime> moments);

// A reminder put off to a later moment ("In 10 minutes", "Tomorrow").
struct Snoozed {
    QDateTime at;
    Module1::Task task; // a copy: the task may be edited or gone by then
};

// Announces each task when its due moment arrives, and the day when the
// date changes, while Quorvi runs. It sleeps on one alarm, set for the
// earliest of the next due moment, the next put-off reminder and the next
// midnight, and set again after every wake-up and every change of the
// tables. Time is always read from the wall clock (Clock::now()), so a clock
// that was set, or a machine that slept, is caught up with at once.
class Scheduler : public QObject
{
    Q_OBJECT
public:
    Scheduler(const Module1::TaskStore &store, Alarm &alarm, QObject *parent = nullptr);

    // Starts watching: what is due before now is past and is not announced.
    void start();

    // Announces the task again at `at`.
    void putOff(const Module1::Task &task, const QDateTime &at);

    // The day the scheduler believes it is.
    QDate day() const { return m_day; }
    const QList<Snoozed> &snoozed() const { return m_snoozed; }

Q_SIGNALS:
    void due(const Module1::Task &task);
    // The date changed since the last look (forward, or back when the clock
    // was set back).
    void dayChanged(QDate today);

private:
    void tablesChanged();
    void catchUp();

    const Module1::TaskStore &m_store;
    Alarm &m_alarm;
    bool m_started = false;
    QDateTime m_from; // everything due before this was announced or was past
    QDate m_day;
    QDateTime m_armed;
    QList<Snoozed> m_snoozed;
};

} // namespace Reminders
