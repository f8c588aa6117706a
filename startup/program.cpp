// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"

#include "alarm.h"
#include "frmstartup.h"
#include "instance.h"
#include "modal.h"
#include "opening.h"
#include "session.h"
#include "syncrunner.h"
#include "taskstore.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QImageWriter>
#include <QPixmap>
#include <QStandardPaths>

#include <cstdio>
#include <optional>

#include <unistd.h>

namespace Program {

namespace {

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
