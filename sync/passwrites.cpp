// SPDX-License-Identifier: GPL-3.0-or-later
// How a pass writes to the server: every write conditional on the version
// last seen, and a 412 answered by fetching the server's version, merging
// and writing again.
#include "enginepass.h"

#include "taskcalendar.h"

namespace Sync {

namespace {

inline constexpr int kMergeTries = 3; // a task another client keeps changing is left for the next pass

} // namespace

using Module1::Task;

// A change the server (or the mapping) would not take: told now, and not
// sent again until the task changes here.
void Engine::Private::refuse(const Task &task, const QString &why)
{
    out.notes << QStringLiteral("%1 %2; it is sent again when you change it").arg(shownTitle(task), why);
    state().refusedByUid[task.uid] = {task, {}, false};
}

Written Engine::Private::put(const Task &task, const QString &href, const QByteArray &etag, const QByteArray &kept,
                             const QByteArray &condition)
{
    if (refusedAsIs(task))
        return Written::Refused;
    const TaskCalendar::TaskText text = TaskCalendar::calendarOf(task, kept, clock);
    if (!text.problem.isEmpty()) {
        refuse(task, QStringLiteral("was not sent: %1").arg(text.problem));
        return Written::Refused;
    }
    const Dav::Reply reply = client().send("PUT", urlOf(href), text.text,
                                           {{condition, condition == "If-None-Match" ? QByteArray("*") : etag}});
    if (reply.ok()) {
        Entry &entry = state().byUid[task.uid];
        entry.href = href;
        entry.etag = reply.etag;
        entry.text = text.text;
        entry.base = task;
        state().refusedByUid.erase(task.uid);
        ++out.sent;
        return Written::Done;
    }
    if (reply.status == 412)
        return Written::Conflict;
    if (reply.status == 404 || reply.status == 410)
        return Written::Gone;
    if (reply.failure.isEmpty() && reply.status >= 400 && reply.status < 500 && reply.status != 401) {
        refuse(task, QStringLiteral("was refused by the server (%1)").arg(statusText(reply)));
        return Written::Refused;
    }
    failWith(reply);
    return Written::Failed;
}

QString Engine::Private::newHref(const QString &uid) const
{
    return engine.m_collection.path(QUrl::FullyEncoded) + QString::fromLatin1(QUrl::toPercentEncoding(uid))
           + QStringLiteral(".ics");
}

// Ours and the server's merged against the base, written back where the
// server lacks anything of ours; tried again while another client keeps
// writing in between.
bool Engine::Private::mergeAndPut(const QString &uid, const Task &base, Remote remote)
{
    for (int attempt = 0; attempt < kMergeTries; ++attempt) {
        const std::size_t index = indexOf(uid);
        const Merged merged = mergeTask(base, local[index], remote.task);
        const std::optional<Entry> previous = previousOf(uid);
        Task theirs = remote.task;
        TaskCalendar::keepSpelling(merged.task, theirs);
        if (merged.copy && !keepCopy(*merged.copy, merged.task)) {
            unsettled = true;
            return out.ok;
        }
        if (Module1::sameStored(merged.task, theirs)) {
            updateHere(index, merged.task, previous);
            record(uid, remote, merged.task);
            return true;
        }
        switch (put(merged.task, remote.href, remote.etag, remote.text, "If-Match")) {
        case Written::Done:
            updateHere(indexOf(uid), merged.task, previous);
            return true;
        case Written::Refused: return true;
        case Written::Failed: return false;
        case Written::Gone:
            // Deleted there meanwhile: the edit wins, as a new task.
            return putFresh(uid, remote.href) != Written::Failed;
        case Written::Conflict: break;
        }
        bool gone = false;
        const std::optional<Remote> again = fetchOne(remote.href, &gone);
        if (!out.ok)
            return false;
        if (!again)
            return !gone || putFresh(uid, remote.href) != Written::Failed;
        remote = *again;
    }
    unsettled = true;
    return true;
}

// The server's version of a task changed both ways in one field, kept as a
// task of its own before Quorvi's version replaces it there: in the list,
// or, when the list is full, on the server alone. False when it could be
// kept nowhere: then nothing replaces the server's version.
bool Engine::Private::keepCopy(Task copy, const Task &ours)
{
    copy.uid = TaskCalendar::newUid();
    if (!addHere(copy, std::nullopt)) {
        if (put(copy, newHref(copy.uid), {}, {}, "If-None-Match") != Written::Done)
            return false;
        // Not in the list: set aside like any member there is no room for,
        // so that no pass takes it for deleted here.
        const Entry sent = state().byUid[copy.uid];
        state().byUid.erase(copy.uid);
        leaveOut(sent.href, sent.etag);
    }
    out.notes << QStringLiteral("%1 was changed here and on the server in the same field: both versions are kept")
                     .arg(shownTitle(ours));
    return true;
}

Written Engine::Private::putFresh(const QString &uid, const QString &href)
{
    return put(local[indexOf(uid)], href, {}, {}, "If-None-Match");
}

// A task the server does not have (any more): written as new. One that
// turns out to be there after all is merged with it.
bool Engine::Private::putNew(const QString &uid, const QString &href)
{
    switch (putFresh(uid, href)) {
    case Written::Done:
    case Written::Refused: return true;
    case Written::Failed: return false;
    case Written::Gone:
    case Written::Conflict: break;
    }
    bool gone = false;
    const std::optional<Remote> there = fetchOne(href, &gone);
    if (!there)
        return out.ok;
    // Nothing to merge against: what is there counts as the base, so
    // every field Quorvi holds differently wins.
    return mergeAndPut(uid, there->task, *there);
}

// Ours changed, the server's not (as far as the listing knew).
void Engine::Private::sendEdit(const QString &uid, const Entry &known)
{
    switch (put(local[indexOf(uid)], known.href, known.etag, known.text, "If-Match")) {
    case Written::Conflict: {
        bool gone = false;
        if (const std::optional<Remote> current = fetchOne(known.href, &gone))
            mergeAndPut(uid, known.base, *current);
        else if (gone)
            putNew(uid, known.href);
        break;
    }
    case Written::Gone: putNew(uid, known.href); break;
    default: break;
    }
}

// Deleted here: deleted there too, unless it was edited there.
void Engine::Private::sendDeletion(const QString &uid, const Entry &known)
{
    const auto refused = state().refusedByUid.find(uid);
    if (refused != state().refusedByUid.end() && refused->second.deletion && refused->second.etag == known.etag)
        return;
    const Dav::Reply reply = client().send("DELETE", urlOf(known.href), {}, {{"If-Match", known.etag}});
    if (reply.ok() || reply.status == 404 || reply.status == 410) {
        state().byUid.erase(uid);
        state().refusedByUid.erase(uid);
        ++out.removedThere;
    } else if (reply.status == 412) {
        bool gone = false;
        if (const std::optional<Remote> current = fetchOne(known.href, &gone))
            takeTheirs(uid, *current);
        else if (gone)
            state().byUid.erase(uid);
    } else if (reply.failure.isEmpty() && reply.status >= 400 && reply.status < 500 && reply.status != 401) {
        out.notes << QStringLiteral("%1: the server refused to delete it (%2); it is asked again when it changes there")
                         .arg(shownTitle(known.base), statusText(reply));
        state().refusedByUid[uid] = {known.base, known.etag, true};
    } else {
        failWith(reply);
    }
}

} // namespace Sync
