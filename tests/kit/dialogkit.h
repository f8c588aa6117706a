// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What tests of windows share: pressing a button in the program's real modal
// loop, the program's look for tests that measure captions, and pictures of
// a window for a person to look at.

#include "appearance.h"
#include "fakeseam.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace DialogKit {

// Presses `button` while the dialog runs in the program's own modal loop
// (QDialog::exec through the real seam) and returns what exec returned; the
// test then checks that hiding the dialog ended the loop. A watchdog turns a
// hang into the result -1 instead of a stuck test; it never fires when the
// dialog works.
inline int pressInRealModalLoop(QDialog *dialog, QPushButton *button, FakeSeam *testSeam)
{
    QTimer::singleShot(0, dialog, [button] { button->click(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, dialog, [dialog] { dialog->done(-1); });
    watchdog.start(20000);
    testSeam->real = true;
    const int returned = testSeam->exec(dialog);
    testSeam->real = false;
    return returned;
}

// What the first message box of the real seam showed: its text, and
// whether it took the text as typed or read markup in it.
struct ShownMessage {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
};

// Runs `action` with the real seam in force, reads the first message box it
// opens in its own modal loop and closes it.
inline ShownMessage readRealMessageBox(const std::function<void()> &action, FakeSeam *testSeam)
{
    ShownMessage seen;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&seen] {
        QWidget *box = QApplication::activeModalWidget();
        if (auto *label = box ? box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")) : nullptr) {
            seen = {label->text(), label->textFormat()};
            box->close();
        }
    });
    look.start(10);
    testSeam->real = true;
    action();
    testSeam->real = false;
    return seen;
}

// The look the program runs with: Fusion and DejaVu Sans 8 pt.
inline void applyProgramLook()
{
    Appearance::applyAppearance(*qApp);
}

// Captions drawn without their mnemonic marker.
inline QString shownText(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

// Every label and button caption that is wider than the room it has, as
// "name: text" lines; empty when everything fits.
inline QStringList clippedCaptions(QWidget *window)
{
    QStringList clipped;
    const auto labels = window->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        const QFontMetrics fm(label->font());
        const QRect need = fm.boundingRect(label->contentsRect(), int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0),
                                           label->text());
        if (need.width() > label->contentsRect().width() || need.height() > label->contentsRect().height())
            clipped << QStringLiteral("label: %1").arg(label->text());
    }
    const auto buttons = window->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        const QFontMetrics fm(button->font());
        // Fusion keeps a few pixels on each side for the bevel.
        const int room = button->width() - 4;
        if (fm.horizontalAdvance(shownText(button->text())) > room || fm.height() > button->height())
            clipped << QStringLiteral("%1: %2").arg(button->objectName(), button->text());
    }
    return clipped;
}

// Saves a picture of the window when QUORVI_PICTURES names a folder, for a
// person to look at; the checks above do not depend on it. A popup open over
// it (a calendar, a menu) is drawn where it lies on the screen.
inline void savePicture(QWidget *window, const QString &name, QWidget *popup = nullptr)
{
    const QString folder = qEnvironmentVariable("QUORVI_PICTURES");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QPixmap below = window->grab();
    QRect area(QPoint(0, 0), below.size());
    QPoint popupAt;
    if (popup) {
        popupAt = window->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0)));
        area |= QRect(popupAt, popup->size());
    }
    QImage picture(area.size(), QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.drawPixmap(-area.topLeft(), below);
    if (popup)
        painter.drawPixmap(popupAt - area.topLeft(), popup->grab());
    painter.end();
    QVERIFY(picture.save(QDir(folder).filePath(name + QStringLiteral(".png"))));
}

} // namespace DialogKit
