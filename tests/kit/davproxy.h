// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small HTTP proxy in front of a real Radicale that plays the ways of
// other servers: it leaves completed tasks out of calendar-query and
// calendar-multiget answers (or calls them 404 in a multiget), as some
// servers do, hides the sync-token, and refuses chosen PUTs with
// a status of the test's choosing (400 for a second object with the same
// UID, 415 for a malformed recurrence exception). Everything else goes to
// Radicale and back unchanged. It runs on the test's thread, served by the
// event loop the sync's client waits in.

#include "radicale.h"

#include <QFile>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <optional>

class DavProxy : public QObject
{
public:
    // How completed tasks are hidden from a calendar-multiget (a
    // calendar-query leaves them out in either case).
    enum class Hiding { Nothing, LeftOut, As404 };

    explicit DavProxy(Radicale &server) : m_server(server)
    {
        m_listener.listen(QHostAddress::LocalHost, 0);
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    bool listening() const { return m_listener.isListening(); }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_listener.serverPort())).resolved(QUrl(path));
    }

    Hiding hiding = Hiding::Nothing;
    // False: PROPFIND answers lose their sync-token, as a server without one.
    bool offersSyncToken = true;
    // The status a PUT of this text is refused with; 0: it goes through.
    std::function<int(const QByteArray &)> refusals;
    // How many PUTs came; how many members were hidden.
    int puts = 0;
    int hidden = 0;
    // The bodies of the REPORTs that came, in order.
    QList<QByteArray> reports;

private:
    struct Request {
        QByteArray verb;
        QString path;
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;
    };

    // One whole request from the socket's buffer, when it has arrived.
    static std::optional<Request> take(QByteArray &buffer)
    {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return std::nullopt;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        Request request{first.value(0), QString::fromLatin1(first.value(1)), {}, {}};
        qsizetype length = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            const QByteArray name = lines[i].left(colon).trimmed();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                length = value.toLongLong();
            request.headers.append({name, value});
        }
        if (buffer.size() < end + 4 + length)
            return std::nullopt;
        request.body = buffer.mid(end + 4, length);
        buffer.remove(0, end + 4 + length);
        return request;
    }

    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        while (const std::optional<Request> request = take(buffer)) {
            if (request->verb == "REPORT")
                reports << request->body;
            if (request->verb == "PUT") {
                ++puts;
                if (const int status = refusals ? refusals(request->body) : 0) {
                    answer(socket, status, "Refused by the proxy", {}, {});
                    continue;
                }
            }
            forward(socket, *request);
        }
    }

    void forward(QTcpSocket *socket, const Request &request)
    {
        QNetworkRequest out(m_server.url(request.path));
        for (const auto &[name, value] : request.headers) {
            static const QList<QByteArray> kOwn{"host", "content-length", "connection", "accept-encoding"};
            if (!kOwn.contains(name.toLower()))
                out.setRawHeader(name, value);
        }
        QNetworkReply *reply = m_network.sendCustomRequest(out, request.verb, request.body);
        const bool multiget = request.body.contains("calendar-multiget");
        const bool filtered = multiget || request.body.contains("calendar-query");
        const bool propfind = request.verb == "PROPFIND";
        QPointer<QTcpSocket> to(socket);
        connect(reply, &QNetworkReply::finished, this, [this, reply, to, filtered, multiget, propfind] {
            reply->deleteLater();
            if (!to)
                return;
            QByteArray body = reply->readAll();
            if (filtered && hiding != Hiding::Nothing)
                body = withoutCompleted(body, multiget && hiding == Hiding::As404);
            static const QRegularExpression token(QStringLiteral("<sync-token>[^<]*</sync-token>"));
            if (propfind && !offersSyncToken)
                body = QString::fromUtf8(body).remove(token).toUtf8();
            answer(to, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                   reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray(), reply->rawHeader("ETag"),
                   body, reply->rawHeader("Content-Type"));
        });
    }

    // The member's text as it lies on Radicale's disk.
    QByteArray textOf(const QString &href) const
    {
        QFile file(m_server.storage() + QStringLiteral("/collection-root") + QUrl::fromPercentEncoding(href.toUtf8()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray withoutCompleted(const QByteArray &body, bool as404)
    {
        static const QRegularExpression response(QStringLiteral("<response>.*?</response>"),
                                                 QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression hrefIn(QStringLiteral("<href>(.*?)</href>"));
        QString text = QString::fromUtf8(body);
        QString kept;
        qsizetype from = 0;
        for (const QRegularExpressionMatch &m : response.globalMatch(text)) {
            kept += text.mid(from, m.capturedStart() - from);
            from = m.capturedEnd();
            const QString href = hrefIn.match(m.captured()).captured(1);
            if (!textOf(href).contains("STATUS:COMPLETED")) {
                kept += m.captured();
                continue;
            }
            ++hidden;
            if (as404)
                kept += QStringLiteral("<response><href>%1</href><status>HTTP/1.1 404 Not Found</status></response>")
                            .arg(href);
        }
        kept += text.mid(from);
        return kept.toUtf8();
    }

    static void answer(QTcpSocket *socket, int status, const QByteArray &reason, const QByteArray &etag,
                       const QByteArray &body, const QByteArray &type = "text/plain")
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\n";
        if (!etag.isEmpty())
            head += "ETag: " + etag + "\r\n";
        if (!body.isEmpty())
            head += "Content-Type: " + type + "\r\n";
        socket->write(head + "\r\n" + body);
    }

    Radicale &m_server;
    QTcpServer m_listener;
    QNetworkAccessManager m_network;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
