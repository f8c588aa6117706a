// SPDX-License-Identifier: GPL-3.0-or-later
#include "keptcalendars.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The value of a TEXT property as iCalendar escapes it.
QString unescaped(const QByteArray &value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += (next == 'n' || next == 'N') ? '\n' : next;
        } else {
            out += value[i];
        }
    }
    return QString::fromUtf8(out);
}

bool startsWithWord(QByteArrayView line, const char *word)
{
    const auto n = qsizetype(qstrlen(word));
    return line.size() > n && line.first(n).compare(word, Qt::CaseInsensitive) == 0 && (line[n] == ':' || line[n] == ';');
}

} // namespace

QString KeptCalendars::folderKey(const QString &storeFolder)
{
    const QString folder = QFileInfo(storeFolder).canonicalFilePath();
    return QString::fromLatin1(QCryptographicHash::hash(QFile::encodeName(folder.isEmpty() ? storeFolder : folder),
                                                        QCryptographicHash::Sha256)
                                   .toHex()
                                   .left(32));
}

QString KeptCalendars::fileFor(const QString &storeFolder)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/quorvi/calendars/")
           + folderKey(storeFolder) + QStringLiteral(".ics");
}

bool KeptCalendars::load(QString *error)
{
    m_texts.clear();
    QFile file(m_file);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    readText(file.readAll());
    return true;
}

void KeptCalendars::readText(const QByteArray &text)
{
    // Split at each top-level VCALENDAR; the key is its VTODO's UID. The
    // file is Quorvi's own, so no full reading is needed to find them.
    m_texts.clear();
    qsizetype start = -1;
    int depth = 0;
    QByteArray component; // the one open at depth 1
    QString uid;
    bool inUid = false;
    QByteArray uidValue;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        QByteArrayView line = QByteArrayView(text).sliced(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype lineStart = pos;
        pos = end + 1;
        const bool continuation = !line.isEmpty() && (line.front() == ' ' || line.front() == '\t');
        if (inUid) {
            if (continuation) {
                uidValue += line.sliced(1);
                continue;
            }
            inUid = false;
            if (uid.isEmpty())
                uid = unescaped(uidValue);
        }
        if (continuation)
            continue;
        if (line.startsWith("BEGIN:")) {
            if (depth == 0) {
                start = lineStart;
                uid.clear();
            } else if (depth == 1) {
                component = line.sliced(6).toByteArray();
            }
            ++depth;
        } else if (line.startsWith("END:")) {
            --depth;
            if (depth == 0 && start >= 0) {
                if (!uid.isEmpty())
                    m_texts[uid] = text.mid(start, pos - start);
                start = -1;
            }
            if (depth < 0)
                depth = 0;
        } else if (depth == 2 && component == "VTODO" && uid.isEmpty() && startsWithWord(line, "UID")) {
            inUid = true;
            uidValue = line.sliced(line.indexOf(':') + 1).toByteArray();
        }
    }
}

QByteArray KeptCalendars::text() const
{
    QByteArray out;
    for (const auto &entry : m_texts)
        out += entry.second;
    return out;
}

bool KeptCalendars::save(QString *error) const
{
    if (!QDir().mkpath(QFileInfo(m_file).path())) {
        *error = QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(QFileInfo(m_file).path()));
        return false;
    }
    QSaveFile file(m_file);
    // The tasks are the user's own business.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write(text()) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QByteArray KeptCalendars::find(const QString &uid) const
{
    const auto it = m_texts.find(uid);
    return it == m_texts.end() ? QByteArray() : it->second;
}

void KeptCalendars::keep(const QString &uid, const QByteArray &text)
{
    if (!uid.isEmpty())
        m_texts[uid] = text;
}

void KeptCalendars::keepOnly(const QSet<QString> &uids)
{
    for (auto it = m_texts.begin(); it != m_texts.end();) {
        if (uids.contains(it->first))
            ++it;
        else
            it = m_texts.erase(it);
    }
}
