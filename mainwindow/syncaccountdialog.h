// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "account.h"
#include "modal.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;

// Options > Sync Account...: the server's address (a task list's, or the
// server's, where the lists are found and offered), the user name and the
// password. Ok keeps the account for this folder and the password in the
// secret store; an empty address turns sync off.
class SyncAccountDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SyncAccountDialog(QWidget *parent = nullptr);

    // Fills the fields from the folder's account.
    void showAccount(const Sync::Account &account);
    // Looks for task lists at the address; false with the reason shown.
    bool findLists();

    // After Ok: the account chosen, and the password typed.
    Sync::Account account() const;
    QString password() const;

    QLineEdit *addressEdit() const { return m_address; }
    QLineEdit *userEdit() const { return m_user; }
    QLineEdit *passwordEdit() const { return m_password; }
    QComboBox *lists() const { return m_lists; }
    QLabel *status() const { return m_status; }

    void accept() override;

private:
    QLineEdit *m_address;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QComboBox *m_lists;
    QLabel *m_status;
};

// Asks for the password the secret store cannot give, saying why; nothing
// when the user cancels.
std::optional<QString> askSyncPassword(Modal::Seam &seam, QWidget *parent, const Sync::Account &account,
                                       const QString &why);
