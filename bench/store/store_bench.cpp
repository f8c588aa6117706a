// SPDX-License-Identifier: GPL-3.0-or-later
// loadTasks, sortTasks in every mode and saveTasks on a full store; the
// look at the file, the lock and the swap with its check that come with
// every save, against a save without them; the merge with a file another
// program changed; and the due moments of every task, against Qt's own
// reading of the same local times.
#include "calendar.h"
#include "merge.h"
#include "storereader.h"
#include "module1.h"
#include "taskstore.h"
#include "rules.h"
#include "storegen.h"
#include "storelock.h"
#include "timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace Module1;

namespace {

// The save as it was before saves looked at the file first, took the lock
// and swapped their file in: the text, a temporary file synced to the disk
// and renamed over the store. The yardstick for what those cost.
void plainSave(const TaskStore &store)
{
    QSaveFile file(kStoreFileName);
    const QByteArray bytes = store.storeText();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() || !file.commit())
        std::abort();
}

void writeAsAnotherProgram(const QByteArray &bytes)
{
    QFile file(kStoreFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

// `count` tasks from `first` on (in file order) get a new title.
void editTasks(TaskStore &store, int first, int count, const QString &mark)
{
    Records records = store.records();
    for (int i = first; i < first + count && i < store.taskCount(); ++i)
        records.tasks[std::size_t(i)].title += mark;
    store.readRecords(std::move(records));
}


// The save with and without the look, the lock and the swap, taken in turns
// so that both meet the same disk and the same neighbours. Both write the
// same bytes: a save as before that wrote others would be a change made
// elsewhere.
// The goal is judged where the extra work stands alone: on a disk the sync
// of either save moves by more than the whole of it from run to run.
void compareSaves(TaskStore &store, const char *where, bool judged)
{
    constexpr int kRuns = 51;
    store.loadTasks();
    std::vector<double> plain;
    std::vector<double> looking;
    for (int i = 0; i < 2 * kRuns; ++i) {
        std::vector<double> &into = i % 2 ? plain : looking;
        const std::vector<double> one = Timing::timeRuns(1, {}, [i, &store] {
            if (i % 2) {
                plainSave(store);
            } else {
                const SaveResult saved = store.saveTasks();
                if (!saved.ok || saved.merged)
                    std::abort();
            }
        });
        into.push_back(one[0]);
    }
    const QByteArray before = QByteArray("save as before (no look, lock or swap)") + where;
    const QByteArray now = QByteArray("saveTasks, nothing changed elsewhere") + where;
    Timing::inform(before.constData(), plain);
    Timing::inform(now.constData(), looking);
    const double extra = Timing::median(looking) - Timing::median(plain);
    const QByteArray cost = QByteArray("look, lock and swap cost") + where;
    if (judged)
        std::printf("%-40s %+7.2f ms (goal < 2 ms: %s)\n", cost.constData(), extra, extra < 2.0 ? "met" : "MISSED");
    else
        std::printf("%-40s %+7.2f ms (the sync's noise included)\n", cost.constData(), extra);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kRuns = 51;
    constexpr double kGoalMs = 5.0;

    QTemporaryDir dir;
    const QString failure = StoreGen::writeStore(dir.path());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    QDir::setCurrent(dir.path());
    TaskStore store;
    store.loadTasks();
    // The benchmarks' store: fewer tasks than the table holds.
    const int stored = store.taskCount();
    std::printf("store: %d tasks, %d rules, %lld bytes, in %s\n", stored, store.ruleCount(),
                QFileInfo(kStoreFileName).size(), qPrintable(dir.path()));

    Timing::report("loadTasks", Timing::timeRuns(kRuns, {}, [&store] { store.loadTasks(); }), kGoalMs);

    // Each sort starts from the order of the file, as after a load.
    store.loadTasks();
    const Records fileOrder = store.records();
    for (const qint16 mode : {0, 1, 2, 10, 11, 12}) {
        const QByteArray what = "sortTasks, sortMode " + QByteArray::number(mode);
        Timing::report(what.constData(),
                       Timing::timeRuns(kRuns, [&](int) { store.readRecords(fileOrder); store.setSortMode(mode); },
                                        [&store] { store.sortTasks(); }),
                       kGoalMs);
    }

    // The due moment of every task, as the scheduler works them out at each
    // wake-up, beside QDateTime(date, time) on the same local times: Qt's
    // reading, which misses a time the clocks skip and may take either
    // showing of one they show twice. Taken in turns, like the saves below.
    store.readRecords(fileOrder);
    std::vector<double> moments;
    std::vector<double> qtMoments;
    qint64 sink = 0;
    for (int i = 0; i < kRuns; ++i) {
        moments.push_back(Timing::timeRuns(1, {}, [&sink, &store] {
            for (const Task &t : store.tasks())
                sink += Rules::dueMoment(t).toSecsSinceEpoch();
        })[0]);
        qtMoments.push_back(Timing::timeRuns(1, {}, [&sink, &store] {
            for (const Task &t : store.tasks()) {
                const QDate date = Rules::dueDate(t).addDays(Calendar::carriedDays(t.hour, t.minute, t.second));
                sink += QDateTime(date, Calendar::makeTime(t.hour, t.minute, t.second)).toSecsSinceEpoch();
            }
        })[0]);
    }
    Timing::report("dueMoment of every task", moments, kGoalMs);
    Timing::inform("  QDateTime(date, time), the reference", qtMoments);
    if (sink == 42)
        std::printf("\n"); // keeps the sums from being optimised away

    store.readRecords(fileOrder);
    store.setSortMode(ByDue);
    // saveTasks is the text below, written to a temporary file, synced to the
    // disk and renamed over the store; the sync is most of its time.
    Timing::report("storeText (the file's bytes)", Timing::timeRuns(kRuns, {}, [&store] { store.storeText(); }), kGoalMs);

    // The same save with and without the look at the file, the lock and the
    // swap, on the disk and in memory (tmpfs), where syncing costs nothing
    // and the extra work stands alone.
    QTemporaryDir memory(QStringLiteral("/dev/shm/store_bench-XXXXXX"));
    compareSaves(store, "", !memory.isValid());
    if (memory.isValid()) {
        const QString disk = QDir::currentPath();
        QFile::copy(kStoreFileName, memory.filePath(kStoreFileName));
        QDir::setCurrent(memory.path());
        // A store of its own there: a store follows one file.
        TaskStore inMemory;
        compareSaves(inMemory, ", in memory", true);
        QDir::setCurrent(disk);
        store.loadTasks();
    }
    // The lock alone, taken and let go.
    Timing::inform("the lock alone", Timing::timeRuns(kRuns, {}, [] {
                       const StoreLock lock(QStringLiteral("."), StoreLock::Kind::Exclusive, 0);
                       if (!lock.held())
                           std::abort();
                   }));

    // A tenth of the tasks changed on each side: in the file the titles of
    // 100, here those of 100 others.
    if (!store.saveTasks().ok)
        std::abort();
    store.loadTasks();
    const QByteArray baseBytes = store.storeText();
    editTasks(store, 0, 100, QStringLiteral(" (there)"));
    const QByteArray theirBytes = store.storeText();
    const auto prepareMerge = [&](int) {
        writeAsAnotherProgram(baseBytes);
        store.loadTasks();
        writeAsAnotherProgram(theirBytes);
        editTasks(store, 500, 100, QStringLiteral(" (here)"));
    };
    // With the save's sync to the disk, which a save costs anyway.
    Timing::inform("saveTasks with a merge (all of it)", Timing::timeRuns(kRuns, prepareMerge, [&store, stored] {
                       const SaveResult saved = store.saveTasks();
                       if (!saved.ok || !saved.merged || store.taskCount() != stored)
                           std::abort();
                   }));
    // The merge itself: the file read into records, put together with the
    // tables and ordered; the rest of the above is an ordinary save.
    Records baseRecords;
    parseStore(baseBytes, baseRecords);
    Records ours;
    Timing::report("the merge (read, merge, order)", Timing::timeRuns(kRuns, [&](int i) {
                       prepareMerge(i);
                       ours = store.records();
                   }, [&] {
                       Records theirs;
                       parseStore(theirBytes, theirs);
                       MergeOutcome outcome = mergeRecords(baseRecords, ours, theirs);
                       sortTaskList(outcome.merged.tasks, store.sortMode());
                       if (outcome.merged.tasks.size() != std::size_t(stored))
                           std::abort();
                   }),
                   10.0);
    return 0;
}
