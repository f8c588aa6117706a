// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"

#include <QList>

#include <algorithm>
#include <numeric>
#include <vector>

namespace Module1 {

namespace {

// The comparison text of one task: ascending orders ignore case, reversed
// ones compare the text as it stands.
QString keyFor(const Task &t, Column column, bool reversed)
{
    switch (column) {
    case Column::Title: return reversed ? t.title : t.title.toLower();
    case Column::For: return reversed ? t.forWhom : t.forWhom.toLower();
    case Column::Due: return t.sortKey;
    }
    return {};
}

} // namespace

// The order is that of a plain exchange sort: for each position k, every later
// record that must come before it is swapped in. Equal keys are never swapped,
// but the sort is not stable, and files saved in this order must stay as they
// were, so the result has to match it exactly. To keep it fast the keys are
// ranked once and the exchange sort runs on integer ranks and record indices.
void sortTaskList(std::span<Task> list, qint16 mode)
{
    const int n = int(list.size());
    Column column = Column::Due;
    bool reversed = false;
    // Done tasks after the rest, each part keeping the order it gets below
    // (an order no header gives keeps the table's): the list hides them at
    // its end, and shows them there when asked.
    const auto doneLast = [list] {
        std::stable_partition(list.begin(), list.end(), [](const Task &t) { return !t.done; });
    };
    if (n < 2 || !decodeSortOrder(mode, &column, &reversed)) {
        doneLast();
        return;
    }

    std::vector<QString> keys(n);
    for (int i = 0; i < n; ++i)
        keys[i] = keyFor(list[i], column, reversed);

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
            const bool swap = reversed ? pr[k] < pr[i] : pr[k] > pr[i];
            if (swap) {
                std::swap(pr[k], pr[i]);
                std::swap(order[k], order[i]);
            }
        }
    }

    std::vector<Task> sorted(n);
    for (int p = 0; p < n; ++p)
        sorted[p] = std::move(list[order[p]]);
    std::move(sorted.begin(), sorted.end(), list.begin());
    doneLast();
}

} // namespace Module1
