// SPDX-License-Identifier: GPL-3.0-or-later
// The store file keeps what it is on disk: its permissions, owner and group,
// its other names, a read-only mark; and a save that fails says why, in the
// operating system's words.
#include "storesandbox.h"

#include <QFileInfo>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace Module1;

namespace {

struct stat statOf(const char *name)
{
    struct stat st {};
    ::stat(name, &st);
    return st;
}

// A store of about `kilobytes` KB.
void fillTables(int kilobytes, const QString &title = QStringLiteral("Task"))
{
    for (int i = 0; i < kilobytes * 4; ++i)
        TestData::addTask(TestData::task(QStringLiteral("%1 %2").arg(title).arg(i), {}, 2030, 1, 1, 0, 0, 0,
                                         QString(200, QLatin1Char('x'))));
}

void checkNoLeftovers()
{
    QStringList names = QDir::current().entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("tasks.txt.bak"));
    QCOMPARE(names, QStringList{kStoreFileName});
}

} // namespace

class TestDiskFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aFullDiskNamesTheRealCause();
    void aFileSizeLimitNamesTheRealCause();
    void aReadOnlyFileIsNotReplaced();
    void aReadOnlyFileSystemIsNotWritten();
    void modeOwnerAndGroupAreKept();
    void aNewFileGetsTheUsualPermissions();
    void aHardLinkedFileIsUpdatedUnderEveryName();
    void aHardLinkedFileOnAFullDiskIsLeftAlone();
    void aSymbolicLinkStaysALink();
    void theBackupKeepsTheOriginalsPermissions();
    void theNewestProblemFileWinsTheBackup();
    void aPlantedBackupLinkIsReplacedNotFollowed_data();
    void aPlantedBackupLinkIsReplacedNotFollowed();
    void leftoversOfKilledSavesGoAtTheNextStart();
};

void TestDiskFile::aFullDiskNamesTheRealCause()
{
    SmallDisk disk("64k");
    if (!disk.mounted())
        QSKIP("no tmpfs can be mounted here; aFileSizeLimitNamesTheRealCause covers a full disk");
    fillTables(40);
    QVERIFY(testStore().saveTasks().ok);
    const QByteArray before = StoreSandbox::read();
    // The new file has to fit beside the old one, and does not.
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("changed"); });
    const SaveResult full = testStore().saveTasks();
    QVERIFY(!full.ok);
    QCOMPARE(full.message, QStringLiteral("Could not save tasks.txt: No space left on device"));
    QCOMPARE(StoreSandbox::read(), before);
    checkNoLeftovers();
}

void TestDiskFile::aFileSizeLimitNamesTheRealCause()
{
    StoreSandbox box;
    fillTables(4);
    FileSizeLimit limit(1024);
    const SaveResult result = testStore().saveTasks();
    QVERIFY(!result.ok);
    QCOMPARE(result.message, QStringLiteral("Could not save tasks.txt: File too large"));
    QVERIFY(!QFileInfo::exists(kStoreFileName));
    QVERIFY(QDir::current().entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestDiskFile::aReadOnlyFileIsNotReplaced()
{
    StoreSandbox box;
    TestData::saveStore({TestData::task(QStringLiteral("Kept"), {}, 2030, 1, 1)}, {});
    QCOMPARE(::chmod("tasks.txt", 0444), 0);
    const QByteArray before = StoreSandbox::read();
    testStore().loadTasks();
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Changed"); });
    // Root could write it, and must not either.
    const SaveResult result = testStore().saveTasks();
    QVERIFY(!result.ok);
    QVERIFY2(result.message.contains(QStringLiteral("tasks.txt is read-only")), qPrintable(result.message));
    QCOMPARE(StoreSandbox::read(), before);
    QCOMPARE(statOf("tasks.txt").st_mode & 07777, mode_t(0444));
    checkNoLeftovers();

    // Made writable again, the same change goes through.
    QCOMPARE(::chmod("tasks.txt", 0644), 0);
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(StoreSandbox::read().contains("ttl=Changed\r\n"));
}

void TestDiskFile::aReadOnlyFileSystemIsNotWritten()
{
    SmallDisk disk("64k");
    if (!disk.mounted())
        QSKIP("no tmpfs can be mounted here");
    TestData::saveStore({TestData::task(QStringLiteral("Kept"), {}, 2030, 1, 1)}, {});
    testStore().loadTasks();
    QVERIFY(disk.makeReadOnly());
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Changed"); });
    const SaveResult result = testStore().saveTasks();
    QVERIFY(!result.ok);
    QVERIFY2(result.message.contains(QStringLiteral("tasks.txt is read-only")), qPrintable(result.message));
    QVERIFY(StoreSandbox::read().contains("ttl=Kept\r\n"));
}

void TestDiskFile::modeOwnerAndGroupAreKept()
{
    StoreSandbox box;
    TestData::saveStore({TestData::task(QStringLiteral("Shared"), {}, 2030, 1, 1)}, {});
    // A file shared through its group: another group than the user's own.
    gid_t group = ::getegid();
    uid_t owner = ::geteuid();
    if (::geteuid() == 0) {
        owner = 1;  // daemon
        group = 34; // backup
    } else {
        gid_t groups[64];
        const int n = ::getgroups(64, groups);
        for (int i = 0; i < n; ++i) {
            if (groups[i] != ::getegid())
                group = groups[i];
        }
    }
    QCOMPARE(::chown("tasks.txt", owner, group), 0);
    QCOMPARE(::chmod("tasks.txt", 0660), 0);
    const ino_t oldInode = statOf("tasks.txt").st_ino;

    testStore().loadTasks();
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Shared, changed"); });
    QVERIFY(testStore().saveTasks().ok);
    const struct stat st = statOf("tasks.txt");
    QVERIFY(st.st_ino != oldInode); // replaced whole, not rewritten in place
    QCOMPARE(st.st_mode & 07777, mode_t(0660));
    QCOMPARE(st.st_gid, group);
    QCOMPARE(st.st_uid, owner);
    QVERIFY(StoreSandbox::read().contains("ttl=Shared, changed\r\n"));
}

void TestDiskFile::aNewFileGetsTheUsualPermissions()
{
    StoreSandbox box;
    const mode_t mask = ::umask(022);
    QVERIFY(testStore().saveTasks().ok);
    ::umask(mask);
    QCOMPARE(statOf("tasks.txt").st_mode & 07777, mode_t(0644));
}

void TestDiskFile::aHardLinkedFileIsUpdatedUnderEveryName()
{
    StoreSandbox box;
    TestData::saveStore({TestData::task(QStringLiteral("Old"), {}, 2030, 1, 1)}, {});
    const QByteArray before = StoreSandbox::read();
    QVERIFY(QDir().mkdir(QStringLiteral("elsewhere")));
    QCOMPARE(::link("tasks.txt", "elsewhere/copy.txt"), 0);
    const ino_t inode = statOf("tasks.txt").st_ino;

    testStore().loadTasks();
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("New, and a good deal longer than before"); });
    const SaveResult result = testStore().saveTasks();
    QVERIFY2(result.ok, qPrintable(result.message));
    const QByteArray after = StoreSandbox::read();
    QVERIFY(after.contains("ttl=New, and a good deal longer than before\r\n"));
    QCOMPARE(StoreSandbox::read(QStringLiteral("elsewhere/copy.txt")), after);
    QCOMPARE(statOf("tasks.txt").st_ino, inode);
    // Other names alone are no reason for a backup.
    QVERIFY(!QFile::exists(QStringLiteral("tasks.txt.bak")));
    QVERIFY(before != after);

    // Shorter again: nothing of the longer text is left at the end.
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("S"); });
    QVERIFY(testStore().saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("elsewhere/copy.txt")), testStore().storeText());
    checkNoLeftovers();

    // Replaced by a rename elsewhere since the look: that file is merged
    // with, not written over.
    StoreSandbox::write(StoreSandbox::read() + "ttl=Theirs\r\nact=addtask\r\n", QStringLiteral("new.txt"));
    QCOMPARE(::rename("new.txt", "tasks.txt"), 0);
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("Mine"); });
    const SaveResult merged = testStore().saveTasks();
    QVERIFY(merged.ok && merged.merged);
    QVERIFY(StoreSandbox::read().contains("ttl=Theirs\r\n"));
    QVERIFY(StoreSandbox::read().contains("ttl=Mine\r\n"));
}

void TestDiskFile::aHardLinkedFileOnAFullDiskIsLeftAlone()
{
    StoreSandbox box;
    TestData::saveStore({TestData::task(QStringLiteral("Old"), {}, 2030, 1, 1)}, {});
    const QByteArray before = StoreSandbox::read();
    QCOMPARE(::link("tasks.txt", "copy.txt"), 0);
    testStore().loadTasks();
    fillTables(8);
    {
        // Room for the backup, not for the new content.
        FileSizeLimit limit(4096);
        const SaveResult result = testStore().saveTasks();
        QVERIFY(!result.ok);
        QCOMPARE(result.message, QStringLiteral("Could not save tasks.txt: File too large"));
    }
    QCOMPARE(StoreSandbox::read(), before);
    QCOMPARE(StoreSandbox::read(QStringLiteral("copy.txt")), before);
}

void TestDiskFile::aSymbolicLinkStaysALink()
{
    StoreSandbox box;
    QVERIFY(QDir().mkdir(QStringLiteral("real")));
    StoreSandbox::write(TestData::storeBytes({}), QStringLiteral("real/store.txt"));
    QVERIFY(QFile::link(QStringLiteral("real/store.txt"), kStoreFileName));
    testStore().loadTasks();
    TestData::addTask(TestData::task(QStringLiteral("Through the link"), {}, 2030, 1, 1));
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(QFileInfo(kStoreFileName).isSymLink());
    QVERIFY(StoreSandbox::read(QStringLiteral("real/store.txt")).contains("ttl=Through the link\r\n"));
}

void TestDiskFile::theBackupKeepsTheOriginalsPermissions()
{
    StoreSandbox box;
    // A private file with a number the reader had to clamp.
    const QByteArray bytes = "ttl=Private\r\nday=99999\r\nact=addtask\r\n";
    StoreSandbox::write(bytes);
    QCOMPARE(::chmod("tasks.txt", 0600), 0);
    QCOMPARE(testStore().loadTasks().problems.size(), 2);
    const SaveResult result = testStore().saveTasks();
    QVERIFY(result.ok);
    QVERIFY2(result.message.contains(QStringLiteral("tasks.txt.bak")), qPrintable(result.message));
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), bytes);
    QCOMPARE(statOf("tasks.txt.bak").st_mode & 07777, mode_t(0600));
    QCOMPARE(statOf("tasks.txt").st_mode & 07777, mode_t(0600));
}

void TestDiskFile::theNewestProblemFileWinsTheBackup()
{
    StoreSandbox box;
    const QByteArray first = "ttl=One\r\nact=addtask\r\nab\r\n";
    StoreSandbox::write(first);
    testStore().loadTasks();
    QVERIFY(testStore().saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), first);

    // A clean file replaces no backup.
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("One, edited"); });
    QVERIFY(testStore().saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), first);

    const QByteArray second = "ttl=Two\r\nact=addtask\r\nmon=1e9\r\nact=addtask\r\n";
    StoreSandbox::write(second);
    testStore().loadTasks();
    QVERIFY(testStore().saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), second);
}

void TestDiskFile::aPlantedBackupLinkIsReplacedNotFollowed_data()
{
    QTest::addColumn<bool>("dangling");
    QTest::newRow("to a file") << false;
    QTest::newRow("to nothing") << true;
}

void TestDiskFile::aPlantedBackupLinkIsReplacedNotFollowed()
{
    QFETCH(bool, dangling);
    StoreSandbox box;
    // Anyone who can write into a shared folder could plant the link; the
    // damaged store makes the next save keep a backup.
    QVERIFY(QDir().mkdir(QStringLiteral("victim")));
    const QByteArray precious = "not Quorvi's\n";
    if (!dangling) {
        StoreSandbox::write(precious, QStringLiteral("victim/file"));
        QCOMPARE(::chmod("victim/file", 0600), 0);
    }
    QCOMPARE(::symlink("victim/file", "tasks.txt.bak"), 0);
    const QByteArray damaged = "ttl=One\r\nact=addtask\r\nab\r\n";
    StoreSandbox::write(damaged);
    QCOMPARE(::chmod("tasks.txt", 0640), 0);
    testStore().loadTasks();
    QVERIFY(testStore().saveTasks().ok);

    if (dangling) {
        QVERIFY(!QFile::exists(QStringLiteral("victim/file")));
    } else {
        QCOMPARE(StoreSandbox::read(QStringLiteral("victim/file")), precious);
        QCOMPARE(statOf("victim/file").st_mode & 07777, mode_t(0600));
    }
    // The link itself was replaced by a file of Quorvi's own, with the
    // original's mode.
    QVERIFY(!QFileInfo(QStringLiteral("tasks.txt.bak")).isSymLink());
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), damaged);
    QCOMPARE(statOf("tasks.txt.bak").st_mode & 07777, mode_t(0640));
    checkNoLeftovers();
}

void TestDiskFile::leftoversOfKilledSavesGoAtTheNextStart()
{
    StoreSandbox box;
    StoreSandbox::write(TestData::storeBytes({}));
    // As a save killed half way leaves them, beside names that only look
    // alike and a link of that name, none of which is Quorvi's to remove.
    for (const char *name : {".tasks.txt.quorvi-Ab12Cd", ".tasks.txt.bak.quorvi-x9Y8z7"})
        StoreSandbox::write("half", QString::fromLatin1(name));
    for (const char *name : {"tasks.txt.Ab12Cd", ".tasks.txt.quorvi-Ab12", "notes.quorvi-Ab12Cd"})
        StoreSandbox::write("mine", QString::fromLatin1(name));
    QCOMPARE(::symlink("tasks.txt", ".link.quorvi-Qq11Ww"), 0);
    QStringList kept{u".link.quorvi-Qq11Ww"_s, u".tasks.txt.quorvi-Ab12"_s, u"notes.quorvi-Ab12Cd"_s, u"tasks.txt"_s,
                     u"tasks.txt.Ab12Cd"_s};
    // Another user's, where this one may give a file away.
    StoreSandbox::write("theirs", QStringLiteral(".tasks.txt.quorvi-Zz99Yy"));
    if (::chown(".tasks.txt.quorvi-Zz99Yy", 65534, 65534) == 0)
        kept << QStringLiteral(".tasks.txt.quorvi-Zz99Yy");
    else
        QVERIFY(QFile::remove(QStringLiteral(".tasks.txt.quorvi-Zz99Yy")));
    testStore().loadTasks();
    QStringList names = QDir::current().entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    kept.sort();
    QCOMPARE(names, kept);
}

QTEST_GUILESS_MAIN(TestDiskFile)
#include "test_diskfile.moc"

