// SPDX-License-Identifier: GPL-3.0-or-later
// The store as an object: stores that share nothing, ids that follow their
// tasks through sorts, reloads and merges, and the commits that are the one
// door for a change.
#include "merge.h"
#include "module1.h"
#include "storesandbox.h"
#include "taskstore.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Module1;
using TestData::StoredTask;
using TestData::storeBytes;

namespace {

const StoredTask kDentist{"Dentist", "Me", 7, 3, 2027, 9, 5, 0, "Bring|~card"};
const StoredTask kReport{"Report", "Boss", 1, 1, 2027, 17, 30, 15, ""};
const StoredTask kAlpha{"Alpha", "Zed", 3, 5, 2027, 8, 0, 0, ""};

// The titles in the store's order.
QStringList titles(const TaskStore &store)
{
    QStringList out;
    for (const Task &t : store.tasks())
        out << t.title;
    return out;
}

TaskId idOf(const TaskStore &store, const QString &title)
{
    for (const Task &t : store.tasks()) {
        if (t.title == title)
            return t.id;
    }
    return 0;
}

// Rewrites tasks.txt as another program would.
void writeElsewhere(const QByteArray &bytes)
{
    QFile file(kStoreFileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestTaskStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<StoreSandbox>();
        StoreSandbox::write(storeBytes({kDentist, kReport, kAlpha}, TestData::ruleBytes(3, "d", 255, true)));
    }
    void cleanup() { m_box.reset(); }

    void twoStoresShareNothing()
    {
        TaskStore first;
        TaskStore second;
        QSignalSpy firstChanged(&first, &TaskStore::changed);
        QSignalSpy secondChanged(&second, &TaskStore::changed);
        QCOMPARE(first.loadTasks().problems, QStringList());
        QCOMPARE(first.taskCount(), 3);
        QCOMPARE(second.taskCount(), 0);
        QVERIFY(!second.loaded());

        first.setSortMode(ByTitle);
        Task added = TestData::task(QStringLiteral("Added"), QStringLiteral("Me"), 2027, 6, 1);
        QVERIFY(first.commitTask(0, added).ok());
        QCOMPARE(first.taskCount(), 4);
        QCOMPARE(second.taskCount(), 0);
        QCOMPARE(second.sortMode(), qint16(0));
        QVERIFY(secondChanged.isEmpty());
        QVERIFY(!firstChanged.isEmpty());

        // The second reads what the first wrote, and its own save merges
        // rather than overwrites what the first wrote after it read.
        QCOMPARE(second.loadTasks().problems, QStringList());
        QCOMPARE(second.taskCount(), 4);
        QVERIFY(first.removeTask(idOf(first, QStringLiteral("Dentist"))).ok());
        QVERIFY(second.storeChangedElsewhere());
        QVERIFY(!first.storeChangedElsewhere());
        const Commit commit = second.commitTask(0, TestData::task(QStringLiteral("Second's"), {}, 2027, 7, 1));
        QVERIFY(commit.ok());
        QVERIFY(commit.save.merged);
        QCOMPARE(second.taskCount(), 4); // Dentist gone, Second's added
        QVERIFY(!titles(second).contains(QStringLiteral("Dentist")));
        QCOMPARE(first.taskCount(), 3); // untouched until it reads again
    }

    void idsFollowTheirTasksThroughSortsReloadsAndMerges()
    {
        TaskStore store;
        store.loadTasks();
        const TaskId dentist = idOf(store, QStringLiteral("Dentist"));
        const TaskId report = idOf(store, QStringLiteral("Report"));
        QVERIFY(dentist != 0 && report != 0 && dentist != report);

        for (const qint16 mode : {ByTitle, ByDueReversed, ByFor}) {
            store.setSortMode(mode);
            store.sortTasks();
            QCOMPARE(store.find(dentist)->title, QStringLiteral("Dentist"));
        }
        store.reloadInListOrder();
        QCOMPARE(idOf(store, QStringLiteral("Dentist")), dentist);

        // Another program edits one task: the others keep their ids, the
        // edited one is another record now.
        writeElsewhere(storeBytes({StoredTask{"Dentist (moved)", "Me", 8, 3, 2027, 9, 5, 0, "Bring|~card"}, kReport,
                                   kAlpha}));
        QVERIFY(store.storeChangedElsewhere());
        store.reloadInListOrder();
        QCOMPARE(idOf(store, QStringLiteral("Report")), report);
        QVERIFY(!store.find(dentist));

        // A save that merges with a change made elsewhere: the tasks it
        // keeps keep their ids.
        QByteArray bytes = StoreSandbox::read();
        bytes.replace("ttl=Alpha", "ttl=Alpha (theirs)");
        writeElsewhere(bytes);
        const Commit merged = store.markDone(report, QDateTime(QDate(2027, 1, 2), QTime(8, 0)));
        QVERIFY(merged.ok());
        QVERIFY(merged.save.merged);
        QVERIFY(titles(store).contains(QStringLiteral("Alpha (theirs)")));
        QVERIFY(store.find(report));
        QVERIFY(store.find(report)->done);
    }

    void aTaskWithAUidKeepsItsIdThroughAnEditElsewhere()
    {
        TaskStore store;
        store.loadTasks();
        Task withUid = *store.find(idOf(store, QStringLiteral("Report")));
        withUid.uid = QStringLiteral("2f1c6b1e-4c36-4f0e-9a55-0c7d2f6f9e01");
        QVERIFY(store.commitTask(withUid.id, withUid).ok());
        const TaskId id = idOf(store, QStringLiteral("Report"));
        QCOMPARE(id, withUid.id);

        QByteArray bytes = StoreSandbox::read();
        bytes.replace("ttl=Report", "ttl=Report (renamed)");
        writeElsewhere(bytes);
        store.reloadInListOrder();
        QCOMPARE(store.find(id)->title, QStringLiteral("Report (renamed)"));
    }

    void aCommitThatCannotBeSavedLeavesTheTablesAsTheyWere()
    {
        TaskStore store;
        store.loadTasks();
        const QByteArray before = store.storeText();
        QFile::setPermissions(kStoreFileName, QFileDevice::ReadOwner);
        if (!TaskStore::storeReadOnly())
            QSKIP("the file stays writable here");
        QSignalSpy changed(&store, &TaskStore::changed);
        const TaskId id = idOf(store, QStringLiteral("Dentist"));
        Task edited = *store.find(id);
        edited.title = QStringLiteral("Edited");
        const Commit commit = store.commitTask(id, edited);
        QVERIFY(!commit.ok());
        QVERIFY(commit.save.message.contains(QStringLiteral("read-only")));
        QVERIFY(!store.commitTask(0, edited).ok());
        QVERIFY(!store.commitRules({TestData::rule(9, 9)}).ok());
        QCOMPARE(store.storeText(), before);
        QVERIFY(changed.isEmpty());
        QFile::setPermissions(kStoreFileName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void aCommitOnARecordChangedSinceKeepsBothChanges()
    {
        TaskStore store;
        store.loadTasks();
        const TaskId id = idOf(store, QStringLiteral("Alpha"));
        const Task original = *store.find(id);

        // Marked done here (a reminder's Done) while an editor held a copy.
        QVERIFY(store.markDone(id, QDateTime(QDate(2027, 1, 2), QTime(8, 0))).ok());
        Task edited = original;
        edited.title = QStringLiteral("Alpha (edited)");
        const Commit commit = store.commitTask(id, edited, &original);
        QVERIFY(commit.ok());
        QCOMPARE(commit.save.tasksKeptTwice, 1);
        const QStringList shown = titles(store);
        QVERIFY(shown.contains(QStringLiteral("Alpha")));
        QVERIFY(shown.contains(QStringLiteral("Alpha (edited)")));
        QCOMPARE(store.taskCount(), 4);

        // Unchanged since: the edit simply takes the record's place.
        const TaskId report = idOf(store, QStringLiteral("Report"));
        const Task was = *store.find(report);
        Task renamed = was;
        renamed.title = QStringLiteral("Report (renamed)");
        QVERIFY(store.commitTask(report, renamed, &was).ok());
        QCOMPARE(store.taskCount(), 4);
        QCOMPARE(store.find(report)->title, QStringLiteral("Report (renamed)"));

        // Deleted since: the edit outlives the deletion.
        QVERIFY(store.removeTask(report).ok());
        QVERIFY(store.commitTask(report, renamed, &was).ok());
        QVERIFY(titles(store).contains(QStringLiteral("Report (renamed)")));
    }

    void rulesCommittedOverRulesChangedSinceAreMerged()
    {
        TaskStore store;
        store.loadTasks();
        const std::vector<AlertRule> original(store.rules().begin(), store.rules().end());
        // Another program adds a rule; the store follows it.
        QByteArray bytes = StoreSandbox::read();
        bytes.replace("[Alerts]\r\n\r\n", QByteArray("[Alerts]\r\n\r\n" + TestData::ruleBytes(9, "w", 65280, false)));
        writeElsewhere(bytes);
        store.reloadInListOrder();
        QCOMPARE(store.ruleCount(), 2);

        std::vector<AlertRule> edited = original;
        edited[0].color = 16711680;
        QVERIFY(store.commitRules(edited, &original).ok());
        QCOMPARE(store.ruleCount(), 2);
        QVERIFY(std::any_of(store.rules().begin(), store.rules().end(),
                            [](const AlertRule &r) { return r.color == 16711680; }));
        QVERIFY(std::any_of(store.rules().begin(), store.rules().end(),
                            [](const AlertRule &r) { return r.color == 65280; }));
        TaskStore reader;
        reader.loadTasks();
        QCOMPARE(reader.ruleCount(), 2);
    }

    void aFileWrittenFromBeforeOurSavesTakesNothingAway()
    {
        // Another program, one that takes no lock, reads the file...
        TaskStore store;
        store.loadTasks();
        // ...this store saves several changes, each read back...
        QVERIFY(store.commitTask(0, TestData::task(QStringLiteral("Added 1"), {}, 2027, 6, 1)).ok());
        QVERIFY(store.commitTask(0, TestData::task(QStringLiteral("Added 2"), {}, 2027, 6, 2)).ok());
        Task alpha = *store.find(idOf(store, QStringLiteral("Alpha")));
        alpha.title = QStringLiteral("Alpha renamed");
        QVERIFY(store.commitTask(alpha.id, alpha).ok());
        QVERIFY(store.removeTask(idOf(store, QStringLiteral("Report"))).ok());
        // ...and the other puts in place what it read, with a task added and
        // one deleted, just before this store saves again.
        const StoredTask added{"Theirs", "", 1, 1, 2028, 0, 0, 0, ""};
        const QByteArray theirs = storeBytes({kReport, kAlpha, added}, TestData::ruleBytes(3, "d", 255, true));
        writeElsewhere(theirs);
        QVERIFY(store.commitTask(0, TestData::task(QStringLiteral("Added 3"), {}, 2027, 6, 3)).ok());

        TaskStore reader;
        reader.loadTasks();
        QStringList shown = titles(reader);
        shown.sort();
        QCOMPARE(shown, (QStringList{QStringLiteral("Added 1"), QStringLiteral("Added 2"), QStringLiteral("Added 3"),
                                     QStringLiteral("Alpha renamed"), QStringLiteral("Theirs")}));
    }

    void aDeletionElsewhereOnceOurSaveWasSeenIsKept()
    {
        // This store saves and goes quiet (a Quorvi in the tray): long
        // enough for any program that read before that save to be done.
        TaskStore quiet;
        quiet.setRaceWindow(0);
        quiet.loadTasks();
        QVERIFY(quiet.commitTask(0, TestData::task(QStringLiteral("Added"), {}, 2027, 6, 1)).ok());
        QVERIFY(quiet.markDone(idOf(quiet, QStringLiteral("Alpha")), QDateTime(QDate(2027, 1, 2), QTime(8, 0))).ok());
        // Another Quorvi, which saw that save, deletes what it added and
        // marks its Done undone.
        TaskStore other;
        other.loadTasks();
        QVERIFY(other.removeTask(idOf(other, QStringLiteral("Added"))).ok());
        QVERIFY(other.markDone(idOf(other, QStringLiteral("Alpha")), {}).ok());
        // The quiet one's next save takes both as they are now.
        QVERIFY(quiet.commitTask(0, TestData::task(QStringLiteral("Later"), {}, 2027, 6, 2)).ok());
        TaskStore reader;
        reader.loadTasks();
        QStringList shown = titles(reader);
        shown.sort();
        QCOMPARE(shown, (QStringList{QStringLiteral("Alpha"), QStringLiteral("Dentist"), QStringLiteral("Later"),
                                     QStringLiteral("Report")}));
        QVERIFY(!reader.find(idOf(reader, QStringLiteral("Alpha")))->done);
    }

    void aStoreReadsOnlyWhenAsked()
    {
        TaskStore store;
        QCOMPARE(store.loadCount(), 0);
        store.loadTasks();
        store.sortTasks();
        store.setSortMode(ByTitle);
        store.sortTasks();
        QCOMPARE(store.loadCount(), 1);
        // A commit reads its own save back, once.
        Task t = *store.find(idOf(store, QStringLiteral("Alpha")));
        t.title = QStringLiteral("Alpha 2");
        QVERIFY(store.commitTask(t.id, t).ok());
        QCOMPARE(store.loadCount(), 2);
        // Rules are saved as they stand, and a deletion as the tables hold it.
        QVERIFY(store.commitRules({TestData::rule(1, 2)}).ok());
        QVERIFY(store.removeTask(t.id).ok());
        QCOMPARE(store.loadCount(), 2);
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
};

QTEST_GUILESS_MAIN(TestTaskStore)
#include "test_taskstore.moc"
