// SPDX-License-Identifier: GPL-3.0-or-later
// A task's lasting identity: its uid= line, and the merge that takes two
// records with one identity for one task.
#include "merge.h"
#include "module1.h"
#include "storesandbox.h"

#include <QTest>

#include <memory>

using namespace Module1;
using TestData::StoredTask;
using TestData::storeBytes;

namespace {

Task task(const QString &title, const QString &uid = {}, const QString &description = QStringLiteral("d"))
{
    Task t = TestData::task(title, QStringLiteral("Me"), 2027, 3, 7, 9, 5, 0, description);
    t.uid = uid;
    return t;
}

Records tasksOnly(std::vector<Task> list)
{
    return {std::move(list), {}};
}

const QString kUid = QStringLiteral("2f1c6b1e-4c36-4f0e-9a55-0c7d2f6f9e01");

} // namespace

class TestIdentity : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_box = std::make_unique<StoreSandbox>(); }
    void cleanup() { m_box.reset(); }

    void theLineComesLastInItsRecordAndOnlyWhenSet()
    {
        const QByteArray plain = storeBytes({StoredTask{"Plain", "Me", 7, 3, 2027, 9, 5, 0, "a|~b"}});
        StoreSandbox::write(plain);
        QVERIFY(testStore().loadTasks().problems.isEmpty());
        QCOMPARE(testStore().storeText(), plain); // a store without it stays byte for byte

        TestData::editTask(0, [&](Module1::Task &edited) { edited.uid = kUid; });
        TestData::editTask(0, [&](Module1::Task &edited) { edited.repeatText = QStringLiteral("1w"); });
        QVERIFY(testStore().saveTasks().ok);
        const QByteArray bytes = StoreSandbox::read();
        QVERIFY2(bytes.contains(QByteArray("des=a|~b\r\nrep=1w\r\nuid=" + kUid.toLatin1() + "\r\nact=addtask\r\n")), bytes.constData());
        QVERIFY(testStore().loadTasks().problems.isEmpty());
        QCOMPARE(testStore().tasks()[0].uid, kUid);
    }

    void theIdentityDoesNotCarryOver()
    {
        // Two tasks with one identity would be one task to other programs.
        StoreSandbox::write("ttl=First\r\nuid=" + kUid.toLatin1() + "\r\nact=addtask\r\nttl=Second\r\nact=addtask\r\n");
        testStore().loadTasks();
        QCOMPARE(testStore().taskCount(), 2);
        QCOMPARE(testStore().tasks()[0].uid, kUid);
        QVERIFY(testStore().tasks()[1].uid.isEmpty());
    }

    void editsToDifferentFieldsOfOneTaskBothSurvive()
    {
        const Task was = task(QStringLiteral("Report"), kUid);
        Task mine = was;
        mine.title = QStringLiteral("Quarterly report");
        Task theirs = was;
        theirs.description = QStringLiteral("with figures");
        theirs.day = 9;
        deriveFields(theirs);
        const MergeOutcome out = mergeRecords(tasksOnly({was}), tasksOnly({mine}), tasksOnly({theirs}));
        QCOMPARE(out.merged.tasks.size(), std::size_t(1));
        QCOMPARE(out.tasksKeptTwice, 0);
        const Task &merged = out.merged.tasks[0];
        QCOMPARE(merged.title, mine.title);
        QCOMPARE(merged.description, theirs.description);
        QCOMPARE(int(merged.day), 9);
        QCOMPARE(merged.uid, kUid);
        QCOMPARE(merged.sortKey, QStringLiteral("2027-03 - 09 09:05:00"));
    }

    void oneFieldChangedBothWaysKeepsBothVersions()
    {
        const Task was = task(QStringLiteral("Report"), kUid);
        Task mine = was;
        mine.title = QStringLiteral("Mine");
        mine.forWhom = QStringLiteral("Finance");
        Task theirs = was;
        theirs.title = QStringLiteral("Theirs");
        const MergeOutcome out = mergeRecords(tasksOnly({was}), tasksOnly({mine}), tasksOnly({theirs}));
        QCOMPARE(out.merged.tasks.size(), std::size_t(2));
        QCOMPARE(out.tasksKeptTwice, 1);
        // Ours keeps the identity, with their changes to other fields; theirs
        // stays beside it as a task of its own.
        const auto withUid = std::count_if(out.merged.tasks.begin(), out.merged.tasks.end(),
                                           [](const Task &t) { return t.uid == kUid; });
        QCOMPARE(withUid, 1);
        for (const Task &t : out.merged.tasks) {
            if (t.uid == kUid)
                QCOMPARE(t.title, QStringLiteral("Mine"));
            else
                QCOMPARE(t.title, QStringLiteral("Theirs"));
        }
    }

    void anExportHereAndAnEditThereMakeOneTask()
    {
        // Here the task only received its identity; there it was edited.
        const Task was = task(QStringLiteral("Report"));
        const Task exported = task(QStringLiteral("Report"), kUid);
        const Task edited = task(QStringLiteral("Report"), {}, QStringLiteral("new words"));
        MergeOutcome out = mergeRecords(tasksOnly({was}), tasksOnly({exported}), tasksOnly({edited}));
        QCOMPARE(out.merged.tasks.size(), std::size_t(1));
        QCOMPARE(out.merged.tasks[0].description, QStringLiteral("new words"));
        QCOMPARE(out.merged.tasks[0].uid, kUid);
        // And the other way round, the other side untouched.
        out = mergeRecords(tasksOnly({was}), tasksOnly({was}), tasksOnly({exported}));
        QCOMPARE(out.merged.tasks.size(), std::size_t(1));
        QCOMPARE(out.merged.tasks[0].uid, kUid);
        // Exported on both sides, each with an identity of its own: still one task.
        const Task elsewhere = task(QStringLiteral("Report"), QStringLiteral("other-uid"));
        out = mergeRecords(tasksOnly({was}), tasksOnly({exported}), tasksOnly({elsewhere}));
        QCOMPARE(out.merged.tasks.size(), std::size_t(1));
        QCOMPARE(out.tasksKeptTwice, 0);
    }

    void oneTaskImportedOnBothSidesIsOneTask()
    {
        const Task imported = task(QStringLiteral("From the phone"), kUid);
        const Task other = task(QStringLiteral("Other"));
        MergeOutcome out = mergeRecords(tasksOnly({other}), tasksOnly({other, imported}), tasksOnly({other, imported}));
        QCOMPARE(out.merged.tasks.size(), std::size_t(2));
        // Different versions without a common base: both stay, one identity.
        Task changed = imported;
        changed.title = QStringLiteral("From the phone, changed");
        out = mergeRecords(tasksOnly({other}), tasksOnly({other, imported}), tasksOnly({other, changed}));
        QCOMPARE(out.merged.tasks.size(), std::size_t(3));
        QCOMPARE(std::count_if(out.merged.tasks.begin(), out.merged.tasks.end(), [](const Task &t) { return t.uid == kUid; }), 1);
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "test_identity.moc"
