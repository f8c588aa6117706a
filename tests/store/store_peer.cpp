// SPDX-License-Identifier: GPL-3.0-or-later
// A second Quorvi on the same folder, as far as the store goes: it reads
// commands from standard input, one a line, and answers each with one line.
//   load                      reads tasks.txt
//   add TITLE                 appends a task
//   delete TITLE              removes the first task with that title
//   edit TITLE FIELD=VALUE    sets title, for or description of that task
//   save                      saves: "saved", "merged: NOTICE" or "failed: MESSAGE"
//   count                     the number of tasks
//   burst N PREFIX [PAUSE]    N times: adds "PREFIX i" and saves at once (or
//                             after PAUSE ms: "MAX" or "MIN-MAX", at random), then saves until that
//                             works: "burst saved S merged M failed F"
//   swapburst N PREFIX MODE [PAUSE]
//                             N times, as a program that takes no lock:
//                             reads tasks.txt, adds a task record to the
//                             text and puts a new file in its place. MODE
//                             "swap" swaps it in and merges what it swapped
//                             out, as a careful sync tool does; "rename"
//                             renames it over, as a careless one does
//   hold / release            takes the store's lock and keeps it / lets go
#include "module1.h"
#include "taskstore.h"
#include "storelock.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <vector>

using namespace Module1;

namespace {

// The peer's one store, as a program has.
TaskStore &store()
{
    static TaskStore theStore;
    return theStore;
}

int slotOf(const QString &title)
{
    for (int i = 0; i < store().taskCount(); ++i) {
        if (store().tasks()[std::size_t(i)].title == title)
            return i;
    }
    return -1;
}

// Changes the tables in memory, unsaved, as an editor's keystrokes did.
void change(const std::function<void(std::vector<Task> &)> &edit)
{
    std::vector<Task> tasks(store().tasks().begin(), store().tasks().end());
    edit(tasks);
    store().setTables(std::move(tasks), {store().rules().begin(), store().rules().end()});
}

// A pause of "MAX" or "MIN-MAX" milliseconds, chosen at random.
struct Pause {
    int min = 0;
    int max = 0;
    explicit Pause(const QString &text)
    {
        max = text.section(QLatin1Char('-'), -1).toInt();
        min = text.contains(QLatin1Char('-')) ? text.section(QLatin1Char('-'), 0, 0).toInt() : 0;
    }
    void wait() const
    {
        if (max > 0)
            QThread::msleep(QRandomGenerator::global()->bounded(min, max + 1));
    }
};

QString add(const QString &title)
{
    if (store().isFull())
        return QStringLiteral("full");
    change([&title](std::vector<Task> &tasks) {
        Task &t = tasks.emplace_back();
        t.title = title;
        t.year = 2030;
        t.month = 6;
        t.day = 1;
    });
    return QStringLiteral("added");
}

QString burst(int count, const QString &prefix, const Pause &pause)
{
    int saved = 0;
    int merged = 0;
    int failed = 0;
    bool pending = false;
    QString firstFailure;
    for (int i = 0; i < count; ++i) {
        add(QStringLiteral("%1 %2").arg(prefix).arg(i));
        const SaveResult result = store().saveTasks();
        pending = !result.ok;
        if (pending && firstFailure.isEmpty())
            firstFailure = result.message;
        (result.ok ? (result.merged ? merged : saved) : failed) += 1;
        pause.wait();
    }
    // A failed save keeps the change: the next one that works writes it.
    for (int tries = 0; pending && tries < 100; ++tries)
        pending = !store().saveTasks().ok;
    return QStringLiteral("burst saved %1 merged %2 failed %3").arg(saved).arg(merged).arg(failed)
           + (pending ? QStringLiteral(" unsaved") : QString())
           + (firstFailure.isEmpty() ? QString() : QStringLiteral(": ") + firstFailure);
}

QByteArray readFile(const char *name)
{
    QFile f(QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const char *name, const QByteArray &bytes)
{
    QFile f(QString::fromLatin1(name));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The store's text with one more task record, put before the rules.
QByteArray withTask(QByteArray text, const QString &title)
{
    const QByteArray record = "ttl=" + title.toUtf8() + "\r\nfor=\r\nday=1\r\nmon=6\r\nyea=2030\r\nhou=0\r\n"
                              "min=0\r\nsec=0\r\ndes=\r\nact=addtask\r\n\r\n";
    const qsizetype rules = text.indexOf("[Alerts]");
    text.insert(rules < 0 ? text.size() : rules, record);
    return text;
}

// Adds one task as a program that takes no lock.
bool addWithoutLock(const QString &title, bool swap)
{
    constexpr char kStore[] = "tasks.txt";
    constexpr char kNew[] = "tasks.txt.elsewhere";
    QByteArray content = readFile(kStore);
    QByteArray expected = content;
    for (int round = 0; round < 100; ++round) {
        const QByteArray mine = content.contains(QByteArray("ttl=" + title.toUtf8() + "\r\n")) ? content : withTask(content, title);
        if (!writeFile(kNew, mine))
            return false;
        if (!swap)
            return std::rename(kNew, kStore) == 0;
        if (::renameat2(AT_FDCWD, kNew, AT_FDCWD, kStore, RENAME_EXCHANGE) != 0)
            return false;
        const QByteArray out = readFile(kNew);
        std::remove(kNew);
        if (out == expected)
            return true;
        // Someone wrote in between: add to theirs, and swap again.
        content = out;
        expected = mine;
    }
    return false;
}

QString swapBurst(int count, const QString &prefix, bool swap, const Pause &pause)
{
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        if (!addWithoutLock(QStringLiteral("%1 %2").arg(prefix).arg(i), swap))
            ++failed;
        pause.wait();
    }
    return QStringLiteral("swapburst failed %1").arg(failed);
}

std::unique_ptr<StoreLock> g_held;

QString run(const QString &line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    if (command == u"load") {
        const LoadReport report = store().loadTasks();
        store().sortTasks();
        return QStringLiteral("loaded %1").arg(store().taskCount()) + (report.problems.isEmpty() ? QString() : QStringLiteral(" with problems"));
    }
    if (command == u"add")
        return add(rest);
    const QStringList args = rest.split(QLatin1Char(' '));
    if (command == u"burst" && args.size() >= 2)
        return burst(args[0].toInt(), args[1], Pause(args.value(2)));
    if (command == u"swapburst" && args.size() >= 3)
        return swapBurst(args[0].toInt(), args[1], args[2] == u"swap", Pause(args.value(3)));
    if (command == u"hold") {
        g_held = std::make_unique<StoreLock>(QStringLiteral("."), StoreLock::Kind::Exclusive, 10000);
        return g_held->held() ? QStringLiteral("holding") : QStringLiteral("not held");
    }
    if (command == u"release") {
        g_held.reset();
        return QStringLiteral("released");
    }
    if (command == u"delete") {
        const int slot = slotOf(rest);
        if (slot < 0)
            return QStringLiteral("no such task");
        change([slot](std::vector<Task> &tasks) { tasks.erase(tasks.begin() + slot); });
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
        if (field != u"title" && field != u"for" && field != u"description")
            return QStringLiteral("bad field");
        change([&](std::vector<Task> &tasks) {
            Task &t = tasks[std::size_t(slot)];
            (field == u"title" ? t.title : field == u"for" ? t.forWhom : t.description) = value;
        });
        return QStringLiteral("edited");
    }
    if (command == u"save") {
        const SaveResult result = store().saveTasks();
        if (!result.ok)
            return QStringLiteral("failed: ") + result.message;
        return result.merged ? QStringLiteral("merged: ") + result.notice : QStringLiteral("saved");
    }
    if (command == u"count")
        return QString::number(store().taskCount());
    return QStringLiteral("unknown command");
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    store().setSortMode(ByDue);
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line)) {
        std::printf("%s\n", qPrintable(run(line)));
        std::fflush(stdout);
    }
    return 0;
}
