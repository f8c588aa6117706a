// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the benchmarks' store (1001 tasks and 101 rules unless told how
// many tasks) as tasks.txt in the folder given, for trying the program or
// taking pictures with it.
#include "storegen.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    StoreGen::Options options;
    if (argc == 3)
        options.tasks = QByteArray(argv[2]).toInt();
    if (argc < 2 || argc > 3 || options.tasks < 1) {
        std::fprintf(stderr, "usage: write_full_store FOLDER [TASKS]\n");
        return 2;
    }
    const QString failure = StoreGen::writeStore(QString::fromLocal8Bit(argv[1]), options);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    return 0;
}
