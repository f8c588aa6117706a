// SPDX-License-Identifier: GPL-3.0-or-later
// A store of 10,000 tasks: read whole, ordered in every order exactly as the
// exchange sort orders it, and written back byte for byte.
#include "module1.h"
#include "taskstore.h"
#include "storesandbox.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Module1;
using TestData::StoredTask;
using TestData::storeBytes;

namespace {

constexpr int kMany = 10000;

// Few distinct titles, people and moments, so that most keys tie.
QList<StoredTask> manyTasks()
{
    QRandomGenerator rng(10000);
    const QByteArrayList titles{"Call", "call", "CALL", "Pay rent", "pay Rent", "", "Caf\xC3\xA9", "Zoo"};
    const QByteArrayList people{"Me", "me", "Boss", "", "Zo\xC3\xAB"};
    QList<StoredTask> out;
    for (int i = 0; i < kMany; ++i) {
        out.append(StoredTask{titles[rng.bounded(int(titles.size()))], people[rng.bounded(int(people.size()))],
                              1 + int(rng.bounded(3)), 6, 2030, 9, int(rng.bounded(2)) * 30, 0,
                              "#" + QByteArray::number(i) + (i % 7 ? "" : "|~second line")});
    }
    return out;
}

// The keys as the orders compare them, ranked, and then the exchange sort
// itself, step by step, on the ranks.
std::vector<int> exchangeSorted(const QList<StoredTask> &list, int mode)
{
    const int n = int(list.size());
    QStringList keys;
    for (const StoredTask &t : list) {
        const QString title = QString::fromUtf8(t.title);
        const QString forWhom = QString::fromUtf8(t.forWhom);
        const QString due = QStringLiteral("%1-%2 - %3 %4:%5:%6")
                                .arg(t.year, 4, 10, QLatin1Char('0'))
                                .arg(t.month, 2, 10, QLatin1Char('0'))
                                .arg(t.day, 2, 10, QLatin1Char('0'))
                                .arg(t.hour, 2, 10, QLatin1Char('0'))
                                .arg(t.minute, 2, 10, QLatin1Char('0'))
                                .arg(t.second, 2, 10, QLatin1Char('0'));
        switch (mode) {
        case 0: keys << title.toLower(); break;
        case 1: keys << forWhom.toLower(); break;
        case 10: keys << title; break;
        case 11: keys << forWhom; break;
        default: keys << due; break;
        }
    }
    QStringList distinct = keys;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<int> rank(n);
    for (int i = 0; i < n; ++i)
        rank[i] = int(std::lower_bound(distinct.begin(), distinct.end(), keys[i]) - distinct.begin());
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i)
        order[i] = i;
    const bool known = mode == 0 || mode == 1 || mode == 2 || mode == 10 || mode == 11 || mode == 12;
    for (int k = 0; k < n - 1 && known; ++k) {
        for (int i = k; i < n; ++i) {
            if (mode < 10 ? rank[k] > rank[i] : rank[k] < rank[i]) {
                std::swap(rank[k], rank[i]);
                std::swap(order[k], order[i]);
            }
        }
    }
    return order;
}

} // namespace

class TestManyTasks : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_box = std::make_unique<StoreSandbox>(); }
    void cleanup() { m_box.reset(); }

    void readAndWrittenByteForByte()
    {
        const QByteArray bytes = storeBytes(manyTasks(), TestData::ruleBytes(3, "d", 255, true));
        StoreSandbox::write(bytes);
        TaskStore &store = testStore();
        const LoadReport report = store.loadTasks();
        QVERIFY2(report.problems.isEmpty(), qPrintable(report.problems.join(u'\n')));
        QCOMPARE(store.taskCount(), kMany);
        QCOMPARE(store.tasks()[kMany - 1].description, QStringLiteral("#9999"));
        QCOMPARE(store.tasks()[7].description, QStringLiteral("#7\r\nsecond line"));
        QCOMPARE(store.storeText(), bytes);
        // A change is written where the task is, the rest as it was.
        Records records = store.records();
        records.tasks[9000].title = QStringLiteral("changed");
        store.setTables(records.tasks, records.rules);
        QVERIFY(store.saveTasks().ok);
        QList<StoredTask> changed = manyTasks();
        changed[9000].title = "changed";
        QCOMPARE(StoreSandbox::read(), storeBytes(changed, TestData::ruleBytes(3, "d", 255, true)));
    }

    void sortedInEveryOrderAsTheExchangeSortDoes_data()
    {
        QTest::addColumn<int>("mode");
        for (int mode : {0, 1, 2, 10, 11, 12, 7})
            QTest::addRow("mode %d", mode) << mode;
    }

    void sortedInEveryOrderAsTheExchangeSortDoes()
    {
        QFETCH(int, mode);
        const QList<StoredTask> list = manyTasks();
        StoreSandbox::write(storeBytes(list));
        TaskStore &store = testStore();
        store.loadTasks();
        store.setSortMode(qint16(mode));
        store.sortTasks();
        const std::vector<int> expected = exchangeSorted(list, mode);
        for (int p = 0; p < kMany; ++p)
            QCOMPARE(store.tasks()[p].description.section(u'\r', 0, 0), QStringLiteral("#%1").arg(expected[p]));
        // Saved in that order, byte for byte.
        QVERIFY(store.saveTasks().ok);
        QList<StoredTask> inOrder;
        for (const int i : expected)
            inOrder.append(list[i]);
        QCOMPARE(StoreSandbox::read(), storeBytes(inOrder));
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
};

QTEST_GUILESS_MAIN(TestManyTasks)
#include "test_manytasks.moc"
