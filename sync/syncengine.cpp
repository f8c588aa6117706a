// SPDX-License-Identifier: GPL-3.0-or-later
// The pass itself: rounds of listing and settling each task, the changes
// brought to the list here, and the state that records what both sides
// agreed on.
#include "enginepass.h"

#include "merge.h"
#include "taskcalendar.h"

#include <algorithm>

namespace Sync {

using Module1::Task;

bool Engine::Private::fail(const QString &why)
{
    out.ok = false;
    out.failure = why;
    return false;
}
bool Engine::Private::failWith(const Dav::Reply &reply)
{
    if (!reply.failure.isEmpty())
        return fail(reply.failure);
    return fail(QStringLiteral("the server answered %1").arg(statusText(reply)));
}

std::size_t Engine::Private::indexOf(const QString &uid) const
{
    for (std::size_t i = 0; i < local.size(); ++i) {
        if (local[i].uid == uid)
            return i;
    }
    return local.size();
}

bool Engine::Private::refusedAsIs(const Task &task) const
{
    const auto refused = engine.m_state.refusedByUid.find(task.uid);
    return refused != engine.m_state.refusedByUid.end() && !refused->second.deletion
           && Module1::sameStored(refused->second.task, task);
}

bool Engine::Private::hasRoom() const
{
    return int(local.size()) < engine.m_capacity;
}

// Whether anything here differs from what both sides last agreed on: a
// change the server refused, unchanged since, does not count, nor does a
// task the store file holds beyond the list.
bool Engine::Private::localChanges() const
{
    const State &known = engine.m_state;
    QSet<QString> here;
    for (const Task &task : local) {
        here.insert(task.uid);
        if (refusedAsIs(task))
            continue;
        const auto e = known.byUid.find(task.uid);
        if (e == known.byUid.end() || !Module1::sameStored(e->second.base, task))
            return true;
    }
    // A task deleted here, unless its deletion was refused as it stands.
    return std::ranges::any_of(known.byUid, [&](const auto &e) {
        if (here.contains(e.first) || beyond.contains(e.first))
            return false;
        const auto refused = known.refusedByUid.find(e.first);
        return refused == known.refusedByUid.end() || !refused->second.deletion
               || refused->second.etag != e.second.etag;
    });
}

void Engine::Private::record(const QString &uid, const Remote &remote, const Task &task)
{
    Entry &entry = state().byUid[uid];
    entry.href = remote.href;
    entry.etag = remote.etag;
    entry.text = remote.text;
    entry.base = task;
    entry.base.uid = uid;
    state().asideByHref.erase(remote.href);
    state().refusedByUid.erase(uid);
}

std::optional<Entry> Engine::Private::previousOf(const QString &uid)
{
    const auto it = state().byUid.find(uid);
    return it == state().byUid.end() ? std::nullopt : std::optional<Entry>(it->second);
}

// The local task becomes `after`; the change goes to the store.
void Engine::Private::updateHere(std::size_t index, Task after, const std::optional<Entry> &previous)
{
    Module1::deriveFields(after);
    if (Module1::sameStored(local[index], after))
        return;
    out.changes.push_back({Change::Update, local[index], after, previous});
    local[index] = std::move(after);
}

bool Engine::Private::addHere(const Task &task, const std::optional<Entry> &previous)
{
    if (!hasRoom())
        return false;
    out.changes.push_back({Change::Add, {}, task, previous});
    local.push_back(task);
    return true;
}

void Engine::Private::removeHere(std::size_t index, const std::optional<Entry> &previous)
{
    out.changes.push_back({Change::Remove, local[index], {}, previous});
    local.erase(local.begin() + std::ptrdiff_t(index));
}

// A member of the collection the list has no room for: it stays on the
// server as it is, is fetched again only when there is room or it changes
// there, and is told once.
void Engine::Private::leaveOut(const QString &href, const QByteArray &etag)
{
    Aside &aside = state().asideByHref[href];
    if (!aside.forRoom)
        ++leftOut;
    aside = {etag, true};
}

// The server's version taken as it is.
void Engine::Private::takeTheirs(const QString &uid, const Remote &remote)
{
    const std::optional<Entry> previous = previousOf(uid);
    const std::size_t index = indexOf(uid);
    Task theirs = remote.task;
    if (index < local.size()) {
        TaskCalendar::keepSpelling(local[index], theirs);
        updateHere(index, theirs, previous);
    } else if (!addHere(theirs, previous)) {
        // Known no more: a member Quorvi does not hold is never deleted
        // there, and comes in as new once there is room.
        state().byUid.erase(uid);
        leaveOut(remote.href, remote.etag);
        return;
    }
    record(uid, remote, theirs);
}

// A task both sides knew at the last pass.
void Engine::Private::settleKnown(const QString &uid, const Entry &known, const Survey &there)
{
    const std::size_t index = indexOf(uid);
    const auto theirs = there.changed.find(uid);
    const bool changed = theirs != there.changed.end();
    const bool deleted = there.gone.contains(uid);
    if (beyond.contains(uid)) {
        // Kept in the store file beyond the list: neither deleted there nor
        // changed here while it cannot be shown.
        if (changed)
            leaveOut(theirs->second.href, theirs->second.etag);
        return;
    }
    if (index >= local.size()) {
        if (deleted)
            state().byUid.erase(uid);
        else if (changed)
            takeTheirs(uid, theirs->second); // deleted here, edited there: the edit wins
        else
            sendDeletion(uid, known);
        return;
    }
    const bool edited = !Module1::sameStored(local[index], known.base);
    if (deleted && edited) {
        putNew(uid, known.href); // an edit beats a deletion: the task goes back
    } else if (deleted) {
        removeHere(index, known);
        state().byUid.erase(uid);
    } else if (changed && edited) {
        mergeAndPut(uid, known.base, theirs->second);
    } else if (changed) {
        takeTheirs(uid, theirs->second);
    } else if (edited) {
        sendEdit(uid, known);
    }
}

// A task only one side has, or both without a pass between them (a
// file exported here and imported there).
void Engine::Private::settleUnknown(const QString &uid, const Survey &there)
{
    const std::size_t index = indexOf(uid);
    const auto theirs = there.changed.find(uid);
    const bool changed = theirs != there.changed.end();
    if (beyond.contains(uid)) {
        if (changed)
            leaveOut(theirs->second.href, theirs->second.etag);
        return;
    }
    if (index < local.size() && changed) {
        Task theirsHere = theirs->second.task;
        TaskCalendar::keepSpelling(local[index], theirsHere);
        if (Module1::sameStored(local[index], theirsHere))
            record(uid, theirs->second, local[index]);
        else
            mergeAndPut(uid, theirs->second.task, theirs->second);
    } else if (index < local.size()) {
        putNew(uid, newHref(uid));
    } else if (changed) {
        takeTheirs(uid, theirs->second);
    }
}

// Every task either side has, or the state knows; false when the pass
// failed on the way.
bool Engine::Private::settleAll(const Survey &there)
{
    std::set<QString> uids;
    for (const auto &[uid, entry] : state().byUid)
        uids.insert(uid);
    for (const Task &task : local)
        uids.insert(task.uid);
    for (const auto &[uid, remote] : there.changed)
        uids.insert(uid);
    for (const QString &uid : uids) {
        if (!out.ok)
            return false;
        const auto entry = state().byUid.find(uid);
        if (entry != state().byUid.end())
            settleKnown(uid, Entry(entry->second), there);
        else
            settleUnknown(uid, there);
    }
    return out.ok;
}

// One round: true when it wrote anything, and another round should
// confirm that the server now agrees.
bool Engine::Private::round()
{
    const std::optional<QString> ctag = readCtag();
    if (!ctag)
        return false;
    if (!ctag->isEmpty() && *ctag == state().ctag && !localChanges() && !(hasRoom() && waitingForRoom()))
        return false;
    const std::optional<Survey> there = survey();
    if (!there)
        return false;

    const int sentBefore = out.sent;
    const int removedBefore = out.removedThere;
    if (!settleAll(*there))
        return false;
    // A refusal of a task gone from both sides is of no use any more.
    std::erase_if(state().refusedByUid,
                  [this](const auto &r) { return !state().byUid.contains(r.first) && indexOf(r.first) >= local.size(); });
    const bool wrote = out.sent != sentBefore || out.removedThere != removedBefore;
    // The ctag stands for what the state now holds only when nothing was
    // left for later; otherwise the next pass lists again. What was set
    // aside or refused is remembered, and needs no listing to be kept.
    state().ctag = wrote || unsettled ? QString() : *ctag;
    // The token read before this round's listing: whatever changed after
    // it is listed next time.
    if (!wrote && !unsettled)
        state().syncToken = serverToken;
    return wrote;
}

bool Engine::Private::waitingForRoom() const
{
    const auto &aside = engine.m_state.asideByHref;
    return std::any_of(aside.begin(), aside.end(), [](const auto &a) { return a.second.forRoom; });
}

Engine::Engine(QUrl collection, Dav::Credentials credentials, State &state, int capacity)
    : m_collection(std::move(collection)), m_client(std::move(credentials)), m_state(state), m_capacity(capacity)
{
    if (!m_collection.path().endsWith(QLatin1Char('/')))
        m_collection.setPath(m_collection.path() + QLatin1Char('/'));
}

PassResult Engine::run(std::vector<Task> local, const QDateTime &now, const QSet<QString> &beyond)
{
    PassResult out;
    const int before = m_client.requests();
    if (m_state.collection != m_collection.toString())
        m_state.reset(m_collection.toString());
    Private pass{*this, out, local, beyond, now, Mapping::clockAt(now)};
    // A round that wrote is followed by one that lists again: it records the
    // collection's new ctag once the server agrees, so that the next pass
    // with nothing changed costs one request.
    for (int round = 0; round < 3 && pass.round(); ++round) {
    }
    if (pass.leftOut > 0)
        out.notes << QStringLiteral("%1 task(s) on the server do not fit the task list (%2 tasks): they stay on the "
                                    "server as they are, and come in when there is room")
                         .arg(pass.leftOut)
                         .arg(m_capacity);
    out.requests = m_client.requests() - before;
    m_client.release();
    return out;
}

} // namespace Sync
