// SPDX-License-Identifier: GPL-3.0-or-later
#include "account.h"

#include "keptcalendars.h"

#include <QEventLoop>
#include <QUrl>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

#include <qt6keychain/keychain.h>

#include <algorithm>
#include <memory>

namespace Sync {

namespace {

constexpr QLatin1StringView kService("org.quorvi.Quorvi");

QString settingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/quorvi/sync.conf");
}

// One entry per account: the same user on two servers has two passwords.
QString secretKey(const Account &account)
{
    return account.user + QLatin1Char('@') + account.collection.toString(QUrl::RemoveUserInfo);
}

// What a keychain job came back with.
struct Answer {
    bool came = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString text; // what a read found
};

// Runs a keychain job, which answers over D-Bus, and waits for the answer.
// The wait can end first (the program quitting ends every event loop): that
// is no answer, never an empty password. The job deletes itself once it
// has answered, into an answer that outlives the wait.
Answer answerOf(QKeychain::Job *job)
{
    const auto answer = std::make_shared<Answer>();
    QEventLoop loop;
    const QPointer<QEventLoop> waiting(&loop);
    QObject::connect(job, &QKeychain::Job::finished, job, [answer, waiting](QKeychain::Job *done) {
        answer->came = true;
        answer->error = done->error();
        answer->errorText = done->errorString();
        if (const auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(done))
            answer->text = read->textData();
        if (waiting)
            waiting->quit();
    });
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->start();
    if (!answer->came)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answer->came)
        return {false, QKeychain::OtherError, QStringLiteral("it gave no answer before Quorvi had to go on"), {}};
    return *answer;
}

QString whyUnavailable(const Answer &answer)
{
    if (answer.error == QKeychain::NoBackendAvailable)
        return QStringLiteral("this desktop has no secret store to keep it in (%1)").arg(answer.errorText);
    return QStringLiteral("the desktop's secret store could not be used (%1)").arg(answer.errorText);
}

// Whether another folder's account goes by the same secret: two folders
// synced with the same list as the same user share one entry.
bool sharedWithAnotherFolder(const QString &storeFolder, const Account &account)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const QStringList folders = settings.childGroups();
    return std::any_of(folders.begin(), folders.end(), [&](const QString &group) {
        if (group == folderKey(storeFolder))
            return false;
        const Account other{QUrl(settings.value(group + QStringLiteral("/collection")).toString()),
                            settings.value(group + QStringLiteral("/user")).toString()};
        return other.isSet() && secretKey(other) == secretKey(account);
    });
}

// Removes the secret of an account this folder no longer uses.
QString dropPassword(const QString &storeFolder, const Account &old)
{
    return sharedWithAnotherFolder(storeFolder, old) ? QString() : deletePassword(old);
}

} // namespace

QString folderKey(const QString &storeFolder)
{
    // The calendar texts kept for Export and Import already go by it.
    return KeptCalendars::folderKey(storeFolder);
}

Account loadAccount(const QString &storeFolder)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.beginGroup(folderKey(storeFolder));
    Account account;
    account.collection = QUrl(settings.value(QStringLiteral("collection")).toString());
    account.user = settings.value(QStringLiteral("user")).toString();
    return account;
}

bool saveAccount(const QString &storeFolder, const Account &account, QString *error)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.beginGroup(folderKey(storeFolder));
    settings.setValue(QStringLiteral("folder"), storeFolder);
    settings.setValue(QStringLiteral("collection"), account.collection.toString());
    settings.setValue(QStringLiteral("user"), account.user);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        *error = QStringLiteral("could not write %1").arg(settingsFile());
        return false;
    }
    return true;
}

void forgetAccount(const QString &storeFolder)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.remove(folderKey(storeFolder));
}

QUrl typedAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.contains(QLatin1String("://")))
        return QUrl(trimmed);
    return QUrl(QStringLiteral("https://") + trimmed);
}

Secret readPassword(const Account &account)
{
    auto *job = new QKeychain::ReadPasswordJob(QString(kService));
    job->setKey(secretKey(account));
    const Answer answer = answerOf(job);
    Secret out;
    if (answer.error == QKeychain::NoError)
        out.password = answer.text;
    else if (answer.error != QKeychain::EntryNotFound)
        out.unavailable = whyUnavailable(answer);
    return out;
}

QString writePassword(const Account &account, const QString &password)
{
    auto *job = new QKeychain::WritePasswordJob(QString(kService));
    job->setKey(secretKey(account));
    job->setTextData(password);
    const Answer answer = answerOf(job);
    return answer.error == QKeychain::NoError ? QString() : whyUnavailable(answer);
}

QString deletePassword(const Account &account)
{
    auto *job = new QKeychain::DeletePasswordJob(QString(kService));
    job->setKey(secretKey(account));
    const Answer answer = answerOf(job);
    const bool gone = answer.error == QKeychain::NoError || answer.error == QKeychain::EntryNotFound;
    return gone ? QString() : whyUnavailable(answer);
}

AccountChange changeAccount(const QString &storeFolder, const Account &account, const std::optional<QString> &password)
{
    const Account old = loadAccount(storeFolder);
    AccountChange change;
    if (!account.isSet()) {
        forgetAccount(storeFolder);
        if (old.isSet())
            change.unstored = dropPassword(storeFolder, old);
        return change;
    }
    if (!saveAccount(storeFolder, account, &change.error))
        return change;
    // The secret store's entry goes by the list and the user: another of
    // either is another entry, and the old one would stay behind.
    const bool moved = old.isSet() && secretKey(old) != secretKey(account);
    std::optional<QString> secret = password;
    if (!secret) {
        secret = readPassword(old.isSet() ? old : account).password;
        if (!secret || !moved)
            return change;
    }
    change.unstored = writePassword(account, *secret);
    if (change.unstored.isEmpty() && moved)
        change.unstored = dropPassword(storeFolder, old);
    return change;
}

} // namespace Sync
