// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesandbox.h"
#include "module1.h"

#include <QFileInfo>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::addRule;
using TestData::addTask;
using TestData::task;

namespace {

const QByteArray kHeader = "; Quorvi\r\n; ----------\r\n; Tasks and settings\r\n; DO NOT MODIFY THIS FILE\r\n\r\n";

} // namespace

class TestStoreFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void writesTheExactLayout();
    void emptyStoreLayout();
    void roundTripOfAFullStore();
    void headerAndSectionsOnlyLoadEmpty();
    void missingFileIsAnEmptyStore();
    void pendingValuesCarryOver();
    void anyActOtherThanAddalertAppendsATask();
    void alrMustBeExactlyOn();
    void recordsMayMixSectionsAndReorderLines();
    void fourthCharacterIsNotChecked();
    void keysAreCaseSensitiveAndUnknownKeysIgnored();
    void blanksAreTrimmedButInnerLeadingBlanksStay();
    void breakMarkerBecomesLineBreak();
    void encodeAndDecodeBreaks();
    void shortLinesAreSkippedAndReported();
    void outOfRangeNumbersAreClampedAndReported();
    void widePartsDoNotStopTheLoad();
    void aNumberTooLargeForADoubleIsReportedAndTheFileKept();
    void aRolledOverTimeIsShownAndOrderedOnTheDayItFalls();
    void recordsBeyondTheTablesAreKeptBySaves();
    void readsLfOnlyAndBomFiles();
    void readsWindows1252();
    void readsUtf16WithAByteOrderMark_data();
    void readsUtf16WithAByteOrderMark();
    void oneStrayByteChangesOnlyItsOwnLine();
    void aFileCutInsideATaskRecordIsReported();
    void aFileCutInsideARuleRecordIsReported();
    void aCompleteLastRecordIsNoProblem();
    void writesUtf8();
    void failedSaveKeepsTheOldFile();
    void unreadableStoreIsNeverOverwritten();
    void aPipeOrDeviceIsNotReadAsAStore();
};

void TestStoreFile::writesTheExactLayout()
{
    StoreSandbox box;
    addTask(task(QStringLiteral("Report"), QStringLiteral("Boss"), 2003, 3, 7, 9, 5, 0,
                 QStringLiteral("line one\r\nline two")));
    addRule(7, 65280, true);
    addRule(-2, 255, false, QString());
    QVERIFY(testStore().saveTasks().ok);
    const QByteArray expected = kHeader
        + "[Tasks]\r\n\r\n"
          "ttl=Report\r\nfor=Boss\r\nday=7\r\nmon=3\r\nyea=2003\r\nhou=9\r\nmin=5\r\nsec=0\r\n"
          "des=line one|~line two\r\nact=addtask\r\n\r\n"
          "[Alerts]\r\n\r\n"
          "val=7\r\nunt=d\r\nclr=65280\r\nalr=on\r\nact=addalert\r\n\r\n"
          "val=-2\r\nunt=\r\nclr=255\r\nalr=off\r\nact=addalert\r\n\r\n"
          "\r\n";
    QCOMPARE(StoreSandbox::read(), expected);
}

void TestStoreFile::emptyStoreLayout()
{
    StoreSandbox box;
    QVERIFY(testStore().saveTasks().ok);
    QCOMPARE(StoreSandbox::read(), kHeader + "[Tasks]\r\n\r\n[Alerts]\r\n\r\n\r\n");
}

void TestStoreFile::roundTripOfAFullStore()
{
    StoreSandbox box;
    // The table filled at once: a task at a time would copy it each time.
    QList<Task> full;
    for (int i = 0; i < kTaskSlots; ++i) {
        full << task(QStringLiteral("Task %1 ünïcödé").arg(i), QStringLiteral("For %1").arg(i % 17),
                     2000 + i % 30, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60,
                     QStringLiteral("first\r\nsecond %1\r\n\r\nfourth").arg(i));
    }
    TestData::setTables(full);
    for (int i = 0; i < kRuleSlots; ++i)
        addRule(i - 50, i * 99991, i % 2 == 0, i % 3 ? QStringLiteral("d") : QStringLiteral("ww"));
    const Records expected = testStore().records();
    const auto &expectedTasks = expected.tasks;
    const auto &expectedRules = expected.rules;
    QVERIFY(testStore().saveTasks().ok);
    const QByteArray first = StoreSandbox::read();

    resetTestStore();
    const LoadReport report = testStore().loadTasks();
    QVERIFY2(report.problems.isEmpty(), qPrintable(describeProblems(report)));
    QCOMPARE(testStore().taskCount(), kTaskSlots);
    QCOMPARE(testStore().ruleCount(), kRuleSlots);
    for (int i = 0; i < kTaskSlots; ++i) {
        QCOMPARE(testStore().tasks()[i].title, expectedTasks[i].title);
        QCOMPARE(testStore().tasks()[i].forWhom, expectedTasks[i].forWhom);
        QCOMPARE(testStore().tasks()[i].description, expectedTasks[i].description);
        QCOMPARE(testStore().tasks()[i].year, expectedTasks[i].year);
        QCOMPARE(testStore().tasks()[i].month, expectedTasks[i].month);
        QCOMPARE(testStore().tasks()[i].day, expectedTasks[i].day);
        QCOMPARE(testStore().tasks()[i].hour, expectedTasks[i].hour);
        QCOMPARE(testStore().tasks()[i].minute, expectedTasks[i].minute);
        QCOMPARE(testStore().tasks()[i].second, expectedTasks[i].second);
        QCOMPARE(testStore().tasks()[i].sortKey, expectedTasks[i].sortKey);
        QCOMPARE(testStore().tasks()[i].dueText, expectedTasks[i].dueText);
    }
    for (int i = 0; i < kRuleSlots; ++i) {
        QCOMPARE(testStore().rules()[i].interval, expectedRules[i].interval);
        QCOMPARE(testStore().rules()[i].unit, expectedRules[i].unit);
        QCOMPARE(testStore().rules()[i].color, expectedRules[i].color);
        QCOMPARE(testStore().rules()[i].popup, expectedRules[i].popup);
    }
    QVERIFY(testStore().saveTasks().ok);
    QCOMPARE(StoreSandbox::read(), first);
    QVERIFY(!QFileInfo::exists(kStoreFileName + QStringLiteral(".bak")));
}

void TestStoreFile::headerAndSectionsOnlyLoadEmpty()
{
    StoreSandbox box;
    StoreSandbox::write(kHeader + "[Tasks]\r\n\r\n[Alerts]\r\n\r\n\r\n");
    TestData::setTables(QList<Task>(5), QList<AlertRule>(5));
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 0);
    QCOMPARE(testStore().ruleCount(), 0);
    QVERIFY(report.problems.isEmpty());
    QVERIFY(!report.fileMissing);
}

void TestStoreFile::missingFileIsAnEmptyStore()
{
    StoreSandbox box;
    TestData::setTables(QList<Task>(3));
    const LoadReport report = testStore().loadTasks();
    QVERIFY(report.fileMissing);
    QVERIFY(!report.unreadable);
    QVERIFY(report.problems.isEmpty());
    QCOMPARE(testStore().taskCount(), 0);
    QVERIFY(!QFileInfo::exists(kStoreFileName));
}

void TestStoreFile::pendingValuesCarryOver()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=First\r\nfor=Ann\r\nday=3\r\nmon=4\r\nyea=2020\r\nhou=5\r\nmin=6\r\nsec=7\r\n"
                        "des=about|~this\r\nact=addtask\r\n"
                        "ttl=Second\r\nact=addtask\r\n"
                        "val=3\r\nunt=d\r\nclr=255\r\nalr=on\r\nact=addalert\r\n"
                        "clr=65280\r\nact=addalert\r\n");
    testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 2);
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Second"));
    QCOMPARE(testStore().tasks()[1].forWhom, QStringLiteral("Ann"));
    QCOMPARE(testStore().tasks()[1].description, QStringLiteral("about\r\nthis"));
    QCOMPARE(testStore().tasks()[1].day, qint16(3));
    QCOMPARE(testStore().tasks()[1].second, qint16(7));
    QCOMPARE(testStore().tasks()[1].sortKey, QStringLiteral("2020-04 - 03 05:06:07"));
    QCOMPARE(testStore().ruleCount(), 2);
    QCOMPARE(testStore().rules()[1].interval, qint16(3));
    QCOMPARE(testStore().rules()[1].popup, true);
    QCOMPARE(testStore().rules()[1].color, 65280);

    // The first record of its kind starts from empty values.
    StoreSandbox::write("act=addtask\r\nact=addalert\r\n");
    testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QString());
    QCOMPARE(testStore().tasks()[0].year, qint16(0));
    QCOMPARE(testStore().rules()[0].unit, QString());
    QCOMPARE(testStore().rules()[0].popup, false);
}

void TestStoreFile::anyActOtherThanAddalertAppendsATask()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=a\r\nact=addtask\r\nact=whatever\r\nact=\r\nact=AddAlert\r\nact=addalert\r\n");
    testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 4);
    QCOMPARE(testStore().ruleCount(), 1);
}

void TestStoreFile::alrMustBeExactlyOn()
{
    StoreSandbox box;
    StoreSandbox::write("alr=On\r\nact=addalert\r\nalr=on\r\nact=addalert\r\nalr=ON\r\nact=addalert\r\n"
                        "alr=on \r\nact=addalert\r\nalr= on\r\nact=addalert\r\n");
    testStore().loadTasks();
    QCOMPARE(testStore().ruleCount(), 5);
    QCOMPARE(testStore().rules()[0].popup, false);
    QCOMPARE(testStore().rules()[1].popup, true);
    QCOMPARE(testStore().rules()[2].popup, false);
    QCOMPARE(testStore().rules()[3].popup, true); // the trailing blank is trimmed with the line
    QCOMPARE(testStore().rules()[4].popup, false);
}

void TestStoreFile::recordsMayMixSectionsAndReorderLines()
{
    StoreSandbox box;
    StoreSandbox::write("[Alerts]\r\nsec=9\r\nttl=In alerts\r\nyea=2021\r\nmon=1\r\nday=2\r\nact=addtask\r\n"
                        "[Tasks]\r\nclr=5\r\nval=1\r\nact=addalert\r\n[Whatever]\r\n");
    testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().ruleCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("In alerts"));
    QCOMPARE(testStore().tasks()[0].second, qint16(9));
    QCOMPARE(testStore().rules()[0].color, 5);
}

void TestStoreFile::fourthCharacterIsNotChecked()
{
    StoreSandbox box;
    StoreSandbox::write("ttl:Colon\r\nact=addtask\r\nttlXsecond\r\nact addtask\r\n");
    testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 2);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Colon"));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("second"));
}

void TestStoreFile::keysAreCaseSensitiveAndUnknownKeysIgnored()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=kept\r\nTTL=ignored\r\nxyz=ignored\r\ntitle=ignored\r\nact=addtask\r\n");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("kept"));
    QVERIFY(report.problems.isEmpty());
}

void TestStoreFile::blanksAreTrimmedButInnerLeadingBlanksStay()
{
    StoreSandbox box;
    StoreSandbox::write("   ttl=  two leading   \r\n  ; a comment\r\n   [section]\r\n      \r\nact=addtask\r\n");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("  two leading"));
    QVERIFY(report.problems.isEmpty());
}

void TestStoreFile::breakMarkerBecomesLineBreak()
{
    StoreSandbox box;
    addTask(task(QStringLiteral("t"), {}, 2020, 1, 1, 0, 0, 0, QStringLiteral("typed |~ by hand")));
    QVERIFY(testStore().saveTasks().ok);
    testStore().loadTasks();
    QCOMPARE(testStore().tasks()[0].description, QStringLiteral("typed \r\n by hand"));
}

void TestStoreFile::encodeAndDecodeBreaks()
{
    QCOMPARE(encodeBreaks(QStringLiteral("a\r\nb\r\n")), QStringLiteral("a|~b|~"));
    QCOMPARE(decodeBreaks(QStringLiteral("a|~b|~")), QStringLiteral("a\r\nb\r\n"));
    QCOMPARE(encodeBreaks(QStringLiteral("lone\nfeed\rreturn")), QStringLiteral("lone\nfeed\rreturn"));
    QCOMPARE(decodeBreaks(QStringLiteral("||~~")), QStringLiteral("|\r\n~"));
    QCOMPARE(encodeBreaks(QStringLiteral("\r\r\n\n")), QStringLiteral("\r|~\n"));
    const QString original = QStringLiteral("keep\r\nme");
    const QString encoded = encodeBreaks(original);
    QCOMPARE(original, QStringLiteral("keep\r\nme"));
    QCOMPARE(encoded.size(), original.size());
}

void TestStoreFile::shortLinesAreSkippedAndReported()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=ok\r\nab\r\nttl\r\nact=addtask\r\n");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("ok"));
    QCOMPARE(report.problems.size(), 2);
    QVERIFY2(report.problems[0].startsWith(QStringLiteral("tasks.txt line 2: ")), qPrintable(report.problems[0]));
    QVERIFY(report.problems[1].startsWith(QStringLiteral("tasks.txt line 3: ")));
}

void TestStoreFile::outOfRangeNumbersAreClampedAndReported()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=x\r\nyea=2020\r\nmon=1\r\nday=99999\r\nact=addtask\r\n"
                        "val=-40000\r\nclr=99999999999\r\nact=addalert\r\n");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].day, qint16(32767));
    QCOMPARE(testStore().rules()[0].interval, qint16(-32768));
    QCOMPARE(testStore().rules()[0].color, std::numeric_limits<qint32>::max());
    QCOMPARE(report.problems.size(), 4); // day, val, clr, and the day too wide for the key
    QVERIFY(report.problems[0].startsWith(QStringLiteral("tasks.txt line 4: ")));
}

void TestStoreFile::widePartsDoNotStopTheLoad()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=late\r\nyea=2020\r\nmon=1\r\nday=1\r\nhou=-1\r\nact=addtask\r\n"
                        "ttl=far\r\nyea=10000\r\nhou=0\r\nact=addtask\r\n"
                        "ttl=normal\r\nyea=2019\r\nact=addtask\r\n");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 3);
    QCOMPARE(testStore().tasks()[0].sortKey, QStringLiteral("2019-12 - 31 23:00:00"));
    QCOMPARE(testStore().tasks()[1].sortKey, QStringLiteral("9999-12 - 31 23:59:59"));
    QCOMPARE(report.problems.size(), 2);
    testStore().setSortMode(2);
    testStore().sortTasks();
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("normal"));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("late"));
    QCOMPARE(testStore().tasks()[2].title, QStringLiteral("far"));
}

void TestStoreFile::aNumberTooLargeForADoubleIsReportedAndTheFileKept()
{
    StoreSandbox box;
    const QByteArray bytes = "ttl=x\r\nyea=2026\r\nmon=12\r\nday=1" + QByteArray(400, '0') + "e-1\r\nact=addtask\r\n";
    StoreSandbox::write(bytes);
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].day, qint16(32767));
    QVERIFY(!report.problems.isEmpty());
    QVERIFY2(report.problems[0].startsWith(QStringLiteral("tasks.txt line 4: ")), qPrintable(report.problems[0]));

    const SaveResult saved = testStore().saveTasks();
    QVERIFY(saved.ok);
    QVERIFY2(saved.message.contains(QStringLiteral("tasks.txt.bak")), qPrintable(saved.message));
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), bytes);
    QVERIFY(StoreSandbox::read().contains("\r\nday=32767\r\n"));
}

void TestStoreFile::aRolledOverTimeIsShownAndOrderedOnTheDayItFalls()
{
    StoreSandbox box;
    const QByteArray bytes = TestData::storeBytes({
        {"midnight", "", 8, 12, 2026, 24, 0, 0, ""},
        {"noon next day", "", 7, 12, 2026, 36, 1, 0, ""},
        {"before noon", "", 8, 12, 2026, 11, 49, 0, ""},
        {"late evening", "", 8, 12, 2026, 23, 59, 0, ""},
    });
    StoreSandbox::write(bytes);
    QVERIFY(testStore().loadTasks().problems.isEmpty());
    // Shown as the moment the reminder comes, word for word as if typed so.
    QCOMPARE(testStore().tasks()[0].dueText, task({}, {}, 2026, 12, 9, 0, 0).dueText);
    QCOMPARE(testStore().tasks()[1].dueText, task({}, {}, 2026, 12, 8, 12, 1).dueText);
    testStore().setSortMode(2);
    testStore().sortTasks();
    QStringList order;
    for (const Task &t : testStore().tasks())
        order << t.title;
    QCOMPARE(order, QStringList({u"before noon"_s, u"noon next day"_s, u"late evening"_s, u"midnight"_s}));

    // The file keeps the numbers as they were typed.
    QVERIFY(testStore().saveTasks().ok);
    const QByteArray saved = StoreSandbox::read();
    QVERIFY(saved.contains("day=8\r\nmon=12\r\nyea=2026\r\nhou=24\r\nmin=0\r\n"));
    QVERIFY(saved.contains("day=7\r\nmon=12\r\nyea=2026\r\nhou=36\r\nmin=1\r\n"));
}

void TestStoreFile::recordsBeyondTheTablesAreKeptBySaves()
{
    StoreSandbox box;
    QByteArray bytes;
    for (int i = 0; i < kTaskSlots + 1; ++i)
        bytes += "ttl=T" + QByteArray::number(i) + "\r\nact=addtask\r\n";
    for (int i = 0; i < kRuleSlots + 2; ++i)
        bytes += "val=" + QByteArray::number(i) + "\r\nact=addalert\r\n";
    StoreSandbox::write(bytes);
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), kTaskSlots);
    QCOMPARE(testStore().ruleCount(), kRuleSlots);
    QCOMPARE(testStore().tasks()[kTaskSlots - 1].title, QStringLiteral("T%1").arg(kTaskSlots - 1));
    QVERIFY(report.overCapacity);
    QCOMPARE(report.problems.size(), 1);
    QVERIFY2(report.problems[0].contains(QStringLiteral("%1 tasks and 103 rules").arg(kTaskSlots + 1)), qPrintable(report.problems[0]));

    // Every save writes them back after the tables; none is a reason for a
    // backup, since nothing is lost.
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("changed"); });
    const SaveResult saved = testStore().saveTasks();
    QVERIFY2(saved.ok && saved.message.isEmpty(), qPrintable(saved.message));
    QVERIFY(!QFile::exists(QStringLiteral("tasks.txt.bak")));
    const QByteArray written = StoreSandbox::read();
    QCOMPARE(written.count("act=addtask"), kTaskSlots + 1);
    QCOMPARE(written.count("act=addalert"), kRuleSlots + 2);
    QVERIFY(written.contains(QByteArray("ttl=T" + QByteArray::number(kTaskSlots) + "\r\n")));
    QVERIFY(written.contains("val=102\r\n"));
    QCOMPARE(testStore().storeText(), written);

    // Nor does a merge with a change made elsewhere drop one.
    StoreSandbox::write(written + "ttl=Theirs\r\nact=addtask\r\n");
    TestData::editTask(1, [&](Module1::Task &edited) { edited.title = QStringLiteral("mine"); });
    const SaveResult merged = testStore().saveTasks();
    QVERIFY(merged.ok && merged.merged);
    const QByteArray after = StoreSandbox::read();
    QCOMPARE(after.count("act=addtask"), kTaskSlots + 2);
    for (const QByteArray &title : {QByteArray("T" + QByteArray::number(kTaskSlots)), QByteArray("Theirs"),
                                    QByteArray("mine"), QByteArray("changed")})
        QVERIFY2(after.contains(QByteArray("ttl=" + title + "\r\n")), title.constData());
    testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), kTaskSlots);
}

void TestStoreFile::readsLfOnlyAndBomFiles()
{
    StoreSandbox box;
    StoreSandbox::write("\xEF\xBB\xBFttl=Caf\xC3\xA9\nact=addtask\nttl=Two\ract=addtask\r\n");
    const LoadReport report = testStore().loadTasks();
    QVERIFY(report.problems.isEmpty());
    QCOMPARE(testStore().taskCount(), 2);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Café"));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Two"));
}

void TestStoreFile::readsWindows1252()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=Caf\xE9 \x80 5\r\nfor=\x93quoted\x94\r\nact=addtask\r\n");
    testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Café € 5"));
    QCOMPARE(testStore().tasks()[0].forWhom, QStringLiteral("“quoted”"));
}

void TestStoreFile::readsUtf16WithAByteOrderMark_data()
{
    QTest::addColumn<bool>("bigEndian");
    QTest::newRow("little-endian") << false;
    QTest::newRow("big-endian") << true;
}

void TestStoreFile::readsUtf16WithAByteOrderMark()
{
    QFETCH(bool, bigEndian);
    StoreSandbox box;
    // What some Windows editors write: a mark, then two bytes a character.
    const QString text = QStringLiteral("ttl=Café € 5\r\nfor=Zoë\r\nact=addtask\r\nval=3\r\nact=addalert\r\n");
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes += bigEndian ? QByteArray{&high, 1} + QByteArray{&low, 1} : QByteArray{&low, 1} + QByteArray{&high, 1};
    }
    StoreSandbox::write(bytes);
    const LoadReport report = testStore().loadTasks();
    QVERIFY2(report.problems.isEmpty(), qPrintable(describeProblems(report)));
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Café € 5"));
    QCOMPARE(testStore().tasks()[0].forWhom, QStringLiteral("Zoë"));
    QCOMPARE(testStore().ruleCount(), 1);
    QCOMPARE(testStore().rules()[0].interval, qint16(3));
    // Written back as UTF-8, like every store.
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(StoreSandbox::read().contains("ttl=Caf\xC3\xA9 \xE2\x82\xAC 5\r\n"));
}

void TestStoreFile::oneStrayByteChangesOnlyItsOwnLine()
{
    StoreSandbox box;
    StoreSandbox::write("ttl=Caf\xC3\xA9 cr\xC3\xA8me\r\nfor=M\xE9lanie\r\ndes=\xE2\x82\xAC 5\r\nact=addtask\r\n");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Café crème"));
    QCOMPARE(testStore().tasks()[0].forWhom, QStringLiteral("Mélanie"));
    QCOMPARE(testStore().tasks()[0].description, QStringLiteral("€ 5"));
    QCOMPARE(report.problems, QStringList{u"tasks.txt line 2: the line is not UTF-8 and was read as Windows-1252"_s});
}

void TestStoreFile::aFileCutInsideATaskRecordIsReported()
{
    StoreSandbox box;
    // An interrupted copy: the second task stops before its act line.
    StoreSandbox::write("ttl=Whole\r\nact=addtask\r\nval=1\r\nact=addalert\r\nttl=Half\r\nfor=Some");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().taskCount(), 1);
    QCOMPARE(testStore().ruleCount(), 1);
    QCOMPARE(report.problems, QStringList{u"tasks.txt ends inside a task record; it was not loaded"_s});
}

void TestStoreFile::aFileCutInsideARuleRecordIsReported()
{
    StoreSandbox box;
    StoreSandbox::write("val=1\r\nact=addalert\r\nval=7\r\nclr=2");
    const LoadReport report = testStore().loadTasks();
    QCOMPARE(testStore().ruleCount(), 1);
    QCOMPARE(report.problems, QStringList{u"tasks.txt ends inside a rule record; it was not loaded"_s});

    // A task's values after the last task, behind a rule, are lost all the same.
    StoreSandbox::write("ttl=Lost\r\nval=1\r\nact=addalert\r\n");
    QCOMPARE(testStore().loadTasks().problems, QStringList{u"tasks.txt ends inside a task record; it was not loaded"_s});
}

void TestStoreFile::aCompleteLastRecordIsNoProblem()
{
    StoreSandbox box;
    // Comments, sections, unknown keys and blank lines after the last
    // record are no record of either kind.
    StoreSandbox::write("ttl=a\r\nact=addtask\r\nval=1\r\nact=addalert\r\n; note\r\n[End]\r\nxyz=1\r\n\r\n");
    QVERIFY(testStore().loadTasks().problems.isEmpty());
    // The writer's own files end cleanly.
    addTask(task(QStringLiteral("t"), {}, 2020, 1, 1));
    addRule(1, 2, true);
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(testStore().loadTasks().problems.isEmpty());
}

void TestStoreFile::writesUtf8()
{
    StoreSandbox box;
    addTask(task(QStringLiteral("Café"), {}, 2020, 1, 1));
    QVERIFY(testStore().saveTasks().ok);
    QVERIFY(StoreSandbox::read().contains("ttl=Caf\xC3\xA9\r\n"));
}

void TestStoreFile::failedSaveKeepsTheOldFile()
{
    StoreSandbox box;
    addTask(task(QStringLiteral("old"), {}, 2020, 1, 1));
    QVERIFY(testStore().saveTasks().ok);
    const QByteArray before = StoreSandbox::read();

    // A full disk: the file size limit makes the write fail, even for root.
    TestData::editTask(0, [&](Module1::Task &edited) { edited.description = QString(4096, QLatin1Char('x')); });
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const SaveResult full = testStore().saveTasks();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!full.ok);
    QVERIFY2(full.message.startsWith(QStringLiteral("Could not save tasks.txt: ")), qPrintable(full.message));
    QCOMPARE(StoreSandbox::read(), before);
    QCOMPARE(QDir(box.path()).entryList(QDir::Files), QStringList{kStoreFileName});

    if (::geteuid() != 0) {
        // A read-only folder (root writes into those regardless).
        QFile::setPermissions(box.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        TestData::editTask(0, [&](Module1::Task &edited) { edited.title = QStringLiteral("new"); });
        const SaveResult result = testStore().saveTasks();
        QFile::setPermissions(box.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!result.ok);
        QVERIFY(result.message.startsWith(QStringLiteral("Could not save tasks.txt: ")));
        QCOMPARE(StoreSandbox::read(), before);
    }
}

void TestStoreFile::unreadableStoreIsNeverOverwritten()
{
    StoreSandbox box;
    QVERIFY(QDir(box.path()).mkdir(kStoreFileName));
    const LoadReport report = testStore().loadTasks();
    QVERIFY(report.unreadable);
    QCOMPARE(report.problems.size(), 1);
    QVERIFY(report.problems[0].startsWith(QStringLiteral("tasks.txt could not be read")));
    const SaveResult result = testStore().saveTasks();
    QVERIFY(!result.ok);
    QVERIFY2(result.message.startsWith(QStringLiteral("tasks.txt could not be read, so it will not be overwritten: ")),
             qPrintable(result.message));
    QVERIFY(QFileInfo(kStoreFileName).isDir());
}

void TestStoreFile::aPipeOrDeviceIsNotReadAsAStore()
{
    StoreSandbox box;
    // Opening a pipe with no writer would block the start for ever.
    QVERIFY(::mkfifo(QFile::encodeName(kStoreFileName).constData(), 0600) == 0);
    LoadReport report = testStore().loadTasks();
    QVERIFY(report.unreadable);
    QVERIFY(!testStore().saveTasks().ok);
    QVERIFY(QFile::remove(kStoreFileName));

    // A link to an endless device.
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), kStoreFileName));
    report = testStore().loadTasks();
    QVERIFY(report.unreadable);
    QCOMPARE(testStore().taskCount(), 0);
    QVERIFY(!testStore().saveTasks().ok);
    QVERIFY(QFileInfo(kStoreFileName).isSymLink());
}

QTEST_GUILESS_MAIN(TestStoreFile)
#include "test_storefile.moc"
