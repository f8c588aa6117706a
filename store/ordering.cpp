// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"

#include <QList>

#include <algorithm>
#include <numeric>
#include <vector>

namespace Module1 {

namespace {

// The comparison text of one task in the given mode, or a null string when
// the mode keeps the current order.
QString keyFor(const Task &t, int mode)
{
    switch (mode) {
    case 0: return t.title.toLower();
    case 1: return t.forWhom.toLower();
    case 2: case 12: return t.sortKey;
    case 10: return t.title;
    case 11: return t.forWhom;
    default: return {};
    }
}

} // namespace

// The order is that of a plain exchange sort: for each position k, every later
// record that must come before it is swapped in. Equal keys are never swapped,
// but the sort is not stable, and files saved in this order must stay as they
// were, so the result has to match it exactly. To keep it fast the keys are
// ranked once and the exchange sort runs on integer ranks and record indices.
void sortTasks()
{
    const int n = taskCount;
    const int mode = sortMode;
    const bool ascending = mode == 0 || mode == 1 || mode == 2;
    const bool descending = mode == 10 || mode == 11 || mode == 12;
    if (n < 2 || (!ascending && !descending))
        return;

    std::vector<QString> keys(n);
    for (int i = 0; i < n; ++i)
        keys[i] = keyFor(tasks[i], mode);

    // Rank the distinct keys by plain UTF-16 code comparison.
    std::vector<int> byKey(n);
    std::iota(byKey.begin(), byKey.end(), 0);
    std::sort(byKey.begin(), byKey.end(), [&keys](int a, int b) {
        return QStringView(keys[a]).compare(QStringView(keys[b]), Qt::CaseSensitive) < 0;
    });
    std::vector<int> rank(n);
    int r = 0;
    for (int j = 0; j < n; ++j) {
        if (j > 0 && keys[byKey[j]] != keys[byKey[j - 1]])
            ++r;
        rank[byKey[j]] = r;
    }

    // order[p] is the original slot now at position p.
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::vector<int> pr(rank); // rank at each position
    for (int k = 0; k < n - 1; ++k) {
        for (int i = k; i < n; ++i) {
            const bool swap = ascending ? pr[k] > pr[i] : pr[k] < pr[i];
            if (swap) {
                std::swap(pr[k], pr[i]);
                std::swap(order[k], order[i]);
            }
        }
    }

    std::vector<Task> sorted(n);
    for (int p = 0; p < n; ++p)
        sorted[p] = std::move(tasks[order[p]]);
    std::move(sorted.begin(), sorted.end(), tasks.begin());
}

LoadReport reloadInListOrder()
{
    LoadReport report = loadTasks();
    sortTasks();
    return report;
}

} // namespace Module1
