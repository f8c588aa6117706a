// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace Module1 {

// The text of the store file. A UTF-16 byte-order mark is honoured; without
// one the file is UTF-8, except that a line that is not valid UTF-8 was
// most likely written by an older Windows program and is read as
// Windows-1252. Line by line, so one stray byte changes only its own line;
// the numbers of those lines go to `fallbackLines`.
QString decodeStore(QByteArray bytes, std::vector<int> *fallbackLines);

} // namespace Module1
