// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clock.h"

#include <QDate>

class FrmStartup;
class QWidget;

// The one path by which the program's windows open, whatever opens them:
// the start (plain, --show-all, --background), another start on the same
// folder handing its request over, or a new day in a Quorvi that kept
// running. Each cause prepares its window the same way wherever it comes
// from, and one test decides between the alert window and the task list.
namespace Opening {

enum class Cause {
    Start,      // the program starts: the store is loaded, the page written
    ShowAll,    // the task list is asked for, at the start or later
    AlertAgain, // another start asks for its alert: the page written again
    NewDay,     // a new day came: the page written again
};

enum class Window { Nothing, Alert, MainWindow };

// Which window opens. A missing store is a first run: the task list opens
// so the first task can be made, where an existing store with nothing due
// opens nothing.
Window choose(bool showAll, bool storeMissing, bool anyListed);

// Whether there is no store file yet, as loading the store tells it.
bool storeMissing();

// Prepares the window `cause` opens and returns it, not yet shown: the
// alert window, the task list, or null when nothing opens. A new day opens
// the alert window or nothing: a first run's list opens at a start only.
QWidget *windowFor(FrmStartup &startup, Cause cause, QDate today = Clock::today());

// Shows a window in front of the others.
void bringUp(QWidget *window);

} // namespace Opening
