// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const auto report = Module1::loadTasks();
    Module1::sortMode = 2;
    Module1::sortTasks();
    for (const QString &p : report.problems)
        std::fprintf(stderr, "%s\n", qPrintable(p));
    std::printf("%d tasks, %d rules\n", Module1::taskCount, Module1::ruleCount);
    for (int i = 0; i < Module1::taskCount; ++i)
        std::printf("%s  %s\n", qPrintable(Module1::tasks[i].dueText), qPrintable(Module1::tasks[i].title));
    return 0;
}
