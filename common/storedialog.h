// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// A dialog that edits the tables in place, as both editors do: a fixed modal
// dialog centred on its owner, whose Ok saves the whole store and whose
// Cancel throws every edit away by reading the store back. Esc and the
// window's close button are Cancel, so nothing half-edited stays in memory
// for the next save to pick up.
class StoreDialog : public QDialog
{
    Q_OBJECT
protected:
    // The client area is widthTwips x heightTwips.
    StoreDialog(QWidget *parent, const QString &objectName, const QString &caption, double widthTwips,
                double heightTwips);

    // Saves the tables. A failure is told and false returned: the dialog and
    // the edits stay, so Ok can be pressed again once the cause is put right.
    // A notice the save brings (a backup kept) is shown as well.
    bool saveOrWarn();

    // Hides the dialog with `result`, then reads the store back in the
    // list's order (which announces the change) and tells what that found.
    void hideAndReload(int result);

    // What Cancel does; Esc and the close button come here too.
    virtual void cancel() = 0;

    void reject() override;
    void closeEvent(QCloseEvent *event) override;
    // The caption says so when tasks.txt is read-only.
    void showEvent(QShowEvent *event) override;

private:
    QString m_caption;
};
