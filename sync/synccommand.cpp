// SPDX-License-Identifier: GPL-3.0-or-later
#include "synccommand.h"

#include "account.h"
#include "module1.h"
#include "storeside.h"
#include "syncengine.h"

namespace Sync {

namespace {

int failWith(const QString &message)
{
    std::fprintf(stderr, "quorvi: %s\n", qPrintable(message));
    return 1;
}

} // namespace

QString readPasswordLine(std::FILE *in)
{
    QByteArray line;
    for (int c = std::fgetc(in); c != EOF && c != '\n'; c = std::fgetc(in))
        line += char(c);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

int runAccountCommand(const QString &address, const QString &user, const std::optional<QString> &password)
{
    const QUrl url = typedAddress(address);
    if (!url.isValid() || url.host().isEmpty())
        return failWith(QStringLiteral("'%1' is no server address.").arg(address));
    const Discovery found = discover(url, {user, password.value_or(QString())});
    if (!found.failure.isEmpty())
        return failWith(QStringLiteral("No task list found at %1: %2.").arg(url.toDisplayString(), found.failure));
    if (found.collections.size() > 1) {
        QString list;
        for (const Collection &c : found.collections)
            list += QStringLiteral("\n  %1  (%2)").arg(c.url.toDisplayString(), c.name);
        return failWith(QStringLiteral("%1 holds several task lists; run this again with the address of the one to "
                                       "sync:%2")
                            .arg(url.toDisplayString(), list));
    }
    const Account account{found.collections.front().url, user};
    const AccountChange change = changeAccount(StoreSide::storeFolder(), account, password);
    if (!change.error.isEmpty())
        return failWith(QStringLiteral("The account could not be saved: %1.").arg(change.error));
    std::printf("This folder's tasks now sync with %s as %s.\n", qPrintable(account.collection.toDisplayString()),
                qPrintable(user));
    if (!change.unstored.isEmpty())
        std::printf("The password was not kept: %s. Give it with --password-stdin each time, or set the account "
                    "up in the task list, which asks once a session.\n",
                    qPrintable(change.unstored));
    return 0;
}

int runSyncCommand(const std::optional<QString> &password)
{
    const Account account = loadAccount(StoreSide::storeFolder());
    if (!account.isSet())
        return failWith(QStringLiteral("This folder has no sync account; set one up with --sync-account URL USER."));
    std::optional<QString> secret = password;
    if (!secret) {
        const Secret stored = readPassword(account);
        if (!stored.password && !account.user.isEmpty()) {
            return failWith(stored.unavailable.isEmpty()
                                ? QStringLiteral("No password is kept for %1; give it with --password-stdin.").arg(account.user)
                                : QStringLiteral("No password: %1; give it with --password-stdin.").arg(stored.unavailable));
        }
        secret = stored.password;
    }
    Module1::TaskStore store;
    const Module1::LoadReport report = store.loadTasks();
    if (report.unreadable)
        return failWith(report.problems.value(0));
    const Outcome outcome = syncStore(store, account.collection, {account.user, secret.value_or(QString())},
                                      QDateTime::currentDateTime());
    if (!outcome.ok)
        return failWith(outcome.message);
    std::printf("%s\n", qPrintable(outcome.message));
    return 0;
}

} // namespace Sync
