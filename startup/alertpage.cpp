// SPDX-License-Identifier: GPL-3.0-or-later
#include "alertpage.h"

#include "calendar.h"
#include "preferences.h"
#include "privatefolder.h"
#include "rules.h"
#include "systemerror.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrlQuery>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace AlertPage {

namespace {

constexpr QLatin1StringView kCrLf("\r\n");
constexpr QLatin1StringView kWindowsTemp("c:\\windows\\temp");
constexpr QLatin1StringView kPageName("al.html");

void appendEscaped(QString &out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'&': out += QLatin1String("&amp;"); continue;
        case u'<': out += QLatin1String("&lt;"); continue;
        case u'>': out += QLatin1String("&gt;"); continue;
        case u'"': out += QLatin1String("&quot;"); continue;
        case u'\'': out += QLatin1String("&#39;"); continue;
        default: break;
        }
        if (c.unicode() < 0x80) {
            out += c;
            continue;
        }
        char32_t codePoint = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, text[i + 1]);
            ++i;
        } else if (c.isSurrogate()) {
            codePoint = 0xFFFD; // half a pair is not a character
        }
        out += QLatin1String("&#") + QString::number(quint32(codePoint)) + QLatin1Char(';');
    }
}

// Every task is one table, and nothing else on the page is: text is
// escaped, so no title can start another.
const QLatin1String kTaskStart("<table ");

constexpr QLatin1StringView kLinkScheme("quorvi");
constexpr QLatin1StringView kPutOffPath("putoff");

QString putOffLink(qsizetype entry, const QString &choice, const QString &caption)
{
    QUrl link;
    link.setScheme(kLinkScheme);
    link.setPath(kPutOffPath);
    link.setQuery(QStringLiteral("entry=%1&%2").arg(entry).arg(choice));
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(link.toString(QUrl::FullyEncoded).toHtmlEscaped(), caption);
}

void appendTask(QString &out, const Module1::Task &task, qint32 color, qint32 days, const QString &extra = {})
{
    out += kTaskStart + QLatin1String("width=100% align=center border=0 cellspacing=15 bgcolor=#") + colorText(color)
        + QLatin1Char('>') + kCrLf;
    out += QLatin1String("<tr><td bgcolor=#FFFFFF><b><small>Title:</small> ") + escapeHtml(task.title)
        + QLatin1String("</b><br><small>") + kCrLf;
    out += QLatin1String("<B>For: </b> ") + escapeHtml(task.forWhom) + QLatin1String(" <BR>") + kCrLf;
    out += QLatin1String("<b>Due: </b> ") + escapeHtml(task.dueText) + QLatin1String(" <BR>") + kCrLf;
    if (days >= 1)
        out += QLatin1String("<b>T -: </b> ") + QString::number(days) + QLatin1String(" days left <BR>");
    else if (days == 0)
        out += QLatin1String("<b>T -: </b> <B>TODAY!!!</b> <BR>");
    else
        out += QLatin1String("<b>T -: </b> <B>LATE!!!!</b> <BR>");
    out += kCrLf;
    out += extra;
    out += QLatin1String("<hr>") + escapeDescription(task.description) + kCrLf;
    out += QLatin1String("</small></td></tR></table><br>") + kCrLf;
}

#ifdef Q_OS_UNIX
// Anything but a plain file at the page's name is taken away, so the write
// below can never be steered through a link.
QString clearPagePath(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT ? QString() : systemError(QStringLiteral("cannot examine %1").arg(path), errno);
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is a folder").arg(path);
    if (!S_ISREG(st.st_mode) && ::unlink(name.constData()) != 0)
        return systemError(QStringLiteral("cannot remove %1").arg(path), errno);
    return {};
}
#endif

} // namespace

QString colorText(qint32 color)
{
    const auto value = quint32(color);
    const auto hex = [](quint32 byte) { return QStringLiteral("%1").arg(byte & 0xFF, 2, 16, QLatin1Char('0')); };
    return (hex(value) + hex(value >> 8) + hex(value >> 16)).toUpper();
}

QString escapeHtml(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    appendEscaped(out, text);
    return out;
}

QString escapeDescription(QStringView text)
{
    // Descriptions hold CR LF breaks, but a lone CR or LF is a break too.
    QString out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        appendEscaped(out, text.mid(start, i - start));
        out += QLatin1String("<br>") + kCrLf;
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    appendEscaped(out, text.mid(start));
    return out;
}

Page drawListed(std::span<const Module1::Task> tasks, std::span<const Module1::AlertRule> rules, QDate today)
{
    Page page;
    page.text.reserve(256 + qsizetype(tasks.size()) * 400);
    page.text += QLatin1String("<head><title>Alerts</title></head>") + kCrLf;
    page.text += QLatin1String("<body>") + kCrLf;
    page.text += QLatin1String("<h1>HEY BITCH! Get your ass on these!</h1>") + kCrLf;

    for (const Module1::Task &task : tasks) {
        const Rules::Choice choice = Rules::choose(task, rules, today);
        if (!choice.listed)
            continue;
        page.anyListed = true;
        appendTask(page.text, task, choice.boxColor, Rules::daysLeft(task, today));
    }

    page.text += QLatin1String("</body></html>") + kCrLf;
    return page;
}

QStringList slicesByTask(const QString &html, int first, int perSlice)
{
    QStringList slices;
    qsizetype sliceStart = 0;
    int tasks = 0;
    int limit = first;
    for (qsizetype at = html.indexOf(kTaskStart); at >= 0; at = html.indexOf(kTaskStart, at + 1)) {
        if (tasks == limit) {
            slices << html.mid(sliceStart, at - sliceStart);
            sliceStart = at;
            limit += perSlice;
        }
        ++tasks;
    }
    slices << html.mid(sliceStart);
    return slices;
}

QString withBreakOpportunities(QStringView html, int longest)
{
    QString out;
    out.reserve(html.size() + html.size() / 16);
    int run = 0; // characters since the last place a line could break
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'<') {
            // Inline markup neither breaks a run nor counts in it.
            const qsizetype end = html.indexOf(u'>', i);
            const qsizetype stop = end < 0 ? html.size() : end + 1;
            out += html.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c.isSpace()) {
            run = 0;
            out += c;
            ++i;
            continue;
        }
        if (run == longest) {
            out += QChar(0x200B);
            run = 0;
        }
        qsizetype stop = i + 1;
        if (c == u'&') {
            // A reference is one character on the page.
            const qsizetype semicolon = html.indexOf(u';', i);
            if (semicolon > i && semicolon - i <= 10)
                stop = semicolon + 1;
        } else if (c.isHighSurrogate() && i + 1 < html.size() && html[i + 1].isLowSurrogate()) {
            stop = i + 2;
        }
        out += html.mid(i, stop - i);
        i = stop;
        ++run;
    }
    return out;
}

Page drawDueNow(std::span<const DueNowEntry> entries, std::span<const Module1::AlertRule> rules, QDate today,
                int remindAgainMinutes)
{
    Page page;
    page.text += QLatin1String("<head><title>Due now</title></head>") + kCrLf;
    page.text += QLatin1String("<body>") + kCrLf;
    page.text += QLatin1String("<h1>Due now</h1>") + kCrLf;
    for (qsizetype i = qsizetype(entries.size()) - 1; i >= 0; --i) {
        const DueNowEntry &entry = entries[std::size_t(i)];
        QString offer = QLatin1String("<b>Remind again: </b> ");
        if (entry.putOffUntil.isValid()) {
            offer += escapeHtml(Calendar::dueText(entry.putOffUntil));
        } else {
            offer += putOffLink(i, QStringLiteral("minutes=%1").arg(remindAgainMinutes),
                                Preferences::remindAgainCaption(remindAgainMinutes))
                     + QLatin1String(" &nbsp; ")
                     + putOffLink(i, QStringLiteral("tomorrow=1"), QStringLiteral("Tomorrow"));
        }
        offer += QLatin1String(" <BR>") + kCrLf;
        const Rules::Choice choice = Rules::choose(entry.task, rules, today);
        appendTask(page.text, entry.task, choice.listed ? choice.boxColor : choice.color,
                   Rules::daysLeft(entry.task, today), offer);
        page.anyListed = true;
    }
    page.text += QLatin1String("</body></html>") + kCrLf;
    return page;
}

std::optional<PutOffLink> readPutOffLink(const QUrl &link)
{
    if (link.scheme() != kLinkScheme || link.path() != kPutOffPath)
        return std::nullopt;
    const QUrlQuery query(link);
    bool read = false;
    PutOffLink asked;
    asked.entry = query.queryItemValue(QStringLiteral("entry")).toLongLong(&read);
    if (!read || asked.entry < 0)
        return std::nullopt;
    asked.tomorrow = query.hasQueryItem(QStringLiteral("tomorrow"));
    if (!asked.tomorrow) {
        asked.minutes = query.queryItemValue(QStringLiteral("minutes")).toInt(&read);
        if (!read || asked.minutes <= 0)
            return std::nullopt;
    }
    return asked;
}

QString choosePageLocation(bool windowsTempExists, const QString &runtimeFolder)
{
    if (windowsTempExists)
        return kWindowsTemp + QLatin1Char('\\') + kPageName;
    if (runtimeFolder.isEmpty())
        return {};
    return runtimeFolder + QLatin1String("/quorvi/") + kPageName;
}

QString pageLocation()
{
#ifdef Q_OS_WIN
    const bool windowsTemp = QFileInfo(kWindowsTemp).isDir();
#else
    // Elsewhere "c:\windows\temp" would only name a file in the working folder.
    const bool windowsTemp = false;
#endif
    return choosePageLocation(windowsTemp, QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
}

WriteResult writePage(const QString &path, const QString &text)
{
    WriteResult result;
    if (path.isEmpty()) {
        result.ok = false;
        result.reason = QStringLiteral("there is no private runtime folder to write it to");
        return result;
    }

#ifdef Q_OS_UNIX
    QString problem = PrivateFolder::ensure(QFileInfo(path).path());
    if (problem.isEmpty())
        problem = clearPagePath(path);
    if (!problem.isEmpty()) {
        result.ok = false;
        result.reason = problem;
        return result;
    }
#else
    if (const QString problem = PrivateFolder::ensure(QFileInfo(path).path()); !problem.isEmpty()) {
        result.ok = false;
        result.reason = problem;
        return result;
    }
#endif

    // Task text is escaped to ASCII, so these bytes read the same in any
    // encoding a viewer assumes.
    const QByteArray bytes = text.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        result.ok = false;
        result.reason = file.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.ok = false;
        result.reason = file.errorString();
    }
    return result;
}

} // namespace AlertPage
