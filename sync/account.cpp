// SPDX-License-Identifier: GPL-3.0-or-later
#include "account.h"

#include "keptcalendars.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <qt6keychain/keychain.h>

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

// Waits for a keychain job, which answers over D-Bus.
void wait(QKeychain::Job &job)
{
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QString whyUnavailable(const QKeychain::Job &job)
{
    if (job.error() == QKeychain::NoBackendAvailable)
        return QStringLiteral("this desktop has no secret store to keep it in (%1)").arg(job.errorString());
    return QStringLiteral("the desktop's secret store could not be used (%1)").arg(job.errorString());
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
    QKeychain::ReadPasswordJob job{QString(kService)};
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(secretKey(account));
    wait(job);
    Secret out;
    if (job.error() == QKeychain::NoError)
        out.password = job.textData();
    else if (job.error() != QKeychain::EntryNotFound)
        out.unavailable = whyUnavailable(job);
    return out;
}

QString writePassword(const Account &account, const QString &password)
{
    QKeychain::WritePasswordJob job{QString(kService)};
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(secretKey(account));
    job.setTextData(password);
    wait(job);
    return job.error() == QKeychain::NoError ? QString() : whyUnavailable(job);
}

} // namespace Sync
