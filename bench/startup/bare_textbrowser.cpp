// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for the startup figure: a Qt program that does nothing but
// show one page in a QTextBrowser, sized like the alert window, and render
// it to PNG the same way `quorvi --screenshot` does.
#include <QApplication>
#include <QCoreApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bare_textbrowser PAGE.html OUT.png\n");
        return 2;
    }
    QTextBrowser browser;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    browser.resize(qRound(screen.width() / 1.5), qRound(screen.height() / 1.5));
    browser.setSource(QUrl::fromLocalFile(args[1]), QTextDocument::HtmlResource);
    browser.setAttribute(Qt::WA_DontShowOnScreen, true);
    browser.show();
    QCoreApplication::processEvents();
    QImageWriter writer(args[2], "png");
    return writer.write(browser.grab().toImage()) ? 0 : 1;
}
