// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the task collections from a server's address (RFC 4791 section
// 6, RFC 5397): the principal of the user, its calendar home, and the
// collections there that hold tasks.
#include "syncengine.h"

namespace Sync {

namespace {

constexpr char kAboutBody[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                              "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
                              "<d:prop><d:resourcetype/><d:displayname/><c:supported-calendar-component-set/>"
                              "<d:current-user-principal/><c:calendar-home-set/></d:prop></d:propfind>";

struct About {
    Dav::Multistatus answer;
    QString failure;
};

About ask(Dav::Client &client, const QUrl &url, const char *depth)
{
    About out;
    const Dav::Reply reply = client.send("PROPFIND", url, kAboutBody, {{"Depth", depth}});
    if (reply.status != 207) {
        out.failure = !reply.failure.isEmpty() ? reply.failure
                                               : QStringLiteral("%1 answered %2 %3")
                                                     .arg(url.toDisplayString())
                                                     .arg(reply.status)
                                                     .arg(reply.reason);
        return out;
    }
    out.answer = Dav::parseMultistatus(reply.body, reply.url);
    out.failure = out.answer.failure;
    return out;
}

// A calendar collection whose components include tasks (one that names no
// components takes every kind).
bool holdsTasks(const Dav::Resource &r)
{
    const Dav::Property type = r.properties.value(Dav::key(Dav::kDav, "resourcetype"));
    if (!type.children.contains(Dav::key(Dav::kCalDav, "calendar")))
        return false;
    const auto comps = r.properties.constFind(Dav::key(Dav::kCalDav, "supported-calendar-component-set"));
    return comps == r.properties.cend() || comps->comps.isEmpty() || comps->comps.contains(QLatin1String("VTODO"));
}

Collection collectionOf(const QUrl &base, const Dav::Resource &r)
{
    QString name = r.properties.value(Dav::key(Dav::kDav, "displayname")).text.trimmed();
    const QUrl url = base.resolved(QUrl::fromEncoded(r.href.toUtf8()));
    if (name.isEmpty())
        name = url.path(QUrl::FullyDecoded);
    return {url, name};
}

QString firstHref(const Dav::Multistatus &answer, const char *ns, const char *name)
{
    for (const Dav::Resource &r : answer.resources) {
        const Dav::Property p = r.properties.value(Dav::key(ns, name));
        if (!p.hrefs.isEmpty())
            return p.hrefs.first();
    }
    return {};
}

} // namespace

Discovery discover(const QUrl &url, const Dav::Credentials &credentials)
{
    Discovery out;
    Dav::Client client(credentials);
    About about = ask(client, url, "0");
    if (!about.failure.isEmpty() && about.answer.resources.isEmpty() && url.path().length() <= 1) {
        // A server root that is not WebDAV itself may point the way.
        About known = ask(client, url.resolved(QUrl(QStringLiteral("/.well-known/caldav"))), "0");
        if (known.failure.isEmpty())
            about = known;
    }
    if (!about.failure.isEmpty()) {
        out.failure = about.failure;
        return out;
    }
    for (const Dav::Resource &r : std::as_const(about.answer.resources)) {
        if (holdsTasks(r)) {
            out.collections.push_back(collectionOf(url, r));
            return out;
        }
    }
    QString home = firstHref(about.answer, Dav::kCalDav, "calendar-home-set");
    if (home.isEmpty()) {
        const QString principal = firstHref(about.answer, Dav::kDav, "current-user-principal");
        if (principal.isEmpty()) {
            out.failure = QStringLiteral("%1 names no calendars of yours (no current-user-principal)").arg(url.toDisplayString());
            return out;
        }
        const About principalAbout = ask(client, url.resolved(QUrl::fromEncoded(principal.toUtf8())), "0");
        if (!principalAbout.failure.isEmpty()) {
            out.failure = principalAbout.failure;
            return out;
        }
        home = firstHref(principalAbout.answer, Dav::kCalDav, "calendar-home-set");
        if (home.isEmpty()) {
            out.failure = QStringLiteral("the server names no calendar home for you (no calendar-home-set)");
            return out;
        }
    }
    const QUrl homeUrl = url.resolved(QUrl::fromEncoded(home.toUtf8()));
    const About listing = ask(client, homeUrl, "1");
    if (!listing.failure.isEmpty()) {
        out.failure = listing.failure;
        return out;
    }
    for (const Dav::Resource &r : listing.answer.resources) {
        if (holdsTasks(r))
            out.collections.push_back(collectionOf(homeUrl, r));
    }
    if (out.collections.empty())
        out.failure = QStringLiteral("your calendar home %1 holds no task lists").arg(homeUrl.toDisplayString());
    return out;
}

} // namespace Sync
