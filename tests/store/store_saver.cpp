// SPDX-License-Identifier: GPL-3.0-or-later
// Saves the two generations of a full store in turn, for ever, until killed.
#include "saverstore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (int generation = 0;; generation = 1 - generation) {
        // A store of its own each time, as a program that starts, saves
        // and is gone.
        Module1::TaskStore store;
        SaverStore::fill(store, generation);
        const Module1::SaveResult result = store.saveTasks();
        if (!result.ok) {
            std::fprintf(stderr, "%s\n", qPrintable(result.message));
            return 1;
        }
        // Announce the first save, so the test knows a file exists.
        static bool announced = false;
        if (!announced) {
            std::printf("saved\n");
            std::fflush(stdout);
            announced = true;
        }
    }
}
