// SPDX-License-Identifier: GPL-3.0-or-later
// tasks.txt shared with a second Quorvi (a real second process), a sync tool
// or a text editor: no confirmed change may be lost on either side.
#include "merge.h"
#include "storepeer.h"
#include "storesandbox.h"

#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <memory>
#include <vector>
#include <sys/stat.h>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::StoredTask;

namespace {

StoredTask stored(const QByteArray &title, int day = 1)
{
    StoredTask t;
    t.title = title;
    t.forWhom = "Me";
    t.day = day;
    t.month = 3;
    t.year = 2030;
    t.hour = 9;
    return t;
}

QStringList titlesInFile()
{
    QStringList out;
    for (const QByteArray &line : StoreSandbox::read().split('\n')) {
        if (line.startsWith("ttl="))
            out << QString::fromUtf8(line.mid(4).trimmed());
    }
    out.sort();
    return out;
}

QStringList titlesInTables()
{
    QStringList out;
    for (const Task &t : testStore().tasks())
        out << t.title;
    return out;
}

// Replaces the file the way editors and sync tools do: a new file renamed
// over the old one.
void replaceByRename(const QByteArray &bytes)
{
    StoreSandbox::write(bytes, QStringLiteral("tasks.txt.new"));
    QCOMPARE(std::rename("tasks.txt.new", "tasks.txt"), 0);
}

const QByteArray kThree = TestData::storeBytes({stored("Alpha", 1), stored("Bravo", 2), stored("Charlie", 3)});

} // namespace

class TestSharedFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void twoProcessesDeleteAndAdd();
    void twoProcessesEditDifferentTasks();
    void twoProcessesEditTheSameTask();
    void aMergeRedrawsAndOrdersTheTables();
    void anOwnSaveIsNotAChangeElsewhere();
    void sameBytesAreNoChange();
    void aVanishedFileIsWrittenAnew();
    void aFileThatAppearedIsMergedWith();
    void aFailedSaveAfterAMergeCanBeRetried();
    void aMergeKeepsAProblemFileAsTheBackup();
    void fourQuorvisSavingAtOnceLoseNothing();
    void aWriterWithoutALockLosesNothingToASave();
    void aHungHolderIsNamedAndTheChangeKept();
};

void TestSharedFile::twoProcessesDeleteAndAdd()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    StorePeer a;
    StorePeer b;
    QVERIFY(a.started() && b.started());
    QCOMPARE(a.ask(u"load"_s), QStringLiteral("loaded 3"));
    QCOMPARE(b.ask(u"load"_s), QStringLiteral("loaded 3"));

    QCOMPARE(a.ask(u"delete Bravo"_s), QStringLiteral("deleted"));
    QCOMPARE(a.ask(u"save"_s), QStringLiteral("saved"));
    QCOMPARE(b.ask(u"add Delta"_s), QStringLiteral("added"));
    QVERIFY(b.ask(u"save"_s).startsWith(QStringLiteral("merged: tasks.txt was changed elsewhere; your change was merged with it")));
    QCOMPARE(titlesInFile(), (QStringList{u"Alpha"_s, u"Charlie"_s, u"Delta"_s}));
    // B holds what it wrote: Bravo is not back.
    QCOMPARE(b.ask(u"count"_s), QStringLiteral("3"));

    QCOMPARE(a.ask(u"delete Charlie"_s), QStringLiteral("deleted"));
    QVERIFY(a.ask(u"save"_s).startsWith(QStringLiteral("merged: ")));
    QCOMPARE(titlesInFile(), (QStringList{u"Alpha"_s, u"Delta"_s}));
    QCOMPARE(a.ask(u"count"_s), QStringLiteral("2"));
}

void TestSharedFile::twoProcessesEditDifferentTasks()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    StorePeer a;
    StorePeer b;
    QCOMPARE(a.ask(u"load"_s), QStringLiteral("loaded 3"));
    QCOMPARE(b.ask(u"load"_s), QStringLiteral("loaded 3"));
    QCOMPARE(a.ask(u"edit Alpha title=Alpha, edited by A"_s), QStringLiteral("edited"));
    QCOMPARE(a.ask(u"save"_s), QStringLiteral("saved"));
    QCOMPARE(b.ask(u"edit Charlie description=notes by B"_s), QStringLiteral("edited"));
    const QString answer = b.ask(u"save"_s);
    QVERIFY2(answer.startsWith(QStringLiteral("merged: ")), qPrintable(answer));
    QVERIFY2(!answer.contains(QStringLiteral("both versions")), qPrintable(answer));
    QCOMPARE(titlesInFile(), (QStringList{u"Alpha, edited by A"_s, u"Bravo"_s, u"Charlie"_s}));
    QVERIFY(StoreSandbox::read().contains("des=notes by B\r\n"));
}

void TestSharedFile::twoProcessesEditTheSameTask()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    StorePeer a;
    StorePeer b;
    QCOMPARE(a.ask(u"load"_s), QStringLiteral("loaded 3"));
    QCOMPARE(b.ask(u"load"_s), QStringLiteral("loaded 3"));
    QCOMPARE(a.ask(u"edit Bravo title=Bravo by A"_s), QStringLiteral("edited"));
    QCOMPARE(a.ask(u"save"_s), QStringLiteral("saved"));
    QCOMPARE(b.ask(u"edit Bravo for=B's team"_s), QStringLiteral("edited"));
    const QString answer = b.ask(u"save"_s);
    QVERIFY2(answer.contains(QStringLiteral("both versions of 1 task were kept")), qPrintable(answer));
    // Both versions, and not the one they came from.
    QCOMPARE(titlesInFile(), (QStringList{u"Alpha"_s, u"Bravo"_s, u"Bravo by A"_s, u"Charlie"_s}));
    QVERIFY(StoreSandbox::read().contains("ttl=Bravo\r\nfor=B's team\r\n"));
    QVERIFY(!StoreSandbox::read().contains("ttl=Bravo\r\nfor=Me\r\n"));
}

void TestSharedFile::aMergeRedrawsAndOrdersTheTables()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    testStore().loadTasks();
    testStore().setSortMode(ByTitleReversed);
    testStore().sortTasks();
    TestData::removeTask(0); // Charlie, first in this order
    // Meanwhile a text editor added a task and saved by renaming.
    replaceByRename(TestData::storeBytes({stored("Alpha", 1), stored("Bravo", 2), stored("Charlie", 3),
                                          stored("Echo", 4)}));
    QVERIFY(testStore().storeChangedElsewhere());
    QSignalSpy changed(&testStore(), &Module1::TaskStore::changed);
    const SaveResult result = testStore().saveTasks();
    QVERIFY(result.ok);
    QVERIFY(result.merged);
    QCOMPARE(result.tasksKeptTwice, 0);
    QCOMPARE(result.notice, QStringLiteral("tasks.txt was changed elsewhere; your change was merged with it."));
    QVERIFY(result.message.isEmpty());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(titlesInTables(), (QStringList{u"Echo"_s, u"Bravo"_s, u"Alpha"_s}));
    // The file holds the tables, in their order, and is now what Quorvi saw.
    QCOMPARE(StoreSandbox::read(), testStore().storeText());
    QVERIFY(!testStore().storeChangedElsewhere());
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(!testStore().saveTasks().merged);
}

void TestSharedFile::anOwnSaveIsNotAChangeElsewhere()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    testStore().loadTasks();
    QVERIFY(!testStore().storeChangedElsewhere());
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Changed here"); });
    QVERIFY(!testStore().storeChangedElsewhere()); // only the file counts
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(!testStore().storeChangedElsewhere());
    // Written in place by another program, even with the same size.
    QByteArray bytes = StoreSandbox::read();
    bytes.replace("Changed here", "Changed there");
    StoreSandbox::write(bytes);
    QVERIFY(testStore().storeChangedElsewhere());
}

void TestSharedFile::sameBytesAreNoChange()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    testStore().loadTasks();
    // A sync tool writing back the very same bytes, or a touch.
    replaceByRename(kThree);
    QVERIFY(!testStore().storeChangedElsewhere());
    QCOMPARE(::utime("tasks.txt", nullptr), 0);
    QVERIFY(!testStore().storeChangedElsewhere());
    TestData::editTask(1, [&](Module1::Task &edited) { edited.title = QStringLiteral("Bravo 2"); });
    const SaveResult result = testStore().saveTasks();
    QVERIFY(result.ok);
    QVERIFY(!result.merged);
    QVERIFY(result.notice.isEmpty());
}

void TestSharedFile::aVanishedFileIsWrittenAnew()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    testStore().loadTasks();
    QVERIFY(QFile::remove(kStoreFileName));
    // A missing file is no news to follow: the tables still hold it all.
    QVERIFY(!testStore().storeChangedElsewhere());
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Alpha 2"); });
    const SaveResult result = testStore().saveTasks();
    QVERIFY(result.ok);
    QVERIFY(!result.merged);
    QCOMPARE(titlesInFile(), (QStringList{u"Alpha 2"_s, u"Bravo"_s, u"Charlie"_s}));
}

void TestSharedFile::aFileThatAppearedIsMergedWith()
{
    StoreSandbox box;
    QVERIFY(testStore().loadTasks().fileMissing);
    TestData::addTask(TestData::task(QStringLiteral("Mine"), {}, 2030, 1, 1));
    StoreSandbox::write(TestData::storeBytes({stored("Theirs")}, TestData::ruleBytes(7, "d", 255, true)));
    QVERIFY(testStore().storeChangedElsewhere());
    const SaveResult result = testStore().saveTasks();
    QVERIFY(result.merged);
    QCOMPARE(titlesInFile(), (QStringList{u"Mine"_s, u"Theirs"_s}));
    QCOMPARE(testStore().ruleCount(), 1);
}

void TestSharedFile::aFailedSaveAfterAMergeCanBeRetried()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    testStore().loadTasks();
    TestData::addTask(TestData::task(QStringLiteral("Mine"), {}, 2030, 1, 1, 0, 0, 0, QString(2000, QLatin1Char('x'))));
    StoreSandbox::write(TestData::storeBytes({stored("Alpha", 1), stored("Bravo", 2), stored("Charlie", 3),
                                              stored("Theirs", 4)}));
    {
        FileSizeLimit full(1024);
        const SaveResult failed = testStore().saveTasks();
        QVERIFY(!failed.ok);
        QVERIFY2(failed.message.contains(QStringLiteral("File too large")), qPrintable(failed.message));
    }
    // Nothing was merged into the tables: the retry merges once, not twice.
    QCOMPARE(testStore().taskCount(), 4);
    const SaveResult retried = testStore().saveTasks();
    QVERIFY(retried.ok);
    QVERIFY(retried.merged);
    QCOMPARE(titlesInFile(), (QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s, u"Mine"_s, u"Theirs"_s}));
    QCOMPARE(testStore().taskCount(), 5);
}

void TestSharedFile::aMergeKeepsAProblemFileAsTheBackup()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    testStore().loadTasks();
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Alpha 2"); });
    // Another program left the file cut off inside a record.
    const QByteArray cut = kThree + "ttl=Half a task\r\nfor=Som";
    StoreSandbox::write(cut);
    const SaveResult result = testStore().saveTasks();
    QVERIFY(result.ok);
    QVERIFY(result.merged);
    QVERIFY2(result.message.contains(QStringLiteral("tasks.txt.bak")), qPrintable(result.message));
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), cut);
    QCOMPARE(titlesInFile(), (QStringList{u"Alpha 2"_s, u"Bravo"_s, u"Charlie"_s}));
}

namespace {

// The titles "PREFIX 0" to "PREFIX count-1".
QStringList numbered(const QString &prefix, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QStringLiteral("%1 %2").arg(prefix).arg(i);
    return out;
}

// Which of `wanted` the file lacks.
QStringList missingFromFile(const QStringList &wanted)
{
    const QStringList there = titlesInFile();
    QStringList missing;
    for (const QString &title : wanted) {
        if (!there.contains(title))
            missing << title;
    }
    return missing;
}

} // namespace

void TestSharedFile::fourQuorvisSavingAtOnceLoseNothing()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    constexpr int kAdditions = 100;
    std::vector<std::unique_ptr<StorePeer>> peers;
    for (int i = 0; i < 4; ++i) {
        peers.push_back(std::make_unique<StorePeer>());
        QVERIFY(peers.back()->started());
        QCOMPARE(peers.back()->ask(u"load"_s), QStringLiteral("loaded 3"));
    }
    // Each adds a task and saves it, again and again, with no pause.
    for (std::size_t i = 0; i < peers.size(); ++i)
        peers[i]->send(QStringLiteral("burst %1 Q%2").arg(kAdditions).arg(i));
    QStringList wanted{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s};
    for (std::size_t i = 0; i < peers.size(); ++i) {
        const QString answer = peers[i]->answer(120000);
        QVERIFY2(answer.startsWith(QStringLiteral("burst")) && !answer.contains(QStringLiteral("unsaved")),
                 qPrintable(answer));
        wanted += numbered(QStringLiteral("Q%1").arg(i), kAdditions);
    }
    QCOMPARE(missingFromFile(wanted), QStringList());
    QCOMPARE(titlesInFile().size(), wanted.size());
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{kStoreFileName});
}

void TestSharedFile::aWriterWithoutALockLosesNothingToASave()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    constexpr int kAdditions = 100;
    constexpr int kTheirs = 200;
    StorePeer quorvi;
    StorePeer other;
    QCOMPARE(quorvi.ask(u"load"_s), QStringLiteral("loaded 3"));
    // The other swaps its own file in, with no lock, whenever it likes, and
    // adds to what it swapped out when that was not what it had read; it
    // goes on for about as long as the saves do, so they meet often.
    quorvi.send(QStringLiteral("burst %1 Q").arg(kAdditions));
    other.send(QStringLiteral("swapburst %1 W swap 0-4").arg(kTheirs));
    const QString theirs = other.answer(120000);
    QCOMPARE(theirs, QStringLiteral("swapburst failed 0"));
    const QString ours = quorvi.answer(120000);
    QVERIFY2(ours.startsWith(QStringLiteral("burst")) && !ours.contains(QStringLiteral("unsaved")), qPrintable(ours));
    // Whatever reached the file before a save put its own in place is in
    // the file now.
    const QStringList missing = missingFromFile(numbered(QStringLiteral("Q"), kAdditions) + numbered(QStringLiteral("W"), kTheirs));
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u", "_s) + u" missing; saves: "_s + ours + u"; files: "_s
                                           + QDir::current().entryList(QDir::Files | QDir::Hidden).join(u" "_s)));
}

void TestSharedFile::aHungHolderIsNamedAndTheChangeKept()
{
    StoreSandbox box;
    StoreSandbox::write(kThree);
    testStore().loadTasks();
    auto hung = std::make_unique<StorePeer>();
    QCOMPARE(hung->ask(u"hold"_s), QStringLiteral("holding"));
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Alpha, changed"); });
    const SaveResult waited = testStore().saveTasks();
    QVERIFY(!waited.ok);
    const QString holder = QStringLiteral("(process %1 (store_peer))").arg(hung->processId());
    QVERIFY2(waited.message.startsWith(QStringLiteral("Could not save tasks.txt: another program ") + holder),
             qPrintable(waited.message));
    QVERIFY2(waited.message.contains(QStringLiteral("Your change is kept")), qPrintable(waited.message));
    QCOMPARE(StoreSandbox::read(), kThree);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Alpha, changed"));

    // A holder that dies lets go with it: nothing stale is left to clear.
    hung->kill();
    hung.reset();
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(titlesInFile().contains(QStringLiteral("Alpha, changed")));
}

QTEST_GUILESS_MAIN(TestSharedFile)
#include "test_sharedfile.moc"
