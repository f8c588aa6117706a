// SPDX-License-Identifier: GPL-3.0-or-later
// Store files that no sane writer produces: each must load what can be read,
// report the rest, and leave the file on disk exactly as it was.
#include "storesandbox.h"
#include "module1.h"

#include <QRandomGenerator>
#include <QTest>

#include <functional>

using namespace Module1;

namespace {

struct Expectation {
    int tasks = -1;          // -1: any number, as long as nothing breaks
    int rules = -1;
    bool problems = false;   // at least one problem reported
    std::function<void()> check; // extra checks on the tables
};

QByteArray repeat(const QByteArray &piece, int times)
{
    QByteArray out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

QByteArray garbage(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (char &c : out)
        c = char(rng.bounded(256));
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Expectation)

class TestHostile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadsWhatItCan_data();
    void loadsWhatItCan();
    void problemListStaysShort();
};

void TestHostile::loadsWhatItCan_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Expectation>("expect");

    QTest::newRow("binary garbage") << garbage(200000, 1) << Expectation{};
    QTest::newRow("garbage with records") << (garbage(5000, 2) + "\r\nttl=after\r\nact=addtask\r\n")
                                          << Expectation{-1, -1, false, [] {
                                                 QCOMPARE(testStore().tasks()[std::size_t(testStore().taskCount() - 1)].title, QStringLiteral("after"));
                                             }};
    QTest::newRow("NUL bytes") << QByteArray("ttl=a\0b\r\n\0\0\0\0\r\nact=addtask\r\n", 28)
                               << Expectation{1, 0, false, [] {
                                      QCOMPARE(testStore().tasks()[0].title, QString::fromUtf8("a\0b", 3));
                                  }};
    QTest::newRow("10 MB line") << ("ttl=" + QByteArray(10 * 1024 * 1024, 'x') + "\r\nact=addtask\r\n")
                                << Expectation{1, 0, false, [] {
                                       QCOMPARE(testStore().tasks()[0].title.size(), 10 * 1024 * 1024);
                                   }};
    QTest::newRow("10 MB number") << ("day=" + QByteArray(10 * 1024 * 1024, '9') + "\r\nact=addtask\r\n")
                                  << Expectation{1, 0, true, [] { QCOMPARE(testStore().tasks()[0].day, qint16(32767)); }};
    QTest::newRow("10 MB without line end") << QByteArray(10 * 1024 * 1024, 'q') << Expectation{0, 0, false, {}};
    // Read as Windows-1252, and said so: the next save keeps the original.
    QTest::newRow("invalid UTF-8") << QByteArray("ttl=\xC3\x28 \xFF\xFE ok\r\nact=addtask\r\n")
                                   << Expectation{1, 0, true, [] {
                                          QCOMPARE(testStore().tasks()[0].title, QString::fromUtf8("\xC3\x83( \xC3\xBF\xC3\xBE ok"));
                                      }};
    QTest::newRow("CR only") << QByteArray("ttl=one\ract=addtask\rttl=two\ract=addtask\r")
                             << Expectation{2, 0, false, [] { QCOMPARE(testStore().tasks()[1].title, QStringLiteral("two")); }};
    QTest::newRow("mixed line ends") << QByteArray("ttl=one\r\nact=addtask\nttl=two\ract=addtask\n\r\nval=3\r\nact=addalert")
                                     << Expectation{2, 1, false, [] { QCOMPARE(testStore().rules()[0].interval, qint16(3)); }};
    QTest::newRow("100000 records") << repeat("ttl=t\r\nday=1\r\nact=addtask\r\nval=1\r\nact=addalert\r\n", 100000)
                                    << Expectation{kTaskSlots, kRuleSlots, true, [] {
                                           QVERIFY(testStore().lastLoadReport().overCapacity);
                                       }};
    QTest::newRow("keys with no value") << QByteArray("ttl=\r\nfor=\r\nday=\r\nmon=\r\nyea=\r\ndes=\r\nact=\r\n"
                                                      "val=\r\nunt=\r\nclr=\r\nalr=\r\nact=addalert\r\n")
                                        << Expectation{1, 1, false, [] {
                                               QCOMPARE(testStore().tasks()[0].day, qint16(0));
                                               QCOMPARE(testStore().rules()[0].unit, QString());
                                               QCOMPARE(testStore().rules()[0].popup, false);
                                           }};
    QTest::newRow("bare keys") << QByteArray("ttl\r\nact\r\nday\r\n") << Expectation{0, 0, true, {}};
    QTest::newRow("huge and negative numbers")
        << QByteArray("day=1e308\r\nmon=-1e308\r\nyea=-99999999999999999999\r\nhou=NaN\r\nmin=inf\r\nsec=-0\r\n"
                      "act=addtask\r\nval=1e-400\r\nclr=-1e400\r\nact=addalert\r\n")
        << Expectation{1, 1, true, [] {
               QCOMPARE(testStore().tasks()[0].day, qint16(32767));
               QCOMPARE(testStore().tasks()[0].month, qint16(-32768));
               QCOMPARE(testStore().tasks()[0].year, qint16(-32768));
               QCOMPARE(testStore().tasks()[0].hour, qint16(0));
               QCOMPARE(testStore().tasks()[0].minute, qint16(0));
               QCOMPARE(testStore().tasks()[0].sortKey.size(), 21);
               QCOMPARE(testStore().rules()[0].interval, qint16(0));
               QCOMPARE(testStore().rules()[0].color, std::numeric_limits<qint32>::min());
           }};
    QTest::newRow("every part at its upper limit")
        << QByteArray("day=32767\r\nmon=32767\r\nyea=32767\r\nhou=32767\r\nmin=32767\r\nsec=32767\r\nact=addtask\r\n")
        << Expectation{1, 0, true, [] {
               QCOMPARE(testStore().tasks()[0].sortKey, QStringLiteral("9999-12 - 31 23:59:59"));
               QVERIFY(!testStore().tasks()[0].dueText.isEmpty());
           }};
    QTest::newRow("every part at its lower limit")
        << QByteArray("day=-32768\r\nmon=-32768\r\nyea=-32768\r\nhou=-32768\r\nmin=-32768\r\nsec=-32768\r\nact=addtask\r\n")
        << Expectation{1, 0, true, [] {
               QCOMPARE(testStore().tasks()[0].sortKey, QStringLiteral("0000-01 - 01 00:00:00"));
               QVERIFY(!testStore().tasks()[0].dueText.isEmpty());
           }};
    QTest::newRow("1 MB description") << ("ttl=long\r\ndes=" + repeat("words and words|~", 1024 * 1024 / 17) + "\r\nact=addtask\r\n")
                                      << Expectation{1, 0, false, [] {
                                             QVERIFY(testStore().tasks()[0].description.size() > 1000000);
                                             QCOMPARE(testStore().tasks()[0].description.count(QStringLiteral("\r\n")), 1024 * 1024 / 17);
                                         }};
    QTest::newRow("only comments and sections") << repeat(";;;\r\n[[[\r\n", 1000) << Expectation{0, 0, false, {}};
    QTest::newRow("empty file") << QByteArray() << Expectation{0, 0, false, {}};
    QTest::newRow("BOM only") << QByteArray("\xEF\xBB\xBF") << Expectation{0, 0, false, {}};
    QTest::newRow("UTF-16 file") << QByteArray("\xFF\xFEt\0t\0l\0=\0a\0\r\0\n\0", 16) << Expectation{};
}

void TestHostile::loadsWhatItCan()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Expectation, expect);
    StoreSandbox box;
    StoreSandbox::write(bytes);

    const LoadReport report = testStore().loadTasks();

    QVERIFY(!report.unreadable);
    if (expect.tasks >= 0)
        QCOMPARE(testStore().taskCount(), expect.tasks);
    if (expect.rules >= 0)
        QCOMPARE(testStore().ruleCount(), expect.rules);
    QVERIFY(testStore().taskCount() >= 0 && testStore().taskCount() <= kTaskSlots);
    QVERIFY(testStore().ruleCount() >= 0 && testStore().ruleCount() <= kRuleSlots);
    if (expect.problems)
        QVERIFY(!report.problems.isEmpty());
    else if (expect.tasks >= 0)
        QVERIFY2(report.problems.isEmpty(), qPrintable(describeProblems(report)));
    for (int i = 0; i < testStore().taskCount(); ++i)
        QCOMPARE(testStore().tasks()[i].sortKey.size(), 21);
    if (expect.check)
        expect.check();

    // Loading never writes; the file stays as it was until the user saves.
    QCOMPARE(StoreSandbox::read(), bytes);
    QCOMPARE(QDir::current().entryList(QDir::Files), QStringList{kStoreFileName});

    // What was loaded can be saved and loaded again without new problems
    // (beyond the ones the first load already reported and repaired).
    QVERIFY(testStore().saveTasks().ok);
    const int count = testStore().taskCount();
    const LoadReport again = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), count);
    for (const QString &p : again.problems)
        QVERIFY2(!p.contains(QStringLiteral("left out")), qPrintable(p));
}

void TestHostile::problemListStaysShort()
{
    StoreSandbox box;
    StoreSandbox::write(repeat("ab\r\n", 100000));
    const LoadReport report = testStore().loadTasks();
    QVERIFY(report.problems.size() <= 41);
    QVERIFY(report.problems.last().contains(QStringLiteral("more problems")));
}

QTEST_GUILESS_MAIN(TestHostile)
#include "test_hostile.moc"
