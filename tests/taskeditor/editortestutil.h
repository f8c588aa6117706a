// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the editor dialogs' tests share: a seam that never blocks and records
// what would have been shown, a way to make saving fail, and the program's
// look for tests that measure captions.

#include "appearance.h"
#include "modal.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <optional>
#include <sys/resource.h>

class FakeSeam : public Modal::Seam
{
public:
    struct Message {
        QString title;
        QString text;
        Modal::Kind kind;
    };

    FakeSeam() { Modal::setSeam(this); }
    ~FakeSeam() override { Modal::setSeam(nullptr); }

    // Shows the dialog without blocking; the test drives it and checks that
    // its buttons hide it.
    int exec(QDialog *dialog) override
    {
        ++execCount;
        dialog->show();
        return 0;
    }
    void message(QWidget *, const QString &title, const QString &text, Modal::Kind kind) override
    {
        messages.append({title, text, kind});
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &initial) override
    {
        chooserOpenedWith.append(initial);
        return colorToChoose;
    }
    void endProgram(int) override { ++endCount; }

    int execCount = 0;
    int endCount = 0;
    QList<Message> messages;
    QList<QColor> chooserOpenedWith;
    std::optional<QColor> colorToChoose; // nothing: the chooser is closed without a choice
};

// While alive, no file this process writes may grow past `bytes`: the next
// save fails the way it does on a full disk (even for root, who ignores
// read-only folders).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_old;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_old {};
    void (*m_previousHandler)(int) = nullptr;
};

namespace EditorTest {

struct StoredTask {
    QByteArray title, forWhom;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    QByteArray description; // already encoded, as in the file
};

// The store file as the writer lays it out, spelled out byte by byte here so
// the tests do not lean on the writer they check.
inline QByteArray storeBytes(const QList<StoredTask> &list, const QByteArray &rules = {})
{
    QByteArray out = "; Quorvi\r\n; ----------\r\n; Tasks and settings\r\n; DO NOT MODIFY THIS FILE\r\n\r\n"
                     "[Tasks]\r\n\r\n";
    for (const StoredTask &t : list) {
        out += "ttl=" + t.title + "\r\nfor=" + t.forWhom + "\r\nday=" + QByteArray::number(t.day)
            + "\r\nmon=" + QByteArray::number(t.month) + "\r\nyea=" + QByteArray::number(t.year)
            + "\r\nhou=" + QByteArray::number(t.hour) + "\r\nmin=" + QByteArray::number(t.minute)
            + "\r\nsec=" + QByteArray::number(t.second) + "\r\ndes=" + t.description
            + "\r\nact=addtask\r\n\r\n";
    }
    out += "[Alerts]\r\n\r\n" + rules + "\r\n";
    return out;
}

// One rule record as the writer lays it out.
inline QByteArray ruleBytes(int interval, const QByteArray &unit, qint32 color, bool popup)
{
    return "val=" + QByteArray::number(interval) + "\r\nunt=" + unit + "\r\nclr=" + QByteArray::number(color)
        + (popup ? "\r\nalr=on" : "\r\nalr=off") + "\r\nact=addalert\r\n\r\n";
}


// Presses `button` while the dialog runs in the program's own modal loop
// (QDialog::exec through the real seam) and returns what exec returned; the
// test then checks that hiding the dialog ended the loop. A watchdog turns a
// hang into the result -1 instead of a stuck test; it never fires when the
// dialog works.
inline int pressInRealModalLoop(QDialog *dialog, QPushButton *button, Modal::Seam *testSeam)
{
    QTimer::singleShot(0, dialog, [button] { button->click(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, dialog, [dialog] { dialog->done(-1); });
    watchdog.start(20000);
    Modal::setSeam(nullptr);
    const int returned = Modal::exec(dialog);
    Modal::setSeam(testSeam);
    return returned;
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
// person to look at; the checks above do not depend on it.
inline void savePicture(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("QUORVI_PICTURES");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QVERIFY(window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png"))));
}

} // namespace EditorTest
