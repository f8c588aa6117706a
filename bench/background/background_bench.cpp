// SPDX-License-Identifier: GPL-3.0-or-later
// A background Quorvi waiting for a task due next month, measured as a whole
// process beside a bare Qt program that shows the same alert page and only
// waits (what Qt itself needs), and beside a Quorvi started without
// --background that shows the same alert window (it stays until the window
// is closed): CPU time, context switches (each one a wake-up of some thread)
// and resident memory, read from /proc while all of them sit idle. Two
// stores: a hundred late tasks on the alert page, and a full store of a
// thousand.
//
//   background_bench [SECONDS]      (default 60)
#include "alertpage.h"
#include "module1.h"
#include "taskstore.h"
#include "childrun.h"
#include "runtimefolder.h"
#include "storegen.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Reading {
    double cpuMs = 0;                  // user + system, all threads
    QMap<QString, long long> switches; // voluntary and involuntary, by thread
    long long rssKiB = 0;
    long long peakKiB = 0;
    int threads = 0;
};

QByteArray readProc(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

long long statusField(const QByteArray &status, const QByteArray &name)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(QByteArray(name + ':')))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

Reading read(pid_t pid)
{
    Reading r;
    const QString base = QStringLiteral("/proc/%1").arg(pid);
    const QByteArray stat = readProc(base + QStringLiteral("/stat"));
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double tick = 1000.0 / double(::sysconf(_SC_CLK_TCK));
    r.cpuMs = double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) * tick; // utime, stime
    const QByteArray status = readProc(base + QStringLiteral("/status"));
    r.rssKiB = statusField(status, "VmRSS");
    r.peakKiB = statusField(status, "VmHWM");
    const QStringList tasks = QDir(base + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    r.threads = int(tasks.size());
    for (const QString &task : tasks) {
        const QByteArray s = readProc(base + QStringLiteral("/task/") + task + QStringLiteral("/status"));
        r.switches[task] = statusField(s, "voluntary_ctxt_switches") + statusField(s, "nonvoluntary_ctxt_switches");
    }
    return r;
}

pid_t start(const std::vector<QByteArray> &command, const QByteArray &folder)
{
    return Bench::startChild(command, folder);
}

bool alive(pid_t pid)
{
    return ::waitpid(pid, nullptr, WNOHANG) == 0;
}

void stop(pid_t pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

struct Program {
    explicit Program(const char *what) : name(what) {}
    const char *name;
    pid_t pid = 0;
    Reading before, after;

    double cpuPerMinute(double seconds) const { return (after.cpuMs - before.cpuMs) * 60.0 / seconds; }
    // A thread that ended on the way (Qt lets idle pool threads go after
    // half a minute) counts one wake-up, to end.
    long long wakeups() const
    {
        long long n = 0;
        for (auto t = after.switches.cbegin(); t != after.switches.cend(); ++t)
            n += t.value() - before.switches.value(t.key(), 0);
        for (auto t = before.switches.cbegin(); t != before.switches.cend(); ++t)
            n += after.switches.contains(t.key()) ? 0 : 1;
        return n;
    }
    double peakMiB() const { return double(after.peakKiB) / 1024.0; }
};

void report(const Program &p, double seconds)
{
    std::printf("  %-26s CPU %5.1f ms/min   wake-ups %4lld   RSS %5.1f MiB (peak %5.1f)   threads %d\n", p.name,
                p.cpuPerMinute(seconds), p.wakeups(), double(p.after.rssKiB) / 1024.0, p.peakMiB(),
                p.after.threads);
}

// A store in `folder` with `late` tasks well past (the alert page lists
// them) and one due a month from now, the next due moment; and the alert
// page of that store in `page`.
bool writeStore(const QString &folder, const QString &page, int late, QDate *next)
{
    StoreGen::Options options;
    options.tasks = late;
    options.today = QDate::currentDate().addDays(-200);
    Module1::TaskStore store;
    StoreGen::fill(store, options);
    const QDateTime due = QDateTime::currentDateTime().addDays(31);
    Module1::Records records = store.records();
    Module1::Task &task = records.tasks.emplace_back();
    task.title = QStringLiteral("Renew the passport");
    task.forWhom = QStringLiteral("Me");
    task.year = qint16(due.date().year());
    task.month = qint16(due.date().month());
    task.day = qint16(due.date().day());
    task.hour = 9;
    Module1::deriveFields(task);
    store.readRecords(std::move(records));
    *next = due.date();

    const QString previous = QDir::currentPath();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    const Module1::SaveResult saved = store.saveTasks();
    QDir::setCurrent(previous);
    if (!saved.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(saved.message));
        return false;
    }
    store.setSortMode(Module1::ByDue);
    store.sortTasks();
    QFile out(page);
    return out.open(QIODevice::WriteOnly)
        && out.write(AlertPage::drawListed(store.tasks(), store.rules(), QDate::currentDate()).text.toUtf8()) > 0;
}

struct Scenario {
    const char *what = "";
    int late = 0;
    Program background = Program("quorvi --background");
    Program bare = Program("bare Qt, the same page");
    Program plain = Program("quorvi (no --background)");
};

} // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    Bench::useRuntimeFolderIn(work.path());

    // A session bus of our own, as a desktop has one, so every program
    // holds a live connection while it waits.
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    if (bus.waitForStarted(5000) && bus.waitForReadyRead(5000))
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed().constData(), 1);
    else
        std::fprintf(stderr, "no dbus-daemon: measuring without a session bus\n");

    std::vector<Scenario> scenarios(2);
    scenarios[0].what = "100 late tasks on the alert page";
    scenarios[0].late = 100;
    scenarios[1].what = "full store, 1000 late tasks on the alert page";
    scenarios[1].late = 1000;

    // Each Quorvi in a folder of its own: on one folder the later start
    // would only hand over to the first.
    QDate next;
    std::vector<Program *> all;
    for (std::size_t i = 0; i < scenarios.size(); ++i) {
        Scenario &scenario = scenarios[i];
        const QString page = work.filePath(QStringLiteral("page%1.html").arg(i));
        for (Program *p : {&scenario.background, &scenario.plain}) {
            const bool background = p == &scenario.background;
            const QString folder = work.filePath(QStringLiteral("store%1-%2").arg(i).arg(background));
            if (!writeStore(folder, page, scenario.late, &next))
                return 1;
            std::vector<QByteArray> command = {QByteArrayLiteral(QUORVI_BINARY)};
            if (background)
                command.push_back("--background");
            p->pid = start(command, QFile::encodeName(folder));
        }
        scenario.bare.pid =
            start({QByteArrayLiteral(BARE_BINARY), QFile::encodeName(page)}, QFile::encodeName(work.path()));
        all.insert(all.end(), {&scenario.background, &scenario.bare, &scenario.plain});
    }

    // All settle first: the start itself is not what is measured.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    for (Program *p : all) {
        if (!alive(p->pid)) {
            std::fprintf(stderr, "%s ended before the measurement\n", p->name);
            return 1;
        }
        p->before = read(p->pid);
    }
    const auto begun = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    bool allAlive = true;
    for (Program *p : all) {
        p->after = read(p->pid);
        allAlive = allAlive && alive(p->pid);
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    for (Program *p : all)
        stop(p->pid);
    bus.kill();
    bus.waitForFinished(5000);
    if (!allAlive) {
        std::fprintf(stderr, "a program ended during the measurement\n");
        return 1;
    }

    std::printf("waiting for the next due moment, %s, idle for %.0f s (offscreen, on a session bus):\n",
                qPrintable(next.toString(Qt::ISODate)), elapsed);
    for (const Scenario &scenario : scenarios) {
        std::printf(" %s:\n", scenario.what);
        report(scenario.background, elapsed);
        report(scenario.bare, elapsed);
        report(scenario.plain, elapsed);
        const Program &b = scenario.background;
        const double cpu = b.cpuPerMinute(elapsed);
        const long long extraWakeups = b.wakeups() - scenario.bare.wakeups();
        const double extraMiB = b.peakMiB() - scenario.plain.peakMiB();
        std::printf("  CPU while waiting %.1f ms/min (goal < 50): %s\n", cpu, cpu < 50 ? "met" : "MISSED");
        std::printf("  wake-ups beyond what Qt needs for the same page: %lld (goal 0): %s\n", extraWakeups,
                    extraWakeups <= 0 ? "met" : "MISSED");
        std::printf("  peak resident memory %.1f MiB (goal < 60): %s; %+.1f MiB against the same window without "
                    "--background\n",
                    b.peakMiB(), b.peakMiB() < 60 ? "met" : "MISSED", extraMiB);
    }
    return 0;
}
