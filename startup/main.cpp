// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"
#include "autostart.h"
#include "instance.h"
#include "program.h"
#include "synccommand.h"
#include "taskcalendar.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStringList>

#include <climits>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// This program's path as the system spells it, which need not be text.
QByteArray programName()
{
    char name[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", name, sizeof name);
    return size > 0 ? QByteArray(name, size) : QFile::encodeName(QCoreApplication::applicationFilePath());
}

} // namespace

int main(int argc, char **argv)
{
#ifdef SIGXFSZ
    // A file-size limit (ulimit -f) must fail a save with "File too large",
    // which the user is told, rather than end the program on the spot.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // The command line is read before any window system is touched, so
    // --help, --version and mistakes work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QStringList ours = Program::stripQtOptions(arguments);

    const Program::Options options = Program::parseArguments(ours);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "quorvi: %s\n%s\nTry 'quorvi --help' for more.\n", qPrintable(options.error),
                     qPrintable(Program::usageLine()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(Program::helpText()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", qPrintable(Program::versionText()));
        return 0;
    }
    // --autostart only writes a file, so it runs without a display too.
    if (options.autostart) {
        QCoreApplication core(argc, argv);
        const Autostart::Outcome outcome = Autostart::run(
            *options.autostart, {QCoreApplication::applicationFilePath(), QDir::currentPath(),
                                 qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"),
                                 qEnvironmentVariable("XDG_DATA_HOME"), programName(), Instance::currentFolder()});
        std::fputs(qPrintable(outcome.out), stdout);
        if (!outcome.err.isEmpty())
            std::fprintf(stderr, "quorvi: %s\n", qPrintable(outcome.err));
        return outcome.exitStatus;
    }

    // So do --export and --import: they only read and write files.
    if (!options.exportFile.isEmpty() || !options.importFile.isEmpty()) {
        QCoreApplication core(argc, argv);
        const bool importing = !options.importFile.isEmpty();
        return TaskCalendar::runCommand(importing, importing ? options.importFile : options.exportFile);
    }

    // And a pass of sync, or setting its account up: no window either.
    if (options.sync || !options.syncAddress.isEmpty()) {
        QCoreApplication core(argc, argv);
        std::optional<QString> password;
        if (options.passwordStdin)
            password = Sync::readPasswordLine(stdin);
        return options.sync ? Sync::runSyncCommand(password)
                            : Sync::runAccountCommand(options.syncAddress, options.syncUser, password);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvi"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVI_VERSION));
    // Wayland desktops find a window's launcher (its name and icon) by this
    // name; without it they would look for a quorvi.desktop that is nowhere.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvi.Quorvi"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorvi.png")));
    Appearance::applyAppearance(app);
    return Program::run(app, options);
}
