// SPDX-License-Identifier: GPL-3.0-or-later
#include "descriptionbox.h"

#include <QInputMethodEvent>

DescriptionBox::DescriptionBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

bool DescriptionBox::canInsertFromMimeData(const QMimeData *) const
{
    return false;
}

void DescriptionBox::insertFromMimeData(const QMimeData *)
{
}

void DescriptionBox::inputMethodEvent(QInputMethodEvent *event)
{
    event->ignore();
}
