// SPDX-License-Identifier: GPL-3.0-or-later
#include "dueboxes.h"

#include "calendar.h"
#include "rules.h"

namespace DuePreview {

QString text(const Module1::Task &task, const QDateTime &now, const QLocale &locale)
{
    // The very moment the list and the reminder will use, carried days and
    // all: the preview must never disagree with them.
    const QDateTime due = Rules::dueMoment(task);
    const QTime time = due.time();
    const QString timeText = time.second() == 0
                                 ? locale.toString(time, QLocale::ShortFormat)
                                 : locale.toString(time, Calendar::timeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
    QString shown = locale.toString(due.date(), QLocale::LongFormat) + QStringLiteral(", ") + timeText;
    if (due < now)
        shown += QStringLiteral(", in the past");
    return shown;
}

} // namespace DuePreview

namespace TaskFields {

Module1::Task blankTaskAt(const QDateTime &now)
{
    // Counted on the wall clock's own reading, not in seconds: on the night
    // the clocks change the next full hour is still the next hour shown.
    const QDate today = now.date();
    const int nextHour = now.time().hour() + 1;
    const QDate date = nextHour < 24 ? today : today.addDays(1);
    Module1::Task task;
    task.year = qint16(date.year());
    task.month = qint16(date.month());
    task.day = qint16(date.day());
    task.hour = qint16(nextHour % 24);
    return task;
}

} // namespace TaskFields
