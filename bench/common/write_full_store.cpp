// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the benchmarks' full store (1001 tasks, 101 rules) as tasks.txt in
// the folder given, for trying the program or taking pictures with it.
#include "storegen.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_full_store FOLDER\n");
        return 2;
    }
    const QString failure = StoreGen::writeStore(QString::fromLocal8Bit(argv[1]));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    return 0;
}
