// SPDX-License-Identifier: GPL-3.0-or-later
// Kills a process in the middle of saving, again and again: the store file
// must always be one whole generation, never a torn mix.
#include "storesandbox.h"
#include "saverstore.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>

using namespace Module1;

class TestCrashSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedSavesNeverTearTheFile();
};

void TestCrashSafety::killedSavesNeverTearTheFile()
{
    StoreSandbox box;
    SaverStore::fill(testStore(), 0);
    const QByteArray first = testStore().storeText();
    SaverStore::fill(testStore(), 1);
    const QByteArray second = testStore().storeText();
    QVERIFY(first != second);

    constexpr int kKills = 200;
    QRandomGenerator rng(20261208);
    int killedMidSave = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    for (int round = 0; round < kKills; ++round) {
        QVERIFY2(std::chrono::steady_clock::now() < deadline, "the kill loop took too long");
        QProcess saver;
        saver.setWorkingDirectory(box.path());
        saver.start(QStringLiteral(STORE_SAVER_BINARY), QStringList{});
        QVERIFY(saver.waitForStarted(10000));
        if (round == 0)
            QVERIFY(saver.waitForReadyRead(10000)); // at least one complete file
        // Let it run a pseudo-random while, then kill it without warning.
        QTest::qSleep(int(rng.bounded(1, 25)));
        saver.kill();
        QVERIFY(saver.waitForFinished(10000));
        if (saver.exitStatus() == QProcess::CrashExit)
            ++killedMidSave;

        const QByteArray onDisk = StoreSandbox::read();
        QVERIFY2(onDisk == first || onDisk == second,
                 qPrintable(QStringLiteral("round %1: torn file of %2 bytes").arg(round).arg(onDisk.size())));
        const LoadReport report = testStore().loadTasks();
        QVERIFY(report.problems.isEmpty());
        QCOMPARE(testStore().taskCount(), kTaskSlots);
        QCOMPARE(testStore().ruleCount(), kRuleSlots);
    }
    QCOMPARE(killedMidSave, kKills);
    qInfo("survived %d kills", killedMidSave);

    // Saves killed half way leave their new file behind; the next start
    // clears them, and nothing else.
    const auto temporaries = [] {
        QStringList out;
        for (const QString &name : QDir::current().entryList(QDir::Files | QDir::Hidden)) {
            if (name != kStoreFileName)
                out << name;
        }
        return out;
    };
    qInfo("%lld temporary files left by the kills", qlonglong(temporaries().size()));
    for (const QString &name : temporaries())
        QVERIFY2(name.startsWith(QStringLiteral(".tasks.txt.quorvi-")), qPrintable(name));
    // The next start's store clears them.
    TaskStore next;
    next.loadTasks();
    QCOMPARE(temporaries(), QStringList());
    QCOMPARE(StoreSandbox::read() == first || StoreSandbox::read() == second, true);
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "test_crashsafety.moc"
