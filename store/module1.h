// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <span>

// The records Quorvi keeps, and what goes with them everywhere: the order
// the list can show them in, what a load found and what a save did. The
// tables themselves, and every change to them, belong to a TaskStore
// (taskstore.h).
namespace Module1 {

// A task's identity while Quorvi runs: given by its store, kept through
// sorts, reloads and merges where the record stays the same (by its uid=
// line where it has one), never written to the file. 0 is no task.
using TaskId = quint64;

struct Task {
    QString title;
    QString forWhom;
    qint16 year = 0;
    qint16 month = 0;
    qint16 day = 0;
    qint16 second = 0;
    qint16 minute = 0;
    qint16 hour = 0;
    QString description; // line breaks as CR LF
    // As the file holds them, empty when not set: the moment the task was
    // marked done ("2027-03-07 09:05:00") and how it repeats ("1m@31"). Text
    // that cannot be read is kept as it is, and means not done, not repeating.
    QString doneText;
    QString repeatText;
    // The task's lasting identity (a UUID) once it has left Quorvi in a
    // calendar file; empty until then. Other programs know it by this.
    QString uid;
    QString dueText;     // derived by the reader
    QString sortKey;     // derived by the reader
    bool done = false;   // derived: doneText holds a moment
    TaskId id = 0;       // given by the store; see TaskId
};

struct AlertRule {
    qint16 interval = 0;
    QString unit;
    qint32 color = 0; // red + 256 * green + 65536 * blue
    bool popup = false;
};

// How many tasks and rules a store shows; a file that holds more keeps the
// rest, unchanged, through every save.
inline constexpr int kTaskSlots = 10000;
inline constexpr int kRuleSlots = 101;

// The list's columns, in the order of its header buttons.
enum class Column : qint16 { Title = 0, For = 1, Due = 2 };

// The orders sortMode names. The values are what sortMode holds: a column,
// plus 10 when reversed. Any other value leaves the table as it stands.
enum SortOrder : qint16 {
    ByTitle = 0,
    ByFor = 1,
    ByDue = 2,
    ByTitleReversed = 10,
    ByForReversed = 11,
    ByDueReversed = 12,
};

inline constexpr qint16 sortOrder(Column column, bool reversed)
{
    return qint16(qint16(column) + (reversed ? ByTitleReversed : ByTitle));
}

// The column and direction of an order; false for a value that names none.
inline constexpr bool decodeSortOrder(qint16 mode, Column *column, bool *reversed)
{
    const bool isReversed = mode >= ByTitleReversed;
    const auto base = qint16(isReversed ? mode - ByTitleReversed : mode);
    if (base < qint16(Column::Title) || base > qint16(Column::Due))
        return false;
    *column = Column(base);
    *reversed = isReversed;
    return true;
}

// The order after a click on a column's header: another column keeps the
// direction, the current one reverses it. Every value from 9 up counts as
// reversed here, so even an order no header gave flips the expected way.
inline constexpr qint16 nextSortMode(qint16 current, Column column)
{
    const bool reversed = current >= 9;
    const qint16 same = sortOrder(column, reversed);
    return current == same ? sortOrder(column, !reversed) : same;
}

// What marking a task done did.
enum class Marked { Done, NotDone, MovedOn, Unchanged };

// Marks `task` done at `now`, or a done task not done again. A repeating
// task is not marked done: it moves on to its next occurrence after `now`,
// the time of day kept. A series that cannot go on within the dates a task
// holds is left alone (Unchanged).
Marked markTaskDone(Task &task, const QDateTime &now);

// Gives `to` the due date and time of `from`, the six parts as typed.
inline void copyDue(const Task &from, Task &to)
{
    to.year = from.year;
    to.month = from.month;
    to.day = from.day;
    to.hour = from.hour;
    to.minute = from.minute;
    to.second = from.second;
}

// The store file's bare name: it lives in the working directory.
inline const QString kStoreFileName = QStringLiteral("tasks.txt");

// What the last loadTasks found, for the windows to report once.
struct LoadReport {
    bool fileMissing = false;  // first run: an empty store, not an error
    bool unreadable = false;   // exists but could not be read; saving is refused
    QString unreadableReason;
    QStringList problems;      // "tasks.txt line 14: ..."
    // More tasks or rules than the tables hold: the rest are not shown, and
    // kept in the file by every save. Said in the last line of `problems`.
    bool overCapacity = false;
    // The store's previous load found these very problems: they were told.
    bool repeated = false;
};

struct SaveResult {
    bool ok = true;
    QString message; // for the user: the failure, or a notice such as the backup
    // The file had changed since Quorvi last read or wrote it, and the
    // tables were merged with it before the save; `notice` says so.
    bool merged = false;
    int tasksKeptTwice = 0;
    int rulesKeptTwice = 0;
    QString notice;
};

// One line of the problem list for a message box, or empty with no problems.
QString describeProblems(const LoadReport &report);

QString encodeBreaks(const QString &text); // CR LF -> "|~"
QString decodeBreaks(const QString &text); // "|~" -> CR LF

// The exact text a save writes for these records.
QByteArray storeText(std::span<const Task> taskList, std::span<const AlertRule> ruleList);

// Rebuilds a task's derived fields (dueText and sortKey from its date and
// time, done from doneText).
void deriveFields(Task &task);

// Reorders a list of tasks by `mode`, as the list shows them. Done tasks go
// after all the others, each part in the mode's order.
void sortTaskList(std::span<Task> list, qint16 mode);

} // namespace Module1
