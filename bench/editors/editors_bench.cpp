// SPDX-License-Identifier: GPL-3.0-or-later
// Times the editors' Ok and Cancel with a full store (1001 tasks, 101 rules):
// the task editor's Ok is save, reload, sort and, with the main window
// listening, the redraw of every row; the rules dialog's Ok is a save.
// Usage: editors_bench [runs]
#include "appearance.h"
#include "frmalerts.h"
#include "frmmain.h"
#include "frmtask.h"
#include "module1.h"
#include "storegen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "timing.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using Timing::report;

namespace {

// Events queued by opening and typing are handled before the clock starts.
std::vector<double> timeRuns(int runs, const std::function<void(int)> &prepare, const std::function<void()> &action)
{
    return Timing::timeRuns(runs, [&](int i) {
        prepare(i);
        QApplication::processEvents();
    }, action);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Appearance::applyAppearance(app);

    int runs = 15;
    if (argc > 1 && QByteArray(argv[1]).toInt() > 0)
        runs = QByteArray(argv[1]).toInt();

    QTemporaryDir dir;
    const QString failed = StoreGen::writeStore(dir.path());
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failed));
        return 1;
    }
    QDir::setCurrent(dir.path());
    Module1::TaskStore store;
    Modal::Seam seam;
    const Context context{store, seam};
    store.loadTasks();
    store.setSortMode(Module1::ByDue);
    store.sortTasks();
    std::printf("tasks %d, rules %d, store %lld bytes, platform %s\n", store.taskCount(),
                store.ruleCount(), QFileInfo(Module1::kStoreFileName).size(),
                qPrintable(QGuiApplication::platformName()));

    FrmTask editor(context);
    auto *title = editor.findChild<QLineEdit *>(QStringLiteral("txtTitle"));
    auto *ok = editor.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *cancel = editor.findChild<QPushButton *>(QStringLiteral("Command2"));
    const auto openAndType = [&](int i) {
        editor.prepare(1 + (i * 97) % store.taskCount());
        editor.show();
        title->setText(title->text() + QLatin1Char('x'));
    };

    report("task Ok (save, reload, sort)", timeRuns(runs, openAndType, [&] { ok->click(); }), 80);
    report("task Cancel (the copy thrown away)", timeRuns(runs, openAndType, [&] { cancel->click(); }), 80);

    // The whole road: the main window redraws its list on every change the
    // store announces.
    FrmMain window(context);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.drawList();
    report("task Ok + drawList + repaint", timeRuns(runs, openAndType, [&] {
               ok->click();
               window.repaint();
           }),
           80);

    FrmAlerts rulesDialog(context);
    auto *interval = rulesDialog.findChild<QLineEdit *>(QStringLiteral("txtInterval"));
    auto *rulesOk = rulesDialog.findChild<QPushButton *>(QStringLiteral("cmdOk"));
    auto *rulesCancel = rulesDialog.findChild<QPushButton *>(QStringLiteral("cmdCancel"));
    const auto openRules = [&](int i) {
        rulesDialog.prepare();
        rulesDialog.drawAlert(i % store.ruleCount());
        rulesDialog.show();
        interval->setText(QString::number(i));
    };
    report("rules Ok (save) + drawList + repaint", timeRuns(runs, openRules, [&] {
               rulesOk->click();
               window.repaint();
           }),
           80);
    report("rules Cancel (the copy thrown away)", timeRuns(runs, openRules, [&] {
               rulesCancel->click();
               window.repaint();
           }),
           80);
    return 0;
}
