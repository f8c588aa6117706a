// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

// Alerts at login and one store everywhere: `quorvi --autostart on|off`
// writes or removes a per-user XDG autostart entry that starts quorvi in the
// background in the folder where the command was run, so the alert at login
// and the reminders read that folder's tasks.txt, and a per-user menu
// launcher that opens the task list in the same folder. Which keys the
// entries hold and what they mean are plain functions; only run() touches
// files, and nothing here needs a window system.
namespace Autostart {

struct EntryText {
    QString text;   // empty when it cannot be written
    QString reason; // why not
};

// The whole autostart entry for `program` (an absolute path) started in
// `folder` with --background.
EntryText entryText(const QString &program, const QString &folder);

// The menu launcher that opens the task list of `folder`. It has the system
// launcher's name, so the desktop shows it in that one's place.
EntryText launcherText(const QString &program, const QString &folder);

struct Entry {
    bool valid = false;  // a [Desktop Entry] group with an Exec key
    QString program;     // Exec's first argument
    QString folder;      // Path; empty when the entry has none
    bool hidden = false; // Hidden=true or X-GNOME-Autostart-enabled=false: a login skips it
    bool background = false; // Exec passes --background
    bool ours = false;   // written by --autostart on (the launcher carries a mark)
};

// Reads an entry back (ours or one a user has edited).
Entry parseEntry(QStringView text);

// Where per-user autostart entries live: $XDG_CONFIG_HOME/autostart, or
// $HOME/.config/autostart when XDG_CONFIG_HOME is unset or not absolute.
// Empty when neither can be used.
QString entryFolder(const QString &xdgConfigHome, const QString &home);
// The entry's file name inside that folder.
inline constexpr QStringView kEntryName = u"quorvi.desktop";
// The entry's full path; empty when there is no folder for it.
QString entryFile(const QString &xdgConfigHome, const QString &home);

// Where per-user menu launchers live: $XDG_DATA_HOME/applications, or
// $HOME/.local/share/applications. Empty when neither can be used.
QString launcherFolder(const QString &xdgDataHome, const QString &home);
// The system launcher's name: a per-user launcher stands in for it only
// when it has the same one.
inline constexpr QStringView kLauncherName = u"org.quorvi.Quorvi.desktop";
QString launcherFile(const QString &xdgDataHome, const QString &home);

enum class Action { Status, On, Off };

// What --autostart alone says of the login entry. `entry` is only read when
// `exists`.
QString statusText(const QString &file, bool exists, const Entry &entry, bool programExists);
// And of the launcher.
QString launcherStatusText(const QString &file, bool exists, const Entry &launcher);

struct Outcome {
    int exitStatus = 0; // 0 done, 1 a file could not be written or removed
    QString out;        // for stdout
    QString err;        // one line for stderr, on failure
};

struct Context {
    QString program;       // this program's absolute path
    QString workingFolder; // where the command was run
    QString xdgConfigHome;
    QString home;
    QString xdgDataHome;
    // Both paths as the system spells them, when known: an entry is UTF-8
    // text, so names that are not cannot be written.
    QByteArray programName = {};
    QByteArray workingFolderName = {};
};

// Why `name` (a path as the system spells it) cannot be written in an
// entry, or nothing.
QString unwritableName(const QByteArray &name, const QString &what);

// Carries out a parsed command (one without an error).
Outcome run(Action action, const Context &context);

} // namespace Autostart
