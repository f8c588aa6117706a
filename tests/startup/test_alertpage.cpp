// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesandbox.h"
#include "alertpage.h"
#include "rules.h"
#include "module1.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(Module1::AlertRule)

using namespace AlertPage;
using Module1::AlertRule;
using Module1::Task;
using TestData::rule;
using TestData::task;

namespace {

const QDate kToday(2024, 5, 10);

const QString kHeader = QStringLiteral("<head><title>Alerts</title></head>\r\n"
                                       "<body>\r\n"
                                       "<h1>HEY BITCH! Get your ass on these!</h1>\r\n");
const QString kFooter = QStringLiteral("</body></html>\r\n");

Task dueOn(const QString &title, QDate date, const QString &description = {})
{
    return task(title, QStringLiteral("Boss"), date.year(), date.month(), date.day(), 9, 30, 0, description);
}

QString pageFor(const QList<Task> &tasks, const QList<AlertRule> &rules, bool *anyListed = nullptr)
{
    const Page page = drawListed(std::span<const Task>(tasks.constData(), size_t(tasks.size())),
                                std::span<const AlertRule>(rules.constData(), size_t(rules.size())), kToday);
    if (anyListed)
        *anyListed = page.anyListed;
    return page.text;
}

mode_t modeOf(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode;
}

} // namespace

class TestAlertPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void exactTextOfOneListedTask();
    void headerOnlyWhenNothingIsListed_data();
    void headerOnlyWhenNothingIsListed();
    void daysLeftLine_data();
    void daysLeftLine();
    void daysLeftIsNotLimitedTo16Bits();
    void colorText_data();
    void colorText();
    void boxColorComesFromTheListingRule();
    void pageListsWhatTheRulesList();
    void tasksKeepTableOrder();
    void slicesCutOnlyBetweenTasks();
    void storeOrderPutsEarliestFirst();
    void escaping_data();
    void escaping();
    void descriptionBreaksBecomeLineBreaks_data();
    void descriptionBreaksBecomeLineBreaks();
    void taskTextCannotInjectMarkup();
    void pageIsAsciiWithCrLfLineEnds();
    void breakOpportunitiesKeepEveryCharacter_data();
    void breakOpportunitiesKeepEveryCharacter();
    void pageLocation_data();
    void pageLocation();
    void pageLocationFollowsTheRuntimeFolder();
    void writeCreatesAPrivateFolder();
    void writeTightensALooseFolder();
    void writeReplacesAPlantedLink();
    void writeRefusesAFolderThatIsAFile();
    void writeRefusesAFolderThatIsALink();
    void writeFailsWithoutALocation();
    void writeFailsWhenThePageIsAFolder();
};

void TestAlertPage::exactTextOfOneListedTask()
{
    const Task t = dueOn(QStringLiteral("Report"), kToday.addDays(3), QStringLiteral("first\r\nsecond"));
    bool listed = false;
    const QString text = pageFor({t}, {rule(7, 65280, true)}, &listed);
    QVERIFY(listed);
    const QString expected = kHeader
        + QStringLiteral("<table width=100% align=center border=0 cellspacing=15 bgcolor=#00FF00>\r\n"
                         "<tr><td bgcolor=#FFFFFF><b><small>Title:</small> Report</b><br><small>\r\n"
                         "<B>For: </b> Boss <BR>\r\n"
                         "<b>Due: </b> ")
        + t.dueText
        + QStringLiteral(" <BR>\r\n"
                         "<b>T -: </b> 3 days left <BR>\r\n"
                         "<hr>first<br>\r\nsecond\r\n"
                         "</small></td></tR></table><br>\r\n")
        + kFooter;
    QCOMPARE(text, expected);
}

void TestAlertPage::headerOnlyWhenNothingIsListed_data()
{
    QTest::addColumn<QList<AlertRule>>("rules");
    QTest::addColumn<int>("dueInDays");
    QTest::newRow("no rules") << QList<AlertRule>{} << 0;
    QTest::newRow("no popup rule") << QList<AlertRule>{rule(30, 255, false), rule(0, 65280, false)} << 0;
    QTest::newRow("popup rule too narrow") << QList<AlertRule>{rule(5, 255, true)} << 6;
    QTest::newRow("late task, negative interval") << QList<AlertRule>{rule(-10, 255, true)} << -3;
}

void TestAlertPage::headerOnlyWhenNothingIsListed()
{
    QFETCH(QList<AlertRule>, rules);
    QFETCH(int, dueInDays);
    bool listed = true;
    const QString text = pageFor({dueOn(QStringLiteral("A"), kToday.addDays(dueInDays))}, rules, &listed);
    QVERIFY(!listed);
    QCOMPARE(text, kHeader + kFooter);
}

void TestAlertPage::daysLeftLine_data()
{
    QTest::addColumn<int>("dueInDays");
    QTest::addColumn<QString>("line");
    QTest::newRow("today") << 0 << QStringLiteral("<b>T -: </b> <B>TODAY!!!</b> <BR>\r\n");
    QTest::newRow("yesterday") << -1 << QStringLiteral("<b>T -: </b> <B>LATE!!!!</b> <BR>\r\n");
    QTest::newRow("last year") << -400 << QStringLiteral("<b>T -: </b> <B>LATE!!!!</b> <BR>\r\n");
    QTest::newRow("tomorrow") << 1 << QStringLiteral("<b>T -: </b> 1 days left <BR>\r\n");
    QTest::newRow("in a month") << 31 << QStringLiteral("<b>T -: </b> 31 days left <BR>\r\n");
}

void TestAlertPage::daysLeftLine()
{
    QFETCH(int, dueInDays);
    QFETCH(QString, line);
    // A late task has a negative number of days left, under any interval.
    const QString text = pageFor({dueOn(QStringLiteral("A"), kToday.addDays(dueInDays))}, {rule(100, 255, true)});
    QVERIFY2(text.contains(line), qPrintable(text));
    QCOMPARE(text.count(QStringLiteral("<b>T -: </b>")), 1);
}

void TestAlertPage::daysLeftIsNotLimitedTo16Bits()
{
    const Task far = task(QStringLiteral("Far"), {}, 9999, 12, 31);
    const qint64 expected = kToday.daysTo(QDate(9999, 12, 31));
    QVERIFY(expected > 32767);
    // The rule compares the unit count clamped to 16 bits, so the widest
    // rule still lists it, with the true number of days on the page.
    const QString text = pageFor({far}, {rule(32767, 255, true)});
    QVERIFY(text.contains(QStringLiteral("<b>T -: </b> %1 days left <BR>").arg(expected)));
}

void TestAlertPage::colorText_data()
{
    QTest::addColumn<qint32>("color");
    QTest::addColumn<QString>("text");
    QTest::newRow("red") << qint32(255) << QStringLiteral("FF0000");
    QTest::newRow("green") << qint32(65280) << QStringLiteral("00FF00");
    QTest::newRow("blue") << qint32(16711680) << QStringLiteral("0000FF");
    QTest::newRow("black") << qint32(0) << QStringLiteral("000000");
    QTest::newRow("byte order") << qint32(0x0A0B0C) << QStringLiteral("0C0B0A");
    QTest::newRow("small values padded") << qint32(0x010203) << QStringLiteral("030201");
    QTest::newRow("high byte ignored") << qint32(0x7F123456) << QStringLiteral("563412");
    QTest::newRow("negative") << qint32(-1) << QStringLiteral("FFFFFF");
}

void TestAlertPage::colorText()
{
    QFETCH(qint32, color);
    QFETCH(QString, text);
    QCOMPARE(AlertPage::colorText(color), text);
}

void TestAlertPage::boxColorComesFromTheListingRule()
{
    const QString text = pageFor({dueOn(QStringLiteral("R"), kToday), dueOn(QStringLiteral("B"), kToday.addDays(5))},
                                 {rule(10, 16711680, true), rule(2, 255, true)});
    QVERIFY(text.contains(QStringLiteral("cellspacing=15 bgcolor=#FF0000>\r\n<tr><td bgcolor=#FFFFFF><b><small>"
                                         "Title:</small> R</b>")));
    QVERIFY(text.contains(QStringLiteral("cellspacing=15 bgcolor=#0000FF>\r\n<tr><td bgcolor=#FFFFFF><b><small>"
                                         "Title:</small> B</b>")));
}

void TestAlertPage::pageListsWhatTheRulesList()
{
    // The choice itself is pinned down in the store's tests; here the page
    // must follow it for every task, with the listing rule's colour.
    const QList<AlertRule> rules = {rule(10, 1, true), rule(3, 2, false), rule(0, 3, true), rule(1, 4, false, QStringLiteral("m"))};
    QList<Task> tasks;
    for (int days : {-40, -1, 0, 1, 2, 3, 9, 10, 11, 25, 60})
        tasks << dueOn(QStringLiteral("In %1").arg(days), kToday.addDays(days));
    const QString text = pageFor(tasks, rules);
    for (const Task &t : tasks) {
        const Rules::Choice choice =
            Rules::choose(Rules::dueDate(t), std::span<const AlertRule>(rules.constData(), size_t(rules.size())), kToday);
        const QString box = QStringLiteral("bgcolor=#%1>\r\n<tr><td bgcolor=#FFFFFF><b><small>Title:</small> %2</b>")
                                .arg(AlertPage::colorText(choice.boxColor), t.title);
        QCOMPARE(text.contains(box), choice.listed);
        QCOMPARE(text.contains(QStringLiteral("</small> %1</b>").arg(t.title)), choice.listed);
    }
    QVERIFY(text.contains(QStringLiteral("In -40</b>")) && !text.contains(QStringLiteral("In 60</b>")));

    // A done task is never on the page, however late.
    Task done = dueOn(QStringLiteral("Done already"), kToday.addDays(-40));
    done.doneText = QStringLiteral("2024-05-01 08:00:00");
    Module1::deriveFields(done);
    bool listed = true;
    QCOMPARE(pageFor({done}, rules, &listed), kHeader + kFooter);
    QVERIFY(!listed);
}

void TestAlertPage::tasksKeepTableOrder()
{
    // The page follows the table as it stands; ordering is the store's job.
    const QList<Task> tasks = {dueOn(QStringLiteral("Third"), kToday.addDays(9)),
                               dueOn(QStringLiteral("Skipped"), kToday.addDays(40)),
                               dueOn(QStringLiteral("First"), kToday.addDays(-2)),
                               dueOn(QStringLiteral("Second"), kToday)};
    const QString text = pageFor(tasks, {rule(10, 255, true)});
    const qsizetype third = text.indexOf(QStringLiteral("</small> Third</b>"));
    const qsizetype first = text.indexOf(QStringLiteral("</small> First</b>"));
    const qsizetype second = text.indexOf(QStringLiteral("</small> Second</b>"));
    QVERIFY(third > 0 && first > third && second > first);
    QVERIFY(!text.contains(QStringLiteral("Skipped")));
    QCOMPARE(text.count(QStringLiteral("<table ")), 3);
}

void TestAlertPage::slicesCutOnlyBetweenTasks()
{
    QList<Task> tasks;
    for (int i = 0; i < 25; ++i)
        tasks << dueOn(QStringLiteral("<table> %1").arg(i), kToday.addDays(i % 5));
    const QString text = pageFor(tasks, {rule(10, 255, true)});
    for (const auto &[first, perSlice, count] : {std::tuple{10, 5, 4}, {3, 100, 2}, {25, 1, 1}, {0, 25, 2}, {24, 1, 2}}) {
        const QStringList slices = AlertPage::slicesByTask(text, first, perSlice);
        QCOMPARE(slices.size(), count);
        QCOMPARE(slices.join(QString()), text);
        // The header and the first tasks, then whole tasks only.
        QCOMPARE(slices[0].count(QStringLiteral("<table ")), qMin(first, 25));
        QVERIFY(slices[0].contains(QStringLiteral("<h1>")));
        for (qsizetype i = 1; i < slices.size(); ++i) {
            QVERIFY(slices[i].startsWith(QStringLiteral("<table ")));
            QVERIFY(slices[i].count(QStringLiteral("<table ")) <= perSlice);
        }
    }
    // A title that looks like a table is escaped, so it never starts one.
    QVERIFY(text.contains(QStringLiteral("&lt;table&gt; 7")));
    // Nothing listed: the header alone.
    QCOMPARE(AlertPage::slicesByTask(pageFor({}, {}), 10, 10).size(), 1);
}

void TestAlertPage::storeOrderPutsEarliestFirst()
{
    StoreSandbox box;
    const QDate today = QDate::currentDate();
    TestData::addTask(dueOn(QStringLiteral("Later"), today.addDays(4)));
    TestData::addTask(dueOn(QStringLiteral("Late"), today.addDays(-3)));
    TestData::addTask(dueOn(QStringLiteral("Now"), today));
    TestData::addRule(10, 255, true);
    testStore().setSortMode(2);
    testStore().sortTasks();
    const Page page = drawListed(testStore().tasks(), testStore().rules(), today);
    QVERIFY(page.anyListed);
    const qsizetype late = page.text.indexOf(QStringLiteral("Late</b>"));
    const qsizetype now = page.text.indexOf(QStringLiteral("Now</b>"));
    const qsizetype later = page.text.indexOf(QStringLiteral("Later</b>"));
    QVERIFY(late > 0 && now > late && later > now);
}

void TestAlertPage::escaping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("tag") << QStringLiteral("<b>") << QStringLiteral("&lt;b&gt;");
    QTest::newRow("ampersand") << QStringLiteral("Tom & Jerry") << QStringLiteral("Tom &amp; Jerry");
    QTest::newRow("entity stays text") << QStringLiteral("&amp;") << QStringLiteral("&amp;amp;");
    QTest::newRow("quotes") << QStringLiteral("say \"hi\" 'x'") << QStringLiteral("say &quot;hi&quot; &#39;x&#39;");
    QTest::newRow("latin") << QStringLiteral("Caf\u00e9 Z\u00f6e") << QStringLiteral("Caf&#233; Z&#246;e");
    QTest::newRow("euro") << QStringLiteral("5 \u20ac") << QStringLiteral("5 &#8364;");
    QTest::newRow("outside the BMP") << QString::fromUcs4(U"\U0001F600!") << QStringLiteral("&#128512;!");
    QTest::newRow("half a pair") << QString(QChar(0xD800)) + QStringLiteral("x") << QStringLiteral("&#65533;x");
    QTest::newRow("plain") << QStringLiteral("Buy milk 2x") << QStringLiteral("Buy milk 2x");
    QTest::newRow("empty") << QString() << QString();
}

void TestAlertPage::escaping()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(escapeHtml(text), escaped);
    // And on the page, in each task field.
    Task t = dueOn(text, kToday);
    t.forWhom = text;
    t.description = text;
    const QString page = pageFor({t}, {rule(0, 255, true)});
    QVERIFY(page.contains(QStringLiteral("<small>Title:</small> ") + escaped + QStringLiteral("</b>")));
    QVERIFY(page.contains(QStringLiteral("<B>For: </b> ") + escaped + QStringLiteral(" <BR>")));
    QVERIFY(page.contains(QStringLiteral("<hr>") + escaped + QStringLiteral("\r\n</small>")));
}

void TestAlertPage::descriptionBreaksBecomeLineBreaks_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR LF") << QStringLiteral("one\r\ntwo") << QStringLiteral("one<br>\r\ntwo");
    QTest::newRow("lone LF and CR") << QStringLiteral("a\nb\rc") << QStringLiteral("a<br>\r\nb<br>\r\nc");
    QTest::newRow("blank line") << QStringLiteral("a\r\n\r\nb") << QStringLiteral("a<br>\r\n<br>\r\nb");
    QTest::newRow("trailing break") << QStringLiteral("a\r\n") << QStringLiteral("a<br>\r\n");
    QTest::newRow("escaped around breaks") << QStringLiteral("<i>\r\n&") << QStringLiteral("&lt;i&gt;<br>\r\n&amp;");
}

void TestAlertPage::descriptionBreaksBecomeLineBreaks()
{
    QFETCH(QString, description);
    QFETCH(QString, shown);
    QCOMPARE(escapeDescription(description), shown);
}

void TestAlertPage::taskTextCannotInjectMarkup()
{
    Task t = dueOn(QStringLiteral("</b></td></tr></table><script>alert(1)</script>"), kToday,
                   QStringLiteral("<img src=x onerror=alert(1)>"));
    t.forWhom = QStringLiteral("<a href='http://example.invalid'>x</a>");
    const QString text = pageFor({t}, {rule(0, 255, true)});
    // Only the page's own tags remain: one table, no script, image or link.
    QCOMPARE(text.count(QStringLiteral("<table")), 1);
    QCOMPARE(text.count(QStringLiteral("</table>")), 1);
    QVERIFY(!text.contains(QStringLiteral("<script")));
    QVERIFY(!text.contains(QStringLiteral("<img")));
    QVERIFY(!text.contains(QStringLiteral("<a ")));
}

void TestAlertPage::pageIsAsciiWithCrLfLineEnds()
{
    Task t = dueOn(QStringLiteral("Gr\u00fc\u00dfe \u65e5\u672c"), kToday, QStringLiteral("x\ny\r\nz\u00a0"));
    t.forWhom = QStringLiteral("\u00c5sa");
    t.dueText = QStringLiteral("10.5.2024 at 9\u202f30");
    const QString text = pageFor({t, dueOn(QStringLiteral("B"), kToday)}, {rule(0, 255, true)});
    for (const QChar c : text)
        QVERIFY2(c.unicode() < 0x80, qPrintable(QStringLiteral("non-ASCII U+%1").arg(c.unicode(), 4, 16)));
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
    QCOMPARE(text.count(QLatin1Char('\r')), text.count(QStringLiteral("\r\n")));
    QVERIFY(text.contains(QStringLiteral("Gr&#252;&#223;e &#26085;&#26412;")));
    QVERIFY(text.contains(QStringLiteral("at 9&#8239;30")));
}

void TestAlertPage::breakOpportunitiesKeepEveryCharacter_data()
{
    const QString zw(QChar(0x200B));
    const QString x32(32, QLatin1Char('x'));
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short words stay") << "<b>Title:</b> Pay the rent" << "<b>Title:</b> Pay the rent";
    QTest::newRow("exactly the longest run") << x32 << x32;
    QTest::newRow("one more") << x32 + u'y' << x32 + zw + u'y';
    QTest::newRow("every 32 characters") << x32 + x32 + x32 + u'y' << x32 + zw + x32 + zw + x32 + zw + u'y';
    QTest::newRow("a blank starts a new run") << x32 + u' ' + x32 + u'y' << x32 + u' ' + x32 + zw + u'y';
    QTest::newRow("a line break starts a new run") << x32 + u'\n' + x32 << x32 + u'\n' + x32;
    QTest::newRow("markup is never split, nor counted")
        << QStringLiteral("<table width=100% align=center border=0 cellspacing=15 bgcolor=#FF0000>") + x32 + QStringLiteral("<b>") + u'y'
        << QStringLiteral("<table width=100% align=center border=0 cellspacing=15 bgcolor=#FF0000>") + x32 + QStringLiteral("<b>") + zw + u'y';
    QTest::newRow("a reference is one character")
        << QString(16, u'x') + QString(16, u'&') .replace(QStringLiteral("&"), QStringLiteral("&#233;")) + u'y'
        << QString(16, u'x') + QString(16, u'&').replace(QStringLiteral("&"), QStringLiteral("&#233;")) + zw + u'y';
    QTest::newRow("a pair of surrogates is one character")
        << QString(32, u'x') + QStringLiteral("\U0001F600") << QString(32, u'x') + zw + QStringLiteral("\U0001F600");
}

void TestAlertPage::breakOpportunitiesKeepEveryCharacter()
{
    QFETCH(QString, html);
    QFETCH(QString, shown);
    const QString result = withBreakOpportunities(html);
    QCOMPARE(result, shown);
    QCOMPARE(QString(result).remove(QChar(0x200B)), html);
}

void TestAlertPage::pageLocation_data()
{
    QTest::addColumn<bool>("windowsTemp");
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<QString>("location");
    QTest::newRow("windows temp exists") << true << QStringLiteral("/run/user/1000")
                                         << QStringLiteral("c:\\windows\\temp\\al.html");
    QTest::newRow("runtime folder") << false << QStringLiteral("/run/user/1000")
                                    << QStringLiteral("/run/user/1000/quorvi/al.html");
    QTest::newRow("no runtime folder") << false << QString() << QString();
}

void TestAlertPage::pageLocation()
{
    QFETCH(bool, windowsTemp);
    QFETCH(QString, runtime);
    QFETCH(QString, location);
    QCOMPARE(choosePageLocation(windowsTemp, runtime), location);
}

void TestAlertPage::pageLocationFollowsTheRuntimeFolder()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString location = AlertPage::pageLocation();
    qputenv("XDG_RUNTIME_DIR", previous);
    QCOMPARE(location, runtime.path() + QStringLiteral("/quorvi/al.html"));
    QVERIFY(!location.contains(QStringLiteral("c:\\")));
}

void TestAlertPage::writeCreatesAPrivateFolder()
{
    QTemporaryDir runtime;
    const QString path = choosePageLocation(false, runtime.path());
    const WriteResult result = writePage(path, QStringLiteral("<body>\r\n</body>\r\n"));
    QVERIFY2(result.ok, qPrintable(result.reason));
    QCOMPARE(modeOf(runtime.path() + QStringLiteral("/quorvi")) & 0777, mode_t(0700));
    QVERIFY(S_ISREG(modeOf(path)));
    QCOMPARE(StoreSandbox::read(path), QByteArray("<body>\r\n</body>\r\n"));
    // A second start replaces the page whole.
    QVERIFY(writePage(path, QStringLiteral("x")).ok);
    QCOMPARE(StoreSandbox::read(path), QByteArray("x"));
    QCOMPARE(QDir(runtime.path() + QStringLiteral("/quorvi")).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("al.html")});
}

void TestAlertPage::writeTightensALooseFolder()
{
    QTemporaryDir runtime;
    const QString folder = runtime.path() + QStringLiteral("/quorvi");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
    QVERIFY(writePage(folder + QStringLiteral("/al.html"), QStringLiteral("x")).ok);
    QCOMPARE(modeOf(folder) & 0777, mode_t(0700));
}

void TestAlertPage::writeReplacesAPlantedLink()
{
    QTemporaryDir runtime;
    const QString folder = runtime.path() + QStringLiteral("/quorvi");
    QVERIFY(QDir().mkdir(folder));
    const QString victim = runtime.path() + QStringLiteral("/victim.txt");
    StoreSandbox::write("precious", victim);
    const QString path = folder + QStringLiteral("/al.html");
    QVERIFY(QFile::link(victim, path));

    const WriteResult result = writePage(path, QStringLiteral("page"));
    QVERIFY2(result.ok, qPrintable(result.reason));
    QCOMPARE(StoreSandbox::read(victim), QByteArray("precious"));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(StoreSandbox::read(path), QByteArray("page"));
}

void TestAlertPage::writeRefusesAFolderThatIsAFile()
{
    QTemporaryDir runtime;
    const QString folder = runtime.path() + QStringLiteral("/quorvi");
    StoreSandbox::write("not a folder", folder);
    const WriteResult result = writePage(folder + QStringLiteral("/al.html"), QStringLiteral("page"));
    QVERIFY(!result.ok);
    QVERIFY2(result.reason.contains(QStringLiteral("not a folder")), qPrintable(result.reason));
    QCOMPARE(StoreSandbox::read(folder), QByteArray("not a folder"));
}

void TestAlertPage::writeRefusesAFolderThatIsALink()
{
    QTemporaryDir runtime;
    QTemporaryDir elsewhere;
    const QString folder = runtime.path() + QStringLiteral("/quorvi");
    QVERIFY(QFile::link(elsewhere.path(), folder));
    const WriteResult result = writePage(folder + QStringLiteral("/al.html"), QStringLiteral("page"));
    QVERIFY(!result.ok);
    QVERIFY2(result.reason.contains(QStringLiteral("link")), qPrintable(result.reason));
    QVERIFY(QDir(elsewhere.path()).isEmpty());
}

void TestAlertPage::writeFailsWithoutALocation()
{
    const WriteResult result = writePage(QString(), QStringLiteral("page"));
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
}

void TestAlertPage::writeFailsWhenThePageIsAFolder()
{
    QTemporaryDir runtime;
    const QString path = runtime.path() + QStringLiteral("/quorvi/al.html");
    QVERIFY(QDir().mkpath(path));
    const WriteResult result = writePage(path, QStringLiteral("page"));
    QVERIFY(!result.ok);
    QVERIFY(QFileInfo(path).isDir());
}

QTEST_GUILESS_MAIN(TestAlertPage)
#include "test_alertpage.moc"
