// SPDX-License-Identifier: GPL-3.0-or-later
// How a pass finds what changed on the server: the collection's ctag, the
// listing of every member's ETag, and the texts of those that changed.
#include "enginepass.h"

#include "taskcalendar.h"

namespace Sync {

namespace {

inline constexpr int kBatch = 100; // hrefs per calendar-multiget

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

constexpr char kMembersBody[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/></d:prop></d:propfind>";

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

} // namespace

// The collection's getctag, else its sync-token; empty when it has
// neither, and every pass lists it.
std::optional<QString> Engine::Private::readCtag()
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
        serverToken = r.properties.value(Dav::key(Dav::kDav, "sync-token")).text.trimmed();
        const auto ctag = r.properties.constFind(Dav::key(Dav::kCalServer, "getctag"));
        if (ctag != r.properties.cend() && !ctag->text.trimmed().isEmpty())
            return QStringLiteral("ctag:") + ctag->text.trimmed();
        if (!serverToken.isEmpty())
            return QStringLiteral("token:") + serverToken;
    }
    return QString();
}

// Every task's href and ETag. `complete` is false when the server cut
// the answer short: then nothing is taken for deleted.
bool Engine::Private::list(std::map<QString, QByteArray> &etags, bool &complete)
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

// What changed since the last pass that agreed, by the collection's
// sync-token (RFC 6578): members changed, with their ETags, and members
// removed. False, and nothing changed, when the server does not answer one
// (an unknown or expired token, no support, a cut-off answer): then the
// whole collection is listed instead.
bool Engine::Private::listSince(std::map<QString, QByteArray> &etags, QStringList &removed)
{
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>"
                            + xmlEscaped(state().syncToken)
                            + "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop>"
                              "</d:sync-collection>";
    const Dav::Reply reply = client().send("REPORT", engine.m_collection, body, {{"Depth", "0"}});
    if (!reply.failure.isEmpty() || reply.status == 401)
        return failWith(reply);
    const Dav::Multistatus ms = Dav::parseMultistatus(reply.body, reply.url);
    if (reply.status != 207 || !ms.failure.isEmpty() || !ms.complete)
        return false;
    const QString self = Dav::normalHref(engine.m_collection, engine.m_collection.path(QUrl::FullyEncoded));
    for (const Dav::Resource &r : ms.resources) {
        if (r.href == self)
            continue;
        if (r.status == 404 || r.status == 410)
            removed << r.href;
        else if (r.status < 300)
            etags[r.href] = r.properties.value(Dav::key(Dav::kDav, "getetag")).text.toUtf8();
    }
    return true;
}

// The task in a member's text. A text Quorvi cannot read is set aside
// until it changes there, and told once.
std::optional<Remote> Engine::Private::remoteOf(const QString &href, const QByteArray &etag, const QByteArray &text)
{
    const TaskCalendar::FileReading reading = TaskCalendar::readFile(text, now);
    if (reading.found.empty() && !text.contains("BEGIN:VTODO")) {
        // An event in a calendar that holds tasks too: not for this list.
        state().asideByHref[href] = {etag, false};
        return std::nullopt;
    }
    if (reading.found.empty()) {
        Aside &aside = state().asideByHref[href];
        if (aside.etag != etag || etag.isEmpty()) {
            const QString why = !reading.refusal.isEmpty() ? reading.refusal : reading.skipped.value(0);
            out.notes << QStringLiteral("%1 on the server was not taken: %2").arg(href, why);
        }
        aside = {etag, false};
        return std::nullopt;
    }
    return Remote{href, etag, text, reading.found.front().task};
}

// The texts of these members; a member the server calls gone is in
// `gone`, which only a request of its own confirms.
bool Engine::Private::fetch(const QStringList &hrefs, std::map<QString, Remote> &found, QSet<QString> &gone)
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
            const QByteArray etag = r.properties.value(Dav::key(Dav::kDav, "getetag")).text.toUtf8();
            if (std::optional<Remote> remote = remoteOf(r.href, etag, data->text.toUtf8()))
                found[r.href] = std::move(*remote);
        }
    }
    return true;
}

// One member asked for by itself, with GET: no server filters that as it
// may filter a REPORT. Only a 404 or 410 says it is gone.
std::optional<Remote> Engine::Private::fetchOne(const QString &href, bool *gone)
{
    *gone = false;
    const Dav::Reply reply = client().send("GET", urlOf(href));
    if (reply.status == 404 || reply.status == 410) {
        *gone = true;
        return std::nullopt;
    }
    if (!reply.ok()) {
        if (!reply.failure.isEmpty() || reply.status == 401 || reply.status >= 500)
            failWith(reply);
        return std::nullopt;
    }
    return remoteOf(href, reply.etag, reply.body);
}

// One member asked for by itself, into `fetched` or `gone`; false when the
// pass failed.
bool Engine::Private::askOne(const QString &href, std::map<QString, Remote> &fetched, QSet<QString> &gone)
{
    bool isGone = false;
    if (std::optional<Remote> remote = fetchOne(href, &isGone))
        fetched[href] = std::move(*remote);
    else if (isGone)
        gone.insert(href);
    return out.ok;
}

// Whether a listed member was set aside and stays so: unchanged there, and
// (when it was left out for want of room) the list still full.
bool Engine::Private::stillAside(const QString &href, const QByteArray &etag) const
{
    const auto aside = engine.m_state.asideByHref.find(href);
    return aside != engine.m_state.asideByHref.end() && !etag.isEmpty() && aside->second.etag == etag
           && !(aside->second.forRoom && hasRoom());
}

// Known members a complete calendar-query left out. Some servers leave
// completed tasks out of it, so their absence proves nothing: one PROPFIND
// of the collection, which no server filters by content, tells which are
// still there and which changed; those it does not list either are asked
// for one by one.
bool Engine::Private::lookForMissing(const QStringList &missing, const std::map<QString, QString> &uidByHref,
                                     QStringList &toFetch, std::map<QString, Remote> &fetched, QSet<QString> &gone)
{
    const Dav::Reply reply = client().send("PROPFIND", engine.m_collection, kMembersBody, {{"Depth", "1"}});
    if (!reply.failure.isEmpty() || reply.status == 401)
        return failWith(reply);
    std::map<QString, QByteArray> etags;
    const Dav::Multistatus ms = Dav::parseMultistatus(reply.body, reply.url);
    if (reply.status == 207 && ms.failure.isEmpty() && ms.complete) {
        for (const Dav::Resource &r : ms.resources)
            etags[r.href] = r.properties.value(Dav::key(Dav::kDav, "getetag")).text.toUtf8();
    }
    for (const QString &href : missing) {
        const auto listed = etags.find(href);
        if (listed != etags.end()) {
            if (listed->second.isEmpty() || listed->second != state().byUid[uidByHref.at(href)].etag)
                toFetch << href;
            continue;
        }
        if (!askOne(href, fetched, gone))
            return false;
    }
    return true;
}

// Known members the multiget left out or called gone: asked for one by one,
// so that only the server's own 404 deletes anything here.
bool Engine::Private::confirm(const QStringList &asked, const std::map<QString, QString> &uidByHref,
                              std::map<QString, Remote> &fetched, QSet<QString> &gone)
{
    for (const QString &href : asked) {
        if (!uidByHref.contains(href) || fetched.contains(href))
            continue;
        gone.remove(href);
        if (!askOne(href, fetched, gone))
            return false;
    }
    return true;
}

// Lists the collection and fetches what changed; nothing on failure.
std::optional<Engine::Private::Survey> Engine::Private::survey()
{
    std::map<QString, QByteArray> etags;
    bool complete = true;
    QStringList removed;
    // Only changes are listed where the server keeps a sync-token, unless
    // members left out for want of room now fit: those did not change.
    const bool delta = !state().syncToken.isEmpty() && !serverToken.isEmpty() && !(hasRoom() && waitingForRoom())
                       && listSince(etags, removed);
    if (!out.ok || (!delta && !list(etags, complete)))
        return std::nullopt;
    out.listed = true;
    if (engine.afterListing)
        engine.afterListing();

    std::map<QString, QString> uidByHref;
    for (const auto &[uid, entry] : state().byUid)
        uidByHref[entry.href] = uid;
    QStringList toFetch;
    for (const auto &[href, etag] : etags) {
        if (stillAside(href, etag))
            continue;
        const auto known = uidByHref.find(href);
        if (known == uidByHref.end() || etag.isEmpty() || state().byUid[known->second].etag != etag)
            toFetch << href;
    }
    QStringList missing;
    if (delta) {
        // Removed members are asked for by name like any missing one.
        for (const QString &href : std::as_const(removed)) {
            if (uidByHref.contains(href))
                missing << href;
            state().asideByHref.erase(href);
        }
    } else if (complete) {
        std::erase_if(state().asideByHref, [&etags](const auto &a) { return !etags.contains(a.first); });
        for (const auto &[href, uid] : uidByHref) {
            if (!etags.contains(href))
                missing << href;
        }
    }
    std::map<QString, Remote> fetched;
    QSet<QString> gone;
    if (!missing.isEmpty() && !lookForMissing(missing, uidByHref, toFetch, fetched, gone))
        return std::nullopt;
    if (!fetch(toFetch, fetched, gone) || !confirm(toFetch, uidByHref, fetched, gone))
        return std::nullopt;
    return sorted(fetched, gone, uidByHref);
}

// What was fetched, by uid; a second member with a uid already seen is
// left alone, and told once.
Engine::Private::Survey Engine::Private::sorted(const std::map<QString, Remote> &fetched, const QSet<QString> &gone,
                                                const std::map<QString, QString> &uidByHref)
{
    Survey found;
    for (const auto &[href, remote] : fetched) {
        const QString uid = remote.task.uid;
        const auto known = uidByHref.find(href);
        if (known != uidByHref.end() && state().byUid[known->second].etag == remote.etag && !remote.etag.isEmpty())
            continue; // asked for only to learn that it is still there
        const auto twin = found.changed.find(uid);
        if (twin != found.changed.end()) {
            Aside &aside = state().asideByHref[href];
            if (aside.etag != remote.etag)
                out.notes << QStringLiteral("%1 is on the server twice (%2 and %3); the second is left alone")
                                 .arg(shownTitle(remote.task), twin->second.href, href);
            aside = {remote.etag, false};
            continue;
        }
        found.changed[uid] = remote;
    }
    for (const QString &href : gone) {
        const auto uid = uidByHref.find(href);
        if (uid != uidByHref.end() && !found.changed.contains(uid->second))
            found.gone.insert(uid->second);
    }
    return found;
}

} // namespace Sync
