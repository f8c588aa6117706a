// SPDX-License-Identifier: GPL-3.0-or-later
#include "modal.h"

#include "module1.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace Modal {

namespace {

// Messages carry task titles, file names and the system's words, none of
// which is markup: a title such as "<font size=7>" is shown as typed, and a
// link in it is text, not a link that starts a browser. A box left to guess
// takes any text that starts like HTML for HTML.
void showAsTyped(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
}

} // namespace

int Seam::exec(QDialog *dialog)
{
    return dialog->exec();
}

void Seam::message(QWidget *parent, const QString &title, const QString &text, Kind kind)
{
    QMessageBox box(kind == Kind::Warning ? QMessageBox::Warning : QMessageBox::Information, title, text,
                    QMessageBox::Ok, parent);
    showAsTyped(box);
    box.exec();
}

void Seam::notice(QWidget *parent, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    showAsTyped(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

std::optional<QColor> Seam::chooseColor(QWidget *parent, const QColor &initial)
{
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

QString Seam::chooseFile(QWidget *parent, FileUse use, const QString &title, const QString &filter)
{
    return use == FileUse::Open ? QFileDialog::getOpenFileName(parent, title, QString(), filter)
                                : QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

void Seam::endProgram(int exitCode)
{
    // Every change was saved when it was made, so there is nothing to flush.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

void Seam::information(QWidget *parent, const QString &title, const QString &text)
{
    message(parent, title, text, Kind::Information);
}

void Seam::warning(QWidget *parent, const QString &title, const QString &text)
{
    message(parent, title, text, Kind::Warning);
}

bool Seam::reportSave(QWidget *parent, const Module1::SaveResult &result, QWidget *noticeParent)
{
    if (!result.ok) {
        warning(parent, kMessageTitle, result.message);
        return false;
    }
    if (!result.message.isEmpty())
        information(parent, kMessageTitle, result.message);
    if (!result.notice.isEmpty())
        notice(noticeParent ? noticeParent : parent, kMessageTitle, result.notice);
    return true;
}

void Seam::reportLoadProblems(QWidget *parent, const Module1::LoadReport &report)
{
    if (report.problems.isEmpty() || report.repeated)
        return;
    warning(parent, kMessageTitle,
            QStringLiteral("Some of %1 could not be read as it stands:\n\n%2")
                .arg(Module1::kStoreFileName, Module1::describeProblems(report)));
}

} // namespace Modal
