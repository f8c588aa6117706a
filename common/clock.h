// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>

#include <functional>

// The wall clock as the program reads it. Everything that colours by today's
// date or waits for a due moment asks here, so a test can put a clock of its
// own in place and step through days and due moments without waiting.
namespace Clock {

// Local date and time now.
QDateTime now();
// Today's local date.
QDate today();

// Replaces the clock; an empty function puts the real one back.
void setSource(std::function<QDateTime()> replacement);

} // namespace Clock
