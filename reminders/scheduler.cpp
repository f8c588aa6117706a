// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduler.h"

#include "alarm.h"
#include "clock.h"
#include "rules.h"

#include <algorithm>

namespace Reminders {

QList<Module1::Task> dueBetween(std::span<const Module1::Task> tasks, const QDateTime &from, const QDateTime &to)
{
    QList<std::pair<QDateTime, const Module1::Task *>> found;
    for (const Module1::Task &task : tasks) {
        if (task.done)
            continue;
        const QDateTime moment = Rules::dueMoment(task);
        if (moment.isValid() && moment >= from && moment <= to)
            found.append({moment, &task});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<Module1::Task> result;
    result.reserve(found.size());
    for (const auto &entry : std::as_const(found))
        result.append(*entry.second);
    return result;
}

QDateTime nextDueMoment(std::span<const Module1::Task> tasks, const QDateTime &from)
{
    QDateTime next;
    for (const Module1::Task &task : tasks) {
        if (task.done)
            continue;
        const QDateTime moment = Rules::dueMoment(task);
        if (moment.isValid() && moment >= from && (!next.isValid() || moment < next))
            next = moment;
    }
    return next;
}

QDateTime nextDayStart(const QDateTime &now)
{
    // Where a change of clocks skips midnight, the day starts at the first
    // moment it has.
    return now.date().addDays(1).startOfDay();
}

QDateTime earliest(std::initializer_list<QDateTime> moments)
{
    QDateTime first;
    for (const QDateTime &moment : moments) {
        if (moment.isValid() && (!first.isValid() || moment < first))
            first = moment;
    }
    return first;
}

Scheduler::Scheduler(const Module1::TaskStore &store, Alarm &alarm, QObject *parent)
    : QObject(parent), m_store(store), m_alarm(alarm)
{
    connect(&m_alarm, &Alarm::rang, this, &Scheduler::catchUp);
    connect(&m_alarm, &Alarm::clockChanged, this, &Scheduler::catchUp);
    connect(&m_store, &Module1::TaskStore::changed, this, &Scheduler::tablesChanged);
}

void Scheduler::start()
{
    const QDateTime now = Clock::now();
    m_started = true;
    m_from = now;
    m_day = now.date();
    catchUp();
}

void Scheduler::putOff(const Module1::Task &task, const QDateTime &at)
{
    m_snoozed.append({at, task});
    if (m_started)
        catchUp();
}

void Scheduler::tablesChanged()
{
    if (!m_started)
        return;
    const QDateTime now = Clock::now();
    // A wake-up that is already due but not yet delivered is taken first,
    // so a reload at the very moment a task falls due does not swallow it.
    if (!(m_armed.isValid() && m_armed <= now)) {
        // A task just edited to a moment already gone is past, as at start.
        m_from = std::max(m_from, now);
    }
    catchUp();
}

void Scheduler::catchUp()
{
    if (!m_started)
        return;
    const QDateTime now = Clock::now();
    const QList<Module1::Task> due = dueBetween(m_store.tasks(), m_from, now);
    // From the clock, whichever way it moved: after a clock set back, the
    // moments between now and the old time come round again and are
    // announced when they do.
    m_from = now.addMSecs(1);

    QList<Module1::Task> woken;
    for (qsizetype i = 0; i < m_snoozed.size();) {
        if (m_snoozed[i].at <= now) {
            // Only while the task is still as it was announced: one marked
            // done, moved on to its next occurrence, edited or deleted since
            // has nothing more to remind of at this moment.
            const Module1::Task &was = m_snoozed[i].task;
            const Module1::Task *task = m_store.find(was.id);
            if (task && Module1::sameStored(*task, was) && !task->done)
                woken.append(m_snoozed[i].task);
            m_snoozed.removeAt(i);
        } else {
            ++i;
        }
    }

    QDateTime nextSnooze;
    for (const Snoozed &s : std::as_const(m_snoozed))
        nextSnooze = earliest({nextSnooze, s.at});
    m_armed = earliest({nextDueMoment(m_store.tasks(), m_from), nextSnooze, nextDayStart(now)});
    // Armed before anyone hears of the news, so a listener that changes the
    // tables meets a scheduler that is already up to date.
    m_alarm.wakeAt(m_armed);

    const bool newDay = now.date() != m_day;
    m_day = now.date();
    for (const Module1::Task &task : due)
        Q_EMIT this->due(task);
    for (const Module1::Task &task : std::as_const(woken))
        Q_EMIT this->due(task);
    if (newDay)
        Q_EMIT dayChanged(m_day);
}

} // namespace Reminders
