// SPDX-License-Identifier: GPL-3.0-or-later
// loadTasks, sortTasks in every mode and saveTasks on a full store.
#include "module1.h"
#include "storegen.h"
#include "timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

using namespace Module1;

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
    std::printf("store: %d tasks, %d rules, %lld bytes\n", int(kTaskSlots), int(kRuleSlots),
                QFileInfo(kStoreFileName).size());

    Timing::report("loadTasks", Timing::timeRuns(kRuns, {}, [] { loadTasks(); }), kGoalMs);

    // Each sort starts from the order of the file, as after a load.
    loadTasks();
    const auto fileOrder = tasks;
    for (const qint16 mode : {0, 1, 2, 10, 11, 12}) {
        const QByteArray what = "sortTasks, sortMode " + QByteArray::number(mode);
        Timing::report(what.constData(),
                       Timing::timeRuns(kRuns, [&](int) { tasks = fileOrder; sortMode = mode; }, [] { sortTasks(); }),
                       kGoalMs);
    }

    tasks = fileOrder;
    // saveTasks is the text below, written to a temporary file, synced to the
    // disk and renamed over the store; the sync is most of its time.
    Timing::report("storeText (the file's bytes)", Timing::timeRuns(kRuns, {}, [] { storeText(); }), kGoalMs);
    Timing::report("saveTasks", Timing::timeRuns(kRuns, {}, [] {
                       if (!saveTasks().ok)
                           std::abort();
                   }),
                   kGoalMs);
    return 0;
}
