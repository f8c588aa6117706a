// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"

#include "alertpage.h"
#include "frmmain.h"
#include "frmstartup.h"
#include "modal.h"
#include "module1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QImageWriter>
#include <QPixmap>

#include <cstdio>

namespace Program {

namespace {

// Qt's own options that take a value as the next argument (or after "=").
const QStringList kQtValueOptions = {
    QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),   QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"), QStringLiteral("style"),          QStringLiteral("stylesheet"),
    QStringLiteral("session"),  QStringLiteral("display"),            QStringLiteral("geometry"),
    QStringLiteral("title"),    QStringLiteral("name"),               QStringLiteral("visual"),
};
// And those that stand alone.
const QStringList kQtFlagOptions = {
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),
};

const QString kShowAll = QStringLiteral("show-all");
const QString kScreenshot = QStringLiteral("screenshot");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");

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
        if (kQtValueOptions.contains(name)) {
            if (!hasValue)
                ++i; // its value
            continue;
        }
        if (kQtFlagOptions.contains(name) || name == QLatin1String("qmljsdebugger"))
            continue;
        kept << arg;
    }
    return kept;
}

Options parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption({kShowAll, QStringLiteral("Open the task list instead of the alert window.")});
    parser.addOption({kScreenshot, QStringLiteral("Write the window that would be shown to FILE as PNG, then exit."),
                      QStringLiteral("FILE")});
    parser.addOption({{QStringLiteral("h"), kHelp}, QStringLiteral("Show this help and exit.")});
    parser.addOption({kVersion, QStringLiteral("Show the version and exit.")});

    Options options;
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
        return options;
    }
    options.showAll = parser.isSet(kShowAll);
    options.help = parser.isSet(kHelp);
    options.version = parser.isSet(kVersion);
    if (parser.isSet(kScreenshot)) {
        options.screenshotFile = parser.value(kScreenshot);
        if (options.screenshotFile.isEmpty())
            options.error = QStringLiteral("--screenshot needs a file name.");
    }
    return options;
}

QString usageLine()
{
    return QStringLiteral("Usage: quorvi [--show-all] [--screenshot FILE] [--autostart [on|off]] [--help] [--version]");
}

QString helpText()
{
    const QString page = AlertPage::pageLocation();
    return usageLine() + QStringLiteral("\n\n"
        "Quorvi shows the tasks that need attention when it starts, and ends\n"
        "quietly when nothing is due.\n\n"
        "Options:\n"
        "  --show-all         open the task list instead of the alert window\n"
        "  --screenshot FILE  write the window that would be shown to FILE as PNG,\n"
        "                     then exit (nothing is written when nothing is due)\n"
        "  -h, --help         show this help and exit\n"
        "  --version          show the version and exit\n\n"
        "Files:\n"
        "  tasks.txt    tasks and rules, in the working folder: %1\n"
        "  alert page   rewritten at every start: %2\n")
        .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(Module1::kStoreFileName)),
             page.isEmpty() ? QStringLiteral("(no private runtime folder; shown from memory)")
                            : QDir::toNativeSeparators(page));
}

QString versionText()
{
    return QStringLiteral("quorvi %1").arg(QStringLiteral(QUORVI_VERSION));
}

Opening chooseOpening(bool showAll, bool storeMissing, bool anyListed)
{
    if (showAll)
        return Opening::MainWindow;
    if (anyListed)
        return Opening::Alert;
    if (storeMissing)
        return Opening::MainWindow;
    return Opening::Nothing;
}

QWidget *openStart(FrmStartup &startup, bool showAll, QDate today)
{
    if (showAll)
        return startup.mainWindow();
    const bool listed = startup.formLoad(today);
    const bool storeMissing = Module1::lastLoadReport().fileMissing;
    switch (chooseOpening(false, storeMissing, listed)) {
    case Opening::Alert:
        return &startup;
    case Opening::MainWindow:
        return startup.mainWindow();
    case Opening::Nothing:
        break;
    }
    return nullptr;
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
    // A screenshot run must never wait on a message box.
    if (screenshot)
        Modal::setMessagesToStderr(true);

    FrmStartup startup;
    QWidget *window = openStart(startup, options.showAll);
    if (!window)
        return 0;

    if (screenshot) {
        QString reason;
        if (!saveScreenshot(window, options.screenshotFile, &reason)) {
            std::fprintf(stderr, "quorvi: could not write %s: %s\n",
                         qPrintable(QDir::toNativeSeparators(options.screenshotFile)), qPrintable(reason));
            return 1;
        }
        return 0;
    }

    window->show();
    return app.exec();
}

} // namespace Program
