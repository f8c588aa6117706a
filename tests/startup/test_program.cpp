// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesandbox.h"
#include "program.h"
#include "fakeseam.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <functional>

#include <QScopeGuard>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "opening.h"

using Opening::Window;
using TestData::dueIn;

Q_DECLARE_METATYPE(Opening::Window)

namespace {

struct Run {
    int exitCode = -1;
    bool finished = false;
    QByteArray out;
    QByteArray err;
};

// Runs the built program in the current (sandbox) folder. A program that
// waited on a message box would never finish, so finishing is checked too.
Run runQuorvi(const QStringList &arguments, const QProcessEnvironment &env,
              const std::function<void()> &inChild = {})
{
    QProcess process;
    process.setProcessEnvironment(env);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.setWorkingDirectory(QDir::currentPath());
    process.start(QStringLiteral(QUORVI_BINARY), arguments);
    Run run;
    if (!process.waitForStarted(30000))
        return run;
    run.finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    if (!run.finished)
        process.kill();
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QProcessEnvironment environmentFor(const RuntimeSandbox &runtime)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    return env;
}

void saveStore(bool due, bool popup = true)
{
    TestData::saveStore({dueIn(QStringLiteral("Call the plumber"), due ? 0 : 200, QStringLiteral("Home")),
                         dueIn(QStringLiteral("Tax return"), due ? -3 : 300, QStringLiteral("Me"))},
                        {TestData::rule(7, 255, popup)});
}

bool hasColor(const QImage &image, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == color)
                return true;
        }
    }
    return false;
}

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void stripQtOptions_data();
    void stripQtOptions();
    void parseArguments_data();
    void parseArguments();
    void badCommandLines_data();
    void badCommandLines();
    void helpSaysWhereTheFilesAre();
    void versionNamesTheProgram();
    void chooseOpening_data();
    void chooseOpening();

    void screenshotOfTheAlertWindow();
    void nothingDueWritesNothing();
    void nothingDueIsToldOnATerminalOnly();
    void firstRunScreenshotShowsTheTaskList();
    void showAllScreenshotShowsTheTaskList();
    void unwritablePageStillGivesTheWindow();
    void loadProblemsGoToStandardErrorWhenScreenshotting();
    void unwritableScreenshotFails();
    void aFileSizeLimitDoesNotEndTheProgram();
    void badOptionExitsWithStatusTwo_data();
    void badOptionExitsWithStatusTwo();
    void helpAndVersionNeedNoDisplay();
};

void TestProgram::stripQtOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("kept");
    const QString q = QStringLiteral("quorvi");
    QTest::newRow("platform and value") << QStringList{q, QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                                       QStringLiteral("--show-all")}
                                        << QStringList{q, QStringLiteral("--show-all")};
    QTest::newRow("double dash, equals") << QStringList{q, QStringLiteral("--style=fusion"), QStringLiteral("-reverse")}
                                         << QStringList{q};
    QTest::newRow("ours and unknown kept")
        << QStringList{q, QStringLiteral("--screenshot"), QStringLiteral("a.png"), QStringLiteral("--bogus")}
        << QStringList{q, QStringLiteral("--screenshot"), QStringLiteral("a.png"), QStringLiteral("--bogus")};
    QTest::newRow("program name never dropped") << QStringList{QStringLiteral("-style")} << QStringList{QStringLiteral("-style")};
}

void TestProgram::stripQtOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, kept);
    QCOMPARE(Program::stripQtOptions(arguments), kept);
}

void TestProgram::parseArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("showAll");
    QTest::addColumn<QString>("screenshot");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("version");
    const QString q = QStringLiteral("quorvi");
    QTest::newRow("nothing") << QStringList{q} << false << QString() << false << false;
    QTest::newRow("show all") << QStringList{q, QStringLiteral("--show-all")} << true << QString() << false << false;
    QTest::newRow("screenshot") << QStringList{q, QStringLiteral("--screenshot"), QStringLiteral("out.png")} << false
                                << QStringLiteral("out.png") << false << false;
    QTest::newRow("screenshot with =") << QStringList{q, QStringLiteral("--screenshot=a b.png")} << false
                                       << QStringLiteral("a b.png") << false << false;
    QTest::newRow("both") << QStringList{q, QStringLiteral("--screenshot"), QStringLiteral("x.png"),
                                         QStringLiteral("--show-all")}
                          << true << QStringLiteral("x.png") << false << false;
    QTest::newRow("help") << QStringList{q, QStringLiteral("--help")} << false << QString() << true << false;
    QTest::newRow("short help") << QStringList{q, QStringLiteral("-h")} << false << QString() << true << false;
    QTest::newRow("version") << QStringList{q, QStringLiteral("--version")} << false << QString() << false << true;
    QTest::newRow("background") << QStringList{q, QStringLiteral("--background")} << false << QString() << false
                                << false;
    QTest::newRow("background with the list") << QStringList{q, QStringLiteral("--show-all"), QStringLiteral("--background")}
                                              << true << QString() << false << false;
}

void TestProgram::parseArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, showAll);
    QFETCH(QString, screenshot);
    QFETCH(bool, help);
    QFETCH(bool, version);
    const Program::Options o = Program::parseArguments(arguments);
    QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
    QCOMPARE(o.showAll, showAll);
    QCOMPARE(o.screenshotFile, screenshot);
    QCOMPARE(o.help, help);
    QCOMPARE(o.version, version);
    QCOMPARE(o.background, arguments.contains(QStringLiteral("--background")));
}

void TestProgram::badCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    const QString q = QStringLiteral("quorvi");
    QTest::newRow("unknown option") << QStringList{q, QStringLiteral("--bogus")} << QStringLiteral("bogus");
    QTest::newRow("unknown short") << QStringList{q, QStringLiteral("-x")} << QStringLiteral("x");
    QTest::newRow("missing file") << QStringList{q, QStringLiteral("--screenshot")} << QStringLiteral("screenshot");
    QTest::newRow("empty file") << QStringList{q, QStringLiteral("--screenshot=")} << QStringLiteral("screenshot");
    QTest::newRow("stray argument") << QStringList{q, QStringLiteral("tasks.txt")} << QStringLiteral("tasks.txt");
    QTest::newRow("value on a flag") << QStringList{q, QStringLiteral("--show-all=yes")} << QStringLiteral("show-all");
    QTest::newRow("autostart in the background") << QStringList{q, QStringLiteral("--autostart"), QStringLiteral("on"),
                                                                QStringLiteral("--background")}
                                                 << QStringLiteral("--background");
}

void TestProgram::badCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    const Program::Options o = Program::parseArguments(arguments);
    QVERIFY(!o.error.isEmpty());
    QVERIFY2(o.error.contains(mentions), qPrintable(o.error));
    QVERIFY(!o.error.contains(QLatin1Char('\n')));
}

void TestProgram::helpSaysWhereTheFilesAre()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    const QString help = Program::helpText();
    QVERIFY(help.startsWith(Program::usageLine()));
    QVERIFY2(help.contains(QDir(box.path()).absoluteFilePath(QStringLiteral("tasks.txt"))), qPrintable(help));
    QVERIFY2(help.contains(runtime.page()), qPrintable(help));
    for (const char *option : {"--show-all", "--background", "--screenshot FILE", "--help", "--version"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
}

void TestProgram::versionNamesTheProgram()
{
    QCOMPARE(Program::versionText(), QStringLiteral("quorvi ") + QStringLiteral(QUORVI_VERSION));
}

void TestProgram::chooseOpening_data()
{
    QTest::addColumn<bool>("showAll");
    QTest::addColumn<bool>("storeMissing");
    QTest::addColumn<bool>("anyListed");
    QTest::addColumn<Window>("opening");
    QTest::newRow("something due") << false << false << true << Window::Alert;
    QTest::newRow("nothing due") << false << false << false << Window::Nothing;
    QTest::newRow("first run") << false << true << false << Window::MainWindow;
    QTest::newRow("show all, something due") << true << false << true << Window::MainWindow;
    QTest::newRow("show all, nothing due") << true << false << false << Window::MainWindow;
}

void TestProgram::chooseOpening()
{
    QFETCH(bool, showAll);
    QFETCH(bool, storeMissing);
    QFETCH(bool, anyListed);
    QFETCH(Window, opening);
    QCOMPARE(Opening::choose(showAll, storeMissing, anyListed), opening);
}

void TestProgram::screenshotOfTheAlertWindow()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(true);
    const Run run = runQuorvi({QStringLiteral("--screenshot"), QStringLiteral("alert.png")}, environmentFor(runtime));
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    const QImage image(box.file(QStringLiteral("alert.png")), "PNG");
    QVERIFY(!image.isNull());
    // Two thirds of the offscreen platform's 800 x 800 screen.
    QCOMPARE(image.size(), QSize(533, 533));
    QVERIFY(hasColor(image, QColor(255, 0, 0)));

    const QByteArray page = StoreSandbox::read(runtime.page());
    QVERIFY(page.contains("Call the plumber"));
    QVERIFY(page.contains("TODAY!!!"));
    QVERIFY(page.contains("LATE!!!!"));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(runtime.pageFolder()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0700));
}

void TestProgram::nothingDueWritesNothing()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(false);
    const Run run = runQuorvi({QStringLiteral("--screenshot"), QStringLiteral("none.png")}, environmentFor(runtime));
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!QFileInfo::exists(box.file(QStringLiteral("none.png"))));
    QVERIFY(run.out.isEmpty());
}

void TestProgram::nothingDueIsToldOnATerminalOnly()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(false);
    // Through a pipe (a launcher, a script): nothing.
    const Run piped = runQuorvi({}, environmentFor(runtime));
    QVERIFY2(piped.finished && piped.exitCode == 0 && piped.out.isEmpty(), QByteArray(piped.out + piped.err).constData());
    // On a terminal, as a person who typed the command sees it: one line.
    int terminal = -1, program = -1;
    QCOMPARE(::openpty(&terminal, &program, nullptr, nullptr, nullptr), 0);
    const auto closeBoth = qScopeGuard([&] { ::close(terminal), ::close(program); });
    const Run typed = runQuorvi({}, environmentFor(runtime), [program] { ::dup2(program, STDOUT_FILENO); });
    QVERIFY2(typed.finished && typed.exitCode == 0, typed.err);
    char shown[200] = {};
    ::fcntl(terminal, F_SETFL, O_NONBLOCK); // nothing written must not hang the test
    QVERIFY(::read(terminal, shown, sizeof shown - 1) > 0);
    QCOMPARE(QByteArray(shown), QByteArray("Nothing is due; quorvi --show-all opens the task list\r\n"));
}

void TestProgram::firstRunScreenshotShowsTheTaskList()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    const Run run = runQuorvi({QStringLiteral("--screenshot"), QStringLiteral("first.png")}, environmentFor(runtime));
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    const QImage image(box.file(QStringLiteral("first.png")), "PNG");
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 100 && image.height() >= 100);
    // The store is not created just by looking.
    QVERIFY(!QFileInfo::exists(box.file(QStringLiteral("tasks.txt"))));
}

void TestProgram::showAllScreenshotShowsTheTaskList()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(true);
    const Run run = runQuorvi({QStringLiteral("--show-all"), QStringLiteral("--screenshot"), QStringLiteral("all.png")},
                              environmentFor(runtime));
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    const QImage image(box.file(QStringLiteral("all.png")), "PNG");
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 100 && image.height() >= 100);
    QVERIFY(!QFileInfo::exists(runtime.page()));
}

void TestProgram::unwritablePageStillGivesTheWindow()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(true);
    StoreSandbox::write("in the way", runtime.pageFolder());
    const Run run = runQuorvi({QStringLiteral("--screenshot"), QStringLiteral("mem.png")}, environmentFor(runtime));
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains("could not write the alert page"), run.err.constData());
    QVERIFY(run.err.contains("not a folder"));
    const QImage image(box.file(QStringLiteral("mem.png")), "PNG");
    QVERIFY(!image.isNull());
    QVERIFY(hasColor(image, QColor(255, 0, 0)));
}

void TestProgram::loadProblemsGoToStandardErrorWhenScreenshotting()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(true);
    QFile store(box.file(QStringLiteral("tasks.txt")));
    QVERIFY(store.open(QIODevice::Append));
    store.write("zz\r\n");
    store.close();
    const Run run = runQuorvi({QStringLiteral("--screenshot"), QStringLiteral("p.png")}, environmentFor(runtime));
    QVERIFY2(run.finished, "a message box blocked the run");
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains("tasks.txt line"), run.err.constData());
    QCOMPARE(run.err.count("too short"), 1);
    QVERIFY(QFileInfo::exists(box.file(QStringLiteral("p.png"))));
}

void TestProgram::unwritableScreenshotFails()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(true);
    const Run run = runQuorvi({QStringLiteral("--screenshot"), QStringLiteral("missing/dir/x.png")},
                              environmentFor(runtime));
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("could not write"), run.err.constData());
}

void TestProgram::aFileSizeLimitDoesNotEndTheProgram()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(true);
    // Under "ulimit -f" a write past the limit raises SIGXFSZ, which ends a
    // program on the spot unless it is ignored; then the write just fails.
    QProcessEnvironment env = environmentFor(runtime);
    // Qt's PNG writer leaks its buffer when the write fails; under the leak
    // checker that alone would end the program with a report.
    env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    const Run run = runQuorvi({QStringLiteral("--screenshot"), QStringLiteral("alert.png")}, env, [] {
        struct rlimit small {512, 512};
        ::setrlimit(RLIMIT_FSIZE, &small);
    });
    QVERIFY2(run.finished, QByteArray("ended by a signal: " + run.err).constData());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("could not write"), run.err.constData());
}

void TestProgram::badOptionExitsWithStatusTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown") << QStringList{QStringLiteral("--bogus")};
    QTest::newRow("no file") << QStringList{QStringLiteral("--screenshot")};
    QTest::newRow("stray") << QStringList{QStringLiteral("now")};
}

void TestProgram::badOptionExitsWithStatusTwo()
{
    QFETCH(QStringList, arguments);
    StoreSandbox box;
    RuntimeSandbox runtime;
    saveStore(true);
    const Run run = runQuorvi(arguments, environmentFor(runtime));
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 2);
    const QList<QByteArray> lines = run.err.split('\n');
    QVERIFY(lines.size() >= 2);
    QVERIFY2(lines[0].startsWith("quorvi: "), run.err.constData());
    QVERIFY(lines[1].startsWith("Usage: quorvi"));
    QVERIFY(run.out.isEmpty());
    // Nothing was started: no page written.
    QVERIFY(!QFileInfo::exists(runtime.page()));
}

void TestProgram::helpAndVersionNeedNoDisplay()
{
    StoreSandbox box;
    RuntimeSandbox runtime;
    QProcessEnvironment env = environmentFor(runtime);
    // A display-less terminal: no platform would start.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));

    const Run help = runQuorvi({QStringLiteral("--help")}, env);
    QVERIFY(help.finished);
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("Usage: quorvi"));
    QVERIFY(help.out.contains("tasks.txt"));
    QVERIFY2(help.out.contains(QFile::encodeName(runtime.page())), help.out.constData());

    const Run version = runQuorvi({QStringLiteral("--version")}, env);
    QVERIFY(version.finished);
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("quorvi " QUORVI_VERSION "\n"));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
