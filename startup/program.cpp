// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"

#include "alarm.h"
#include "alertpage.h"
#include "frmstartup.h"
#include "instance.h"
#include "modal.h"
#include "module1.h"
#include "opening.h"
#include "session.h"
#include "syncrunner.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDir>
#include <QImageWriter>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <optional>

#include <unistd.h>

namespace Program {

namespace {

// Qt's own options that take a value as the next argument (or after "=").
constexpr QStringView kQtValueOptions[] = {
    u"platform", u"platformpluginpath", u"platformtheme", u"plugin", u"qwindowgeometry",
    u"qwindowicon", u"qwindowtitle", u"style", u"stylesheet", u"session",
    u"display", u"geometry", u"title", u"name", u"visual",
};
// And those that stand alone.
constexpr QStringView kQtFlagOptions[] = {u"reverse", u"widgetcount", u"nograb", u"dograb", u"sync"};

bool isOneOf(const auto &names, QStringView name)
{
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

constexpr QLatin1StringView kShowAll("show-all");
constexpr QLatin1StringView kBackground("background");
constexpr QLatin1StringView kScreenshot("screenshot");
constexpr QLatin1StringView kAutostart("autostart");
constexpr QLatin1StringView kHelp("help");
constexpr QLatin1StringView kVersion("version");
constexpr QLatin1StringView kExport("export");
constexpr QLatin1StringView kImport("import");
constexpr QLatin1StringView kSyncAccount("sync-account");
constexpr QLatin1StringView kSync("sync");
constexpr QLatin1StringView kPasswordStdin("password-stdin");

// Every option the program takes, named once: the parser, the usage line and
// the help are all built from this table.
struct OptionEntry {
    QCommandLineOption option;
    QString operand; // what may follow the option, as the usage shows it
};

const QList<OptionEntry> &optionTable()
{
    static const QList<OptionEntry> table = {
        {QCommandLineOption(kShowAll, QStringLiteral("open the task list instead of the alert window")), {}},
        {QCommandLineOption(kBackground,
                            QStringLiteral("start as usual, then keep running to remind at each due moment and "
                                           "at each new day, with an icon in the system tray where there is "
                                           "one; closing a window only hides it")),
         {}},
        {QCommandLineOption(kScreenshot,
                            QStringLiteral("write the window that would be shown to FILE as PNG, then exit "
                                           "(nothing is written when nothing is due)"),
                            QStringLiteral("FILE")),
         QStringLiteral("FILE")},
        // A flag to the parser: its optional value is taken off beforehand.
        {QCommandLineOption(kAutostart,
                            QStringLiteral("on: show the alert window at every login, for the tasks.txt of the "
                                           "folder this is run in; off: stop doing so; alone: tell whether it is "
                                           "on, and for which folder")),
         QStringLiteral("[on|off]")},
        {QCommandLineOption(kExport,
                            QStringLiteral("write every task, done ones too, to FILE as iCalendar (VTODO), which "
                                           "other task programs and phones read, then exit"),
                            QStringLiteral("FILE")),
         QStringLiteral("FILE")},
        {QCommandLineOption(kImport,
                            QStringLiteral("add the tasks of the iCalendar FILE to tasks.txt (a task exported from "
                                           "here is updated instead), say how many were added, updated and "
                                           "skipped, then exit"),
                            QStringLiteral("FILE")),
         QStringLiteral("FILE")},
        {QCommandLineOption(kSyncAccount,
                            QStringLiteral("sync this folder's tasks with the task list on a calendar server "
                                           "(CalDAV): URL is the list's address, or the server's, where Quorvi "
                                           "finds it; USER the user name; then exit"),
                            QStringLiteral("URL")),
         QStringLiteral("URL USER")},
        {QCommandLineOption(kSync, QStringLiteral("sync this folder's tasks with their calendar server once, then "
                                                  "exit")),
         {}},
        {QCommandLineOption(kPasswordStdin,
                            QStringLiteral("with --sync-account or --sync: read the password from the first line of "
                                           "standard input")),
         {}},
        {QCommandLineOption({QStringLiteral("h"), kHelp}, QStringLiteral("show this help and exit")), {}},
        {QCommandLineOption(kVersion, QStringLiteral("show the version and exit")), {}},
    };
    return table;
}

QString spelled(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// "--autostart" as a person may type it: one or two dashes, perhaps "=value".
bool isAutostart(const QString &arg, QString *value, bool *hasValue)
{
    QStringView name(arg);
    if (!name.startsWith(u'-'))
        return false;
    name = name.mid(name.startsWith(u"--") ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    *hasValue = equals >= 0;
    if (*hasValue) {
        *value = name.mid(equals + 1).toString();
        name = name.left(equals);
    }
    return name == kAutostart;
}

// --autostart takes an optional value, which a command line parser cannot
// express: the value goes with it when it follows as "=value" or as the next
// word that is not an option. Returns the error, if any; `rest` is what is
// left for the parser, with the option itself as a plain flag.
QString takeAutostart(const QStringList &arguments, Options &options, QStringList &rest)
{
    QString firstOther;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString value;
        bool hasValue = false;
        if (i == 0 || !isAutostart(arguments[i], &value, &hasValue)) {
            if (i > 0 && firstOther.isNull())
                firstOther = arguments[i];
            rest << arguments[i];
            continue;
        }
        if (options.autostart)
            return QStringLiteral("--autostart is given twice.");
        rest << spelled(kAutostart);
        if (!hasValue && i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-')) {
            value = arguments[++i];
            hasValue = true;
        }
        if (!hasValue)
            options.autostart = Autostart::Action::Status;
        else if (value == u"on")
            options.autostart = Autostart::Action::On;
        else if (value == u"off")
            options.autostart = Autostart::Action::Off;
        else
            return QStringLiteral("--autostart takes 'on' or 'off', not '%1'.").arg(value);
    }
    if (options.autostart && !firstOther.isNull())
        return QStringLiteral("--autostart cannot be combined with '%1'.").arg(firstOther);
    return {};
}

// The help's left column: how the option is written, with its operand.
QString synopsis(const OptionEntry &entry)
{
    QStringList names;
    for (const QString &name : entry.option.names())
        names << spelled(name);
    QString text = names.join(QStringLiteral(", "));
    if (!entry.operand.isEmpty())
        text += u' ' + entry.operand;
    return text;
}

// Words wrapped into lines of at most `width` characters.
QStringList wrapped(const QString &text, int width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

// Ends the program as the real seam does, but takes the socket away first,
// so the next start on the folder finds no one rather than a stale socket.
// A screenshot run must never wait on a message box: there its messages go
// to standard error.
class EndingSeam : public Modal::Seam
{
public:
    EndingSeam(Instance::Guard &guard, bool messagesToStderr) : m_guard(guard), m_toStderr(messagesToStderr) { }

    void message(QWidget *parent, const QString &title, const QString &text, Modal::Kind kind) override
    {
        if (m_toStderr)
            std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        else
            Modal::Seam::message(parent, title, text, kind);
    }

    void notice(QWidget *parent, const QString &title, const QString &text) override
    {
        if (m_toStderr)
            std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        else
            Modal::Seam::notice(parent, title, text);
    }

    void endProgram(int exitCode) override
    {
        m_guard.close();
        Modal::Seam::endProgram(exitCode);
    }

private:
    Instance::Guard &m_guard;
    bool m_toStderr;
};

// Claims the working folder for this Quorvi; the exit status when another
// one took the request over, or when it could not be asked.
std::optional<int> claimFolder(Instance::Guard &guard, const Options &options)
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const Instance::Outcome claimed = guard.claim(Instance::socketName(Instance::currentFolder(), runtime),
                                                  options.showAll ? Instance::Request::ShowAll : Instance::Request::Alert);
    switch (claimed.claim) {
    case Instance::Claim::First:
        break;
    case Instance::Claim::HandedOver:
        std::printf("quorvi: handed over to the Quorvi already running for this folder (process %lld)\n",
                    static_cast<long long>(claimed.otherPid));
        return 0;
    case Instance::Claim::NoAnswer:
        std::fprintf(stderr, "quorvi: %s\n", qPrintable(claimed.problem));
        return 1;
    case Instance::Claim::Failed:
        std::fprintf(stderr, "quorvi: cannot make sure this is the only Quorvi for this folder: %s\n",
                     qPrintable(claimed.problem));
        break;
    }
    return std::nullopt;
}

} // namespace

QStringList stripQtOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (i == 0 || arg == QLatin1String("--") || !arg.startsWith(QLatin1Char('-'))) {
            kept << arg;
            continue;
        }
        // Qt reads "-style" and "--style" alike, and "-style=X" as well.
        QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool hasValue = equals >= 0;
        if (hasValue)
            name.truncate(equals);
        if (isOneOf(kQtValueOptions, name)) {
            if (!hasValue)
                ++i; // its value
            continue;
        }
        // Qt's own "-sync" (X11 debugging) has one dash; "--sync" is Quorvi's.
        if (name == kSync && arg.startsWith(QLatin1String("--"))) {
            kept << arg;
            continue;
        }
        if (isOneOf(kQtFlagOptions, name) || name == QLatin1String("qmljsdebugger"))
            continue;
        kept << arg;
    }
    return kept;
}

Options parseArguments(const QStringList &arguments)
{
    Options options;
    QStringList rest;
    options.error = takeAutostart(arguments, options, rest);
    if (!options.error.isEmpty())
        return options;

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionEntry &entry : optionTable())
        parser.addOption(entry.option);
    if (!parser.parse(rest)) {
        options.error = parser.errorText();
        return options;
    }
    // --sync-account URL USER: the user is the one word after it.
    QStringList positional = parser.positionalArguments();
    if (parser.isSet(kSyncAccount) && !positional.isEmpty())
        options.syncUser = positional.takeFirst();
    if (!positional.isEmpty()) {
        options.error = QStringLiteral("Unexpected argument '%1'.").arg(positional.constFirst());
        return options;
    }
    options.showAll = parser.isSet(kShowAll);
    options.background = parser.isSet(kBackground);
    options.help = parser.isSet(kHelp);
    options.version = parser.isSet(kVersion);
    if (parser.isSet(kScreenshot)) {
        options.screenshotFile = parser.value(kScreenshot);
        if (options.screenshotFile.isEmpty())
            options.error = QStringLiteral("--screenshot needs a file name.");
    }
    // A file's trip is a whole run of its own: no window, no reminders.
    for (QLatin1StringView name : {kExport, kImport}) {
        if (!parser.isSet(name))
            continue;
        QString &file = name == kExport ? options.exportFile : options.importFile;
        file = parser.value(name);
        if (file.isEmpty())
            options.error = QStringLiteral("--%1 needs a file name.").arg(name);
        else if (options.showAll || options.background || parser.isSet(kScreenshot) || parser.isSet(kExport) == parser.isSet(kImport))
            options.error = QStringLiteral("--%1 cannot be combined with other options.").arg(name);
    }
    // So is a pass of sync, or setting its account up.
    options.sync = parser.isSet(kSync);
    options.passwordStdin = parser.isSet(kPasswordStdin);
    if (parser.isSet(kSyncAccount)) {
        options.syncAddress = parser.value(kSyncAccount);
        if (options.syncUser.isNull())
            options.error = QStringLiteral("--sync-account needs an address and a user name.");
    }
    const bool syncing = options.sync || !options.syncAddress.isEmpty();
    if (options.passwordStdin && !syncing)
        options.error = QStringLiteral("--password-stdin goes with --sync-account or --sync.");
    if (syncing && (options.sync == parser.isSet(kSyncAccount) || options.showAll || options.background
                    || parser.isSet(kScreenshot) || parser.isSet(kExport) || parser.isSet(kImport)))
        options.error = QStringLiteral("--%1 cannot be combined with other options.").arg(options.sync ? kSync : kSyncAccount);
    return options;
}

QString usageLine()
{
    QString line = QStringLiteral("Usage: quorvi");
    for (const OptionEntry &entry : optionTable()) {
        line += QStringLiteral(" [") + spelled(entry.option.names().constLast());
        if (!entry.operand.isEmpty())
            line += u' ' + entry.operand;
        line += u']';
    }
    return line;
}

QString helpText()
{
    constexpr int kColumn = 24;
    constexpr int kWidth = 79;
    QString options;
    for (const OptionEntry &entry : optionTable()) {
        const QString left = QStringLiteral("  ") + synopsis(entry);
        const QStringList lines = wrapped(entry.option.description(), kWidth - kColumn);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString start = i == 0 ? left : QString();
            options += (start.size() < kColumn ? start.leftJustified(kColumn) : start + u'\n' + QString(kColumn, u' '))
                + lines[i] + u'\n';
        }
    }

    const QString page = AlertPage::pageLocation();
    const QString entry =
        Autostart::entryFile(qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"));
    const QString launcher =
        Autostart::launcherFile(qEnvironmentVariable("XDG_DATA_HOME"), qEnvironmentVariable("HOME"));
    return usageLine() + QStringLiteral("\n\n"
        "Quorvi shows the tasks that need attention when it starts, and ends\n"
        "quietly when nothing is due. While it runs, each task is announced by a\n"
        "desktop notification when its due moment comes.\n\n"
        "Options:\n") + options + QStringLiteral("\n"
        "Files:\n"
        "  tasks.txt        tasks and rules, in the working folder: %1\n"
        "  alert page       rewritten at every start: %2\n"
        "  autostart entry  for you alone: %3\n"
        "  menu launcher    written with the autostart entry: %4\n")
        .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(Module1::kStoreFileName)),
             page.isEmpty() ? QStringLiteral("(no private runtime folder; shown from memory)")
                            : QDir::toNativeSeparators(page),
             entry.isEmpty() ? QStringLiteral("(no configuration folder: set HOME)")
                             : QDir::toNativeSeparators(entry),
             launcher.isEmpty() ? QStringLiteral("(no data folder: set HOME)")
                                : QDir::toNativeSeparators(launcher));
}

QString versionText()
{
    return QStringLiteral("quorvi %1").arg(QStringLiteral(QUORVI_VERSION));
}

bool saveScreenshot(QWidget *window, const QString &file, QString *reason)
{
    // Shown for layout's sake only: no window flashes up on a real desktop.
    window->setAttribute(Qt::WA_DontShowOnScreen, true);
    window->show();
    QCoreApplication::processEvents();
    const QPixmap shot = window->grab();
    QImageWriter writer(file, "png");
    if (shot.isNull() || !writer.write(shot.toImage())) {
        if (reason)
            *reason = shot.isNull() ? QStringLiteral("the window could not be rendered") : writer.errorString();
        return false;
    }
    return true;
}

int run(QApplication &app, const Options &options)
{
    const bool screenshot = !options.screenshotFile.isEmpty();

    // One Quorvi per store: a start on a folder that already has one hands
    // its request over and ends. A screenshot only looks, so it runs alone.
    Instance::Guard guard;
    EndingSeam ending(guard, screenshot);
    if (!screenshot) {
        if (const std::optional<int> ended = claimFolder(guard, options))
            return *ended;
    }

    // The program's one store, handed to every window and the reminders,
    // and its sync, which the session starts and the list's menu asks.
    Module1::TaskStore store;
    Sync::Runner sync;
    const Context context{store, ending, &sync};
    FrmStartup startup(context);
    QWidget *window =
        Opening::windowFor(startup, options.showAll ? Opening::Cause::ShowAll : Opening::Cause::Start);

    if (screenshot) {
        if (!window)
            return 0;
        QString reason;
        if (!saveScreenshot(window, options.screenshotFile, &reason)) {
            std::fprintf(stderr, "quorvi: could not write %s: %s\n",
                         qPrintable(QDir::toNativeSeparators(options.screenshotFile)), qPrintable(reason));
            return 1;
        }
        return 0;
    }

    // Nothing to show and no background to stay in: end quietly. Quietly
    // for a launcher, that is: someone who typed the command would see
    // nothing happen at all, so a terminal is told why.
    if (!window && !options.background) {
        if (::isatty(STDOUT_FILENO))
            std::puts("Nothing is due; quorvi --show-all opens the task list");
        return 0;
    }

    Reminders::WallAlarm alarm;
    Session session(startup, options.background, alarm, QDBusConnection::sessionBus());
    session.start();
    QObject::connect(&guard, &Instance::Guard::requested, &session, [&session](Instance::Request request) {
        if (request == Instance::Request::ShowAll)
            session.showAll();
        else
            session.alertAgain();
    });
    guard.serve();
    if (window)
        Opening::bringUp(window);
    return app.exec();
}

} // namespace Program
