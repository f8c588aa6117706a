// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The sync account of a store: the task collection and the user name in
// the user's configuration folder, keyed by the store's folder (never
// beside tasks.txt); the password in the desktop's secret store.
namespace Sync {

struct Account {
    QUrl collection;
    QString user;
    bool isSet() const { return collection.isValid() && !collection.isEmpty(); }
};

// The name a store's folder goes by in the configuration and data folders.
QString folderKey(const QString &storeFolder);

Account loadAccount(const QString &storeFolder);
bool saveAccount(const QString &storeFolder, const Account &account, QString *error);
void forgetAccount(const QString &storeFolder);

// An address as typed: without a scheme it is https.
QUrl typedAddress(const QString &text);

// The password of an account in the secret store (Secret Service, KWallet)
// through QtKeychain. Never written to a file of Quorvi's own.
struct Secret {
    std::optional<QString> password; // none stored, or none could be read
    QString unavailable;             // why the secret store could not be used; empty when it was
};
Secret readPassword(const Account &account);
// Empty when stored; otherwise why not (no secret store on this desktop).
QString writePassword(const Account &account, const QString &password);
// Empty when gone (or there was none); otherwise why it could not be removed.
QString deletePassword(const Account &account);

// The store's account set up or changed: saved, or, when `account` is not
// set, sync turned off and the old password removed from the secret store.
// A password given replaces the stored one; none given keeps the stored
// one, under the new account if the list or the user changed. A password
// no longer used is not left behind in the secret store.
struct AccountChange {
    QString error;    // the account could not be saved
    QString unstored; // why the password could not be kept in the secret store
};
AccountChange changeAccount(const QString &storeFolder, const Account &account, const std::optional<QString> &password);

} // namespace Sync
