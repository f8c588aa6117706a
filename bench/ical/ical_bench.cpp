// SPDX-License-Identifier: GPL-3.0-or-later
// Export and import of 10,000 tasks. The store holds at most 1001, so the
// mapping is timed on a list of 10,000 directly (what exportStore and
// importStore do besides is saving tasks.txt, timed in store_bench); a full
// store goes through exportStore and importStore as well. The yardstick:
// libical alone reading the exported file and writing it back, the least
// any mapping through libical can cost.
#include "module1.h"
#include "storegen.h"
#include "taskcalendar.h"
#include "timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <libical/ical.h>

#include <cstdio>
#include <cstdlib>

using namespace Module1;

namespace {

constexpr int kTasks = 10000;

// Ten generated stores one after the other, some tasks done, some repeating.
std::vector<Task> tenThousandTasks()
{
    std::vector<Task> list;
    for (quint32 seed = 1; int(list.size()) < kTasks; ++seed) {
        StoreGen::Options options;
        options.seed = seed;
        TaskStore store;
        StoreGen::fill(store, options);
        for (const Task &t : store.tasks())
            list.push_back(t);
    }
    list.resize(kTasks);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i % 7 == 0)
            list[i].repeatText = i % 2 ? QStringLiteral("1w") : QStringLiteral("1m@%1").arg(list[i].day);
        else if (i % 11 == 0)
            list[i].doneText = QStringLiteral("2026-11-30 08:15:00");
        deriveFields(list[i]);
    }
    return list;
}

void libicalAlone(const QByteArray &file)
{
    icalcomponent *root = icalparser_parse_string(file.constData());
    char *text = icalcomponent_as_ical_string_r(root);
    icalmemory_free_buffer(text);
    icalcomponent_free(root);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("TZ", "Europe/Berlin");
    QCoreApplication app(argc, argv);
    constexpr int kRuns = 7;
    constexpr double kGoalMs = 1000.0;
    const QDateTime now = QDateTime::currentDateTime();

    std::vector<Task> tasks = tenThousandTasks();
    KeptCalendars kept;
    const TaskCalendar::Exported first = TaskCalendar::exportTasks(tasks, kept, now);
    if (first.written != kTasks)
        std::abort();
    std::printf("%d tasks, %lld bytes of iCalendar\n", kTasks, first.file.size());

    Timing::inform("libical alone: read and write the file", Timing::timeRuns(kRuns, {}, [&] { libicalAlone(first.file); }));
    Timing::report("export, first time (no kept texts)",
                   Timing::timeRuns(kRuns, [&](int) { kept = KeptCalendars(); },
                                    [&] { TaskCalendar::exportTasks(tasks, kept, now); }),
                   kGoalMs);
    Timing::report("export onto the kept texts", Timing::timeRuns(kRuns, {}, [&] { TaskCalendar::exportTasks(tasks, kept, now); }),
                   kGoalMs);
    std::vector<Task> into;
    Timing::report("import into an empty list",
                   Timing::timeRuns(kRuns, [&](int) { into.clear(); kept = KeptCalendars(); },
                                    [&] {
                                        if (TaskCalendar::importTasks(into, first.file, kept, now, kTasks).added != kTasks)
                                            std::abort();
                                    }),
                   kGoalMs);
    Timing::report("import over the same tasks (by UID)",
                   Timing::timeRuns(kRuns, {}, [&] { TaskCalendar::importTasks(into, first.file, kept, now, kTasks); }),
                   kGoalMs);
    const QByteArray keptText = kept.text();
    Timing::inform("kept texts read back", Timing::timeRuns(kRuns, {}, [&] { KeptCalendars k; k.readText(keptText); }));

    // A full store through the store's own entry points.
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    if (!StoreGen::writeStore(dir.path()).isEmpty())
        std::abort();
    QDir::setCurrent(dir.path());
    TaskStore store;
    store.loadTasks();
    const QString file = dir.filePath(QStringLiteral("full.ics"));
    Timing::report("exportStore, full store (1001 tasks)",
                   Timing::timeRuns(kRuns, {}, [&] {
                       if (!TaskCalendar::exportStore(store, file, now).ok)
                           std::abort();
                   }),
                   kGoalMs);
    Timing::report("importStore of it, full store",
                   Timing::timeRuns(kRuns, {}, [&] {
                       if (!TaskCalendar::importStore(store, file, now).ok)
                           std::abort();
                   }),
                   kGoalMs);
    return 0;
}
