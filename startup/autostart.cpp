// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"

#include "module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace Autostart {

namespace {

const QString kGroup = QStringLiteral("[Desktop Entry]");
const QString kOption = QStringLiteral("autostart");

// Characters that force an Exec argument into quotes.
bool reserved(QChar c)
{
    static const QString set = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#`");
    return set.contains(c);
}

// Inside quotes only these keep a meaning, so only these get a backslash.
bool specialInQuotes(QChar c)
{
    return c == u'"' || c == u'`' || c == u'$' || c == u'\\';
}

bool isTrue(QStringView value)
{
    return value.trimmed() == u"true";
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// "--autostart", "-autostart", and the same with "=value".
bool isOption(const QString &arg, QString *value, bool *hasValue)
{
    QStringView name(arg);
    if (name.startsWith(u"--"))
        name = name.mid(2);
    else if (name.startsWith(u'-'))
        name = name.mid(1);
    else
        return false;
    const qsizetype equals = name.indexOf(u'=');
    *hasValue = equals >= 0;
    if (*hasValue) {
        *value = name.mid(equals + 1).toString();
        name = name.left(equals);
    }
    return name == kOption;
}

QString folderPhrase(const Entry &entry)
{
    if (entry.folder.isEmpty())
        return QStringLiteral("the folder a login starts in (usually your home folder)");
    return nativePath(entry.folder);
}

} // namespace

QString escapeValue(QStringView text)
{
    qsizetype leading = 0;
    while (leading < text.size() && text[leading] == u' ')
        ++leading;
    qsizetype trailingFrom = text.size();
    while (trailingFrom > leading && text[trailingFrom - 1] == u' ')
        --trailingFrom;

    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u' ' && (i < leading || i >= trailingFrom))
            out += QLatin1String("\\s");
        else if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString unescapeValue(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[i + 1];
        switch (next.unicode()) {
        case 's': out += u' '; break;
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case 'r': out += u'\r'; break;
        case '\\': out += u'\\'; break;
        default:
            out += c;
            out += next;
            break;
        }
        ++i;
    }
    return out;
}

QString quoteArgument(QStringView argument)
{
    QString out;
    const bool quote = argument.isEmpty() || std::any_of(argument.begin(), argument.end(), reserved);
    if (quote)
        out += u'"';
    for (const QChar c : argument) {
        if (quote && specialInQuotes(c))
            out += u'\\';
        out += c;
        if (c == u'%')
            out += u'%';
    }
    if (quote)
        out += u'"';
    return out;
}

QString firstArgument(QStringView exec)
{
    qsizetype i = 0;
    while (i < exec.size() && (exec[i] == u' ' || exec[i] == u'\t'))
        ++i;
    if (i == exec.size())
        return {};

    QString raw;
    if (exec[i] == u'"') {
        bool closed = false;
        for (++i; i < exec.size(); ++i) {
            const QChar c = exec[i];
            if (c == u'"') {
                closed = true;
                break;
            }
            if (c == u'\\' && i + 1 < exec.size() && specialInQuotes(exec[i + 1]))
                ++i;
            raw += exec[i];
        }
        if (!closed)
            return {};
    } else {
        for (; i < exec.size() && exec[i] != u' ' && exec[i] != u'\t'; ++i)
            raw += exec[i];
    }
    raw.replace(QLatin1String("%%"), QLatin1String("%"));
    return raw;
}

bool representable(QStringView text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0x7f;
    });
}

EntryText entryText(const QString &program, const QString &folder)
{
    EntryText result;
    if (!representable(program)) {
        result.reason = QStringLiteral("the program's path holds a control character a desktop entry cannot carry");
        return result;
    }
    if (!representable(folder)) {
        result.reason = QStringLiteral("the folder's name holds a control character a desktop entry cannot carry");
        return result;
    }
    const QString lines[] = {
        kGroup,
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=Quorvi"),
        QStringLiteral("Comment=Shows the tasks that need attention when you log in"),
        QStringLiteral("Exec=") + escapeValue(quoteArgument(program)),
        QStringLiteral("Path=") + escapeValue(folder),
        QStringLiteral("Icon=quorvi"),
        QStringLiteral("Terminal=false"),
        QStringLiteral("NoDisplay=true"),
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
    };
    for (const QString &line : lines)
        result.text += line + u'\n';
    return result;
}

Entry parseEntry(QStringView text)
{
    Entry entry;
    bool inGroup = false;
    bool sawGroup = false;
    QString exec;
    for (QStringView line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        // Leading blanks are not part of the syntax, trailing ones are part of
        // a value (written as \s by us, so only a hand edit leaves them).
        while (!line.isEmpty() && (line.front() == u' ' || line.front() == u'\t'))
            line = line.mid(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            // Only the first group counts, as the format has it.
            inGroup = !sawGroup && line.trimmed() == kGroup;
            sawGroup = true;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        const QStringView key = line.left(equals).trimmed();
        QStringView value = line.mid(equals + 1);
        while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
            value = value.mid(1);
        if (key == u"Exec") {
            exec = unescapeValue(value);
            entry.valid = true;
        } else if (key == u"Path") {
            entry.folder = unescapeValue(value);
        } else if (key == u"Hidden") {
            entry.hidden = entry.hidden || isTrue(value);
        } else if (key == u"X-GNOME-Autostart-enabled") {
            entry.hidden = entry.hidden || value.trimmed() == u"false";
        }
    }
    entry.program = firstArgument(exec);
    entry.valid = entry.valid && !entry.program.isEmpty();
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

Command parseCommand(const QStringList &arguments)
{
    Command command;
    int others = 0;
    QString firstOther;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString value;
        bool hasValue = false;
        if (!isOption(arguments[i], &value, &hasValue)) {
            if (others++ == 0)
                firstOther = arguments[i];
            continue;
        }
        if (command.present) {
            command.error = QStringLiteral("--autostart is given twice.");
            return command;
        }
        command.present = true;
        // The value may follow as the next argument, unless that is an option.
        if (!hasValue && i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-')) {
            value = arguments[++i];
            hasValue = true;
        }
        if (!hasValue)
            command.action = Action::Status;
        else if (value == u"on")
            command.action = Action::On;
        else if (value == u"off")
            command.action = Action::Off;
        else
            command.error = QStringLiteral("--autostart takes 'on' or 'off', not '%1'.").arg(value);
    }
    if (command.present && command.error.isEmpty() && others > 0)
        command.error = QStringLiteral("--autostart cannot be combined with '%1'.").arg(firstOther);
    return command;
}

QString usageLine()
{
    return QStringLiteral("Usage: quorvi --autostart [on|off]");
}

QString helpText(const QString &file)
{
    return QStringLiteral(
        "\nAlerts at login:\n"
        "  --autostart on     show the alert window at every login, for the tasks.txt\n"
        "                     of the folder this command is run in\n"
        "  --autostart off    stop doing so\n"
        "  --autostart        tell whether it is on, and for which folder\n"
        "  autostart entry    for you alone: %1\n")
        .arg(file.isEmpty() ? QStringLiteral("(no configuration folder: set HOME)") : nativePath(file));
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
