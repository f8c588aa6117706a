// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesandbox.h"
#include "module1.h"
#include "ordering.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::addTask;
using TestData::task;

namespace {

// The exchange sort exactly as the list order is defined, on whole records,
// to check the fast version against.
// Each record's comparison text is taken once, so that a few thousand
// records are sorted the slow way in a moment.
void referenceSort(std::vector<Task> &v, int mode)
{
    const auto keyOf = [mode](const Task &t) {
        switch (mode % 10) {
        case 0: return mode < 10 ? t.title.toLower() : t.title;
        case 1: return mode < 10 ? t.forWhom.toLower() : t.forWhom;
        default: return t.sortKey;
        }
    };
    std::vector<std::pair<QString, Task>> keyed;
    for (const Task &t : v)
        keyed.emplace_back(keyOf(t), t);
    auto mustSwap = [mode](const QString &a, const QString &b) {
        switch (mode) {
        case 0: case 1: case 2: return a > b;
        case 10: case 11: case 12: return a < b;
        default: return false;
        }
    };
    const int n = int(v.size());
    for (int k = 0; k < n - 1; ++k)
        for (int i = k; i < n; ++i)
            if (mustSwap(keyed[k].first, keyed[i].first))
                std::swap(keyed[k], keyed[i]);
    for (int i = 0; i < n; ++i)
        v[i] = keyed[i].second;
}

// The same on bare numbers: where each index ends up.
std::vector<int> plainExchangeOrder(std::vector<int> key)
{
    const int n = int(key.size());
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i)
        order[i] = i;
    for (int k = 0; k < n - 1; ++k) {
        for (int i = k; i < n; ++i) {
            if (key[k] > key[i]) {
                std::swap(key[k], key[i]);
                std::swap(order[k], order[i]);
            }
        }
    }
    return order;
}

QStringList titles()
{
    QStringList out;
    for (int i = 0; i < testStore().taskCount(); ++i)
        out << testStore().tasks()[i].title;
    return out;
}

} // namespace

class TestOrdering : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Every case starts from empty tables in a folder of its own.
    void init() { m_box = std::make_unique<StoreSandbox>(); }
    void cleanup() { m_box.reset(); }
    void zeroOrOneTaskStays();
    void caseRules();
    void sameDayOrdersByTime();
    void unknownModeKeepsOrder();
    void namedOrdersDecodeToTheirColumn();
    void reloadAnnouncesOnceWithTheTableInOrder();
    void removeTaskClosesTheGapAndAnnounces();
    void matchesTheExchangeSortOnEqualKeys_data();
    void matchesTheExchangeSortOnEqualKeys();
    void exchangeOrderOfAnyKeys_data();
    void exchangeOrderOfAnyKeys();

    void headerClicksFollowTheOrderTable_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("next");
        const int table[6][4] = {
            {0, 10, 1, 2}, {1, 0, 11, 2}, {2, 0, 1, 12}, {10, 0, 11, 12}, {11, 10, 1, 12}, {12, 10, 11, 2},
        };
        const char *names[] = {"Title", "For", "Due"};
        for (const auto &row : table) {
            for (int column = 0; column < 3; ++column)
                QTest::addRow("%d, %s", row[0], names[column]) << row[0] << column << row[column + 1];
        }
    }

    void headerClicksFollowTheOrderTable()
    {
        QFETCH(int, current);
        QFETCH(int, column);
        QFETCH(int, next);
        QCOMPARE(nextSortMode(qint16(current), Column(column)), qint16(next));
    }

    void titleThreeTimesFromTheStart()
    {
        int mode = 2;
        QList<int> seen;
        for (int i = 0; i < 3; ++i) {
            mode = nextSortMode(qint16(mode), Column::Title);
            seen << mode;
        }
        QCOMPARE(seen, QList<int>({0, 10, 0}));
        QCOMPARE(nextSortMode(ByTitleReversed, Column::Due), qint16(ByDueReversed));
    }

    void unknownOrdersCountByTheirSide()
    {
        // 9 and above count as descending, anything below as ascending.
        QCOMPARE(nextSortMode(9, Column::Title), qint16(10));
        QCOMPARE(nextSortMode(5, Column::For), qint16(1));
        QCOMPARE(nextSortMode(-1, Column::Due), qint16(2));
        QCOMPARE(nextSortMode(40, Column::For), qint16(11));
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
};

void TestOrdering::zeroOrOneTaskStays()
{
    testStore().setSortMode(2);
    testStore().sortTasks();
    QCOMPARE(testStore().taskCount(), 0);
    addTask(task(QStringLiteral("only"), {}, 2020, 1, 1));
    testStore().sortTasks();
    QCOMPARE(titles(), QStringList{QStringLiteral("only")});
}

void TestOrdering::caseRules()
{
    addTask(task(QStringLiteral("Banana"), QStringLiteral("b"), 2020, 1, 1));
    addTask(task(QStringLiteral("apple"), QStringLiteral("A"), 2020, 1, 2));
    addTask(task(QStringLiteral("Cherry"), QStringLiteral("c"), 2020, 1, 3));
    testStore().setSortMode(0);
    testStore().sortTasks();
    QCOMPARE(titles(), (QStringList{u"apple"_s, u"Banana"_s, u"Cherry"_s}));
    // Descending compares character codes: lower case letters come above capitals.
    testStore().setSortMode(10);
    testStore().sortTasks();
    QCOMPARE(titles(), (QStringList{u"apple"_s, u"Cherry"_s, u"Banana"_s}));
    testStore().setSortMode(1);
    testStore().sortTasks();
    QCOMPARE(titles(), (QStringList{u"apple"_s, u"Banana"_s, u"Cherry"_s}));
    testStore().setSortMode(11);
    testStore().sortTasks();
    QCOMPARE(titles(), (QStringList{u"Cherry"_s, u"Banana"_s, u"apple"_s}));
    testStore().setSortMode(12);
    testStore().sortTasks();
    QCOMPARE(titles(), (QStringList{u"Cherry"_s, u"apple"_s, u"Banana"_s}));
}

void TestOrdering::sameDayOrdersByTime()
{
    addTask(task(QStringLiteral("c"), {}, 2020, 5, 5, 10, 0, 0));
    addTask(task(QStringLiteral("b"), {}, 2020, 5, 5, 9, 30, 1));
    addTask(task(QStringLiteral("a"), {}, 2020, 5, 5, 9, 30, 0));
    addTask(task(QStringLiteral("d"), {}, 2020, 5, 4, 23, 59, 59));
    testStore().setSortMode(2);
    testStore().sortTasks();
    QCOMPARE(titles(), (QStringList{u"d"_s, u"a"_s, u"b"_s, u"c"_s}));
}

void TestOrdering::unknownModeKeepsOrder()
{
    addTask(task(QStringLiteral("z"), {}, 2020, 1, 1));
    addTask(task(QStringLiteral("a"), {}, 2019, 1, 1));
    for (qint16 mode : {qint16(3), qint16(9), qint16(-1), qint16(13)}) {
        testStore().setSortMode(mode);
        testStore().sortTasks();
        QCOMPARE(titles(), (QStringList{u"z"_s, u"a"_s}));
    }
}

void TestOrdering::namedOrdersDecodeToTheirColumn()
{
    struct Expected {
        qint16 mode;
        Column column;
        bool reversed;
    };
    const Expected named[] = {{ByTitle, Column::Title, false}, {ByFor, Column::For, false},
                              {ByDue, Column::Due, false},     {ByTitleReversed, Column::Title, true},
                              {ByForReversed, Column::For, true}, {ByDueReversed, Column::Due, true}};
    for (const Expected &e : named) {
        Column column = Column::Title;
        bool reversed = !e.reversed;
        QVERIFY(decodeSortOrder(e.mode, &column, &reversed));
        QCOMPARE(column, e.column);
        QCOMPARE(reversed, e.reversed);
        QCOMPARE(sortOrder(e.column, e.reversed), e.mode);
    }
    // What the sort leaves alone names no order at all.
    for (qint16 mode : {qint16(-1), qint16(3), qint16(9), qint16(13), qint16(32767)}) {
        Column column;
        bool reversed;
        QVERIFY2(!decodeSortOrder(mode, &column, &reversed), qPrintable(QString::number(mode)));
    }
}

void TestOrdering::reloadAnnouncesOnceWithTheTableInOrder()
{
    addTask(task(QStringLiteral("later"), {}, 2030, 1, 1));
    addTask(task(QStringLiteral("sooner"), {}, 2020, 1, 1));
    QVERIFY(testStore().saveTasks().ok);
    testStore().setSortMode(ByDue);
    QStringList seen;
    QObject listener;
    connect(&testStore(), &Module1::TaskStore::changed, &listener, [&seen] { seen << titles().join(u','); });
    testStore().reloadInListOrder();
    // Whoever listens finds the rows in the list's order already.
    QCOMPARE(seen, QStringList{QStringLiteral("sooner,later")});
    // Ordering alone is the list's own business and announces nothing.
    testStore().setSortMode(ByDueReversed);
    testStore().sortTasks();
    QCOMPARE(seen.size(), 1);
}

void TestOrdering::removeTaskClosesTheGapAndAnnounces()
{
    for (const char *title : {"a", "b", "c"})
        addTask(task(QString::fromLatin1(title), {}, 2020, 1, 1));
    QSignalSpy changed(&testStore(), &Module1::TaskStore::changed);
    const TaskId c = testStore().tasks()[2].id;
    QVERIFY(testStore().removeTask(testStore().tasks()[1].id).ok());
    QCOMPARE(titles(), (QStringList{u"a"_s, u"c"_s}));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(testStore().slotOf(c), 1);
    // An id without a task removes nothing and announces nothing.
    for (const TaskId gone : {TaskId(0), TaskId(987654)})
        QVERIFY(testStore().removeTask(gone).ok());
    QCOMPARE(titles(), (QStringList{u"a"_s, u"c"_s}));
    QCOMPARE(changed.count(), 1);
}

void TestOrdering::matchesTheExchangeSortOnEqualKeys_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("count");
    // 3, 9 and -1 name no order: the table stays as it is.
    for (int count : {300, 2500}) {
        for (int mode : {0, 1, 2, 10, 11, 12, 3, 9, -1})
            QTest::addRow("mode %d, %d tasks", mode, count) << mode << count;
    }
}

void TestOrdering::matchesTheExchangeSortOnEqualKeys()
{
    QFETCH(int, mode);
    QFETCH(int, count);
    // Few distinct keys, so most records tie and the unstable order shows.
    QRandomGenerator rng(1234 + mode + count);
    const QStringList words{u"alpha"_s, u"Alpha"_s, u"ALPHA"_s, u"beta"_s, u"Beta"_s, u""_s, u"gamma"_s};
    std::vector<Task> expected;
    for (int i = 0; i < count; ++i) {
        Task t = task(words[rng.bounded(int(words.size()))] + QString(), words[rng.bounded(int(words.size()))],
                      2020, 1 + rng.bounded(2), 1, rng.bounded(2), 0, 0);
        t.description = QString::number(i); // identity
        expected.push_back(t);
    }
    TestData::setTables({expected.begin(), expected.end()});
    referenceSort(expected, mode);
    testStore().setSortMode(qint16(mode));
    testStore().sortTasks();
    for (int i = 0; i < testStore().taskCount(); ++i)
        QCOMPARE(testStore().tasks()[i].description, expected[i].description);
}

void TestOrdering::exchangeOrderOfAnyKeys_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("distinct");
    QTest::addColumn<int>("rounds");
    QTest::newRow("short lists, two keys") << 12 << 2 << 3000;
    QTest::newRow("short lists, five keys") << 30 << 5 << 2000;
    QTest::newRow("all different") << 40 << 40 << 500;
    QTest::newRow("long, few keys") << 3000 << 4 << 2;
    QTest::newRow("long, many keys") << 3000 << 300 << 2;
    QTest::newRow("descending runs") << 2000 << -1 << 1;
}

void TestOrdering::exchangeOrderOfAnyKeys()
{
    QFETCH(int, length);
    QFETCH(int, distinct);
    QFETCH(int, rounds);
    QRandomGenerator rng(length * 31 + distinct);
    for (int round = 0; round < rounds; ++round) {
        const int n = int(rng.bounded(length + 1));
        std::vector<int> key(n);
        for (int i = 0; i < n; ++i)
            key[i] = distinct > 0 ? int(rng.bounded(distinct)) : (n - i) / 7 % 50;
        // Ranks from 0 with none missing, as the sort hands them over.
        std::vector<int> used = key;
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());
        for (int &k : key)
            k = int(std::lower_bound(used.begin(), used.end(), k) - used.begin());
        QCOMPARE(exchangeSortOrder(key), plainExchangeOrder(key));
    }
}

QTEST_GUILESS_MAIN(TestOrdering)
#include "test_ordering.moc"
