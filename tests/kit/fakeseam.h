// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything that would block on the user or end the program, replaced for
// tests: a FakeSeam handed to the windows in their Context records what
// would have been shown. With `real` set it shows it as the program does.

#include "modal.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class FakeSeam : public Modal::Seam
{
public:
    struct Message {
        QString title;
        QString text;
        Modal::Kind kind;
        bool parentVisible; // whether the window it was shown over was on screen
    };

    FakeSeam() = default;

    // Shows the dialog without blocking and runs the script, if any, as a
    // person would act while it is open; the test checks that its buttons
    // hide it.
    int exec(QDialog *dialog) override
    {
        if (real)
            return Modal::Seam::exec(dialog);
        ++execCount;
        dialog->show();
        if (script)
            script(dialog);
        return 0;
    }
    void message(QWidget *parent, const QString &title, const QString &text, Modal::Kind kind) override
    {
        if (real)
            return Modal::Seam::message(parent, title, text, kind);
        messages.append({title, text, kind, parent && parent->isVisible()});
    }
    void notice(QWidget *parent, const QString &title, const QString &text) override
    {
        notices.append({title, text, Modal::Kind::Information, parent && parent->isVisible()});
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &initial) override
    {
        chooserOpenedWith.append(initial);
        return colorToChoose;
    }
    QString chooseFile(QWidget *, Modal::FileUse use, const QString &title, const QString &filter) override
    {
        fileChoosers.append({use, title, filter});
        return fileToChoose;
    }
    void endProgram(int exitCode) override { endCodes.append(exitCode); }

    bool real = false; // the program's own dialogs and boxes, for exec and message
    int execCount = 0;
    std::function<void(QDialog *)> script;
    QList<Message> messages;
    QList<Message> notices; // told without waiting
    QList<QColor> chooserOpenedWith;
    std::optional<QColor> colorToChoose; // nothing: the chooser is closed without a choice
    struct FileChooser {
        Modal::FileUse use;
        QString title;
        QString filter;
    };
    QList<FileChooser> fileChoosers;
    QString fileToChoose; // empty: the chooser is closed without a choice
    QList<int> endCodes;
};
