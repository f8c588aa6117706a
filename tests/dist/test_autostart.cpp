// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"
#include "desktopentry.h"
#include "program.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Autostart::Action;

Q_DECLARE_METATYPE(Autostart::Action)

namespace {

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The value of `key` exactly as it stands in the entry's text.
QString rawValue(const QString &text, const QString &key)
{
    for (const QString &line : text.split(u'\n')) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return QStringLiteral("<missing>");
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void escapesStringValues_data();
    void escapesStringValues();
    void unescapeKeepsUnknownEscapes();
    void quotesExecArguments_data();
    void quotesExecArguments();
    void readsFirstExecArgument_data();
    void readsFirstExecArgument();
    void readsEveryExecArgument();
    void entryRoundTrips_data();
    void entryRoundTrips();
    void entryHasTheKeysALoginNeeds();
    void entryRefusesControlCharacters_data();
    void entryRefusesControlCharacters();
    void parsesEditedEntries_data();
    void parsesEditedEntries();
    void findsTheEntryFolder_data();
    void findsTheEntryFolder();
    void findsTheLauncherFolder_data();
    void findsTheLauncherFolder();
    void launcherHasTheKeysTheMenuNeeds();
    void offLeavesALauncherOfTheUsersOwn();
    void onRefusesToReplaceALauncherOfTheUsersOwn();
    void onRefusesNamesThatAreNotUtf8();
    void onSaysWhichFolderItReplaced();
    void parsesTheCommand_data();
    void parsesTheCommand();
    void statusTells_data();
    void statusTells();
    void onWritesAndOffRemoves();
    void onNotesAMissingStore();
    void onFailsWhenTheFolderCannotBeMade();
    void offFailsWhenTheEntryIsAFolder();
    void statusSeesAProgramThatMoved();
    void noConfigurationFolderIsAFailure();
    void helpNamesTheEntry();
    void windowIconIsBuiltIn();
};

void TestAutostart::escapesStringValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("plain") << "/home/ann/tasks" << "/home/ann/tasks";
    QTest::newRow("inner blanks stay") << "/home/ann/my tasks" << "/home/ann/my tasks";
    QTest::newRow("leading blank") << " tasks" << "\\stasks";
    QTest::newRow("trailing blanks") << "tasks  " << "tasks\\s\\s";
    QTest::newRow("only blanks") << "  " << "\\s\\s";
    QTest::newRow("backslash") << "a\\b" << "a\\\\b";
    QTest::newRow("backslash then s") << "a\\s" << "a\\\\s";
    QTest::newRow("line feed") << "a\nb" << "a\\nb";
    QTest::newRow("tab") << "a\tb" << "a\\tb";
    QTest::newRow("carriage return") << "a\rb" << "a\\rb";
    QTest::newRow("list and comment marks stay") << "a;b#c=d[e]" << "a;b#c=d[e]";
    QTest::newRow("non-ASCII stays") << QStringLiteral("/home/zoë/Aufgaben für mich")
                                     << QStringLiteral("/home/zoë/Aufgaben für mich");
    QTest::newRow("empty") << "" << "";
}

void TestAutostart::escapesStringValues()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(DesktopEntry::escapeValue(text), escaped);
    QCOMPARE(DesktopEntry::unescapeValue(escaped), text);
}

void TestAutostart::unescapeKeepsUnknownEscapes()
{
    QCOMPARE(DesktopEntry::unescapeValue(u"a\\qb"), QStringLiteral("a\\qb"));
    QCOMPARE(DesktopEntry::unescapeValue(u"ends in \\"), QStringLiteral("ends in \\"));
    QCOMPARE(DesktopEntry::unescapeValue(u"\\s\\s\\\\s"), QStringLiteral("  \\s"));
}

void TestAutostart::quotesExecArguments_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "/usr/bin/quorvi" << "/usr/bin/quorvi";
    QTest::newRow("blank") << "/opt/my apps/quorvi" << "\"/opt/my apps/quorvi\"";
    QTest::newRow("double quote") << "/opt/a\"b/quorvi" << "\"/opt/a\\\"b/quorvi\"";
    QTest::newRow("dollar") << "/opt/$HOME/quorvi" << "\"/opt/\\$HOME/quorvi\"";
    QTest::newRow("backtick") << "/opt/`x`/quorvi" << "\"/opt/\\`x\\`/quorvi\"";
    QTest::newRow("backslash") << "/opt/a\\b/quorvi" << "\"/opt/a\\\\b/quorvi\"";
    QTest::newRow("single quote") << "/opt/ann's/quorvi" << "\"/opt/ann's/quorvi\"";
    QTest::newRow("tilde") << "/opt/~/quorvi" << "\"/opt/~/quorvi\"";
    QTest::newRow("hash and semicolon") << "/opt/#1;2/quorvi" << "\"/opt/#1;2/quorvi\"";
    QTest::newRow("parentheses") << "/opt/prog(1)/quorvi" << "\"/opt/prog(1)/quorvi\"";
    QTest::newRow("percent unquoted") << "/opt/100%/quorvi" << "/opt/100%%/quorvi";
    QTest::newRow("percent quoted") << "/opt/100 %f/quorvi" << "\"/opt/100 %%f/quorvi\"";
    QTest::newRow("empty") << "" << "\"\"";
}

void TestAutostart::quotesExecArguments()
{
    QFETCH(QString, argument);
    QFETCH(QString, quoted);
    QCOMPARE(DesktopEntry::quoteArgument(argument), quoted);
    if (!argument.isEmpty())
        QCOMPARE(DesktopEntry::firstArgument(quoted), argument);
}

void TestAutostart::readsFirstExecArgument_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("program");
    QTest::newRow("bare") << "quorvi" << "quorvi";
    QTest::newRow("with arguments") << "/usr/bin/quorvi --show-all %U" << "/usr/bin/quorvi";
    QTest::newRow("leading blanks") << "   /usr/bin/quorvi" << "/usr/bin/quorvi";
    QTest::newRow("quoted with arguments") << "\"/opt/my apps/quorvi\" --show-all" << "/opt/my apps/quorvi";
    QTest::newRow("open quote") << "\"/opt/my apps/quorvi" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("only blanks") << "  " << "";
    QTest::newRow("other backslashes kept") << "\"/opt/a\\xb\"" << "/opt/a\\xb";
}

void TestAutostart::readsFirstExecArgument()
{
    QFETCH(QString, exec);
    QFETCH(QString, program);
    QCOMPARE(DesktopEntry::firstArgument(exec), program);
}

void TestAutostart::readsEveryExecArgument()
{
    QCOMPARE(DesktopEntry::arguments(u"\"/opt/my apps/quorvi\"  --background\t%U 50%%"),
             QStringList({u"/opt/my apps/quorvi"_s, u"--background"_s, u"%U"_s, u"50%"_s}));
    QCOMPARE(DesktopEntry::arguments(u"quorvi \"a \\\"b\\\" c\""), QStringList({u"quorvi"_s, u"a \"b\" c"_s}));
    QCOMPARE(DesktopEntry::arguments(u"quorvi \"open"), QStringList());
    QCOMPARE(DesktopEntry::arguments(u"   "), QStringList());
}

void TestAutostart::entryRoundTrips_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("rawExec");
    QTest::addColumn<QString>("rawPath");
    QTest::newRow("plain") << "/usr/bin/quorvi" << "/home/ann" << "/usr/bin/quorvi" << "/home/ann";
    QTest::newRow("blanks in both") << "/opt/my apps/quorvi" << "/home/ann/my tasks"
                                    << "\"/opt/my apps/quorvi\"" << "/home/ann/my tasks";
    // Quoting first, then the string escape doubles the quote's backslash.
    QTest::newRow("quote in program") << "/opt/a\"b/quorvi" << "/home/ann"
                                      << "\"/opt/a\\\\\"b/quorvi\"" << "/home/ann";
    QTest::newRow("backslash in program") << "/opt/a\\b/quorvi" << "/home/ann"
                                          << "\"/opt/a\\\\\\\\b/quorvi\"" << "/home/ann";
    QTest::newRow("dollar in both") << "/opt/$x/quorvi" << "/home/$x"
                                    << "\"/opt/\\\\$x/quorvi\"" << "/home/$x";
    QTest::newRow("percent in both") << "/opt/50%/quorvi" << "/home/50%" << "/opt/50%%/quorvi" << "/home/50%";
    QTest::newRow("folder with a blank at the end") << "/usr/bin/quorvi" << "/home/ann/ tasks "
                                                    << "/usr/bin/quorvi" << "/home/ann/ tasks\\s";
    QTest::newRow("line break in folder") << "/usr/bin/quorvi" << "/tmp/a\nb" << "/usr/bin/quorvi" << "/tmp/a\\nb";
    QTest::newRow("tab in folder") << "/usr/bin/quorvi" << "/tmp/a\tb" << "/usr/bin/quorvi" << "/tmp/a\\tb";
    QTest::newRow("backslash in folder") << "/usr/bin/quorvi" << "/tmp/a\\nb" << "/usr/bin/quorvi"
                                         << "/tmp/a\\\\nb";
    QTest::newRow("key-like folder") << "/usr/bin/quorvi" << "/tmp/Exec=x [Desktop Entry] #1"
                                     << "/usr/bin/quorvi" << "/tmp/Exec=x [Desktop Entry] #1";
    QTest::newRow("placeholders") << "/opt/%1/quorvi" << "/tmp/%1 %2" << "/opt/%%1/quorvi" << "/tmp/%1 %2";
    QTest::newRow("non-ASCII") << QStringLiteral("/opt/zoë/quorvi") << QStringLiteral("/home/zoë/Aufgaben")
                               << QStringLiteral("/opt/zoë/quorvi") << QStringLiteral("/home/zoë/Aufgaben");
}

void TestAutostart::entryRoundTrips()
{
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QFETCH(QString, rawExec);
    QFETCH(QString, rawPath);
    const Autostart::EntryText entry = Autostart::entryText(program, folder);
    QVERIFY2(entry.reason.isEmpty(), qPrintable(entry.reason));
    QCOMPARE(rawValue(entry.text, QStringLiteral("Exec")), rawExec + QStringLiteral(" --background"));
    QCOMPARE(rawValue(entry.text, QStringLiteral("Path")), rawPath);
    // No value may spill onto a line of its own.
    QCOMPARE(entry.text.count(u'\n'), 10);

    const Autostart::Entry back = Autostart::parseEntry(entry.text);
    QVERIFY(back.valid);
    QVERIFY(!back.hidden);
    QVERIFY(back.background);
    QCOMPARE(back.program, program);
    QCOMPARE(back.folder, folder);

    // The launcher carries the same program and folder.
    const Autostart::EntryText launcher = Autostart::launcherText(program, folder);
    QVERIFY2(launcher.reason.isEmpty(), qPrintable(launcher.reason));
    QCOMPARE(rawValue(launcher.text, QStringLiteral("Exec")), rawExec + QStringLiteral(" --show-all"));
    QCOMPARE(rawValue(launcher.text, QStringLiteral("Path")), rawPath);
    QCOMPARE(launcher.text.count(u'\n'), 13);
    const Autostart::Entry launcherBack = Autostart::parseEntry(launcher.text);
    QCOMPARE(launcherBack.program, program);
    QCOMPARE(launcherBack.folder, folder);
    QVERIFY(launcherBack.ours);
    QVERIFY(!launcherBack.background);
}

void TestAutostart::entryHasTheKeysALoginNeeds()
{
    const QString text = Autostart::entryText(QStringLiteral("/usr/bin/quorvi"), QStringLiteral("/home/ann")).text;
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QCOMPARE(rawValue(text, QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(rawValue(text, QStringLiteral("Name")), QStringLiteral("Quorvi"));
    QCOMPARE(rawValue(text, QStringLiteral("Icon")), QStringLiteral("quorvi"));
    QCOMPARE(rawValue(text, QStringLiteral("Terminal")), QStringLiteral("false"));
    // A login start is the alert start, kept running, never the task list.
    QCOMPARE(rawValue(text, QStringLiteral("Exec")), QStringLiteral("/usr/bin/quorvi --background"));
    QVERIFY(!text.contains(QStringLiteral("--show-all")));
    QVERIFY(!text.contains(QStringLiteral("Hidden=")));
}

void TestAutostart::entryRefusesControlCharacters_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("reasonNames");
    QTest::newRow("escape in folder") << "/usr/bin/quorvi" << QStringLiteral("/tmp/a\x1b" "b") << "folder";
    QTest::newRow("bell in program") << QStringLiteral("/opt/\a/quorvi") << "/tmp" << "program";
    QTest::newRow("delete in folder") << "/usr/bin/quorvi" << QStringLiteral("/tmp/a\x7f") << "folder";
}

void TestAutostart::entryRefusesControlCharacters()
{
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QFETCH(QString, reasonNames);
    const Autostart::EntryText entry = Autostart::entryText(program, folder);
    QVERIFY(entry.text.isEmpty());
    QVERIFY2(entry.reason.contains(reasonNames), qPrintable(entry.reason));
    QVERIFY(!DesktopEntry::representable(folder) || !DesktopEntry::representable(program));
}

void TestAutostart::parsesEditedEntries_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("blanks around =") << "[Desktop Entry]\nExec = /usr/bin/quorvi\nPath =  /home/ann\n" << true
                                     << "/usr/bin/quorvi" << "/home/ann" << false;
    QTest::newRow("CR LF lines") << "[Desktop Entry]\r\nExec=/usr/bin/quorvi\r\nPath=/home/ann\r\n" << true
                                 << "/usr/bin/quorvi" << "/home/ann" << false;
    QTest::newRow("comments and indented keys") << "# mine\n[Desktop Entry]\n# Exec=/bin/false\n  Exec=quorvi\n"
                                                << true << "quorvi" << "" << false;
    QTest::newRow("hidden") << "[Desktop Entry]\nExec=quorvi\nHidden=true\n" << true << "quorvi" << "" << true;
    QTest::newRow("hidden false") << "[Desktop Entry]\nExec=quorvi\nHidden=false\n" << true << "quorvi" << ""
                                  << false;
    QTest::newRow("GNOME switch off") << "[Desktop Entry]\nExec=quorvi\nX-GNOME-Autostart-enabled=false\n" << true
                                      << "quorvi" << "" << true;
    QTest::newRow("other group's keys ignored")
        << "[Desktop Entry]\nExec=quorvi\nPath=/a\n[Desktop Action x]\nExec=/bin/false\nPath=/b\nHidden=true\n"
        << true << "quorvi" << "/a" << false;
    QTest::newRow("a later Desktop Entry group is not the entry")
        << "[Other]\nExec=/bin/false\n[Desktop Entry]\nExec=quorvi\n" << false << "" << "" << false;
    QTest::newRow("no group") << "Exec=quorvi\n" << false << "" << "" << false;
    QTest::newRow("no Exec") << "[Desktop Entry]\nPath=/a\n" << false << "" << "/a" << false;
    QTest::newRow("empty Exec") << "[Desktop Entry]\nExec=\n" << false << "" << "" << false;
    QTest::newRow("open quote") << "[Desktop Entry]\nExec=\"/opt/a b\n" << false << "" << "" << false;
    QTest::newRow("line without =") << "[Desktop Entry]\nnonsense\nExec=quorvi\n" << true << "quorvi" << ""
                                    << false;
    QTest::newRow("empty text") << "" << false << "" << "" << false;
}

void TestAutostart::parsesEditedEntries()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QFETCH(bool, hidden);
    const Autostart::Entry entry = Autostart::parseEntry(text);
    QCOMPARE(entry.valid, valid);
    QCOMPARE(entry.program, program);
    QCOMPARE(entry.folder, folder);
    QCOMPARE(entry.hidden, hidden);
}

void TestAutostart::findsTheEntryFolder_data()
{
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("folder");
    QTest::newRow("XDG_CONFIG_HOME wins") << "/cfg" << "/home/ann" << "/cfg/autostart";
    QTest::newRow("trailing slash") << "/cfg/" << "/home/ann" << "/cfg/autostart";
    QTest::newRow("unset") << "" << "/home/ann" << "/home/ann/.config/autostart";
    QTest::newRow("relative is ignored") << "cfg" << "/home/ann" << "/home/ann/.config/autostart";
    QTest::newRow("blanks") << "/my cfg" << "/home/ann" << "/my cfg/autostart";
    QTest::newRow("nothing") << "" << "" << "";
    QTest::newRow("relative home") << "" << "home" << "";
}

void TestAutostart::findsTheEntryFolder()
{
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, home);
    QFETCH(QString, folder);
    QCOMPARE(Autostart::entryFolder(xdgConfigHome, home), folder);
    QCOMPARE(Autostart::entryFile(xdgConfigHome, home),
             folder.isEmpty() ? QString() : folder + QStringLiteral("/quorvi.desktop"));
}

void TestAutostart::parsesTheCommand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("present");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("error");
    QTest::newRow("no option") << QStringList{u"quorvi"_s} << false << Action::Status << "";
    QTest::newRow("other options only") << QStringList{u"quorvi"_s, u"--show-all"_s} << false << Action::Status << "";
    QTest::newRow("alone") << QStringList{u"quorvi"_s, u"--autostart"_s} << true << Action::Status << "";
    QTest::newRow("on") << QStringList{u"quorvi"_s, u"--autostart"_s, u"on"_s} << true << Action::On << "";
    QTest::newRow("off") << QStringList{u"quorvi"_s, u"--autostart"_s, u"off"_s} << true << Action::Off << "";
    QTest::newRow("=on") << QStringList{u"quorvi"_s, u"--autostart=on"_s} << true << Action::On << "";
    QTest::newRow("single dash") << QStringList{u"quorvi"_s, u"-autostart"_s, u"off"_s} << true << Action::Off << "";
    QTest::newRow("bad value") << QStringList{u"quorvi"_s, u"--autostart"_s, u"yes"_s} << true << Action::Status
                               << "--autostart takes 'on' or 'off', not 'yes'.";
    QTest::newRow("case matters") << QStringList{u"quorvi"_s, u"--autostart=ON"_s} << true << Action::Status
                                  << "--autostart takes 'on' or 'off', not 'ON'.";
    QTest::newRow("empty value") << QStringList{u"quorvi"_s, u"--autostart="_s} << true << Action::Status
                                 << "--autostart takes 'on' or 'off', not ''.";
    QTest::newRow("with another option") << QStringList{u"quorvi"_s, u"--autostart"_s, u"--show-all"_s} << true
                                         << Action::Status << "--autostart cannot be combined with '--show-all'.";
    QTest::newRow("option first") << QStringList{u"quorvi"_s, u"--help"_s, u"--autostart"_s, u"on"_s} << true << Action::On
                                  << "--autostart cannot be combined with '--help'.";
    QTest::newRow("extra word") << QStringList{u"quorvi"_s, u"--autostart"_s, u"on"_s, u"now"_s} << true << Action::On
                                << "--autostart cannot be combined with 'now'.";
    QTest::newRow("twice") << QStringList{u"quorvi"_s, u"--autostart"_s, u"on"_s, u"--autostart"_s, u"off"_s} << true
                           << Action::On << "--autostart is given twice.";
    QTest::newRow("a look-alike is not it") << QStringList{u"quorvi"_s, u"--autostarts"_s} << false << Action::Status
                                            << "Unknown option 'autostarts'.";
}

void TestAutostart::parsesTheCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, present);
    QFETCH(Action, action);
    QFETCH(QString, error);
    // The option is one of the program's own, read by the one parser.
    const Program::Options options = Program::parseArguments(arguments);
    QCOMPARE(options.error, error);
    if (error.isEmpty()) {
        QCOMPARE(options.autostart.has_value(), present);
        if (present)
            QCOMPARE(*options.autostart, action);
    }
}

void TestAutostart::statusTells_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("programExists");
    QTest::addColumn<QString>("expected");
    const QString file = QStringLiteral("/cfg/autostart/quorvi.desktop");
    QTest::newRow("no entry") << false << "" << true << "Autostart is off.\n";
    QTest::newRow("on") << true << "[Desktop Entry]\nExec=/usr/bin/quorvi --background\nPath=/home/ann/my tasks\n"
                        << true
                        << "Autostart is on: at login, quorvi shows the alerts for /home/ann/my tasks and keeps "
                           "running to remind you.\nEntry: /cfg/autostart/quorvi.desktop\n";
    QTest::newRow("placeholder-like folder") << true << "[Desktop Entry]\nExec=quorvi --background\nPath=/tmp/%2\n"
                                             << true
                                             << "Autostart is on: at login, quorvi shows the alerts for /tmp/%2 "
                                                "and keeps running to remind you.\n"
                                                "Entry: /cfg/autostart/quorvi.desktop\n";
    QTest::newRow("no Path") << true << "[Desktop Entry]\nExec=/usr/bin/quorvi --background\n" << true
                             << "Autostart is on: at login, quorvi shows the alerts for the folder a login "
                                "starts in (usually your home folder) and keeps running to remind you.\n"
                                "Entry: /cfg/autostart/quorvi.desktop\n";
    QTest::newRow("written before reminders") << true << "[Desktop Entry]\nExec=/usr/bin/quorvi\nPath=/home/ann\n"
                                              << true
                                              << "Autostart is on: at login, quorvi shows the alerts for /home/ann.\n"
                                                 "Entry: /cfg/autostart/quorvi.desktop\n"
                                                 "Note: it does not keep quorvi running to remind you when tasks "
                                                 "are due; run 'quorvi --autostart on' again.\n";
    QTest::newRow("switched off") << true << "[Desktop Entry]\nExec=/usr/bin/quorvi\nHidden=true\n" << true
                                  << "Autostart is off: /cfg/autostart/quorvi.desktop is switched off.\n";
    QTest::newRow("starts nothing") << true << "garbage" << true
                                    << "Autostart is off: /cfg/autostart/quorvi.desktop starts no program.\n";
    QTest::newRow("program gone") << true << "[Desktop Entry]\nExec=/old/quorvi --background\nPath=/home/ann\n"
                                  << false
                                  << "Autostart is on: at login, quorvi shows the alerts for /home/ann and keeps "
                                     "running to remind you.\nEntry: /cfg/autostart/quorvi.desktop\n"
                                     "Note: the program it starts, /old/quorvi, does not exist; "
                                     "run 'quorvi --autostart on' again.\n";
}

void TestAutostart::statusTells()
{
    QFETCH(bool, exists);
    QFETCH(QString, text);
    QFETCH(bool, programExists);
    QFETCH(QString, expected);
    QCOMPARE(Autostart::statusText(QStringLiteral("/cfg/autostart/quorvi.desktop"), exists,
                                   Autostart::parseEntry(text), programExists),
             expected);
}

void TestAutostart::onWritesAndOffRemoves()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString config = temp.filePath(QStringLiteral("my config"));
    const QString data = temp.filePath(QStringLiteral("my data"));
    const QString work = temp.filePath(QStringLiteral("my tasks"));
    QVERIFY(QDir().mkpath(work));
    writeFile(work + QStringLiteral("/tasks.txt"), "; Quorvi\r\n");
    const Autostart::Context context{QStringLiteral("/opt/my apps/quorvi"), work, config, QStringLiteral("/nohome"),
                                     data};
    const QString entry = config + QStringLiteral("/autostart/quorvi.desktop");
    const QString launcher = data + QStringLiteral("/applications/org.quorvi.Quorvi.desktop");

    Autostart::Outcome outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY(outcome.err.isEmpty());
    QCOMPARE(outcome.out, QStringLiteral("Autostart is on: at login, quorvi shows the alerts for %1 and keeps "
                                         "running to remind you.\nEntry: %2\n"
                                         "Launcher: %3 opens the task list of %1.\n")
                              .arg(work, entry, launcher));
    QCOMPARE(QString::fromUtf8(readFile(entry)), Autostart::entryText(context.program, work).text);
    QCOMPARE(QString::fromUtf8(readFile(launcher)), Autostart::launcherText(context.program, work).text);

    // Again from another folder: both follow.
    const QString other = temp.filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(other));
    Autostart::Context moved = context;
    moved.workingFolder = other;
    outcome = Autostart::run(Action::On, moved);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY2(outcome.out.contains(QStringLiteral("\nReplaced: the login entry and the launcher were for %1.\n").arg(work)),
             qPrintable(outcome.out));
    QCOMPARE(Autostart::parseEntry(QString::fromUtf8(readFile(entry))).folder, other);
    QCOMPARE(Autostart::parseEntry(QString::fromUtf8(readFile(launcher))).folder, other);

    outcome = Autostart::run(Action::Status, context);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY2(outcome.out.startsWith(QStringLiteral("Autostart is on: at login, quorvi shows the alerts for %1 and")
                                        .arg(other)),
             qPrintable(outcome.out));
    QVERIFY2(outcome.out.endsWith(QStringLiteral("Launcher: %1 opens the task list of %2.\n").arg(launcher, other)),
             qPrintable(outcome.out));
    // The program named in the entry does not exist here.
    QVERIFY(outcome.out.contains(QStringLiteral("/opt/my apps/quorvi, does not exist")));

    outcome = Autostart::run(Action::Off, context);
    QCOMPARE(outcome.exitStatus, 0);
    QCOMPARE(outcome.out, QStringLiteral("Autostart is off.\nLauncher removed: %1\n").arg(launcher));
    QVERIFY(!QFileInfo::exists(entry));
    QVERIFY(!QFileInfo::exists(launcher));
    // The folders stay: other programs' entries live there too.
    QVERIFY(QFileInfo(config + QStringLiteral("/autostart")).isDir());
    QVERIFY(QFileInfo(data + QStringLiteral("/applications")).isDir());

    outcome = Autostart::run(Action::Off, context);
    QCOMPARE(outcome.exitStatus, 0);
    QCOMPARE(outcome.out, QStringLiteral("Autostart was already off.\n"));

    outcome = Autostart::run(Action::Status, context);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY2(outcome.out.startsWith(QStringLiteral("Autostart is off.\nLauncher: none of your own;")),
             qPrintable(outcome.out));
}

void TestAutostart::onNotesAMissingStore()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const Autostart::Context context{QStringLiteral("/usr/bin/quorvi"), temp.path(), temp.filePath(u"cfg"_s), {},
                                     temp.filePath(u"data"_s)};
    const Autostart::Outcome outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY2(outcome.out.contains(QStringLiteral("Note: there is no tasks.txt in that folder yet")),
             qPrintable(outcome.out));
    QVERIFY(QFileInfo::exists(temp.filePath(u"cfg/autostart/quorvi.desktop"_s)));
}

void TestAutostart::onFailsWhenTheFolderCannotBeMade()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    // A file where the configuration folder should be.
    const QString config = temp.filePath(QStringLiteral("cfg"));
    writeFile(config, "not a folder");
    const Autostart::Context context{QStringLiteral("/usr/bin/quorvi"), temp.path(), config, {}, temp.path()};
    const Autostart::Outcome outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 1);
    QCOMPARE(outcome.err, QStringLiteral("could not create the folder %1/autostart").arg(config));
    QVERIFY(outcome.out.isEmpty());
    QCOMPARE(readFile(config), QByteArray("not a folder"));
}

void TestAutostart::offFailsWhenTheEntryIsAFolder()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString entry = temp.filePath(QStringLiteral("autostart/quorvi.desktop"));
    QVERIFY(QDir().mkpath(entry + QStringLiteral("/inside")));
    const Autostart::Context context{QStringLiteral("/usr/bin/quorvi"), temp.path(), temp.path(), {}, temp.path()};

    Autostart::Outcome outcome = Autostart::run(Action::Off, context);
    QCOMPARE(outcome.exitStatus, 1);
    QCOMPARE(outcome.err, QStringLiteral("could not remove %1: it is a folder").arg(entry));
    QVERIFY(QFileInfo(entry).isDir());

    outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 1);
    QVERIFY2(outcome.err.startsWith(QStringLiteral("could not write %1: ").arg(entry)), qPrintable(outcome.err));
}

void TestAutostart::statusSeesAProgramThatMoved()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString program = QCoreApplication::applicationFilePath(); // surely executable
    const Autostart::Context context{program, temp.path(), temp.path(), {}, temp.path()};
    QCOMPARE(Autostart::run(Action::On, context).exitStatus, 0);
    const Autostart::Outcome outcome = Autostart::run(Action::Status, context);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY2(!outcome.out.contains(QStringLiteral("does not exist")), qPrintable(outcome.out));
    QVERIFY(outcome.out.contains(temp.path()));
}

void TestAutostart::noConfigurationFolderIsAFailure()
{
    for (const Action action : {Action::On, Action::Off, Action::Status}) {
        const Autostart::Outcome outcome =
            Autostart::run(action, {QStringLiteral("/usr/bin/quorvi"), QStringLiteral("/tmp"), {}, {}, {}});
        QCOMPARE(outcome.exitStatus, 1);
        QVERIFY(outcome.err.contains(QStringLiteral("neither XDG_CONFIG_HOME nor HOME")));
    }
}

void TestAutostart::findsTheLauncherFolder_data()
{
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("folder");
    QTest::newRow("XDG_DATA_HOME wins") << "/data" << "/home/ann" << "/data/applications";
    QTest::newRow("unset") << "" << "/home/ann" << "/home/ann/.local/share/applications";
    QTest::newRow("relative is ignored") << "data" << "/home/ann" << "/home/ann/.local/share/applications";
    QTest::newRow("nothing") << "" << "" << "";
}

void TestAutostart::findsTheLauncherFolder()
{
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, home);
    QFETCH(QString, folder);
    QCOMPARE(Autostart::launcherFolder(xdgDataHome, home), folder);
    // The system launcher's name, or the desktop would list two Quorvis.
    QCOMPARE(Autostart::launcherFile(xdgDataHome, home),
             folder.isEmpty() ? QString() : folder + QStringLiteral("/org.quorvi.Quorvi.desktop"));
}

void TestAutostart::launcherHasTheKeysTheMenuNeeds()
{
    const QString text = Autostart::launcherText(QStringLiteral("/usr/bin/quorvi"), QStringLiteral("/home/ann/Tasks")).text;
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QCOMPARE(rawValue(text, QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(rawValue(text, QStringLiteral("Name")), QStringLiteral("Quorvi"));
    QCOMPARE(rawValue(text, QStringLiteral("Exec")), QStringLiteral("/usr/bin/quorvi --show-all"));
    QCOMPARE(rawValue(text, QStringLiteral("Path")), QStringLiteral("/home/ann/Tasks"));
    QCOMPARE(rawValue(text, QStringLiteral("Categories")), QStringLiteral("Office;ProjectManagement;"));
    QVERIFY(rawValue(text, QStringLiteral("Comment")).contains(QStringLiteral("/home/ann/Tasks")));
    // Shown in the menu, unlike the login entry.
    QVERIFY(!text.contains(QStringLiteral("NoDisplay")));
    // A control character no entry can carry is refused here too.
    QVERIFY(Autostart::launcherText(QStringLiteral("/usr/bin/quorvi"), QStringLiteral("/tmp/a\x1b")).text.isEmpty());
}

void TestAutostart::offLeavesALauncherOfTheUsersOwn()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const Autostart::Context context{QStringLiteral("/usr/bin/quorvi"), temp.path(), temp.filePath(u"cfg"_s), {},
                                     temp.filePath(u"data"_s)};
    const QString launcher = temp.filePath(u"data/applications/org.quorvi.Quorvi.desktop"_s);
    QVERIFY(QDir().mkpath(temp.filePath(u"data/applications"_s)));
    writeFile(launcher, "[Desktop Entry]\nType=Application\nName=My Quorvi\nExec=quorvi --show-all\n");
    const Autostart::Outcome outcome = Autostart::run(Action::Off, context);
    QCOMPARE(outcome.exitStatus, 0);
    QCOMPARE(outcome.out, QStringLiteral("Autostart was already off.\nLauncher left alone (not written by quorvi): %1\n")
                              .arg(launcher));
    QVERIFY(QFileInfo::exists(launcher));
    QVERIFY(Autostart::run(Action::Status, context).out.contains(QStringLiteral("(not written by quorvi)")));
}

void TestAutostart::onRefusesToReplaceALauncherOfTheUsersOwn()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const Autostart::Context context{QStringLiteral("/usr/bin/quorvi"), temp.path(), temp.filePath(u"cfg"_s), {},
                                     temp.filePath(u"data"_s)};
    const QString launcher = temp.filePath(u"data/applications/org.quorvi.Quorvi.desktop"_s);
    QVERIFY(QDir().mkpath(temp.filePath(u"data/applications"_s)));
    const QByteArray own = "[Desktop Entry]\nType=Application\nName=My Quorvi\nExec=quorvi --show-all\n";
    writeFile(launcher, own);
    const Autostart::Outcome outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 1);
    QVERIFY2(outcome.err.contains(QStringLiteral("was not written by quorvi")), qPrintable(outcome.err));
    QCOMPARE(readFile(launcher), own);
    // Nothing half done: no login entry either.
    QVERIFY(!QFileInfo::exists(temp.filePath(u"cfg/autostart/quorvi.desktop"_s)));
}

void TestAutostart::onRefusesNamesThatAreNotUtf8()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    Autostart::Context context{QStringLiteral("/usr/bin/quorvi"), temp.path(), temp.filePath(u"cfg"_s), {},
                               temp.filePath(u"data"_s), "/usr/bin/quorvi", "/home/ann/dir\xff"};
    Autostart::Outcome outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 1);
    QVERIFY2(outcome.err.contains(QStringLiteral("the name of this folder, /home/ann/dir\ufffd, is not UTF-8")),
             qPrintable(outcome.err));
    QVERIFY(!QFileInfo::exists(temp.filePath(u"cfg/autostart/quorvi.desktop"_s)));
    QVERIFY(!QFileInfo::exists(temp.filePath(u"data/applications/org.quorvi.Quorvi.desktop"_s)));

    context.workingFolderName = "/home/zo\xc3\xab"; // UTF-8, not ASCII
    context.programName = "/opt/\xe9/quorvi";      // Latin-1
    outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 1);
    QVERIFY2(outcome.err.contains(QStringLiteral("the name of the program")), qPrintable(outcome.err));

    // Off and the status name no new folder, so they need no such check.
    QCOMPARE(Autostart::run(Action::Status, context).exitStatus, 0);
    QCOMPARE(Autostart::run(Action::Off, context).exitStatus, 0);
}

void TestAutostart::onSaysWhichFolderItReplaced()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    Autostart::Context context{QStringLiteral("/usr/bin/quorvi"), temp.filePath(u"a"_s), temp.filePath(u"cfg"_s), {},
                               temp.filePath(u"data"_s)};
    QVERIFY(!Autostart::run(Action::On, context).out.contains(QStringLiteral("Replaced")));
    // A login entry edited by hand to another folder: only that is named.
    const QString entry = temp.filePath(u"cfg/autostart/quorvi.desktop"_s);
    writeFile(entry, Autostart::entryText(context.program, temp.filePath(u"b"_s)).text.toUtf8());
    Autostart::Outcome outcome = Autostart::run(Action::On, context);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY2(outcome.out.contains(QStringLiteral("\nReplaced: the login entry was for %1.\n").arg(temp.filePath(u"b"_s))),
             qPrintable(outcome.out));
    QVERIFY(!outcome.out.contains(QStringLiteral("Replaced: the launcher")));
    // And one without a folder, which a login starts in the home folder.
    writeFile(entry, "[Desktop Entry]\nType=Application\nExec=quorvi --background\n");
    context.workingFolder = temp.filePath(u"c"_s);
    outcome = Autostart::run(Action::On, context);
    QVERIFY2(outcome.out.contains(QStringLiteral("Replaced: the login entry was for the folder a login starts in")),
             qPrintable(outcome.out));
    QVERIFY2(outcome.out.contains(QStringLiteral("Replaced: the launcher was for %1.\n").arg(temp.filePath(u"a"_s))),
             qPrintable(outcome.out));
}

void TestAutostart::helpNamesTheEntry()
{
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QByteArray home = qgetenv("HOME");
    qputenv("XDG_CONFIG_HOME", "/cfg");
    const QString help = Program::helpText();
    QVERIFY2(help.contains(QStringLiteral("for you alone: /cfg/autostart/quorvi.desktop\n")), qPrintable(help));
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/data");
    QVERIFY2(Program::helpText().contains(QStringLiteral("autostart entry: /data/applications/org.quorvi.Quorvi.desktop\n")),
             qPrintable(Program::helpText()));
    qputenv("XDG_DATA_HOME", data);
    QVERIFY(help.contains(QStringLiteral("--autostart [on|off]")));
    QVERIFY(Program::usageLine().contains(QStringLiteral("[--autostart [on|off]]")));
    for (const char *word : {"on:", "off:", "alone:"})
        QVERIFY2(help.contains(QLatin1String(word)), word);
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("HOME");
    QVERIFY2(Program::helpText().contains(QStringLiteral("no configuration folder")), qPrintable(Program::helpText()));
    qputenv("XDG_CONFIG_HOME", config);
    qputenv("HOME", home);
}

void TestAutostart::windowIconIsBuiltIn()
{
    // main sets this as every window's icon; a missing resource would leave
    // windows with the window system's blank one and no error anywhere.
    const QImage icon(QStringLiteral(":/icons/quorvi.png"));
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.size(), QSize(48, 48));
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(qAlpha(icon.pixel(0, icon.height() - 1)), 0); // rounded corner
    QCOMPARE(qAlpha(icon.pixel(24, 30)), 255);             // the clock face
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "test_autostart.moc"
