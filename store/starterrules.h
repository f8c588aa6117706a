// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <vector>

// The rules a new store starts with, so that a first run colours and alerts
// before anyone has found the rules dialog: due within a week in green, within
// two days in orange and on the alert, due today or late in red and on the
// alert. Only a tasks.txt that Quorvi itself creates gets them; a file that
// exists, however empty, keeps the rules it has (none, maybe on purpose).
namespace StarterRules {

std::vector<Module1::AlertRule> rules();

// Called as the store file is about to be created where there was none:
// `written` (what the save writes) gets the starter rules when it holds no
// rules of its own. Whether it did.
bool giveToNewStore(std::vector<Module1::AlertRule> &written);

} // namespace StarterRules
