// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "context.h"

#include <QDialog>

#include <optional>
#include <utility>

// A dialog that edits a copy of what the store holds, as both editors do: a
// fixed modal dialog centred on its owner, whose Ok commits the copy
// through the store and whose Cancel throws the copy away. Esc and the
// window's close button are Cancel. The store itself is never half edited,
// so whatever else changes it meanwhile (another program, a reminder's
// Done) goes on while the dialog is open.
class StoreDialog : public QDialog
{
    Q_OBJECT
protected:
    // The client area is widthTwips x heightTwips.
    StoreDialog(const Context &context, QWidget *parent, const QString &objectName, const QString &caption,
                double widthTwips, double heightTwips);

    Module1::TaskStore &store() const { return m_context.store; }

public:
    // What Ok committed since the last call, when it went through.
    std::optional<Module1::Commit> takeCommitted() { return std::exchange(m_committed, std::nullopt); }

protected:
    Modal::Seam &seam() const { return m_context.seam; }

    // Hides the dialog as accepted: what a commit does once it is in, before
    // the store announces it.
    void settle();
    // Tells what a commit came to. A failure is told and false returned:
    // the dialog and its copy stay, so Ok can be pressed again once the
    // cause is put right. Otherwise the dialog is hidden (settle()), and
    // what the store's read-back found is told over its owner.
    bool closeAfter(const Module1::Commit &commit);

    // What Cancel does; Esc and the close button come here too.
    virtual void cancel();

    void reject() override;
    void closeEvent(QCloseEvent *event) override;
    // The caption says so when tasks.txt is read-only.
    void showEvent(QShowEvent *event) override;

private:
    Context m_context;
    QString m_caption;
    std::optional<Module1::Commit> m_committed;
};
