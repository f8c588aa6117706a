// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QDialog;
class QWidget;

namespace Module1 {
struct LoadReport;
struct SaveResult;
}

// Everything that would block on the user goes through here, so tests can
// replace it and no test ever waits on a dialog.
namespace Modal {

// The title of the program's own message boxes.
inline const QString kMessageTitle = QStringLiteral("Quorvi");

enum class Kind { Information, Warning };

// What a file is chosen for.
enum class FileUse { Open, Save };

// Each window reaches the seam through its Context (context.h): the
// program's own, or a test's stand-in.
class Seam
{
public:
    Seam() = default;
    Q_DISABLE_COPY_MOVE(Seam)
    virtual ~Seam() = default;
    // Shows the dialog modally and returns when it is hidden.
    virtual int exec(QDialog *dialog);
    virtual void message(QWidget *parent, const QString &title, const QString &text, Kind kind);
    // Tells something without waiting for the user: the box stays open
    // beside the window, which goes on working.
    virtual void notice(QWidget *parent, const QString &title, const QString &text);
    // The chosen colour, or nothing when the chooser was closed without one.
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial);
    // The file chosen, or empty when the chooser was closed without one.
    // `filter` as QFileDialog takes it ("Calendars (*.ics)").
    virtual QString chooseFile(QWidget *parent, FileUse use, const QString &title, const QString &filter);
    // Ends the program at once; nothing is saved.
    virtual void endProgram(int exitCode);

    void information(QWidget *parent, const QString &title, const QString &text);
    void warning(QWidget *parent, const QString &title, const QString &text);

    // Tells the user why a save failed, or the notice a successful one
    // brings (a backup kept); returns whether the save succeeded. That the
    // save merged the tables with a file changed elsewhere is told without
    // waiting, over `noticeParent` when given (a dialog about to close
    // passes its owner).
    bool reportSave(QWidget *parent, const Module1::SaveResult &result, QWidget *noticeParent = nullptr);

    // Shows the problems a load found; the same list the store's previous
    // load found was told then, and is not shown again.
    void reportLoadProblems(QWidget *parent, const Module1::LoadReport &report);
};

} // namespace Modal
