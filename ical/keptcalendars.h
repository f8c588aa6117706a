// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <map>

// The last iCalendar text of each task that went out or came in, by its
// UID, so that what Quorvi does not map (alarms, categories, priorities,
// other programs' own properties, changed occurrences) goes out again as it
// came. Not in tasks.txt, which stays plain: in the user's data folder, one
// file per store folder, a stream of VCALENDARs that any calendar program
// could read.
class KeptCalendars
{
public:
    // A name for the store in `storeFolder`, the same for every spelling of
    // that folder; what Quorvi keeps for a store elsewhere goes by it.
    static QString folderKey(const QString &storeFolder);
    // The file kept for the store in `storeFolder`.
    static QString fileFor(const QString &storeFolder);

    explicit KeptCalendars(const QString &file = {}) : m_file(file) { }

    // A missing file is an empty one. False, with the reason, when it
    // exists and cannot be read; the texts are then empty.
    bool load(QString *error);
    bool save(QString *error) const;

    QByteArray find(const QString &uid) const;
    void keep(const QString &uid, const QByteArray &text);
    // Forgets the texts of tasks that are gone.
    void keepOnly(const QSet<QString> &uids);
    int size() const { return int(m_texts.size()); }

    // The file's text, and its texts read back from such text.
    QByteArray text() const;
    void readText(const QByteArray &text);

private:
    QString m_file;
    std::map<QString, QByteArray> m_texts;
};
