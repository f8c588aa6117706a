// SPDX-License-Identifier: GPL-3.0-or-later
// The three-way merge of the tables with a file changed elsewhere, record by
// record, without any file: base, ours and theirs are plain lists here.
#include "merge.h"
#include "storesandbox.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace Module1;

namespace {

Task t(const QString &title, const QString &description = {})
{
    return TestData::task(title, QStringLiteral("Me"), 2030, 1, 2, 3, 4, 5, description);
}

QStringList titles(const std::vector<Task> &list)
{
    QStringList out;
    for (const Task &task : list)
        out << task.title;
    return out;
}

Records tasksOnly(std::initializer_list<Task> list)
{
    return {std::vector<Task>(list), {}};
}

const Task kAlpha = t(QStringLiteral("Alpha"));
const Task kBravo = t(QStringLiteral("Bravo"));
const Task kCharlie = t(QStringLiteral("Charlie"));
const Task kDelta = t(QStringLiteral("Delta"));
// Deletions, additions and edits on either side are met in test_sharedfile,
// with two real processes; here are the finer points.

} // namespace

class TestMerge : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sameTaskEditedOnBothSidesIsKeptTwice();
    void anEditOutlivesADeletionOnTheOtherSide();
    void identicalTasksAreCountedOneByOne();
    void deletingEveryCopyRemovesEveryCopy();
    void aChangeOfDoneOrRepeatAloneSurvivesAnOutsideChange();
    void commonRecordsAreCountedOneByOne();
    void derivedFieldsDoNotMakeATaskDifferent();
    void rulesMergeTheSameWay();
    void anAdditionFollowsTheRecordItFollowedHere();
    void identicalTasksKeepIdsOfTheirOwn();
    void anOlderFileMergesWithWhatOurSavesDid();
};

void TestMerge::sameTaskEditedOnBothSidesIsKeptTwice()
{
    const Task mine = t(QStringLiteral("Bravo"), QStringLiteral("my words"));
    const Task other = t(QStringLiteral("Bravo, renamed"));
    const Records base = tasksOnly({kAlpha, kBravo});
    const MergeOutcome out = mergeRecords(base, tasksOnly({kAlpha, mine}), tasksOnly({kAlpha, other}));
    QCOMPARE(out.merged.tasks.size(), std::size_t(3));
    QCOMPARE(out.tasksKeptTwice, 1);
    QVERIFY(std::any_of(out.merged.tasks.begin(), out.merged.tasks.end(), [&](const Task &x) { return sameStored(x, mine); }));
    QVERIFY(std::any_of(out.merged.tasks.begin(), out.merged.tasks.end(), [&](const Task &x) { return sameStored(x, other); }));
    QVERIFY(std::none_of(out.merged.tasks.begin(), out.merged.tasks.end(), [](const Task &x) { return sameStored(x, kBravo); }));
}

void TestMerge::anEditOutlivesADeletionOnTheOtherSide()
{
    const Task edited = t(QStringLiteral("Bravo"), QStringLiteral("still wanted"));
    const Records base = tasksOnly({kAlpha, kBravo});
    // Deleted here, edited there.
    MergeOutcome out = mergeRecords(base, tasksOnly({kAlpha}), tasksOnly({kAlpha, edited}));
    QCOMPARE(out.merged.tasks.size(), std::size_t(2));
    QVERIFY(sameStored(out.merged.tasks[1], edited));
    // Edited here, deleted there.
    out = mergeRecords(base, tasksOnly({kAlpha, edited}), tasksOnly({kAlpha}));
    QCOMPARE(out.merged.tasks.size(), std::size_t(2));
    QVERIFY(sameStored(out.merged.tasks[1], edited));
    // Nothing to choose between: no second version.
    QCOMPARE(out.tasksKeptTwice, 0);
}

void TestMerge::identicalTasksAreCountedOneByOne()
{
    const Task water = t(QStringLiteral("Water the plants"));
    const Records base = tasksOnly({water, water, kAlpha});
    // One of the two was deleted here; the other side added a third.
    const MergeOutcome out = mergeRecords(base, tasksOnly({water, kAlpha}), tasksOnly({water, water, kAlpha, water}));
    QCOMPARE(titles(out.merged.tasks).count(QStringLiteral("Water the plants")), 2);
    QCOMPARE(out.merged.tasks.size(), std::size_t(3));

    // An identical task added here beside the ones there is one more.
    const MergeOutcome more = mergeRecords(base, tasksOnly({water, water, water, kAlpha}), base);
    QCOMPARE(titles(more.merged.tasks).count(QStringLiteral("Water the plants")), 3);
}

void TestMerge::deletingEveryCopyRemovesEveryCopy()
{
    const Task water = t(QStringLiteral("Water the plants"));
    const Records base = tasksOnly({water, kAlpha, water});
    // Both copies deleted here; there a task was added.
    const MergeOutcome out = mergeRecords(base, tasksOnly({kAlpha}), tasksOnly({water, kAlpha, water, kBravo}));
    QCOMPARE(titles(out.merged.tasks), (QStringList{u"Alpha"_s, u"Bravo"_s}));
    // Three copies, all deleted here, while there one more was added: that
    // one is new, and stays.
    const Records three = tasksOnly({water, water, water});
    const MergeOutcome more = mergeRecords(three, tasksOnly({}), tasksOnly({water, water, water, water}));
    QCOMPARE(titles(more.merged.tasks), (QStringList{u"Water the plants"_s}));
}

void TestMerge::aChangeOfDoneOrRepeatAloneSurvivesAnOutsideChange()
{
    // The same task, apart from the moment it was done or how it repeats:
    // each is a change of its own, not the task as it was.
    const auto with = [](const QString &done, const QString &repeat) {
        Task task = kBravo;
        task.doneText = done;
        task.repeatText = repeat;
        deriveFields(task);
        return task;
    };
    const QList<std::pair<Task, Task>> changes = {
        {with({}, QStringLiteral("1w")), with({}, QStringLiteral("2w"))},
        {with({}, QStringLiteral("1m@31")), with({}, QStringLiteral("1m@30"))},
        {with({}, QStringLiteral("1d")), with({}, {})},
        {with(QStringLiteral("2027-03-07 09:05:00"), {}), with(QStringLiteral("2027-03-08 10:00:00"), {})},
    };
    for (const auto &[before, after] : changes) {
        const QByteArray what = QStringLiteral("%1/%2 -> %3/%4")
                                    .arg(before.repeatText, before.doneText, after.repeatText, after.doneText)
                                    .toUtf8();
        const Records base = tasksOnly({kAlpha, before});
        // Changed here; there another task was added.
        MergeOutcome out = mergeRecords(base, tasksOnly({kAlpha, after}), tasksOnly({kAlpha, before, kCharlie}));
        QVERIFY2(out.merged.tasks.size() == 3, what.constData());
        QVERIFY2(sameStored(out.merged.tasks[1], after), what.constData());
        QVERIFY2(out.tasksKeptTwice == 0, what.constData());
        // And the other way round.
        out = mergeRecords(base, tasksOnly({kAlpha, before, kCharlie}), tasksOnly({kAlpha, after}));
        QVERIFY2(out.merged.tasks.size() == 3, what.constData());
        const auto holds = [&out](const Task &task) {
            return std::any_of(out.merged.tasks.begin(), out.merged.tasks.end(),
                               [&task](const Task &x) { return sameStored(x, task); });
        };
        QVERIFY2(holds(after) && holds(kCharlie) && !holds(before), what.constData());
    }
}

void TestMerge::commonRecordsAreCountedOneByOne()
{
    const Task water = t(QStringLiteral("Water the plants"));
    const Records a{{water, kAlpha, water, water, kBravo}, {TestData::rule(7, 1), TestData::rule(1, 2)}};
    const Records b{{kCharlie, water, kBravo, water}, {TestData::rule(1, 2)}};
    const Records both = commonRecords(a, b);
    QCOMPARE(titles(both.tasks), (QStringList{u"Water the plants"_s, u"Water the plants"_s, u"Bravo"_s}));
    QCOMPARE(both.rules.size(), std::size_t(1));
    QVERIFY(sameStored(both.rules[0], TestData::rule(1, 2)));
    // A file written from an older version lacks what was added since: with
    // the common records as the base, that is no deletion.
    const MergeOutcome out = mergeRecords(commonRecords(tasksOnly({kAlpha, kBravo}), tasksOnly({kAlpha})),
                                          tasksOnly({kAlpha, kBravo, kCharlie}), tasksOnly({kAlpha, kDelta}));
    QCOMPARE(titles(out.merged.tasks), (QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s, u"Delta"_s}));
}

void TestMerge::derivedFieldsDoNotMakeATaskDifferent()
{
    // The tables' tasks carry derived text the file's may not (yet) have.
    Task plain = kBravo;
    plain.dueText.clear();
    plain.sortKey = QStringLiteral("stale");
    QVERIFY(sameStored(plain, kBravo));
    const MergeOutcome out = mergeRecords(tasksOnly({kAlpha, plain}), tasksOnly({kAlpha, kBravo}),
                                          tasksOnly({kAlpha, plain}));
    QCOMPARE(out.merged.tasks.size(), std::size_t(2));

    // Every stored field counts.
    Task later = kBravo;
    later.second = 6;
    QVERIFY(!sameStored(later, kBravo));
    Task other = kBravo;
    other.forWhom = QStringLiteral("You");
    QVERIFY(!sameStored(other, kBravo));
}

void TestMerge::rulesMergeTheSameWay()
{
    const AlertRule week = TestData::rule(7, 65280, true);
    const AlertRule day = TestData::rule(1, 255, true);
    const AlertRule month = TestData::rule(30, 16711680, false);
    const Records base{{}, {week, day}};
    // Here the week rule changed colour; there its popup went off and a
    // month rule came.
    AlertRule weekBlue = week;
    weekBlue.color = 16711680;
    AlertRule weekQuiet = week;
    weekQuiet.popup = false;
    const MergeOutcome out = mergeRecords(base, Records{{}, {weekBlue, day}}, Records{{}, {weekQuiet, day, month}});
    QCOMPARE(out.merged.rules.size(), std::size_t(4));
    QCOMPARE(out.rulesKeptTwice, 1);
    QCOMPARE(out.tasksKeptTwice, 0);
    // The changed rule keeps its place at the front.
    QVERIFY(sameStored(out.merged.rules[0], weekBlue));
    QVERIFY(sameStored(out.merged.rules[1], weekQuiet));
    QVERIFY(sameStored(out.merged.rules[2], day));
    QVERIFY(sameStored(out.merged.rules[3], month));

    // A unit is a stored field like any other.
    AlertRule weeks = week;
    weeks.unit = QStringLiteral("ww");
    QVERIFY(!sameStored(weeks, week));
}

void TestMerge::anAdditionFollowsTheRecordItFollowedHere()
{
    const Records base = tasksOnly({kAlpha, kBravo, kCharlie});
    // Here Delta was put after Bravo; there the order was reversed.
    const MergeOutcome out = mergeRecords(base, tasksOnly({kAlpha, kBravo, kDelta, kCharlie}),
                                          tasksOnly({kCharlie, kBravo, kAlpha}));
    QCOMPARE(titles(out.merged.tasks), (QStringList{u"Charlie"_s, u"Bravo"_s, u"Delta"_s, u"Alpha"_s}));
    // With nothing before it here, it goes first.
    const MergeOutcome first = mergeRecords(base, tasksOnly({kDelta, kAlpha, kBravo, kCharlie}), base);
    QCOMPARE(titles(first.merged.tasks), (QStringList{u"Delta"_s, u"Alpha"_s, u"Bravo"_s, u"Charlie"_s}));
}

void TestMerge::identicalTasksKeepIdsOfTheirOwn()
{
    // Three identical tasks are three tasks: each has an id of its own,
    // through a save, a reload and the removal of one of them.
    StoreSandbox box;
    const Task water = t(QStringLiteral("Water the plants"));
    for (const Task &task : {water, kAlpha, water, kBravo, water})
        TestData::addTask(task);
    std::vector<TaskId> waters;
    for (const Task &task : testStore().tasks()) {
        if (sameStored(task, water))
            waters.push_back(task.id);
    }
    QCOMPARE(waters.size(), std::size_t(3));
    QVERIFY(waters[0] != waters[1] && waters[1] != waters[2] && waters[0] != waters[2]);
    QVERIFY(testStore().saveTasks().ok);
    testStore().reloadInListOrder();
    QVERIFY(testStore().removeTask(waters[1]).ok());
    QCOMPARE(testStore().taskCount(), 4);
    QVERIFY(!testStore().find(waters[1]));
    QVERIFY(sameStored(*testStore().find(waters[0]), water));
    QVERIFY(sameStored(*testStore().find(waters[2]), water));
}

QTEST_GUILESS_MAIN(TestMerge)

void TestMerge::anOlderFileMergesWithWhatOurSavesDid()
{
    // We added a second Alpha; a file written from before that, with one
    // task of its own, takes neither Alpha away.
    Records ours = tasksOnly({kAlpha, kAlpha});
    Records theirs = tasksOnly({kAlpha, kDelta});
    Records base = unseenSaveBase(ours, tasksOnly({kAlpha}), theirs);
    QCOMPARE(titles(mergeRecords(base, ours, theirs).merged.tasks),
             (QStringList{u"Alpha"_s, u"Alpha"_s, u"Delta"_s}));

    // We deleted one of two Bravos; a file that saw that and added Delta
    // keeps the other Bravo.
    ours = tasksOnly({kAlpha, kBravo});
    theirs = tasksOnly({kAlpha, kBravo, kDelta});
    base = unseenSaveBase(ours, tasksOnly({kAlpha, kBravo, kBravo}), theirs);
    QCOMPARE(titles(mergeRecords(base, ours, theirs).merged.tasks),
             (QStringList{u"Alpha"_s, u"Bravo"_s, u"Delta"_s}));

    // A file from before our deletion of Charlie still holds it: deleted.
    ours = tasksOnly({kAlpha});
    theirs = tasksOnly({kAlpha, kCharlie, kDelta});
    base = unseenSaveBase(ours, tasksOnly({kAlpha, kCharlie}), theirs);
    QCOMPARE(titles(mergeRecords(base, ours, theirs).merged.tasks), (QStringList{u"Alpha"_s, u"Delta"_s}));

    // A task with an identity we renamed and an older file gave words:
    // both edits stay, in one task.
    Task earlier = kAlpha;
    earlier.uid = u"a-1"_s;
    Task renamed = earlier;
    renamed.title = u"Alpha, renamed"_s;
    Task described = earlier;
    described.description = u"with words"_s;
    ours = tasksOnly({renamed});
    theirs = tasksOnly({described});
    base = unseenSaveBase(ours, tasksOnly({earlier}), theirs);
    const MergeOutcome both = mergeRecords(base, ours, theirs);
    QCOMPARE(titles(both.merged.tasks), QStringList{u"Alpha, renamed"_s});
    QCOMPARE(both.merged.tasks.front().description, u"with words"_s);
}
#include "test_merge.moc"
