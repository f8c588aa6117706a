// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keptcalendars.h"
#include "mapping.h"
#include "module1.h"
#include "taskstore.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <span>
#include <vector>

// Quorvi's tasks in iCalendar files (VTODO): what other task programs,
// phones and calendar servers exchange. The one entry to this folder: the
// field mapping lives in mapping.h, the texts kept between two trips in
// keptcalendars.h.
namespace TaskCalendar {

// A new lasting identity for a task.
QString newUid();

// What a calendar says the way the task already says it is given the
// task's spelling: hour 25 on the 8th came back as 01:00 on the 9th, and is
// the same due moment; so are a done moment and a repetition written
// another way. Afterwards sameStored tells real changes.
void keepSpelling(const Module1::Task &task, Module1::Task &incoming);

// One task as a VCALENDAR of its own: the mapping applied onto the text
// kept for it (or onto a new VTODO), SEQUENCE raised and DTSTAMP and
// LAST-MODIFIED set when anything changed. The task must have its uid.
struct TaskText {
    QByteArray text;    // with the VTIMEZONEs its times need
    QByteArray kept;    // what to keep for the next trip
    bool changed = false;
    QString problem;    // why it cannot be written; the texts are empty then
};
TaskText calendarOf(const Module1::Task &task, const QByteArray &kept, const Mapping::Clock &clock);

// The tasks found in iCalendar text, each with the VCALENDAR of its own to
// keep. Tasks without a UID receive one.
struct Found {
    Module1::Task task;
    QByteArray kept;
    QStringList notes;
};
struct FileReading {
    std::vector<Found> found;
    QStringList skipped; // one line each: what, and why
    QStringList notes;
    QString refusal;     // the text is not iCalendar Quorvi can read; nothing found
};
FileReading readFile(const QByteArray &bytes, const QDateTime &now);

// Every task as one VCALENDAR, done ones too. Tasks without an identity
// receive one here; `kept` ends up holding exactly the tasks written.
struct Exported {
    QByteArray file;
    int written = 0;
    QStringList problems; // tasks that could not be written, and why
};
Exported exportTasks(std::span<Module1::Task> tasks, KeptCalendars &kept, const QDateTime &now);

// The VTODOs of a file added to `tasks`, or, where a task there has the
// same UID, put in its place; at most `capacity` tasks in all.
struct Imported {
    int added = 0;
    int updated = 0;
    int unchanged = 0;
    QStringList skipped;
    QStringList notes;
    QString refusal;
};
Imported importTasks(std::vector<Module1::Task> &tasks, const QByteArray &bytes, KeptCalendars &kept,
                     const QDateTime &now, int capacity);

// The same on a store: its tables and tasks.txt in the working folder,
// committed (and merged with changes made elsewhere) like any change. The
// message is for the user either way.
struct Outcome {
    bool ok = true;
    QString message;
};
Outcome exportStore(Module1::TaskStore &store, const QString &file, const QDateTime &now);
Outcome importStore(Module1::TaskStore &store, const QString &file, const QDateTime &now);

// quorvi --export FILE / --import FILE: loads a store of its own, does it,
// says what happened (on standard error when it failed) and returns the
// exit status.
int runCommand(bool importing, const QString &file);

} // namespace TaskCalendar
