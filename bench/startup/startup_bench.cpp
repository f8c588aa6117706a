// SPDX-License-Identifier: GPL-3.0-or-later
// Start-to-rendered time and peak memory of `quorvi --screenshot` with a full
// store, beside a bare QTextBrowser program showing a page of the same size;
// then the start with one task whose title is 400,000 characters long,
// beside the same start with an ordinary title.
//
//   startup_bench [RUNS]      (default 15; runs alternate between the two)
#include "childrun.h"
#include "runtimefolder.h"
#include "storegen.h"
#include "timing.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Bench::runOnce;
using Bench::Sample;

// A folder holding a store of one task due today, under a popup rule.
bool writeOneTaskStore(const QString &folder, const QString &title)
{
    QDir().mkpath(folder);
    const QDate today = QDate::currentDate();
    const QString text = QStringLiteral("[Tasks]\r\nttl=%1\r\nfor=Me\r\nday=%2\r\nmon=%3\r\nyea=%4\r\n"
                                        "hou=9\r\nmin=0\r\nsec=0\r\ndes=\r\nact=addtask\r\n[Alerts]\r\n"
                                        "val=3\r\nunt=d\r\nclr=255\r\nalr=on\r\nact=addalert\r\n")
                             .arg(title)
                             .arg(today.day())
                             .arg(today.month())
                             .arg(today.year());
    QFile file(QDir(folder).filePath(QStringLiteral("tasks.txt")));
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    Bench::useRuntimeFolderIn(work.path());
    const QString runtime = work.filePath(QStringLiteral("runtime"));

    const QString failed = StoreGen::writeStore(work.path());
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failed));
        return 1;
    }

    const QByteArray folder = QFile::encodeName(work.path());
    const std::vector<QByteArray> quorvi = {QByteArrayLiteral(QUORVI_BINARY), "--screenshot", "quorvi.png"};
    // One run first: it writes the page the bare program then shows, and
    // both programs' files are in the page cache before timing starts.
    const Sample first = runOnce(quorvi, folder);
    const QString page = runtime + QStringLiteral("/quorvi/al.html");
    if (first.status != 0 || !QFileInfo::exists(page)) {
        std::fprintf(stderr, "quorvi --screenshot failed (status %d)\n", first.status);
        return 1;
    }
    const QString pageCopy = work.filePath(QStringLiteral("page.html"));
    QFile::copy(page, pageCopy);
    const std::vector<QByteArray> bare = {QByteArrayLiteral(BARE_BINARY), QFile::encodeName(pageCopy), "bare.png"};
    if (runOnce(bare, folder).status != 0) {
        std::fprintf(stderr, "bare_textbrowser failed\n");
        return 1;
    }

    std::vector<double> quorviTimes, bareTimes;
    std::vector<long> quorviPeaks, barePeaks;
    for (int i = 0; i < runs; ++i) {
        for (const bool isQuorvi : {true, false}) {
            const Sample s = runOnce(isQuorvi ? quorvi : bare, folder);
            if (s.status != 0) {
                std::fprintf(stderr, "a run failed (status %d)\n", s.status);
                return 1;
            }
            (isQuorvi ? quorviTimes : bareTimes).push_back(s.seconds);
            (isQuorvi ? quorviPeaks : barePeaks).push_back(s.peakKiB);
        }
    }

    const QByteArray pageBytes = [&] {
        QFile f(pageCopy);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const double qt = Timing::median(quorviTimes) * 1000;
    const double bt = Timing::median(bareTimes) * 1000;
    const double qm = Timing::median(quorviPeaks) / 1024.0;
    const double bm = Timing::median(barePeaks) / 1024.0;
    const double ratio = qt / bt;
    const double extra = qm - bm;

    std::printf("store: 1001 tasks, 101 rules; page %lld bytes, %lld tasks listed\n",
                static_cast<long long>(pageBytes.size()), static_cast<long long>(pageBytes.count("<table ")));
    std::printf("median of %d runs, start until the window is rendered to PNG (offscreen):\n", runs);
    std::printf("  quorvi --screenshot   %8.1f ms   peak RSS %7.1f MiB\n", qt, qm);
    std::printf("  bare QTextBrowser     %8.1f ms   peak RSS %7.1f MiB\n", bt, bm);
    std::printf("  time ratio %.2f (goal <= 1.30): %s\n", ratio, ratio <= 1.3 ? "met" : "NOT met");
    std::printf("  extra memory %.1f MiB (goal <= 10): %s\n", extra, extra <= 10 ? "met" : "NOT met");

    // An endless title must not hold the alert window back.
    const QString ordinaryFolder = work.filePath(QStringLiteral("ordinary"));
    const QString longFolder = work.filePath(QStringLiteral("long"));
    if (!writeOneTaskStore(ordinaryFolder, QStringLiteral("Pay the rent"))
        || !writeOneTaskStore(longFolder, QString(400000, QLatin1Char('x')))) {
        std::fprintf(stderr, "could not write the one-task stores\n");
        return 1;
    }
    const int titleRuns = std::max(1, runs / 3);
    std::vector<double> ordinaryTimes, longTimes;
    for (int i = 0; i < titleRuns; ++i) {
        for (const bool isLong : {false, true}) {
            const Sample s = runOnce(quorvi, QFile::encodeName(isLong ? longFolder : ordinaryFolder));
            if (s.status != 0) {
                std::fprintf(stderr, "a run failed (status %d)\n", s.status);
                return 1;
            }
            (isLong ? longTimes : ordinaryTimes).push_back(s.seconds);
        }
    }
    const double ordinary = Timing::median(ordinaryTimes) * 1000;
    const double longTitle = Timing::median(longTimes) * 1000;
    std::printf("median of %d runs, one task due today:\n", titleRuns);
    std::printf("  ordinary title           %8.1f ms\n", ordinary);
    std::printf("  400,000-character title  %8.1f ms\n", longTitle);
    std::printf("  extra time %.1f ms (goal <= 1000): %s\n", longTitle - ordinary,
                longTitle - ordinary <= 1000 ? "met" : "NOT met");
    return 0;
}
