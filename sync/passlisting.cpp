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

// The texts of these members; a member that is gone is in `gone`.
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

std::optional<Remote> Engine::Private::fetchOne(const QString &href, bool *gone)
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

// Lists the collection and fetches what changed; nothing on failure.
std::optional<Engine::Private::Survey> Engine::Private::survey()
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

} // namespace Sync
