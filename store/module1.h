// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <span>

// The whole state of the program: the task and rule tables, their counts and
// the current order. Every window reads and writes these directly; there is
// no other copy of the data.
namespace Module1 {

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
};

struct AlertRule {
    qint16 interval = 0;
    QString unit;
    qint32 color = 0; // red + 256 * green + 65536 * blue
    bool popup = false;
};

inline constexpr int kTaskSlots = 1001;
inline constexpr int kRuleSlots = 101;

inline std::array<Task, kTaskSlots> tasks;
inline qint16 taskCount = 0;
inline std::array<AlertRule, kRuleSlots> rules;
inline qint16 ruleCount = 0;
inline qint16 sortMode = 0;

// The live parts of the tables.
inline std::span<Task> liveTasks()
{
    return {tasks.data(), std::size_t(qMax<qint16>(taskCount, 0))};
}
inline std::span<AlertRule> liveRules()
{
    return {rules.data(), std::size_t(qMax<qint16>(ruleCount, 0))};
}

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

// Announces that the tables changed: they were reloaded, or an edit the user
// confirmed was made. Whoever shows or acts on the tables listens here, so no
// dialog has to know who that is. Edits still being typed are not announced.
class Notifier : public QObject
{
    Q_OBJECT
Q_SIGNALS:
    void changed();
};

Notifier &notifier();
void announceChange();

// Removes the task in `slot` by moving every later task down one place (the
// old last slot keeps a copy of the last task), then announces the change.
// A slot that holds no live task is left alone.
void removeTask(int slot);

// What marking a task done did.
enum class Marked { Done, NotDone, MovedOn, Unchanged };

// Marks the task in `slot` done at `now`, or a done task not done again. A
// repeating task is not marked done: it moves on to its next occurrence
// after `now`, the time of day kept. Announces the change; a slot without a
// live task, or a series that cannot go on within the dates a task holds,
// is left alone (Unchanged). `marked`, when given, receives the task as it
// is now, before the change is announced (and a redraw re-sorts the table).
Marked markDone(int slot, const QDateTime &now, Task *marked = nullptr);

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

// The slot of the live task whose stored fields are those of `task`; of
// several such, the one nearest `nearSlot`. -1 when there is none.
int findTask(const Task &task, int nearSlot);

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

// Empties both tables and refills them from the store file.
LoadReport loadTasks();
// Empties both tables and refills them from the bytes of a store file.
LoadReport readStore(const QByteArray &bytes);
// Rewrites the whole store file from the tables, atomically. When the file
// is no longer what Quorvi last read or wrote, the tables are first merged
// with it (and hold the merged records, in sortMode's order, afterwards).
SaveResult saveTasks();

// Whether the store file now differs from what Quorvi last read or wrote,
// and is there to be read. A file that went missing does not count: the
// tables still hold every task and the next save writes it anew.
bool storeChangedElsewhere();

// Whether the store file is there and cannot be written (no write
// permission, a read-only disk): every save would fail until that changes.
// The windows say so as they open, before anything is typed in vain.
bool storeReadOnly();

// The report of the most recent loadTasks.
const LoadReport &lastLoadReport();

// One line of the problem list for a message box, or empty with no problems.
QString describeProblems(const LoadReport &report);

QString encodeBreaks(const QString &text); // CR LF -> "|~"
QString decodeBreaks(const QString &text); // "|~" -> CR LF

// The exact text saveTasks writes, for tests and benchmarks.
QByteArray storeText();
QByteArray storeText(std::span<const Task> taskList, std::span<const AlertRule> ruleList);

// Rebuilds a task's derived fields (dueText and sortKey from its date and
// time, done from doneText).
void deriveFields(Task &task);

// Reorders slots 0..taskCount-1 by sortMode. Done tasks go after all the
// others, each part in sortMode's order.
void sortTasks();
// Reorders any list of tasks as sortTasks would with `mode`.
void sortTaskList(std::span<Task> list, qint16 mode);

// loadTasks, then sortTasks, then announces the change: the file keeps the
// order the table had when it was saved, which may not be the list's order
// any more, and the list's rows must name the right slots again before
// anyone acts on "the selected row".
LoadReport reloadInListOrder();

// Empties the tables and forgets the last load, as at program start.
void resetStore();

} // namespace Module1
