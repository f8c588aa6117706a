// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"
#include "program.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    // The command line is read before any window system is touched, so
    // --help, --version and mistakes work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Program::Options options = Program::parseArguments(Program::stripQtOptions(arguments));
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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvi"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVI_VERSION));
    Appearance::applyAppearance(app);
    return Program::run(app, options);
}
