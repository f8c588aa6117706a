// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the calendar tests share: a task's meaning (what two programs must
// agree on, however the store spells it), the trip out and back, and the
// text of a file with its folded lines joined.

#include "module1.h"
#include "repeat.h"
#include "rules.h"
#include "storesandbox.h"
#include "taskcalendar.h"

#include <QByteArray>
#include <QDateTime>
#include <QTest>

#include <optional>
#include <vector>

namespace IcalTest {

// A moment away from every date in the tests, for DTSTAMP and the like.
inline QDateTime stampMoment()
{
    return QDateTime(QDate(2026, 12, 8), QTime(10, 0));
}

struct Meaning {
    QString title;
    QString forWhom;
    QString description;
    QDateTime due;
    std::optional<QDateTime> done;
    std::optional<Repeat::Rule> rule;
    friend bool operator==(const Meaning &, const Meaning &) = default;
};

inline Meaning meaning(const Module1::Task &t)
{
    Meaning m{t.title, t.forWhom, t.description, Rules::dueMoment(t), {}, Repeat::parse(t.repeatText)};
    if (t.done)
        m.done = Repeat::parseMoment(t.doneText);
    return m;
}

inline QString describe(const Meaning &m)
{
    return QStringLiteral("[%1|%2|%3|%4|%5|%6]")
        .arg(m.title, m.forWhom, m.description, m.due.toString(Qt::ISODate),
             m.done ? m.done->toString(Qt::ISODate) : QStringLiteral("not done"),
             m.rule ? Repeat::format(*m.rule) : QStringLiteral("no rule"));
}

// Out to a file and into an empty list.
inline std::vector<Module1::Task> roundTrip(std::vector<Module1::Task> tasks, QByteArray *file = nullptr)
{
    KeptCalendars out;
    const TaskCalendar::Exported exported = TaskCalendar::exportTasks(tasks, out, stampMoment());
    if (file)
        *file = exported.file;
    std::vector<Module1::Task> back;
    KeptCalendars in;
    TaskCalendar::importTasks(back, exported.file, in, stampMoment(), 100000);
    return back;
}

// The file's lines with folding undone.
inline QByteArray unfolded(QByteArray text)
{
    text.replace("\r\n ", "");
    text.replace("\r\n\t", "");
    return text;
}

inline Module1::Task task(const QString &title, int year, int month, int day, int hour = 9, int minute = 0,
                          int second = 0)
{
    return TestData::task(title, QStringLiteral("Me"), year, month, day, hour, minute, second);
}

// A task read from a file, with its kept text, ready to go out again.
struct Trip {
    std::vector<Module1::Task> tasks;
    KeptCalendars kept;

    explicit Trip(const TaskCalendar::FileReading &reading)
    {
        for (const TaskCalendar::Found &found : reading.found) {
            tasks.push_back(found.task);
            kept.keep(found.task.uid, found.kept);
        }
    }
    // The file the tasks go out in, folding undone.
    QByteArray out(const QDateTime &at = stampMoment())
    {
        return unfolded(TaskCalendar::exportTasks(tasks, kept, at).file);
    }
};

} // namespace IcalTest
