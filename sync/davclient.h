// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QNetworkAccessManager>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

// WebDAV and CalDAV as the sync uses them: one request at a time, waited
// for, with the answer's status, headers and body, and the multistatus
// answers of PROPFIND and REPORT read into plain values.
namespace Dav {

struct Credentials {
    QString user;
    QString password;
};

struct Reply {
    int status = 0;        // the HTTP status; 0 when none came
    QString reason;        // the status's words ("Precondition Failed")
    QString failure;       // no answer, or one that was refused: why, for the user
    QByteArray etag;       // the ETag header exactly as received
    QByteArray body;
    QUrl url;              // where the request went (after redirects)
    bool ok() const { return failure.isEmpty() && status >= 200 && status < 300; }
};

// One property of one resource in a multistatus answer.
struct Property {
    QString text;          // its text, for values such as getetag
    QStringList hrefs;     // the hrefs inside it (current-user-principal)
    QStringList children;  // its child elements as "namespace|name"
    QStringList comps;     // the name="" of the comp children (VTODO)
};

struct Resource {
    QString href;          // resolved: a path, percent-encoded as the server wrote it
    int status = 0;        // the response's own status, when it has one (404)
    QMap<QString, Property> properties; // those reported with 200, by "namespace|name"
};

struct Multistatus {
    QList<Resource> resources;
    bool complete = true;  // false when the server cut the listing short (507)
    QString failure;       // not a multistatus answer
};
Multistatus parseMultistatus(const QByteArray &body, const QUrl &base);

inline constexpr const char *kDav = "DAV:";
inline constexpr const char *kCalDav = "urn:ietf:params:xml:ns:caldav";
inline constexpr const char *kCalServer = "http://calendarserver.org/ns/";
QString key(const char *ns, const char *name);

// A member's href, resolved against the collection, as one path that
// compares equal however the server spelled it.
QString normalHref(const QUrl &base, const QString &href);

class Client
{
public:
    explicit Client(Credentials credentials);
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    // Sends one request and waits for its answer, at most `timeoutMs`.
    Reply send(const QByteArray &verb, const QUrl &url, const QByteArray &body = {},
               const QList<std::pair<QByteArray, QByteArray>> &headers = {});

    // Lets go of the network, in the thread that used it.
    void release() { m_network.reset(); }

    // How many requests went out so far.
    int requests() const { return m_requests; }
    int timeoutMs = 30000;

private:
    void makeNetwork();
    Credentials m_credentials;
    std::unique_ptr<QNetworkAccessManager> m_network;
    int m_requests = 0;
};

} // namespace Dav
