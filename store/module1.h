// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>

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
    QString dueText;     // derived by the reader
    QString sortKey;     // derived by the reader
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

// The store file's bare name: it lives in the working directory.
inline const QString kStoreFileName = QStringLiteral("tasks.txt");

// What the last loadTasks found, for the windows to report once.
struct LoadReport {
    bool fileMissing = false;  // first run: an empty store, not an error
    bool unreadable = false;   // exists but could not be read; saving is refused
    QString unreadableReason;
    QStringList problems;      // "tasks.txt line 14: ..."
    bool droppedForCapacity = false;
};

struct SaveResult {
    bool ok = true;
    QString message; // for the user: the failure, or a notice such as the backup
};

// Empties both tables and refills them from the store file.
LoadReport loadTasks();
// Empties both tables and refills them from the bytes of a store file.
LoadReport readStore(const QByteArray &bytes);
// Rewrites the whole store file from the tables, atomically.
SaveResult saveTasks();

// The report of the most recent loadTasks.
const LoadReport &lastLoadReport();

// One line of the problem list for a message box, or empty with no problems.
QString describeProblems(const LoadReport &report);

QString encodeBreaks(const QString &text); // CR LF -> "|~"
QString decodeBreaks(const QString &text); // "|~" -> CR LF

// The exact text saveTasks writes, for tests and benchmarks.
QByteArray storeText();

// Rebuilds a task's dueText and sortKey from its date and time fields.
void deriveFields(Task &task);

// Reorders slots 0..taskCount-1 by sortMode.
void sortTasks();

// loadTasks, then sortTasks: the file keeps the order the table had when it
// was saved, which may not be the list's order any more, and the list's rows
// must name the right slots again before anyone acts on "the selected row".
LoadReport reloadInListOrder();

// Empties the tables and forgets the last load, as at program start.
void resetStore();

} // namespace Module1
