// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The inside of one sync pass, shared by the engine's parts: the listing
// and fetching (passlisting.cpp), the conditional writes and the 412 path
// (passwrites.cpp), and the settling of each task with the rounds that
// drive it (syncengine.cpp). Not for use outside this folder.

#include "mapping.h"
#include "syncengine.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace Sync {

// A member of the collection as the server has it now.
struct Remote {
    QString href;
    QByteArray etag;
    QByteArray text;
    Module1::Task task;
};

// How a write ended.
enum class Written { Done, Conflict, Gone, Refused, Failed };

inline QString shownTitle(const Module1::Task &task)
{
    return QStringLiteral("\u201C%1\u201D").arg(task.title);
}

inline QString statusText(const Dav::Reply &reply)
{
    return reply.reason.isEmpty() ? QString::number(reply.status)
                                  : QStringLiteral("%1 %2").arg(reply.status).arg(reply.reason);
}

struct Engine::Private {
    Engine &engine;
    PassResult &out;
    std::vector<Module1::Task> &local;
    const QSet<QString> &beyond; // uids of the tasks the store file holds beyond the list
    QDateTime now;
    Mapping::Clock clock;
    int leftOut = 0;             // members newly left out for want of room
    bool unsettled = false;      // something waits for the next pass's listing
    QString serverToken = {};    // the collection's sync-token as this round found it

    State &state() { return engine.m_state; }
    Dav::Client &client() { return engine.m_client; }
    QUrl urlOf(const QString &href) const { return engine.m_collection.resolved(QUrl::fromEncoded(href.toUtf8())); }

    bool fail(const QString &why);
    bool failWith(const Dav::Reply &reply);

    // What the server holds now that Quorvi does not know: members new or
    // changed (by uid), and known members that are gone.
    struct Survey {
        std::map<QString, Remote> changed;
        std::set<QString> gone;
    };

    // passlisting.cpp
    std::optional<QString> readCtag();
    bool list(std::map<QString, QByteArray> &etags, bool &complete);
    bool listSince(std::map<QString, QByteArray> &etags, QStringList &removed);
    bool fetch(const QStringList &hrefs, std::map<QString, Remote> &found, QSet<QString> &gone);
    std::optional<Remote> fetchOne(const QString &href, bool *gone);
    std::optional<Remote> remoteOf(const QString &href, const QByteArray &etag, const QByteArray &text);
    bool askOne(const QString &href, std::map<QString, Remote> &fetched, QSet<QString> &gone);
    bool stillAside(const QString &href, const QByteArray &etag) const;
    bool lookForMissing(const QStringList &missing, const std::map<QString, QString> &uidByHref, QStringList &toFetch,
                        std::map<QString, Remote> &fetched, QSet<QString> &gone);
    bool confirm(const QStringList &asked, const std::map<QString, QString> &uidByHref,
                 std::map<QString, Remote> &fetched, QSet<QString> &gone);
    std::optional<Survey> survey();
    Survey sorted(const std::map<QString, Remote> &fetched, const QSet<QString> &gone,
                  const std::map<QString, QString> &uidByHref);

    // passwrites.cpp
    Written put(const Module1::Task &task, const QString &href, const QByteArray &etag, const QByteArray &kept,
                const QByteArray &condition);
    void refuse(const Module1::Task &task, const QString &why);
    bool keepCopy(Module1::Task copy, const Module1::Task &ours);
    QString newHref(const QString &uid) const;
    bool mergeAndPut(const QString &uid, const Module1::Task &base, Remote remote);
    Written putFresh(const QString &uid, const QString &href);
    bool putNew(const QString &uid, const QString &href);
    void sendEdit(const QString &uid, const Entry &known);
    void sendDeletion(const QString &uid, const Entry &known);

    // syncengine.cpp
    std::size_t indexOf(const QString &uid) const;
    bool localChanges() const;
    bool refusedAsIs(const Module1::Task &task) const;
    bool hasRoom() const;
    bool waitingForRoom() const;
    void leaveOut(const QString &href, const QByteArray &etag);
    void record(const QString &uid, const Remote &remote, const Module1::Task &task);
    std::optional<Entry> previousOf(const QString &uid);
    void updateHere(std::size_t index, Module1::Task after, const std::optional<Entry> &previous);
    bool addHere(const Module1::Task &task, const std::optional<Entry> &previous);
    void removeHere(std::size_t index, const std::optional<Entry> &previous);
    void takeTheirs(const QString &uid, const Remote &remote);
    void settleKnown(const QString &uid, const Entry &known, const Survey &there);
    void settleUnknown(const QString &uid, const Survey &there);
    bool settleAll(const Survey &there);
    bool round();
};

} // namespace Sync
