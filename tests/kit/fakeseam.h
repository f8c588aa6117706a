// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything that would block on the user or end the program, replaced for
// tests: while a FakeSeam lives it is the seam in force, and it records what
// would have been shown. It also forgets which load problems were shown, so
// each test starts as a fresh program does.

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

    FakeSeam()
    {
        Modal::setSeam(this);
        Modal::forgetReportedProblems();
    }
    ~FakeSeam() override { Modal::setSeam(nullptr); }
    FakeSeam(const FakeSeam &) = delete;
    FakeSeam &operator=(const FakeSeam &) = delete;

    // Shows the dialog without blocking and runs the script, if any, as a
    // person would act while it is open; the test checks that its buttons
    // hide it.
    int exec(QDialog *dialog) override
    {
        ++execCount;
        dialog->show();
        if (script)
            script(dialog);
        return 0;
    }
    void message(QWidget *parent, const QString &title, const QString &text, Modal::Kind kind) override
    {
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
