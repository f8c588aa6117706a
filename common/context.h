// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modal.h"
#include "taskstore.h"

// What every window and the reminders work with: the program's one store
// and the seam through which modal pieces are shown. The program makes
// both at its start and hands them on; a test makes its own.
struct Context {
    Module1::TaskStore &store;
    Modal::Seam &seam;
};
