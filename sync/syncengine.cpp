// SPDX-License-Identifier: GPL-3.0-or-later
// The pass itself: rounds of listing and settling each task, the changes
// brought to the list here, and the state that records what both sides
// agreed on.
#include "enginepass.h"

#include "merge.h"
#include "taskcalendar.h"

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

bool Engine::Private::localChanges() const
{
    std::size_t known = 0;
    for (const Task &task : local) {
        const auto e = engine.m_state.byUid.find(task.uid);
        if (e == engine.m_state.byUid.end() || !Module1::sameStored(e->second.base, task))
            return true;
        ++known;
    }
    return known != engine.m_state.byUid.size();
}

void Engine::Private::record(const QString &uid, const Remote &remote, const Task &task)
{
    Entry &entry = state().byUid[uid];
    entry.href = remote.href;
    entry.etag = remote.etag;
    entry.text = remote.text;
    entry.base = task;
    entry.base.uid = uid;
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
    if (int(local.size()) >= engine.m_capacity) {
        out.notes << QStringLiteral("%1 is on the server but the task list is full (%2 tasks); it stays there")
                         .arg(shownTitle(task))
                         .arg(engine.m_capacity);
        return false;
    }
    out.changes.push_back({Change::Add, {}, task, previous});
    local.push_back(task);
    return true;
}

void Engine::Private::removeHere(std::size_t index, const std::optional<Entry> &previous)
{
    out.changes.push_back({Change::Remove, local[index], {}, previous});
    local.erase(local.begin() + std::ptrdiff_t(index));
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

// One round: true when it wrote anything, and another round should
// confirm that the server now agrees.
bool Engine::Private::round()
{
    const std::optional<QString> ctag = readCtag();
    if (!ctag)
        return false;
    if (!ctag->isEmpty() && *ctag == state().ctag && !localChanges())
        return false;
    const std::optional<Survey> there = survey();
    if (!there)
        return false;

    const int sentBefore = out.sent;
    const int removedBefore = out.removedThere;
    std::set<QString> uids;
    for (const auto &[uid, entry] : state().byUid)
        uids.insert(uid);
    for (const Task &task : local)
        uids.insert(task.uid);
    for (const auto &[uid, remote] : there->changed)
        uids.insert(uid);
    for (const QString &uid : uids) {
        if (!out.ok)
            return false;
        const auto entry = state().byUid.find(uid);
        if (entry != state().byUid.end())
            settleKnown(uid, Entry(entry->second), *there);
        else
            settleUnknown(uid, *there);
    }
    if (!out.ok)
        return false;
    const bool wrote = out.sent != sentBefore || out.removedThere != removedBefore;
    // The ctag stands for what the state now holds only when nothing was
    // left for later; otherwise the next pass lists again.
    state().ctag = wrote || !out.notes.isEmpty() ? QString() : *ctag;
    return wrote;
}

Engine::Engine(QUrl collection, Dav::Credentials credentials, State &state, int capacity)
    : m_collection(std::move(collection)), m_client(std::move(credentials)), m_state(state), m_capacity(capacity)
{
    if (!m_collection.path().endsWith(QLatin1Char('/')))
        m_collection.setPath(m_collection.path() + QLatin1Char('/'));
}

PassResult Engine::run(std::vector<Task> local, const QDateTime &now)
{
    PassResult out;
    const int before = m_client.requests();
    if (m_state.collection != m_collection.toString())
        m_state.reset(m_collection.toString());
    Private pass{*this, out, local, now, Mapping::clockAt(now)};
    // A round that wrote is followed by one that lists again: it records the
    // collection's new ctag once the server agrees, so that the next pass
    // with nothing changed costs one request.
    for (int round = 0; round < 3 && pass.round(); ++round) {
    }
    out.requests = m_client.requests() - before;
    m_client.release();
    return out;
}

} // namespace Sync
