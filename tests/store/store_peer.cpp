// SPDX-License-Identifier: GPL-3.0-or-later
// A second Quorvi on the same folder, as far as the store goes: it reads
// commands from standard input, one a line, and answers each with one line.
//   load                      reads tasks.txt
//   add TITLE                 appends a task
//   delete TITLE              removes the first task with that title
//   edit TITLE FIELD=VALUE    sets title, for or description of that task
//   save                      saves: "saved", "merged: NOTICE" or "failed: MESSAGE"
//   count                     the number of tasks
#include "module1.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

using namespace Module1;

namespace {

int slotOf(const QString &title)
{
    for (int i = 0; i < taskCount; ++i) {
        if (tasks[i].title == title)
            return i;
    }
    return -1;
}

QString run(const QString &line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    if (command == u"load") {
        const LoadReport report = loadTasks();
        sortTasks();
        return QStringLiteral("loaded %1").arg(taskCount) + (report.problems.isEmpty() ? QString() : QStringLiteral(" with problems"));
    }
    if (command == u"add") {
        if (taskCount >= kTaskSlots)
            return QStringLiteral("full");
        Task &t = tasks[taskCount++];
        t = Task{};
        t.title = rest;
        t.year = 2030;
        t.month = 6;
        t.day = 1;
        deriveFields(t);
        return QStringLiteral("added");
    }
    if (command == u"delete") {
        const int slot = slotOf(rest);
        if (slot < 0)
            return QStringLiteral("no such task");
        removeTask(slot);
        return QStringLiteral("deleted");
    }
    if (command == u"edit") {
        // edit TITLE FIELD=VALUE: the title may hold blanks, the field not.
        const qsizetype eq = rest.indexOf(QLatin1Char('='));
        const qsizetype space = rest.lastIndexOf(QLatin1Char(' '), eq);
        if (eq < 0 || space < 0)
            return QStringLiteral("bad edit");
        const int slot = slotOf(rest.left(space));
        if (slot < 0)
            return QStringLiteral("no such task");
        const QString field = rest.mid(space + 1, eq - space - 1);
        const QString value = rest.mid(eq + 1);
        Task &t = tasks[slot];
        if (field == u"title")
            t.title = value;
        else if (field == u"for")
            t.forWhom = value;
        else if (field == u"description")
            t.description = value;
        else
            return QStringLiteral("bad field");
        return QStringLiteral("edited");
    }
    if (command == u"save") {
        const SaveResult result = saveTasks();
        if (!result.ok)
            return QStringLiteral("failed: ") + result.message;
        return result.merged ? QStringLiteral("merged: ") + result.notice : QStringLiteral("saved");
    }
    if (command == u"count")
        return QString::number(taskCount);
    return QStringLiteral("unknown command");
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    sortMode = ByDue;
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line)) {
        std::printf("%s\n", qPrintable(run(line)));
        std::fflush(stdout);
    }
    return 0;
}
