// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"

#include "desktopentry.h"
#include "installedlauncher.h"
#include "module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace Autostart {

namespace {

bool isTrue(QStringView value)
{
    return value.trimmed() == u"true";
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Marks a launcher as written by --autostart on, so off removes only ours.
constexpr QLatin1StringView kMarkKey("X-Quorvi-Written-By");
constexpr QLatin1StringView kMarkValue("quorvi --autostart on");

QString folderPhrase(const Entry &entry)
{
    if (entry.folder.isEmpty())
        return QStringLiteral("the folder a login starts in (usually your home folder)");
    return nativePath(entry.folder);
}

} // namespace

EntryText entryText(const QString &program, const QString &folder)
{
    EntryText result;
    if (!DesktopEntry::representable(program)) {
        result.reason = QStringLiteral("the program's path holds a control character a desktop entry cannot carry");
        return result;
    }
    if (!DesktopEntry::representable(folder)) {
        result.reason = QStringLiteral("the folder's name holds a control character a desktop entry cannot carry");
        return result;
    }
    result.text = DesktopEntry::write({
        {QStringLiteral("Type"), QStringLiteral("Application")},
        {QStringLiteral("Name"), QStringLiteral("Quorvi")},
        {QStringLiteral("Comment"),
         QStringLiteral("Shows the tasks that need attention when you log in, and reminds you when they are due")},
        {QStringLiteral("Exec"), DesktopEntry::quoteArgument(program) + QStringLiteral(" --background")},
        {QStringLiteral("Path"), folder},
        {QStringLiteral("Icon"), QStringLiteral("quorvi")},
        {QStringLiteral("Terminal"), QStringLiteral("false")},
        {QStringLiteral("NoDisplay"), QStringLiteral("true")},
        {QStringLiteral("X-GNOME-Autostart-enabled"), QStringLiteral("true")},
    });
    return result;
}

EntryText launcherText(const QString &program, const QString &folder)
{
    EntryText result = entryText(program, folder); // the same checks on both paths
    if (result.text.isEmpty())
        return result;
    // The installed launcher, but for this program and folder.
    QList<std::pair<QString, QString>> keys;
    for (const auto &[keyText, valueText] : kInstalledLauncher) {
        const QString key = QString::fromUtf8(keyText);
        QString value = DesktopEntry::unescapeValue(QString::fromUtf8(valueText));
        if (key == u"Comment")
            value = QStringLiteral("Keep track of the tasks in %1").arg(folder);
        if (key == u"Exec") {
            // This program in place of the installed one's name, with its
            // options ("--show-all").
            keys.append({key, DesktopEntry::quoteArgument(program) + u' ' + value.section(u' ', 1)});
            keys.append({QStringLiteral("Path"), folder});
            continue;
        }
        // While a Quorvi runs for the folder, the launcher's start only hands
        // over to it and ends, and a startup cursor would spin on in vain.
        if (key == u"StartupNotify")
            value = QStringLiteral("false");
        keys.append({key, value});
    }
    keys.append({kMarkKey, kMarkValue});
    result.text = DesktopEntry::write(keys);
    return result;
}

Entry parseEntry(QStringView text)
{
    const QHash<QString, QString> keys = DesktopEntry::read(text);
    Entry entry;
    const QStringList exec = DesktopEntry::arguments(keys.value(QStringLiteral("Exec")));
    entry.program = exec.value(0);
    entry.background = exec.mid(1).contains(QStringLiteral("--background"));
    entry.ours = keys.value(kMarkKey) == kMarkValue;
    entry.valid = !entry.program.isEmpty();
    entry.folder = keys.value(QStringLiteral("Path"));
    entry.hidden = isTrue(keys.value(QStringLiteral("Hidden")))
                   || keys.value(QStringLiteral("X-GNOME-Autostart-enabled")).trimmed() == u"false";
    return entry;
}

// `sub` of an XDG base folder: the variable's value, or `fallback` under
// HOME when it is unset. A relative value is invalid and must be ignored.
static QString baseFolder(const QString &xdgValue, const QString &home, const char *fallback, const char *sub)
{
    QString base;
    if (!xdgValue.isEmpty() && QDir::isAbsolutePath(xdgValue))
        base = xdgValue;
    else if (!home.isEmpty() && QDir::isAbsolutePath(home))
        base = QDir(home).filePath(QLatin1String(fallback));
    if (base.isEmpty())
        return {};
    return QDir::cleanPath(base + QLatin1Char('/') + QLatin1String(sub));
}

QString entryFolder(const QString &xdgConfigHome, const QString &home)
{
    return baseFolder(xdgConfigHome, home, ".config", "autostart");
}

QString entryFile(const QString &xdgConfigHome, const QString &home)
{
    const QString folder = entryFolder(xdgConfigHome, home);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(kEntryName.toString());
}

QString launcherFolder(const QString &xdgDataHome, const QString &home)
{
    return baseFolder(xdgDataHome, home, ".local/share", "applications");
}

QString launcherFile(const QString &xdgDataHome, const QString &home)
{
    const QString folder = launcherFolder(xdgDataHome, home);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(kLauncherName.toString());
}

QString statusText(const QString &file, bool exists, const Entry &entry, bool programExists)
{
    if (!exists)
        return QStringLiteral("Autostart is off.\n");
    const QString shown = nativePath(file);
    if (!entry.valid)
        return QStringLiteral("Autostart is off: %1 starts no program.\n").arg(shown);
    if (entry.hidden)
        return QStringLiteral("Autostart is off: %1 is switched off.\n").arg(shown);
    QString text = QStringLiteral("Autostart is on: at login, quorvi shows the alerts for %1%2.\n"
                                  "Entry: %3\n")
                       .arg(folderPhrase(entry),
                            entry.background ? QStringLiteral(" and keeps running to remind you") : QString(),
                            shown);
    if (!entry.background)
        text += QStringLiteral("Note: it does not keep quorvi running to remind you when tasks are due; "
                               "run 'quorvi --autostart on' again.\n");
    if (!programExists)
        text += QStringLiteral("Note: the program it starts, %1, does not exist; "
                               "run 'quorvi --autostart on' again.\n")
                    .arg(nativePath(entry.program));
    return text;
}

QString unwritableName(const QByteArray &name, const QString &what)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(name);
    if (!utf8.hasError())
        return {};
    // Written as text it would name another folder (the bytes that are not
    // UTF-8 replaced), and the login and the menu would start there.
    return QStringLiteral("the name of %1, %2, is not UTF-8, which a desktop entry cannot carry; "
                          "rename it and run 'quorvi --autostart on' again")
        .arg(what, nativePath(text));
}

QString launcherStatusText(const QString &file, bool exists, const Entry &launcher)
{
    if (!exists)
        return QStringLiteral("Launcher: none of your own; the menu's Quorvi opens the task list of the folder "
                              "the desktop starts it in (usually your home folder).\n");
    return QStringLiteral("Launcher: %1%2 opens the task list of %3.\n")
        .arg(nativePath(file), launcher.ours ? QString() : QStringLiteral(" (not written by quorvi)"),
             folderPhrase(launcher));
}

namespace {

// What --autostart on took the place of: the login entry and the launcher
// it wrote before, when they were for another folder (only one folder's
// tasks are shown at login, so the other's no longer are).
QString replacedText(const Entry *entry, const Entry *launcher, const QString &folder)
{
    const auto elsewhere = [&folder](const Entry *old) {
        return old && QDir::cleanPath(old->folder) != QDir::cleanPath(folder);
    };
    const bool entryMoved = elsewhere(entry);
    const bool launcherMoved = elsewhere(launcher);
    if (entryMoved && launcherMoved && entry->folder == launcher->folder)
        return QStringLiteral("Replaced: the login entry and the launcher were for %1.\n").arg(folderPhrase(*entry));
    QString text;
    if (entryMoved)
        text += QStringLiteral("Replaced: the login entry was for %1.\n").arg(folderPhrase(*entry));
    if (launcherMoved)
        text += QStringLiteral("Replaced: the launcher was for %1.\n").arg(folderPhrase(*launcher));
    return text;
}

// Reads an entry; false when it exists but cannot be read.
bool readEntry(const QString &file, bool *exists, Entry *entry, QString *error)
{
    const QFileInfo info(file);
    *exists = info.exists() || info.isSymLink();
    if (!*exists)
        return true;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("could not read %1: %2").arg(nativePath(file), in.errorString());
        return false;
    }
    *entry = parseEntry(QString::fromUtf8(in.readAll()));
    return true;
}

// Writes a whole file atomically, making its folder; the reason on failure.
QString writeWhole(const QString &file, const QString &text)
{
    const QString folder = QFileInfo(file).path();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return QStringLiteral("could not create the folder %1").arg(nativePath(folder));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit())
        return QStringLiteral("could not write %1: %2").arg(nativePath(file), out.errorString());
    return {};
}

QString removeWhole(const QString &file)
{
    const QFileInfo info(file);
    QFile entry(file);
    if (info.isDir() || !entry.remove())
        return QStringLiteral("could not remove %1: %2")
            .arg(nativePath(file), info.isDir() ? QStringLiteral("it is a folder") : entry.errorString());
    return {};
}

// The two files --autostart looks after, and what is in them now.
struct Files {
    QString entry;
    QString launcher;
    bool launcherExists = false;
    Entry ourLauncher;
};

Outcome failure(const QString &why)
{
    Outcome outcome;
    outcome.exitStatus = 1;
    outcome.err = why;
    return outcome;
}

Outcome status(const Files &files)
{
    QString error;
    bool entryExists = false;
    Entry entry;
    if (!readEntry(files.entry, &entryExists, &entry, &error))
        return failure(error);
    const bool programExists = entry.valid && QFileInfo(entry.program).isExecutable();
    Outcome outcome;
    outcome.out = statusText(files.entry, entryExists, entry, programExists)
        + launcherStatusText(files.launcher, files.launcherExists, files.ourLauncher);
    return outcome;
}

Outcome turnOn(const Files &files, const Context &context)
{
    const QString &file = files.entry;
    for (const auto &[name, what] : {std::pair(context.programName, QStringLiteral("the program")),
                                     std::pair(context.workingFolderName, QStringLiteral("this folder"))}) {
        if (const QString why = unwritableName(name, what); !why.isEmpty())
            return failure(QStringLiteral("could not write %1: %2").arg(nativePath(file), why));
    }
    const EntryText login = entryText(context.program, context.workingFolder);
    if (login.text.isEmpty())
        return failure(QStringLiteral("could not write %1: %2").arg(nativePath(file), login.reason));
    // Only for the note on what it replaces: a failure to write says the rest.
    QString error;
    bool entryExists = false;
    Entry entry;
    if (!readEntry(file, &entryExists, &entry, &error))
        entryExists = false;
    // A launcher the user made by hand is theirs to keep.
    if (files.launcherExists && !files.ourLauncher.ours)
        return failure(QStringLiteral("%1 was not written by quorvi; it is left alone: remove it and run "
                                      "'quorvi --autostart on' again")
                           .arg(nativePath(files.launcher)));
    if (const QString why = writeWhole(file, login.text); !why.isEmpty())
        return failure(why);
    const QString launcherContent = Autostart::launcherText(context.program, context.workingFolder).text;
    if (const QString why = writeWhole(files.launcher, launcherContent); !why.isEmpty())
        return failure(why);
    Entry written;
    written.valid = true;
    written.background = true;
    written.folder = context.workingFolder;
    Outcome outcome;
    outcome.out = QStringLiteral("Autostart is on: at login, quorvi shows the alerts for %1 and keeps "
                                 "running to remind you.\nEntry: %2\n")
                      .arg(folderPhrase(written), nativePath(file))
        + launcherStatusText(files.launcher, true, parseEntry(launcherContent))
        + replacedText(entryExists && entry.valid ? &entry : nullptr,
                       files.launcherExists && files.ourLauncher.ours ? &files.ourLauncher : nullptr,
                       context.workingFolder);
    // At login a missing store opens the task list every time, which is
    // a surprise worth a word now rather than at the next login.
    if (!QFileInfo::exists(QDir(context.workingFolder).filePath(Module1::kStoreFileName)))
        outcome.out += QStringLiteral("Note: there is no %1 in that folder yet; until there is one, "
                                      "the task list opens at login.\n")
                           .arg(Module1::kStoreFileName);
    return outcome;
}

Outcome turnOff(const Files &files)
{
    Outcome outcome;
    const QFileInfo info(files.entry);
    if (!info.exists() && !info.isSymLink()) {
        outcome.out = QStringLiteral("Autostart was already off.\n");
    } else {
        if (const QString why = removeWhole(files.entry); !why.isEmpty())
            return failure(why);
        outcome.out = QStringLiteral("Autostart is off.\n");
    }
    if (files.launcherExists && files.ourLauncher.ours) {
        if (const QString why = removeWhole(files.launcher); !why.isEmpty())
            return failure(why);
        outcome.out += QStringLiteral("Launcher removed: %1\n").arg(nativePath(files.launcher));
    } else if (files.launcherExists) {
        outcome.out += QStringLiteral("Launcher left alone (not written by quorvi): %1\n").arg(nativePath(files.launcher));
    }
    return outcome;
}

} // namespace

Outcome run(Action action, const Context &context)
{
    Files files;
    files.entry = entryFile(context.xdgConfigHome, context.home);
    if (files.entry.isEmpty())
        return failure(QStringLiteral("there is no configuration folder: neither XDG_CONFIG_HOME nor HOME is set"));
    files.launcher = launcherFile(context.xdgDataHome, context.home);
    if (files.launcher.isEmpty())
        return failure(QStringLiteral("there is no data folder: neither XDG_DATA_HOME nor HOME is set"));
    QString error;
    if (!readEntry(files.launcher, &files.launcherExists, &files.ourLauncher, &error))
        return failure(error);

    switch (action) {
    case Action::Status:
        return status(files);
    case Action::On:
        return turnOn(files, context);
    case Action::Off:
        return turnOff(files);
    }
    return {};
}

} // namespace Autostart
