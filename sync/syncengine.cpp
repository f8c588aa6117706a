// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncengine.h"

#include "merge.h"
#include "repeat.h"
#include "rules.h"
#include "storeside.h"
#include "taskcalendar.h"

#include <QHash>
#include <QSet>

#include <map>
#include <set>

namespace Sync {

namespace {

using Module1::Task;

// The fields a merge weighs one by one, each compared by what it means, so
// that a due moment written another way by the server is no change.
struct Field {
    bool (*same)(const Task &, const Task &);
    void (*copy)(const Task &, Task &);
};

bool sameDone(const Task &a, const Task &b)
{
    if (a.done != b.done)
        return false;
    return !a.done || Repeat::parseMoment(a.doneText) == Repeat::parseMoment(b.doneText);
}

bool sameRepeat(const Task &a, const Task &b)
{
    const auto ra = Repeat::parse(a.repeatText);
    const auto rb = Repeat::parse(b.repeatText);
    return ra || rb ? ra == rb : a.repeatText == b.repeatText;
}

const Field kFields[] = {
    {[](const Task &a, const Task &b) { return a.title == b.title; }, [](const Task &f, Task &t) { t.title = f.title; }},
    {[](const Task &a, const Task &b) { return a.forWhom == b.forWhom; },
     [](const Task &f, Task &t) { t.forWhom = f.forWhom; }},
    {[](const Task &a, const Task &b) { return Rules::dueMoment(a) == Rules::dueMoment(b); },
     [](const Task &f, Task &t) { Module1::copyDue(f, t); }},
    {[](const Task &a, const Task &b) { return a.description == b.description; },
     [](const Task &f, Task &t) { t.description = f.description; }},
    {sameDone, [](const Task &f, Task &t) { t.doneText = f.doneText; }},
    {sameRepeat, [](const Task &f, Task &t) { t.repeatText = f.repeatText; }},
};

// A member of the collection as the server has it now.
struct Remote {
    QString href;
    QByteArray etag;
    QByteArray text;
    Task task;
};

// How a write ended.
enum class Written { Done, Conflict, Gone, Refused, Failed };

inline constexpr int kBatch = 100;      // hrefs per calendar-multiget
inline constexpr int kMergeTries = 3;   // a task another client keeps changing is left for the next pass

QByteArray xmlEscaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

constexpr char kCtagBody[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<d:propfind xmlns:d=\"DAV:\" xmlns:cs=\"http://calendarserver.org/ns/\">"
                             "<d:prop><cs:getctag/><d:sync-token/></d:prop></d:propfind>";

constexpr char kListingBody[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
                                "<d:prop><d:getetag/></d:prop>"
                                "<c:filter><c:comp-filter name=\"VCALENDAR\"><c:comp-filter name=\"VTODO\"/>"
                                "</c:comp-filter></c:filter></c:calendar-query>";

QByteArray multigetBody(const QStringList &hrefs)
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<c:calendar-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
                      "<d:prop><d:getetag/><c:calendar-data/></d:prop>";
    for (const QString &href : hrefs)
        body += "<d:href>" + xmlEscaped(href) + "</d:href>";
    body += "</c:calendar-multiget>";
    return body;
}

QString shownTitle(const Task &task)
{
    return QStringLiteral("\u201C%1\u201D").arg(task.title);
}

QString statusText(const Dav::Reply &reply)
{
    return reply.reason.isEmpty() ? QString::number(reply.status)
                                  : QStringLiteral("%1 %2").arg(reply.status).arg(reply.reason);
}

} // namespace

Merged mergeTask(const Task &base, const Task &ours, const Task &theirsAsRead)
{
    Task theirs = theirsAsRead;
    TaskCalendar::keepSpelling(base, theirs);
    Merged out;
    out.task = ours;
    bool clash = false;
    for (const Field &field : kFields) {
        if (field.same(ours, base))
            field.copy(theirs, out.task);
        else if (!field.same(theirs, base) && !field.same(theirs, ours))
            clash = true;
    }
    Module1::deriveFields(out.task);
    if (clash) {
        out.copy = theirs;
        out.copy->uid.clear();
        Module1::deriveFields(*out.copy);
    }
    return out;
}

struct Engine::Private {
    Engine &engine;
    PassResult &out;
    std::vector<Task> &local;
    QDateTime now;
    Mapping::Clock clock;

    State &state() { return engine.m_state; }
    Dav::Client &client() { return engine.m_client; }
    QUrl urlOf(const QString &href) const { return engine.m_collection.resolved(QUrl::fromEncoded(href.toUtf8())); }

    bool fail(const QString &why)
    {
        out.ok = false;
        out.failure = why;
        return false;
    }
    bool failWith(const Dav::Reply &reply)
    {
        if (!reply.failure.isEmpty())
            return fail(reply.failure);
        return fail(QStringLiteral("the server answered %1").arg(statusText(reply)));
    }

    std::size_t indexOf(const QString &uid) const
    {
        for (std::size_t i = 0; i < local.size(); ++i) {
            if (local[i].uid == uid)
                return i;
        }
        return local.size();
    }

    bool localChanges() const
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

    // The collection's getctag, else its sync-token; empty when it has
    // neither, and every pass lists it.
    std::optional<QString> readCtag()
    {
        const Dav::Reply reply = client().send("PROPFIND", engine.m_collection, kCtagBody, {{"Depth", "0"}});
        if (reply.status == 404) {
            fail(QStringLiteral("the task list %1 is not on the server").arg(engine.m_collection.toDisplayString()));
            return std::nullopt;
        }
        if (reply.status != 207) {
            failWith(reply);
            return std::nullopt;
        }
        const Dav::Multistatus ms = Dav::parseMultistatus(reply.body, reply.url);
        if (!ms.failure.isEmpty()) {
            fail(ms.failure);
            return std::nullopt;
        }
        for (const Dav::Resource &r : ms.resources) {
            const auto ctag = r.properties.constFind(Dav::key(Dav::kCalServer, "getctag"));
            if (ctag != r.properties.cend() && !ctag->text.trimmed().isEmpty())
                return QStringLiteral("ctag:") + ctag->text.trimmed();
            const auto token = r.properties.constFind(Dav::key(Dav::kDav, "sync-token"));
            if (token != r.properties.cend() && !token->text.trimmed().isEmpty())
                return QStringLiteral("token:") + token->text.trimmed();
        }
        return QString();
    }

    // Every task's href and ETag. `complete` is false when the server cut
    // the answer short: then nothing is taken for deleted.
    bool list(std::map<QString, QByteArray> &etags, bool &complete)
    {
        const Dav::Reply reply = client().send("REPORT", engine.m_collection, kListingBody, {{"Depth", "1"}});
        if (reply.status != 207)
            return failWith(reply);
        const Dav::Multistatus ms = Dav::parseMultistatus(reply.body, reply.url);
        if (!ms.failure.isEmpty())
            return fail(ms.failure);
        const QString self = Dav::normalHref(engine.m_collection, engine.m_collection.path(QUrl::FullyEncoded));
        for (const Dav::Resource &r : ms.resources) {
            if (r.href == self || r.status >= 300)
                continue;
            etags[r.href] = r.properties.value(Dav::key(Dav::kDav, "getetag")).text.toUtf8();
        }
        complete = ms.complete;
        return true;
    }

    // The texts of these members; a member that is gone is in `gone`.
    bool fetch(const QStringList &hrefs, std::map<QString, Remote> &found, QSet<QString> &gone)
    {
        for (qsizetype from = 0; from < hrefs.size(); from += kBatch) {
            const QStringList batch = hrefs.mid(from, kBatch);
            const Dav::Reply reply = client().send("REPORT", engine.m_collection, multigetBody(batch), {{"Depth", "1"}});
            if (reply.status != 207)
                return failWith(reply);
            const Dav::Multistatus ms = Dav::parseMultistatus(reply.body, reply.url);
            if (!ms.failure.isEmpty())
                return fail(ms.failure);
            for (const Dav::Resource &r : ms.resources) {
                const auto data = r.properties.constFind(Dav::key(Dav::kCalDav, "calendar-data"));
                if (r.status == 404 || r.status == 410) {
                    gone.insert(r.href);
                    continue;
                }
                if (data == r.properties.cend())
                    continue;
                Remote remote;
                remote.href = r.href;
                remote.etag = r.properties.value(Dav::key(Dav::kDav, "getetag")).text.toUtf8();
                remote.text = data->text.toUtf8();
                const TaskCalendar::FileReading reading = TaskCalendar::readFile(remote.text, now);
                if (reading.found.empty()) {
                    const QString why = !reading.refusal.isEmpty() ? reading.refusal : reading.skipped.value(0);
                    out.notes << QStringLiteral("%1 on the server was not taken: %2").arg(r.href, why);
                    continue;
                }
                remote.task = reading.found.front().task;
                found[r.href] = std::move(remote);
            }
        }
        return true;
    }

    std::optional<Remote> fetchOne(const QString &href, bool *gone)
    {
        std::map<QString, Remote> found;
        QSet<QString> goneSet;
        *gone = false;
        if (!fetch({href}, found, goneSet))
            return std::nullopt;
        if (goneSet.contains(href) || found.empty()) {
            *gone = goneSet.contains(href);
            return std::nullopt;
        }
        return found.begin()->second;
    }

    Written put(const Task &task, const QString &href, const QByteArray &etag, const QByteArray &kept,
                const QByteArray &condition)
    {
        const TaskCalendar::TaskText text = TaskCalendar::calendarOf(task, kept, clock);
        if (!text.problem.isEmpty()) {
            out.notes << QStringLiteral("%1 was not sent: %2").arg(shownTitle(task), text.problem);
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
            ++out.sent;
            return Written::Done;
        }
        if (reply.status == 412)
            return Written::Conflict;
        if (reply.status == 404 || reply.status == 410)
            return Written::Gone;
        if (reply.failure.isEmpty() && reply.status >= 400 && reply.status < 500 && reply.status != 401) {
            out.notes << QStringLiteral("%1: the server refused it (%2)").arg(shownTitle(task), statusText(reply));
            return Written::Refused;
        }
        failWith(reply);
        return Written::Failed;
    }

    QString newHref(const QString &uid) const
    {
        return engine.m_collection.path(QUrl::FullyEncoded) + QString::fromLatin1(QUrl::toPercentEncoding(uid))
               + QStringLiteral(".ics");
    }

    void record(const QString &uid, const Remote &remote, const Task &task)
    {
        Entry &entry = state().byUid[uid];
        entry.href = remote.href;
        entry.etag = remote.etag;
        entry.text = remote.text;
        entry.base = task;
        entry.base.uid = uid;
    }

    std::optional<Entry> previousOf(const QString &uid)
    {
        const auto it = state().byUid.find(uid);
        return it == state().byUid.end() ? std::nullopt : std::optional<Entry>(it->second);
    }

    // The local task becomes `after`; the change goes to the store.
    void updateHere(std::size_t index, Task after, const std::optional<Entry> &previous)
    {
        Module1::deriveFields(after);
        if (Module1::sameStored(local[index], after))
            return;
        out.changes.push_back({Change::Update, local[index], after, previous});
        local[index] = std::move(after);
    }

    bool addHere(const Task &task, const std::optional<Entry> &previous)
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

    void removeHere(std::size_t index, const std::optional<Entry> &previous)
    {
        out.changes.push_back({Change::Remove, local[index], {}, previous});
        local.erase(local.begin() + std::ptrdiff_t(index));
    }

    // The server's version taken as it is.
    void takeTheirs(const QString &uid, const Remote &remote)
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

    // Ours and the server's merged against the base, written back where the
    // server lacks anything of ours; tried again while another client keeps
    // writing in between.
    bool mergeAndPut(const QString &uid, const Task &base, Remote remote)
    {
        for (int attempt = 0; attempt < kMergeTries; ++attempt) {
            const std::size_t index = indexOf(uid);
            const Merged merged = mergeTask(base, local[index], remote.task);
            const std::optional<Entry> previous = previousOf(uid);
            Task theirs = remote.task;
            TaskCalendar::keepSpelling(merged.task, theirs);
            if (merged.copy) {
                Task copy = *merged.copy;
                copy.uid = TaskCalendar::newUid();
                if (addHere(copy, std::nullopt))
                    out.notes << QStringLiteral("%1 was changed here and on the server in the same field: both "
                                                "versions are kept")
                                     .arg(shownTitle(merged.task));
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
        return true;
    }

    Written putFresh(const QString &uid, const QString &href)
    {
        return put(local[indexOf(uid)], href, {}, {}, "If-None-Match");
    }

    // A task the server does not have (any more): written as new. One that
    // turns out to be there after all is merged with it.
    bool putNew(const QString &uid, const QString &href)
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

    // What the server holds now that Quorvi does not know: members new or
    // changed (by uid), and known members that are gone.
    struct Survey {
        std::map<QString, Remote> changed;
        std::set<QString> gone;
    };

    // Lists the collection and fetches what changed; nothing on failure.
    std::optional<Survey> survey()
    {
        std::map<QString, QByteArray> etags;
        bool complete = true;
        if (!list(etags, complete))
            return std::nullopt;
        out.listed = true;
        if (engine.afterListing)
            engine.afterListing();

        std::map<QString, QString> uidByHref;
        for (const auto &[uid, entry] : state().byUid)
            uidByHref[entry.href] = uid;
        QStringList toFetch;
        for (const auto &[href, etag] : etags) {
            const auto known = uidByHref.find(href);
            if (known == uidByHref.end() || etag.isEmpty() || state().byUid[known->second].etag != etag)
                toFetch << href;
        }
        // A member missing from a complete listing is asked for by name: a
        // server that leaves completed tasks out of listings still has them.
        if (complete) {
            for (const auto &[href, uid] : uidByHref) {
                if (!etags.contains(href))
                    toFetch << href;
            }
        }
        std::map<QString, Remote> fetched;
        QSet<QString> gone;
        if (!fetch(toFetch, fetched, gone))
            return std::nullopt;

        Survey found;
        for (auto &[href, remote] : fetched) {
            const QString uid = remote.task.uid;
            const auto twin = found.changed.find(uid);
            if (twin != found.changed.end()) {
                out.notes << QStringLiteral("%1 is on the server twice (%2 and %3); the second is left alone")
                                 .arg(shownTitle(remote.task), twin->second.href, href);
                continue;
            }
            found.changed[uid] = remote;
        }
        for (const QString &href : std::as_const(gone)) {
            const auto uid = uidByHref.find(href);
            if (uid != uidByHref.end() && !found.changed.contains(uid->second))
                found.gone.insert(uid->second);
        }
        return found;
    }

    // Ours changed, the server's not (as far as the listing knew).
    void sendEdit(const QString &uid, const Entry &known)
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
    void sendDeletion(const QString &uid, const Entry &known)
    {
        const Dav::Reply reply = client().send("DELETE", urlOf(known.href), {}, {{"If-Match", known.etag}});
        if (reply.ok() || reply.status == 404 || reply.status == 410) {
            state().byUid.erase(uid);
            ++out.removedThere;
        } else if (reply.status == 412) {
            bool gone = false;
            if (const std::optional<Remote> current = fetchOne(known.href, &gone))
                takeTheirs(uid, *current);
            else if (gone)
                state().byUid.erase(uid);
        } else if (reply.failure.isEmpty() && reply.status >= 400 && reply.status < 500 && reply.status != 401) {
            out.notes << QStringLiteral("%1: the server refused to delete it (%2)").arg(shownTitle(known.base), statusText(reply));
        } else {
            failWith(reply);
        }
    }

    // A task both sides knew at the last pass.
    void settleKnown(const QString &uid, const Entry &known, const Survey &there)
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
    void settleUnknown(const QString &uid, const Survey &there)
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
    bool round()
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
};

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

StorePass::StorePass(Module1::TaskStore &store, const QUrl &collection, Dav::Credentials credentials)
    : m_store(store), m_state(State::fileFor(StoreSide::storeFolder())),
      m_engine(std::make_unique<Engine>(collection, std::move(credentials), m_state))
{
}

StorePass::~StorePass() = default;

bool StorePass::begin()
{
    QString error;
    if (!m_state.load(&error))
        m_notes << QStringLiteral("The sync state could not be read (%1); every task was compared afresh.").arg(error);
    StoreSide::Snapshot snapshot = StoreSide::take(m_store);
    m_failure = snapshot.failure;
    m_local = std::move(snapshot.tasks);
    return m_failure.isEmpty();
}

void StorePass::run(const QDateTime &now)
{
    if (m_failure.isEmpty())
        m_result = m_engine->run(std::move(m_local), now);
}

Outcome StorePass::finish()
{
    Outcome out;
    if (!m_failure.isEmpty()) {
        out.ok = false;
        out.message = QStringLiteral("Sync did not start: %1").arg(m_failure);
        return out;
    }
    const StoreSide::Applied applied = StoreSide::apply(m_store, m_result.changes, m_state);
    QString error;
    // A pass that did not need to list the collection changed no state.
    if ((m_result.listed || !m_result.changes.empty()) && !m_state.save(&error))
        m_notes << QStringLiteral("The sync state could not be saved (%1); the next pass compares every task again.")
                       .arg(error);
    out.pass = m_result;
    out.ok = m_result.ok && applied.ok;
    QStringList notes = m_result.notes + applied.notes + m_notes;
    if (!m_result.ok)
        out.message = QStringLiteral("Sync failed: %1. Changes wait for the next try.").arg(m_result.failure);
    else if (!applied.ok)
        out.message = QStringLiteral("Sync could not save what came from the server: %1").arg(applied.message);
    else
        out.message = QStringLiteral("Synced: %1 sent, %2 received, %3 deleted here, %4 deleted on the server.")
                          .arg(m_result.sent)
                          .arg(applied.added + applied.updated)
                          .arg(applied.removed)
                          .arg(m_result.removedThere);
    if (!notes.isEmpty())
        out.message += QStringLiteral("\n- ") + notes.join(QStringLiteral("\n- "));
    return out;
}

Outcome syncStore(Module1::TaskStore &store, const QUrl &collection, const Dav::Credentials &credentials,
                  const QDateTime &now)
{
    StorePass pass(store, collection, credentials);
    pass.begin();
    pass.run(now);
    return pass.finish();
}

} // namespace Sync
