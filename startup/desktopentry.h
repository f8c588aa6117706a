// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

// Desktop Entry files as the freedesktop.org format has them: escaping
// string values, quoting Exec arguments, and reading an entry back. Which
// keys an entry holds is the business of whoever writes it.
namespace DesktopEntry {

// String escapes: backslash, line feed, tab and carriage return always;
// blanks only at either end, where a reader would trim them.
QString escapeValue(QStringView text);
// The reverse; an unknown escape is kept as it stands.
QString unescapeValue(QStringView text);

// One Exec argument: quoted when it holds a reserved character, with the
// four characters that stay special inside quotes escaped, and "%" doubled
// so it is not taken for a field code. Not yet string-escaped.
QString quoteArgument(QStringView argument);
// The arguments of an (unescaped) Exec value, quotes and "%%" undone. Empty
// when the value is empty or a quote is left open.
QStringList arguments(QStringView exec);
// The first of them; empty likewise.
QString firstArgument(QStringView exec);

// An entry can carry tab, line feed and carriage return (escaped), but no
// other control character.
bool representable(QStringView text);

// The text of an entry: "[Desktop Entry]", then one "Key=value" line for
// each pair, values escaped. Pairs are written in the order given.
QString write(const QList<std::pair<QString, QString>> &keys);

// The keys of the [Desktop Entry] group (the first group, as the format
// has it) with their values unescaped. Comments and other groups are left
// out; a key given twice keeps its last value.
QHash<QString, QString> read(QStringView text);

} // namespace DesktopEntry
