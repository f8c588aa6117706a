// SPDX-License-Identifier: GPL-3.0-or-later
#include "storedialog.h"

#include "modal.h"
#include "module1.h"
#include "storecaption.h"
#include "twips.h"

#include <QCloseEvent>

StoreDialog::StoreDialog(QWidget *parent, const QString &objectName, const QString &caption, double widthTwips,
                         double heightTwips)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(objectName);
    m_caption = caption;
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips));
}

bool StoreDialog::saveOrWarn()
{
    // The dialog closes right after a save that went through, so a notice
    // it brings stays beside the window that remains.
    return Modal::reportSave(this, Module1::saveTasks(), parentWidget());
}

void StoreDialog::hideAndReload(int result)
{
    setResult(result);
    hide();
    const Module1::LoadReport report = Module1::reloadInListOrder();
    Modal::reportLoadProblems(parentWidget(), report);
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
