// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdio>
#include <optional>

// Sync from a terminal, for the store of the working folder:
//   quorvi --sync-account URL USER [--password-stdin]   sets the account up
//   quorvi --sync [--password-stdin]                    runs one pass
// Each says what happened (on standard error when it failed) and returns the
// exit status: 0, or 1.
namespace Sync {

// `password`: read from standard input (its first line), or nothing.
int runAccountCommand(const QString &address, const QString &user, const std::optional<QString> &password);
int runSyncCommand(const std::optional<QString> &password);

// The first line of standard input, without its line end.
QString readPasswordLine(std::FILE *in);

} // namespace Sync
