// SPDX-License-Identifier: GPL-3.0-or-later
#include "storedialog.h"

#include "storecaption.h"
#include "twips.h"

#include <QCloseEvent>

StoreDialog::StoreDialog(const Context &context, QWidget *parent, const QString &objectName, const QString &caption,
                         double widthTwips, double heightTwips)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_context(context), m_caption(caption)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips));
}

void StoreDialog::settle()
{
    setResult(Accepted);
    hide();
}

bool StoreDialog::closeAfter(const Module1::Commit &commit)
{
    // The dialog closes right after a save that went through, so a notice
    // it brings stays beside the window that remains.
    if (!seam().reportSave(this, commit.save, parentWidget()))
        return false;
    m_committed = commit;
    settle();
    if (commit.reloaded)
        seam().reportLoadProblems(parentWidget(), commit.load);
    return true;
}

void StoreDialog::cancel()
{
    // The copy goes with the dialog: the store was never touched.
    setResult(Rejected);
    hide();
}

void StoreDialog::reject()
{
    cancel();
}

void StoreDialog::closeEvent(QCloseEvent *event)
{
    if (isVisible())
        cancel();
    event->accept();
}

void StoreDialog::showEvent(QShowEvent *event)
{
    setWindowTitle(storeCaption(m_caption));
    QDialog::showEvent(event);
}
