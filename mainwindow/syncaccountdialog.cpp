// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncaccountdialog.h"

#include "modal.h"
#include "syncengine.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

SyncAccountDialog::SyncAccountDialog(QWidget *parent)
    : QDialog(parent), m_address(new QLineEdit(this)), m_user(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_lists(new QComboBox(this)), m_status(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Sync Account"));
    m_address->setPlaceholderText(QStringLiteral("https://calendar.example.org/"));
    m_password->setEchoMode(QLineEdit::Password);
    m_status->setWordWrap(true);
    auto *find = new QPushButton(QStringLiteral("&Find Task Lists"), this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Server:"), m_address);
    form->addRow(QStringLiteral("&User name:"), m_user);
    form->addRow(QStringLiteral("&Password:"), m_password);
    form->addRow(find);
    form->addRow(QStringLiteral("&Task list:"), m_lists);
    form->addRow(m_status);
    form->addRow(buttons);
    connect(find, &QPushButton::clicked, this, &SyncAccountDialog::findLists);
    connect(buttons, &QDialogButtonBox::accepted, this, &SyncAccountDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SyncAccountDialog::reject);
    // Another address means other lists.
    connect(m_address, &QLineEdit::textEdited, m_lists, &QComboBox::clear);
}

void SyncAccountDialog::showAccount(const Sync::Account &account)
{
    m_address->setText(account.collection.toString());
    m_user->setText(account.user);
    m_lists->clear();
    if (account.isSet())
        m_lists->addItem(account.collection.toDisplayString(), account.collection);
}

bool SyncAccountDialog::findLists()
{
    m_lists->clear();
    const QUrl url = Sync::typedAddress(m_address->text());
    if (!url.isValid() || url.host().isEmpty()) {
        m_status->setText(QStringLiteral("That is no server address."));
        return false;
    }
    const Sync::Discovery found = Sync::discover(url, {m_user->text(), m_password->text()});
    if (!found.failure.isEmpty()) {
        m_status->setText(QStringLiteral("No task list found: %1.").arg(found.failure));
        return false;
    }
    for (const Sync::Collection &c : found.collections)
        m_lists->addItem(c.name, c.url);
    m_status->setText(found.collections.size() == 1 ? QStringLiteral("Found one task list.")
                                                     : QStringLiteral("Found %1 task lists; choose one.").arg(found.collections.size()));
    return true;
}

Sync::Account SyncAccountDialog::account() const
{
    if (m_address->text().trimmed().isEmpty())
        return {};
    return {m_lists->currentData().toUrl(), m_user->text()};
}

QString SyncAccountDialog::password() const
{
    return m_password->text();
}

void SyncAccountDialog::accept()
{
    // An empty address turns sync off; any other must lead to a list.
    if (!m_address->text().trimmed().isEmpty() && m_lists->count() == 0 && !findLists())
        return;
    QDialog::accept();
}

std::optional<QString> askSyncPassword(Modal::Seam &seam, QWidget *parent, const Sync::Account &account,
                                       const QString &why)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Sync Password"));
    dialog.setLabelText(QStringLiteral("The password of %1 at %2 is asked once while Quorvi runs: %3.")
                            .arg(account.user, account.collection.host(), why));
    dialog.setTextEchoMode(QLineEdit::Password);
    if (seam.exec(&dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}
