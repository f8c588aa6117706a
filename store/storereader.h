// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "merge.h"
#include "module1.h"

#include <QByteArray>

namespace Module1 {

// Reads the bytes of a store file into `out`, every record of them, and
// says what could not be read as it stood.
LoadReport parseStore(const QByteArray &bytes, Records &out);

// Whether a load met something it could not take as it stood. Records beyond
// the tables' capacity are no such thing: they are kept.
bool damaged(const LoadReport &report);

} // namespace Module1
