// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <map>

namespace Sync {

// What Quorvi knows of one task on the server since the last pass that
// agreed with it.
struct Entry {
    QString href;          // its resource in the collection
    QByteArray etag;       // exactly as the server gave it; empty when none came
    QByteArray text;       // the server's iCalendar text, what Quorvi does not map kept in it
    Module1::Task base;    // the task as both sides had it then: the base of every merge
};

// A member of the collection left out of the list: not fetched again until
// its ETag changes, or, when it was left out for want of room, until the
// list has room. Never deleted on the strength of being left out.
struct Aside {
    QByteArray etag;
    bool forRoom = false;  // the list was full; otherwise its text could not be taken
};

// A change the server refused, as it was sent: not sent again, nor told
// again, until the task changes here.
struct Refusal {
    Module1::Task task;    // the task as sent (a deletion: as it was known)
    QByteArray etag;       // a deletion: the version it was refused for
    bool deletion = false;
};

// The sync state of one store: in the user's data folder, keyed by the
// store's folder, never beside tasks.txt, so that a folder another tool
// copies between computers does not carry one computer's state to another.
class State
{
public:
    static QString fileFor(const QString &storeFolder);

    explicit State(QString file = {}) : m_file(std::move(file)) { }

    // A missing file is an empty state. False, with the reason, when it
    // exists and cannot be read; the state is then empty, and the next pass
    // compares every task (nothing is deleted on the strength of it).
    bool load(QString *error);
    bool save(QString *error) const;

    // Forgets everything: a pass against another collection starts afresh.
    void reset(const QString &collection);

    QString collection;    // the collection URL this state belongs to
    QString ctag;          // getctag or sync-token at the last pass that agreed; empty: list next time
    QString syncToken;     // the collection's sync-token at the last pass that agreed; empty: list it all
    std::map<QString, Entry> byUid;
    std::map<QString, Aside> asideByHref;
    std::map<QString, Refusal> refusedByUid;

private:
    void loadAside(const QJsonObject &root);
    void loadRefused(const QJsonObject &root);
    void saveAsideAndRefused(QJsonObject &root) const;
    QString m_file;
};

} // namespace Sync
