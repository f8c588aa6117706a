// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace PrivateFolder {

// Makes `folder` (one level, its parent must exist) a real folder that
// belongs to us and that nobody else can enter: the alert page and the
// socket a running Quorvi listens on live there, and another user who could
// write there could swap either for something of theirs. Returns why not, or
// nothing when the folder is fit. Elsewhere than on Unix it only creates it.
QString ensure(const QString &folder);

} // namespace PrivateFolder
