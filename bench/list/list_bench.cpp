// SPDX-License-Identifier: GPL-3.0-or-later
// The task list and the alert window with 1,001 and 10,000 tasks (101
// rules), each beside a plain Qt equivalent measured in the same run:
//  - start to the full list rendered (`quorvi --show-all --screenshot`
//    against a QTableView over a QStandardItemModel), processor time and
//    peak memory of separate processes;
//  - load, sort and save of 10,000 tasks, against reading and writing the
//    same bytes alone;
//  - in the window, with 10,000 tasks: a click on a row, a page of
//    scrolling, Find narrowing the list at each key typed, and a reload
//    after another program changed the file, each against the table doing
//    the same (selection, scroll bar, filter proxy, refill);
//  - the alert window with 10,000 tasks listed, against a bare QTextBrowser
//    showing the same page.
// Medians of RUNS runs (default 11). --quorvi PATH times another build of
// the program in the processes (an older one, for a before and after), and
// leaves out what is measured inside this one.
// --grab FOLDER only saves the README's pictures there: the list of 10,000
// tasks scrolled to the middle, and Find narrowing it.
//   list_bench [RUNS] [--quorvi PATH] [--grab FOLDER]
#include "appearance.h"
#include "childrun.h"
#include "frmmain.h"
#include "module1.h"
#include "plaintable.h"
#include "runtimefolder.h"
#include "scheduler.h"
#include "storegen.h"
#include "taskstore.h"
#include "timing.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Bench::Sample;

constexpr int kMany = 10000;

QByteArray g_quorvi = QByteArrayLiteral(QUORVI_BINARY);

struct Processes {
    std::vector<double> cpuMs;
    std::vector<double> wallMs;
    std::vector<double> peakMiB;
};

// A folder in `work` holding a generated store of `tasks` tasks, due
// within `spreadDays` of today.
QString storeFolder(const QString &work, const QString &name, int tasks, int spreadDays = StoreGen::Options{}.spreadDays)
{
    const QString folder = QDir(work).filePath(name);
    QDir().mkpath(folder);
    StoreGen::Options options;
    options.tasks = tasks;
    options.spreadDays = spreadDays;
    if (const QString failed = StoreGen::writeStore(folder, options); !failed.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failed));
        std::exit(1);
    }
    return folder;
}

void runInTurns(int runs, const std::vector<std::vector<QByteArray>> &commands, const QByteArray &folder,
                std::vector<Processes> &out)
{
    out.assign(commands.size(), {});
    for (int i = 0; i < runs; ++i) {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            const Sample s = Bench::runOnce(commands[c], folder);
            if (s.status != 0) {
                std::fprintf(stderr, "%s failed (status %d)\n", commands[c][0].constData(), s.status);
                std::exit(1);
            }
            out[c].cpuMs.push_back(s.cpuSeconds * 1000);
            out[c].wallMs.push_back(s.seconds * 1000);
            out[c].peakMiB.push_back(double(s.peakKiB) / 1024);
        }
    }
}

void verdict(const char *what, bool met)
{
    std::printf("  %-58s %s\n", what, met ? "met" : "MISSED");
}

// Start to the list rendered, both programs on the same store.
void compareStarts(int runs, const QString &work, int tasks, double cpuGoal)
{
    const QString folder = storeFolder(work, QStringLiteral("start%1").arg(tasks), tasks);
    const std::vector<QByteArray> quorvi = {g_quorvi, "--show-all", "--screenshot", "q.png"};
    const std::vector<QByteArray> table = {QByteArrayLiteral(PLAIN_TABLE_BINARY), "t.png"};
    std::vector<Processes> p;
    runInTurns(1, {quorvi, table}, QFile::encodeName(folder), p); // warm the page cache
    runInTurns(runs, {quorvi, table}, QFile::encodeName(folder), p);
    const double qc = Timing::median(p[0].cpuMs), tc = Timing::median(p[1].cpuMs);
    const double qm = Timing::median(p[0].peakMiB), tm = Timing::median(p[1].peakMiB);
    std::printf("start to the full list rendered, %d tasks, median of %d:\n", tasks, runs);
    std::printf("  quorvi --show-all --screenshot  CPU %7.1f ms  wall %7.1f ms  peak %6.1f MiB\n", qc,
                Timing::median(p[0].wallMs), qm);
    std::printf("  plain QTableView                CPU %7.1f ms  wall %7.1f ms  peak %6.1f MiB\n", tc,
                Timing::median(p[1].wallMs), tm);
    std::printf("  CPU ratio %.2f (goal <= %.1f), extra memory %.1f MiB (goal <= 10)\n", qc / tc, cpuGoal, qm - tm);
    verdict("CPU", qc / tc <= cpuGoal);
    verdict("memory", qm - tm <= 10);
}

// Both sides of one measurement, taken in turns so both meet the same machine.
// `prepare`, when given, runs untimed before ours.
void compare(const char *what, int runs, double goal, const std::function<void(int)> &ours,
             const std::function<void(int)> &theirs, const std::function<void(int)> &prepare = {})
{
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare(i);
        QApplication::processEvents();
        a.push_back(Timing::timeRuns(1, {}, [&] { ours(i); })[0]);
        QApplication::processEvents();
        b.push_back(Timing::timeRuns(1, {}, [&] { theirs(i); })[0]);
    }
    Timing::report(what, a, goal);
    Timing::inform("  the plain table doing the same", b);
}

void loadSortSave(int runs, const QString &work)
{
    const QString folder = storeFolder(work, QStringLiteral("store"), kMany);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    Module1::TaskStore store;
    int mode = 0;
    compare("load + sort + save, 10,000 tasks", runs, 150,
            [&](int) {
                store.loadTasks();
                // Each run in another order, so that every save rewrites the file.
                store.setSortMode((mode++ % 2) ? Module1::ByTitle : Module1::ByDue);
                store.sortTasks();
                if (!store.saveTasks().ok)
                    std::abort();
            },
            [&](int) {
                QFile in(Module1::kStoreFileName);
                if (!in.open(QIODevice::ReadOnly))
                    std::abort();
                const QByteArray bytes = in.readAll();
                QSaveFile out(QStringLiteral("copy.txt"));
                if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
                    std::abort();
            });
    // Where the time goes.
    Timing::inform("  loadTasks alone", Timing::timeRuns(runs, {}, [&] { store.loadTasks(); }));
    Timing::inform("  sortTasks alone (by title, from the file's order)", Timing::timeRuns(runs, [&](int) {
                       store.loadTasks();
                       store.setSortMode(Module1::ByTitle);
                   }, [&] { store.sortTasks(); }));
    Timing::inform("  saveTasks alone", Timing::timeRuns(runs, [&](int i) {
                       store.loadTasks();
                       Module1::Records records = store.records();
                       records.tasks[0].title += QString::number(i);
                       store.setTables(records.tasks, records.rules);
                   }, [&] {
                       if (!store.saveTasks().ok)
                           std::abort();
                   }));

    // What the reminders work out at every wake-up.
    store.loadTasks();
    const QDateTime now = QDateTime::currentDateTime();
    compare("reminders: the next due moment of 10,000", runs, 16,
            [&](int) {
                if (!Reminders::nextDueMoment(store.tasks(), now).isValid())
                    std::abort();
            },
            [&](int) {
                // The same search over moments Qt reads from the same fields.
                QDateTime next;
                for (const Module1::Task &t : store.tasks()) {
                    const QDateTime m(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
                    if (m >= now && (!next.isValid() || m < next))
                        next = m;
                }
                if (!next.isValid())
                    std::abort();
            });

    // A merge at 10,000: here every task was exported (each took an
    // identity), there another program changed a hundred titles.
    store.loadTasks();
    const QByteArray base = store.storeText();
    Module1::Records edited = store.records();
    for (int i = 0; i < 100; ++i)
        edited.tasks[std::size_t(i) * 97].title += QStringLiteral(" (there)");
    store.setTables(edited.tasks, edited.rules);
    const QByteArray theirs = store.storeText();
    Timing::inform("a save merged with a change elsewhere", Timing::timeRuns(runs, [&](int) {
                       QFile file(Module1::kStoreFileName);
                       if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.write(base))
                           std::abort();
                       file.close();
                       store.loadTasks();
                       Module1::Records exported = store.records();
                       for (Module1::Task &t : exported.tasks)
                           t.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
                       store.setTables(exported.tasks, exported.rules);
                       if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.write(theirs))
                           std::abort();
                   }, [&] {
                       const Module1::SaveResult saved = store.saveTasks();
                       if (!saved.ok || !saved.merged || store.taskCount() != kMany)
                           std::abort();
                   }));
    QDir::setCurrent(previous);
}

void inTheWindow(int runs, const QString &work)
{
    const QString folder = storeFolder(work, QStringLiteral("window"), kMany);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);

    Module1::TaskStore store;
    Modal::Seam seam;
    FrmMain window(Context{store, seam});
    window.formLoad();
    window.show();
    // The table reads the same file into a store of its own.
    Module1::TaskStore tableStore;
    tableStore.loadTasks();
    tableStore.setSortMode(Module1::ByDue);
    tableStore.sortTasks();
    PlainTable table(tableStore);
    table.show();
    if (!QTest::qWaitForWindowExposed(&window) || !QTest::qWaitForWindowExposed(&table))
        std::exit(1);
    store.follow(false); // the reload is timed from where the watcher would start it
    std::printf("in the window: %d rows, %d rules, %d rows with cells\n", window.rowCount(), store.ruleCount(),
                window.builtRows().last - window.builtRows().first + 1);

    auto *bar = window.findChild<QScrollBar *>(QStringLiteral("vscroll"));
    bar->setValue(bar->maximum() / 2);
    table.view()->verticalScrollBar()->setValue(table.view()->verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();

    // A click on a row in view: the press selects it, the old selection goes back.
    compare("a click on a row, repainted", runs, 5,
            [&](int i) {
                const int row = window.builtRows().first + 5 + i % 8;
                QTest::mouseClick(window.lblTitle()[row], Qt::LeftButton);
                window.repaint();
            },
            [&](int i) {
                QWidget *viewport = table.view()->viewport();
                QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(20, 20 + 17 * (i % 8)));
                table.repaint();
            });

    compare("a page of scrolling, repainted", runs, 16,
            [&](int i) {
                bar->triggerAction(i % 2 ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd);
                window.repaint();
            },
            [&](int i) {
                table.view()->verticalScrollBar()->triggerAction(i % 2 ? QAbstractSlider::SliderPageStepSub
                                                                       : QAbstractSlider::SliderPageStepAdd);
                table.repaint();
            });

    // Find, one key at a time: a word typed, then taken back.
    window.openFind();
    const QString word = QStringLiteral("plumber");
    std::vector<QString> typed;
    for (qsizetype n = 1; n <= word.size(); ++n)
        typed.push_back(word.left(n));
    for (qsizetype n = word.size() - 1; n >= 0; --n)
        typed.push_back(word.left(n));
    compare("Find narrowing the list, a key typed", int(typed.size()) * 2, 16,
            [&](int i) {
                window.findBox()->setText(typed[std::size_t(i) % typed.size()]);
                window.repaint();
            },
            [&](int i) {
                table.filter(typed[std::size_t(i) % typed.size()]);
                table.repaint();
            });
    std::printf("  (\"%s\": %d rows)\n", qPrintable(word), [&] {
        window.setFindText(word);
        return window.rowCount();
    }());
    window.closeFind();

    // Another program changed a tenth of the tasks; the versions alternate,
    // so every run meets a change.
    const QByteArray before = store.storeText();
    Module1::Records changed = store.records();
    for (std::size_t i = 0; i < changed.tasks.size(); i += 10)
        changed.tasks[i].title += QStringLiteral(" (changed elsewhere)");
    Module1::TaskStore other;
    other.readRecords(changed);
    const QByteArray after = other.storeText();
    window.highlight(window.builtRows().first + 3);
    const auto writeVersion = [&](int i) {
        QFile file(Module1::kStoreFileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.write(i % 2 ? before : after))
            std::abort();
    };
    compare("reload after a change elsewhere, repainted", runs, 100,
            [&](int) {
                const int follows = window.follows();
                window.followStoreFile();
                window.repaint();
                if (window.follows() != follows + 1 || window.selectedRow() < 1)
                    std::abort();
            },
            [&](int) {
                tableStore.loadTasks();
                tableStore.sortTasks();
                table.fill(QDate::currentDate());
                table.repaint();
            },
            writeVersion);
    QDir::setCurrent(previous);
}

int savePictures(const QString &work, const QString &folder)
{
    QDir::setCurrent(storeFolder(work, QStringLiteral("pictures"), kMany));
    // The benchmarks' rules take any colour; a picture is read on white.
    Module1::TaskStore store;
    store.loadTasks();
    Module1::Records records = store.records();
    for (Module1::AlertRule &rule : records.rules)
        rule.color &= 0x7f7f7f;
    store.setTables(records.tasks, records.rules);
    if (!store.saveTasks().ok)
        return 1;
    Modal::Seam seam;
    FrmMain window(Context{store, seam});
    window.resize(760, 480);
    window.formLoad();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto *bar = window.findChild<QScrollBar *>(QStringLiteral("vscroll"));
    bar->setValue(bar->maximum() / 2);
    window.highlight(window.builtRows().first + 8);
    QApplication::processEvents();
    const QString middle = QDir(folder).filePath(QStringLiteral("list-10000.png"));
    bool ok = window.grab().save(middle);
    window.setSelectedRow(0);
    window.openFind();
    QTest::keyClicks(window.findBox(), QStringLiteral("cafe"));
    window.highlight(2);
    QApplication::processEvents();
    const QString find = QDir(folder).filePath(QStringLiteral("find.png"));
    ok = window.grab().save(find) && ok;
    std::printf("%s %s and %s\n", ok ? "wrote" : "could not write", qPrintable(middle), qPrintable(find));
    return ok ? 0 : 1;
}

void alertWindow(int runs, const QString &work)
{
    // Due within the widest listed rule's 60 days: every task is listed.
    const QString folder = storeFolder(work, QStringLiteral("alert"), kMany, 60);
    const std::vector<QByteArray> quorvi = {g_quorvi, "--screenshot", "a.png"};
    std::vector<Processes> p;
    runInTurns(1, {quorvi}, QFile::encodeName(folder), p); // writes the page
    const QString page = QDir(work).filePath(QStringLiteral("runtime/quorvi/al.html"));
    const QString copy = QDir(folder).filePath(QStringLiteral("page.html"));
    QFile::remove(copy);
    QFile::copy(page, copy);
    QFile pageFile(copy);
    const int listed = pageFile.open(QIODevice::ReadOnly) ? int(pageFile.readAll().count("<table ")) : 0;
    const std::vector<QByteArray> bare = {QByteArrayLiteral(BARE_BINARY), QFile::encodeName(copy), "b.png"};
    runInTurns(runs, {quorvi, bare}, QFile::encodeName(folder), p);
    const double qw = Timing::median(p[0].wallMs);
    std::printf("the alert window with %d tasks listed, start to shown, median of %d:\n", listed, runs);
    std::printf("  quorvi --screenshot             wall %7.1f ms  CPU %7.1f ms  peak %6.1f MiB\n", qw,
                Timing::median(p[0].cpuMs), Timing::median(p[0].peakMiB));
    std::printf("  bare QTextBrowser, same page    wall %7.1f ms  CPU %7.1f ms  peak %6.1f MiB\n",
                Timing::median(p[1].wallMs), Timing::median(p[1].cpuMs), Timing::median(p[1].peakMiB));
    verdict("under 1 s to shown", qw < 1000);
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int runs = 11;
    bool inProcess = true;
    QString pictures;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--grab" && i + 1 < argc) {
            pictures = QDir(QString::fromLocal8Bit(argv[++i])).absolutePath();
        } else if (QByteArray(argv[i]) == "--quorvi" && i + 1 < argc) {
            g_quorvi = argv[++i];
            inProcess = false;
        } else {
            runs = std::max(1, std::atoi(argv[i]));
        }
    }
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    Bench::useRuntimeFolderIn(work.path());
    QApplication app(argc, argv);
    if (!pictures.isEmpty()) {
        // As the program looks.
        Appearance::applyAppearance(app);
        return savePictures(work.path(), pictures);
    }

    compareStarts(runs, work.path(), 1001, 1.2);
    compareStarts(runs, work.path(), kMany, 1.5);
    if (inProcess) {
        loadSortSave(runs, work.path());
        inTheWindow(runs, work.path());
    }
    alertWindow(runs, work.path());
    return 0;
}
