// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopentry.h"

#include <algorithm>

namespace DesktopEntry {

namespace {

constexpr QLatin1StringView kGroup("[Desktop Entry]");

// Characters that force an Exec argument into quotes.
bool reserved(QChar c)
{
    static const QString set = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    return set.contains(c);
}

// Inside quotes only these keep a meaning, so only these get a backslash.
bool specialInQuotes(QChar c)
{
    return c == u'"' || c == u'`' || c == u'$' || c == u'\\';
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

QStringList arguments(QStringView exec)
{
    QStringList words;
    qsizetype i = 0;
    for (;;) {
        while (i < exec.size() && (exec[i] == u' ' || exec[i] == u'\t'))
            ++i;
        if (i == exec.size())
            return words;

        QString raw;
        if (exec[i] == u'"') {
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                const QChar c = exec[i];
                if (c == u'"') {
                    closed = true;
                    ++i;
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
        words << raw;
    }
}

QString firstArgument(QStringView exec)
{
    return arguments(exec).value(0);
}

bool representable(QStringView text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0x7f;
    });
}

QString write(const QList<std::pair<QString, QString>> &keys)
{
    QString text = kGroup + u'\n';
    for (const auto &[key, value] : keys)
        text += key + u'=' + escapeValue(value) + u'\n';
    return text;
}

QHash<QString, QString> read(QStringView text)
{
    QHash<QString, QString> keys;
    bool inGroup = false;
    bool sawGroup = false;
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
            inGroup = !sawGroup && line.trimmed() == kGroup;
            sawGroup = true;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        QStringView value = line.mid(equals + 1);
        while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
            value = value.mid(1);
        keys.insert(line.left(equals).trimmed().toString(), unescapeValue(value));
    }
    return keys;
}

} // namespace DesktopEntry
