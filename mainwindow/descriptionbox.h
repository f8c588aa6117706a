// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>

// Shows the selected task's description and nothing can change it: not
// typing, Delete, paste, a drop or an input method (the plain read-only flag
// still lets composed text through). The text can be selected and copied.
class DescriptionBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DescriptionBox(QWidget *parent = nullptr);

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
};
