// SPDX-License-Identifier: GPL-3.0-or-later
// What Qt itself costs while it waits: a connection to the session bus and a
// window showing a page (the alert page Quorvi would show, when given one),
// then nothing but the event loop.
//
//   bare_idle [PAGE.html]
#include <QApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool onBus = QDBusConnection::sessionBus().isConnected();
    QTextBrowser page;
    if (argc > 1)
        page.setSource(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])), QTextDocument::HtmlResource);
    else
        page.setHtml(QStringLiteral("<h1>Waiting</h1><p>session bus: %1</p>").arg(QLatin1StringView(onBus ? "yes" : "no")));
    // The size of Quorvi's alert window: two thirds of the screen.
    const QSize screen = QGuiApplication::primaryScreen()->size();
    page.resize(screen * 2 / 3);
    page.show();
    return app.exec();
}
