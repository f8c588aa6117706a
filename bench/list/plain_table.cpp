// SPDX-License-Identifier: GPL-3.0-or-later
// The plain table's start, as `quorvi --show-all --screenshot` starts: read
// tasks.txt in the working folder, order it by due date, show the table and
// render it to a PNG.
//   plain_table OUT.png
#include "module1.h"
#include "plaintable.h"
#include "taskstore.h"

#include <QApplication>
#include <QImageWriter>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: plain_table OUT.png\n");
        return 2;
    }
    Module1::TaskStore store;
    store.loadTasks();
    store.setSortMode(Module1::ByDue);
    store.sortTasks();
    PlainTable table(store);
    table.setAttribute(Qt::WA_DontShowOnScreen, true);
    table.show();
    QCoreApplication::processEvents();
    QImageWriter writer(QString::fromLocal8Bit(argv[1]), "png");
    return writer.write(table.grab().toImage()) ? 0 : 1;
}
