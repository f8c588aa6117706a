// SPDX-License-Identifier: GPL-3.0-or-later
// Times the task list with a full store (1001 tasks, 101 rules) in the real
// window: a whole redraw, one click on a row, and a click on a header button.
// Usage: mainwindow_bench [runs] [--grab file.png]
#include "appearance.h"
#include "frmmain.h"
#include "listcell.h"
#include "module1.h"
#include "storegen.h"
#include "storewatcher.h"
#include "timing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// Each run starts from a drawn window, as after a real click.
std::vector<double> timeRuns(int runs, const std::function<void(int)> &action)
{
    int run = 0;
    return Timing::timeRuns(runs, [&](int i) { run = i; QApplication::processEvents(); }, [&] { action(run); });
}


} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Appearance::applyAppearance(app);

    int runs = 15;
    QString grab;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--grab") && i + 1 < args.size())
            grab = args[++i];
        else if (args[i].toInt() > 0)
            runs = args[i].toInt();
    }

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Module1::TaskStore store;
    Modal::Seam seam;
    StoreGen::fill(store);
    store.setSortMode(Module1::ByDue);

    FrmMain window(Context{store, seam});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    QElapsedTimer first;
    first.start();
    window.drawList();
    const double firstMs = double(first.nsecsElapsed()) / 1e6;
    QApplication::processEvents();

    std::printf("tasks %d, rules %d, rows %d, platform %s\n", store.taskCount(), store.ruleCount(),
                window.rowCount(), qPrintable(QGuiApplication::platformName()));
    std::printf("%-40s %7.2f ms (creates every cell)\n", "first drawList", firstMs);

    Timing::report("drawList", timeRuns(runs, [&](int) { window.drawList(); }), 60);
    Timing::inform("repaint alone", timeRuns(runs, [&](int) { window.repaint(); }));
    Timing::report("drawList + repaint", timeRuns(runs, [&](int) {
               window.drawList();
               window.repaint();
           }),
           60);

    // A click on a row: the press selects it, the old selection goes back.
    const int rows[] = {3, 500, 998, 12, 731};
    Timing::report("highlight (mouse press on a row)", timeRuns(runs, [&](int i) {
               QTest::mousePress(window.lblTitle()[rows[i % 5]], Qt::LeftButton);
               QTest::mouseRelease(window.lblTitle()[rows[i % 5]], Qt::LeftButton);
           }),
           20);
    Timing::report("highlight (call)", timeRuns(runs, [&](int i) { window.highlight(rows[(i + 2) % 5]); }), 20);

    // A header click re-sorts the whole table before redrawing.
    const QString headers[] = {QStringLiteral("cmdTitle"), QStringLiteral("cmdFor"), QStringLiteral("cmdDue")};
    // Every row shows another task afterwards, so every cell changes.
    Timing::inform("header click (sort + drawList)", timeRuns(runs, [&](int i) {
               QTest::mouseClick(window.findChild<QPushButton *>(headers[i % 3]), Qt::LeftButton);
           }));
    Timing::inform("header click + repaint", timeRuns(runs, [&](int i) {
               QTest::mouseClick(window.findChild<QPushButton *>(headers[i % 3]), Qt::LeftButton);
               window.repaint();
           }));

    // What a deletion does: all rows go, then the list is drawn again.
    Timing::report("cleanList + drawList + repaint", timeRuns(runs, [&](int) {
               window.cleanList();
               window.drawList();
               window.repaint();
           }),
           60);

    // Dragging the window's edge: every row follows the new columns.
    Timing::report("resize + repaint", timeRuns(runs, [&](int i) {
               window.resize(window.width() + (i % 2 ? -40 : 40), window.height() + (i % 2 ? -30 : 30));
               QApplication::processEvents();
               window.repaint();
           }),
           60);

    // Another program changed a tenth of the tasks: the list reads the file
    // again and is redrawn, the selected task kept. The file is written in
    // turns in two versions, so each run meets a change. The watcher is not
    // left to do it by itself: the time counted starts when it would.
    store.follow(false);
    if (!store.saveTasks().ok)
        return 1;
    window.formLoad();
    const QByteArray before = store.storeText();
    std::vector<Module1::Task> changed(store.tasks().begin(), store.tasks().end());
    for (int i = 0; i < 100; ++i)
        changed[std::size_t(i) * 10].title += QStringLiteral(" (changed elsewhere)");
    const QByteArray after = Module1::storeText(changed, store.rules());
    window.formLoad();
    window.highlight(500);
    Timing::report("reload after a change elsewhere + repaint", Timing::timeRuns(runs, [&](int i) {
               QFile file(Module1::kStoreFileName);
               if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.write(i % 2 ? before : after))
                   std::abort();
               file.close();
               QApplication::processEvents();
           }, [&] {
               const int follows = window.follows();
               window.followStoreFile();
               window.repaint();
               if (window.follows() != follows + 1 || window.selectedRow() < 1)
                   std::abort();
           }),
           60);

    if (!grab.isEmpty()) {
        store.setSortMode(Module1::ByDue);
        window.drawList();
        window.highlight(4);
        window.grab().save(grab);
        std::printf("window saved to %s\n", qPrintable(grab));
    }
    return 0;
}
