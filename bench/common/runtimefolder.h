// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>

namespace Bench {

// Points the programs a benchmark starts at a private runtime folder inside
// `work` (where the alert page goes) and at the offscreen platform.
inline void useRuntimeFolderIn(const QString &work)
{
    const QString runtime = QDir(work).filePath(QStringLiteral("runtime"));
    QDir().mkdir(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ::setenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime).constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace Bench
