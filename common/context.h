// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modal.h"
#include "taskstore.h"

namespace Sync {
class Runner;
}

// What every window and the reminders work with: the program's one store,
// the seam through which modal pieces are shown, and the store's sync with
// a calendar server. The program makes them at its start and hands them
// on; a test makes its own.
struct Context {
    Module1::TaskStore &store;
    Modal::Seam &seam;
    // Null where nothing syncs (most tests).
    Sync::Runner *sync = nullptr;
};
