// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "autostart.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for, and the texts that describe it.
namespace Program {

struct Options {
    bool showAll = false;
    bool background = false; // keep running after the start, to remind
    QString screenshotFile; // empty: show the window as usual
    bool help = false;
    bool version = false;
    std::optional<Autostart::Action> autostart; // --autostart [on|off] was given
    QString exportFile; // --export FILE: every task to an iCalendar file
    QString importFile; // --import FILE: the tasks of an iCalendar file into tasks.txt
    QString syncAddress; // --sync-account URL USER: the account of this folder's sync
    QString syncUser;
    bool sync = false;   // --sync: one pass, then exit
    bool passwordStdin = false;
    QString error; // one line; set when the command line cannot be used
};

// Drops the options every Qt program understands (-platform NAME, -style=X,
// ...) so they are not mistaken for mistakes; QApplication acts on them.
QStringList stripQtOptions(const QStringList &arguments);

// Reads our options; arguments[0] is the program's name.
Options parseArguments(const QStringList &arguments);

// Both are built from the options the command line takes.
QString usageLine();
// The usage, the options, and where tasks.txt, the alert page and the
// autostart entry are.
QString helpText();
QString versionText();

} // namespace Program
