// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commandline.h"

#include <QString>

class QApplication;
class QWidget;

// The program's entry, in pieces a test can run without starting an event
// loop: choosing the first window, screenshots; the command line is read in
// commandline.h.
namespace Program {

// Lays the window out without putting it on a screen and writes it to `file`
// as PNG at its normal size.
bool saveScreenshot(QWidget *window, const QString &file, QString *reason = nullptr);

// Everything after the application object exists; returns the exit status.
int run(QApplication &app, const Options &options);

} // namespace Program
