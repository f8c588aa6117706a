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
};

void TestDiskFile::aFullDiskNamesTheRealCause()
{
    SmallDisk disk("64k");
    if (!disk.mounted())
        QSKIP("no tmpfs can be mounted here; aFileSizeLimitNamesTheRealCause covers a full disk");
    fillTables(40);
    QVERIFY(saveTasks().ok);
    const QByteArray before = StoreSandbox::read();
    // The new file has to fit beside the old one, and does not.
    tasks[0].title = QStringLiteral("changed");
    const SaveResult full = saveTasks();
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
    const SaveResult result = saveTasks();
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
    loadTasks();
    tasks[0].title = QStringLiteral("Changed");
    // Root could write it, and must not either.
    const SaveResult result = saveTasks();
    QVERIFY(!result.ok);
    QVERIFY2(result.message.contains(QStringLiteral("tasks.txt is read-only")), qPrintable(result.message));
    QCOMPARE(StoreSandbox::read(), before);
    QCOMPARE(statOf("tasks.txt").st_mode & 07777, mode_t(0444));
    checkNoLeftovers();

    // Made writable again, the same change goes through.
    QCOMPARE(::chmod("tasks.txt", 0644), 0);
    QVERIFY(saveTasks().ok);
    QVERIFY(StoreSandbox::read().contains("ttl=Changed\r\n"));
}

void TestDiskFile::aReadOnlyFileSystemIsNotWritten()
{
    SmallDisk disk("64k");
    if (!disk.mounted())
        QSKIP("no tmpfs can be mounted here");
    TestData::saveStore({TestData::task(QStringLiteral("Kept"), {}, 2030, 1, 1)}, {});
    loadTasks();
    QVERIFY(disk.makeReadOnly());
    tasks[0].title = QStringLiteral("Changed");
    const SaveResult result = saveTasks();
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

    loadTasks();
    tasks[0].title = QStringLiteral("Shared, changed");
    QVERIFY(saveTasks().ok);
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
    QVERIFY(saveTasks().ok);
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

    loadTasks();
    tasks[0].title = QStringLiteral("New, and a good deal longer than before");
    const SaveResult result = saveTasks();
    QVERIFY2(result.ok, qPrintable(result.message));
    const QByteArray after = StoreSandbox::read();
    QVERIFY(after.contains("ttl=New, and a good deal longer than before\r\n"));
    QCOMPARE(StoreSandbox::read(QStringLiteral("elsewhere/copy.txt")), after);
    QCOMPARE(statOf("tasks.txt").st_ino, inode);
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), before);

    // Shorter again: nothing of the longer text is left at the end.
    tasks[0].title = QStringLiteral("S");
    QVERIFY(saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("elsewhere/copy.txt")), storeText());
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), after);
}

void TestDiskFile::aHardLinkedFileOnAFullDiskIsLeftAlone()
{
    StoreSandbox box;
    TestData::saveStore({TestData::task(QStringLiteral("Old"), {}, 2030, 1, 1)}, {});
    const QByteArray before = StoreSandbox::read();
    QCOMPARE(::link("tasks.txt", "copy.txt"), 0);
    loadTasks();
    fillTables(8);
    {
        // Room for the backup, not for the new content.
        FileSizeLimit limit(4096);
        const SaveResult result = saveTasks();
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
    loadTasks();
    TestData::addTask(TestData::task(QStringLiteral("Through the link"), {}, 2030, 1, 1));
    QVERIFY(saveTasks().ok);
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
    QCOMPARE(loadTasks().problems.size(), 2);
    const SaveResult result = saveTasks();
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
    loadTasks();
    QVERIFY(saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), first);

    // A clean file replaces no backup.
    tasks[0].title = QStringLiteral("One, edited");
    QVERIFY(saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), first);

    const QByteArray second = "ttl=Two\r\nact=addtask\r\nmon=1e9\r\nact=addtask\r\n";
    StoreSandbox::write(second);
    loadTasks();
    QVERIFY(saveTasks().ok);
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), second);
}

QTEST_GUILESS_MAIN(TestDiskFile)
#include "test_diskfile.moc"
