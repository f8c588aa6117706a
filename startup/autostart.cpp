// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"

#include "desktopentry.h"
#include "module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
        {QStringLiteral("Comment"), QStringLiteral("Shows the tasks that need attention when you log in")},
        {QStringLiteral("Exec"), DesktopEntry::quoteArgument(program)},
        {QStringLiteral("Path"), folder},
        {QStringLiteral("Icon"), QStringLiteral("quorvi")},
        {QStringLiteral("Terminal"), QStringLiteral("false")},
        {QStringLiteral("NoDisplay"), QStringLiteral("true")},
        {QStringLiteral("X-GNOME-Autostart-enabled"), QStringLiteral("true")},
    });
    return result;
}

Entry parseEntry(QStringView text)
{
    const QHash<QString, QString> keys = DesktopEntry::read(text);
    Entry entry;
    entry.program = DesktopEntry::firstArgument(keys.value(QStringLiteral("Exec")));
    entry.valid = !entry.program.isEmpty();
    entry.folder = keys.value(QStringLiteral("Path"));
    entry.hidden = isTrue(keys.value(QStringLiteral("Hidden")))
                   || keys.value(QStringLiteral("X-GNOME-Autostart-enabled")).trimmed() == u"false";
    return entry;
}

QString entryFolder(const QString &xdgConfigHome, const QString &home)
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    QString config;
    if (!xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome))
        config = xdgConfigHome;
    else if (!home.isEmpty() && QDir::isAbsolutePath(home))
        config = QDir(home).filePath(QStringLiteral(".config"));
    if (config.isEmpty())
        return {};
    return QDir::cleanPath(config + QLatin1String("/autostart"));
}

QString entryFile(const QString &xdgConfigHome, const QString &home)
{
    const QString folder = entryFolder(xdgConfigHome, home);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(kEntryName.toString());
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
    QString text = QStringLiteral("Autostart is on: at login, quorvi shows the alerts for %1.\n"
                                  "Entry: %2\n")
                       .arg(folderPhrase(entry), shown);
    if (!programExists)
        text += QStringLiteral("Note: the program it starts, %1, does not exist; "
                               "run 'quorvi --autostart on' again.\n")
                    .arg(nativePath(entry.program));
    return text;
}

Outcome run(Action action, const Context &context)
{
    Outcome outcome;
    const QString file = entryFile(context.xdgConfigHome, context.home);
    if (file.isEmpty()) {
        outcome.exitStatus = 1;
        outcome.err = QStringLiteral("there is no configuration folder: neither XDG_CONFIG_HOME nor HOME is set");
        return outcome;
    }
    const QString folder = QFileInfo(file).path();
    QFileInfo info(file);

    switch (action) {
    case Action::Status: {
        Entry entry;
        const bool exists = info.exists() || info.isSymLink();
        if (exists) {
            QFile in(file);
            if (!in.open(QIODevice::ReadOnly)) {
                outcome.exitStatus = 1;
                outcome.err = QStringLiteral("could not read %1: %2").arg(nativePath(file), in.errorString());
                return outcome;
            }
            entry = parseEntry(QString::fromUtf8(in.readAll()));
        }
        const bool programExists = entry.valid && QFileInfo(entry.program).isExecutable();
        outcome.out = statusText(file, exists, entry, programExists);
        return outcome;
    }
    case Action::On: {
        const EntryText entry = entryText(context.program, context.workingFolder);
        if (entry.text.isEmpty()) {
            outcome.exitStatus = 1;
            outcome.err = QStringLiteral("could not write %1: %2").arg(nativePath(file), entry.reason);
            return outcome;
        }
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
            outcome.exitStatus = 1;
            outcome.err = QStringLiteral("could not create the folder %1").arg(nativePath(folder));
            return outcome;
        }
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(entry.text.toUtf8()) < 0 || !out.commit()) {
            outcome.exitStatus = 1;
            outcome.err = QStringLiteral("could not write %1: %2").arg(nativePath(file), out.errorString());
            return outcome;
        }
        Entry written;
        written.valid = true;
        written.folder = context.workingFolder;
        outcome.out = QStringLiteral("Autostart is on: at login, quorvi shows the alerts for %1.\nEntry: %2\n")
                          .arg(folderPhrase(written), nativePath(file));
        // At login a missing store opens the task list every time, which is
        // a surprise worth a word now rather than at the next login.
        if (!QFileInfo::exists(QDir(context.workingFolder).filePath(Module1::kStoreFileName)))
            outcome.out += QStringLiteral("Note: there is no %1 in that folder yet; until there is one, "
                                          "the task list opens at login.\n")
                               .arg(Module1::kStoreFileName);
        return outcome;
    }
    case Action::Off: {
        if (!info.exists() && !info.isSymLink()) {
            outcome.out = QStringLiteral("Autostart was already off.\n");
            return outcome;
        }
        QFile entry(file);
        if (info.isDir() || !entry.remove()) {
            outcome.exitStatus = 1;
            outcome.err = QStringLiteral("could not remove %1: %2")
                              .arg(nativePath(file), info.isDir() ? QStringLiteral("it is a folder")
                                                                  : entry.errorString());
            return outcome;
        }
        outcome.out = QStringLiteral("Autostart is off.\n");
        return outcome;
    }
    }
    return outcome;
}

} // namespace Autostart
