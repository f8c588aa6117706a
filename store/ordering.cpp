// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"
#include "ordering.h"

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

// Counts which of the places 0..n-1 are taken, and finds the k-th taken
// one, each in O(log n) (a Fenwick tree).
class Places
{
public:
    Places(int n, bool allTaken) : m_tree(n + 1, 0)
    {
        if (!allTaken)
            return;
        for (int i = 1; i <= n; ++i) {
            m_tree[i] += 1;
            const int up = i + (i & -i);
            if (up <= n)
                m_tree[up] += m_tree[i];
        }
    }
    void add(int place, int delta)
    {
        for (int i = place + 1; i < int(m_tree.size()); i += i & -i)
            m_tree[i] += delta;
    }
    // Taken places below `place`.
    int takenBefore(int place) const
    {
        int sum = 0;
        for (int i = place; i > 0; i -= i & -i)
            sum += m_tree[i];
        return sum;
    }
    // The taken place with k taken places below it.
    int kth(int k) const
    {
        const int n = int(m_tree.size()) - 1;
        int place = 0;
        int step = 1;
        while (step * 2 <= n)
            step *= 2;
        for (; step > 0; step /= 2) {
            if (place + step <= n && m_tree[place + step] <= k) {
                place += step;
                k -= m_tree[place];
            }
        }
        return place;
    }

private:
    std::vector<int> m_tree;
};

} // namespace

// The order is that of a plain exchange sort: for each position k, every
// later record that must come before it is swapped in. Equal keys are never
// swapped, but the sort is not stable, and files saved in this order must
// stay as they were, so the result has to match it exactly. Running it costs
// n*n/2 steps, too many for a long list; its result is worked out instead.
//
// One pass of the exchange sort carries a running minimum along: each record
// lower than all before it takes the place of the one before it in that
// chain, and the last (the lowest, the first of its key) goes to the front.
// Keys above a value v never change the order in which the records of v and
// below meet, so the records of one key v see only those below it. Among
// them, whenever a record of v is first, it moves to the place of the first
// lower record: the records of v ahead of that lower one rotate by one. So,
// taking the records of v in file order, each followed by c lower records
// before the next record of v: append it, then rotate all taken so far by c.
// The rotations are undone backwards, the final places kept in a Fenwick
// tree, and the whole costs O(n log n).
std::vector<int> exchangeSortOrder(const std::vector<int> &key)
{
    const int n = int(key.size());
    const int keys = n == 0 ? 0 : *std::max_element(key.begin(), key.end()) + 1;
    // The places of each key's records, in file order.
    std::vector<int> start(keys + 1, 0);
    for (const int k : key)
        ++start[k + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<int> placesOf(n);
    {
        std::vector<int> next(start.begin(), start.end() - 1);
        for (int i = 0; i < n; ++i)
            placesOf[next[key[i]]++] = i;
    }

    std::vector<int> order(n);
    Places lower(n, false);
    int lowerCount = 0;
    for (int v = 0; v < keys; ++v) {
        const int first = start[v];
        const int g = start[v + 1] - first;
        if (g == 0)
            continue;
        const int *places = &placesOf[first];
        Places unclaimed(g, true);
        // The rotated group's start, as a rank among the unclaimed places.
        int head = 0;
        for (int j = g; j >= 1; --j) {
            const int place = places[j - 1];
            const int following = (j < g ? lower.takenBefore(places[j]) : lowerCount) - lower.takenBefore(place + 1);
            head = ((head - following % j) % j + j) % j;
            const int slot = unclaimed.kth((head - 1 + j) % j);
            unclaimed.add(slot, -1);
            if (head > 0)
                --head;
            order[first + slot] = place;
        }
        for (int j = 0; j < g; ++j)
            lower.add(places[j], 1);
        lowerCount += g;
    }
    return order;
}

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

    // Rank the distinct keys by plain UTF-16 code comparison, the first
    // record to come out ranked lowest in either direction.
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
    if (reversed) {
        for (int &k : rank)
            k = r - k;
    }

    const std::vector<int> order = exchangeSortOrder(rank);
    std::vector<Task> sorted(n);
    for (int p = 0; p < n; ++p)
        sorted[p] = std::move(list[order[p]]);
    std::move(sorted.begin(), sorted.end(), list.begin());
    doneLast();
}

} // namespace Module1
