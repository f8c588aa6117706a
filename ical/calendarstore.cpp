// SPDX-License-Identifier: GPL-3.0-or-later
// Export and import on a store, and the command line's --export and --import.
#include "taskcalendar.h"

#include "components.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace TaskCalendar {

namespace {

QString countOf(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString listed(const QString &heading, const QStringList &lines)
{
    if (lines.isEmpty())
        return {};
    return QStringLiteral("\n\n") + heading + QStringLiteral("\n- ") + lines.join(QStringLiteral("\n- "));
}

QString shown(const QString &file)
{
    return QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
}

KeptCalendars keptForStore(QStringList *notes)
{
    KeptCalendars kept(KeptCalendars::fileFor(QDir::currentPath()));
    QString error;
    if (!kept.load(&error)) {
        *notes << QStringLiteral("The calendar texts kept from earlier trips could not be read (%1); what Quorvi "
                                 "does not show of each task was not carried along this time.")
                      .arg(error);
    }
    return kept;
}

void saveKept(const KeptCalendars &kept, QStringList *notes)
{
    QString error;
    if (!kept.save(&error)) {
        *notes << QStringLiteral("The calendar texts for the next trip could not be kept (%1).").arg(error);
    }
}

// The notices a save brings (a backup kept, a merge), as lines.
void noteSave(const Module1::SaveResult &saved, QStringList *notes)
{
    if (!saved.message.isEmpty())
        *notes << saved.message;
    if (!saved.notice.isEmpty())
        *notes << saved.notice;
}

} // namespace

Outcome exportStore(Module1::TaskStore &store, const QString &file, const QDateTime &now)
{
    using namespace Module1;
    QStringList notes;
    // The identities are saved before they go out, so that the file names
    // every task the way tasks.txt does; a save merged with a change made
    // elsewhere may bring tasks that need one too.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<Task> list(store.tasks().begin(), store.tasks().end());
        bool assigned = false;
        for (Task &task : list) {
            if (task.uid.isEmpty()) {
                task.uid = newUid();
                assigned = true;
            }
        }
        if (!assigned)
            break;
        const SaveResult saved = store.commitTaskList(std::move(list)).save;
        if (!saved.ok)
            return {false, saved.message};
        noteSave(saved, &notes);
        if (!saved.merged)
            break;
    }
    KeptCalendars kept = keptForStore(&notes);
    std::vector<Task> list(store.tasks().begin(), store.tasks().end());
    const Exported exported = exportTasks(list, kept, now);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(exported.file) < 0 || !out.commit())
        return {false, QStringLiteral("Could not write %1: %2").arg(shown(file), out.errorString())};
    saveKept(kept, &notes);
    return {true, QStringLiteral("Exported %1 to %2.").arg(countOf(exported.written, "task", "tasks"), shown(file))
                      + listed(QStringLiteral("Not exported:"), exported.problems) + listed(QStringLiteral("Also:"), notes)};
}

Outcome importStore(Module1::TaskStore &store, const QString &file, const QDateTime &now)
{
    using namespace Module1;
    const QFileInfo info(file);
    QFile in(file);
    if (info.exists() && !info.isFile())
        return {false, QStringLiteral("Could not read %1: it is not a regular file.").arg(shown(file))};
    if (info.size() > IcalKit::kLargestFile) {
        return {false, QStringLiteral("%1 is not a task list Quorvi can read: it is larger than %2 MB. Nothing "
                                      "was imported.")
                           .arg(shown(file))
                           .arg(IcalKit::kLargestFileMiB)};
    }
    if (!in.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("Could not read %1: %2").arg(shown(file), in.errorString())};
    const QByteArray bytes = in.read(IcalKit::kLargestFile + 1);

    QStringList notes;
    KeptCalendars kept = keptForStore(&notes);
    std::vector<Task> list(store.tasks().begin(), store.tasks().end());
    const Imported imported = importTasks(list, bytes, kept, now, kTaskSlots);
    if (!imported.refusal.isEmpty()) {
        return {false, QStringLiteral("%1 is not an iCalendar file Quorvi can read: %2. Nothing was imported.")
                           .arg(shown(file), imported.refusal)};
    }
    if (imported.added + imported.updated > 0) {
        const SaveResult saved = store.commitTaskList(std::move(list)).save;
        if (!saved.ok)
            return {false, saved.message};
        noteSave(saved, &notes);
    }
    saveKept(kept, &notes);
    QString summary = QStringLiteral("Imported from %1: %2 added, %3 updated")
                          .arg(shown(file))
                          .arg(imported.added)
                          .arg(imported.updated);
    if (imported.unchanged > 0)
        summary += QStringLiteral(", %1 already up to date").arg(imported.unchanged);
    summary += QStringLiteral(", %1 skipped.").arg(imported.skipped.size());
    return {true, summary + listed(QStringLiteral("Skipped:"), imported.skipped)
                      + listed(QStringLiteral("Read with care:"), imported.notes) + listed(QStringLiteral("Also:"), notes)};
}

int runCommand(bool importing, const QString &file)
{
    Module1::TaskStore store;
    const Module1::LoadReport report = store.loadTasks();
    if (report.unreadable) {
        std::fprintf(stderr, "quorvi: %s\n", qPrintable(report.problems.value(0)));
        return 1;
    }
    if (!report.problems.isEmpty()) {
        std::fprintf(stderr, "quorvi: some of %s could not be read as it stands:\n%s\n",
                     qPrintable(Module1::kStoreFileName), qPrintable(Module1::describeProblems(report)));
    }
    const QDateTime now = QDateTime::currentDateTime();
    const Outcome outcome = importing ? importStore(store, file, now) : exportStore(store, file, now);
    if (!outcome.ok) {
        std::fprintf(stderr, "quorvi: %s\n", qPrintable(outcome.message));
        return 1;
    }
    std::printf("%s\n", qPrintable(outcome.message));
    return 0;
}

} // namespace TaskCalendar
