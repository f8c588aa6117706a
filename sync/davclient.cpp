// SPDX-License-Identifier: GPL-3.0-or-later
#include "davclient.h"

#include <QAuthenticator>
#include <QBuffer>
#include <QEventLoop>
#include <QNetworkReply>
#include <QSslError>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>

namespace Dav {

namespace {

inline constexpr int kLookForInterruptionMs = 100;

// The status line's number ("HTTP/1.1 404 Not Found").
int statusOf(const QString &line)
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

// Reads one property element, the reader on its start, to its end.
Property readProperty(QXmlStreamReader &xml, const QUrl &base)
{
    Property property;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const QString name = xml.name().toString();
            const QString ns = xml.namespaceUri().toString();
            if (depth == 2)
                property.children << ns + QLatin1Char('|') + name;
            if (name == QLatin1String("comp") && ns == QLatin1String(kCalDav))
                property.comps << xml.attributes().value(QLatin1String("name")).toString().toUpper();
            if (name == QLatin1String("href") && ns == QLatin1String(kDav)) {
                property.hrefs << normalHref(base, xml.readElementText(QXmlStreamReader::IncludeChildElements));
                --depth;
            }
        } else if (xml.isEndElement()) {
            --depth;
        } else if (xml.isCharacters() && depth == 1) {
            property.text += xml.text();
        }
    }
    return property;
}

// Reads a prop element's properties into `props`, to its end.
void readProperties(QXmlStreamReader &xml, const QUrl &base, QMap<QString, Property> &props)
{
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("prop"))
            return;
        if (xml.isStartElement()) {
            const QString k = xml.namespaceUri().toString() + QLatin1Char('|') + xml.name().toString();
            props.insert(k, readProperty(xml, base));
        }
    }
}

// Reads one response element, the reader on its start, to its end: its
// href, its own status, and the properties reported with 200.
Resource readResponse(QXmlStreamReader &xml, const QUrl &base)
{
    Resource resource;
    bool inPropstat = false;
    int propstatStatus = 0;
    QMap<QString, Property> props;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("response"))
                break;
            if (xml.name() == QLatin1String("propstat")) {
                if (propstatStatus == 200) {
                    for (auto it = props.cbegin(); it != props.cend(); ++it)
                        resource.properties.insert(it.key(), it.value());
                }
                inPropstat = false;
            }
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("href") && !inPropstat && resource.href.isEmpty()) {
            resource.href = normalHref(base, xml.readElementText(QXmlStreamReader::IncludeChildElements));
        } else if (name == QLatin1String("propstat")) {
            inPropstat = true;
            propstatStatus = 0;
            props.clear();
        } else if (name == QLatin1String("prop")) {
            readProperties(xml, base, props);
        } else if (name == QLatin1String("status")) {
            const int status = statusOf(xml.readElementText());
            if (inPropstat)
                propstatStatus = status;
            else
                resource.status = status;
        }
    }
    return resource;
}

} // namespace

QString key(const char *ns, const char *name)
{
    return QString::fromLatin1(ns) + QLatin1Char('|') + QString::fromLatin1(name);
}

QString normalHref(const QUrl &base, const QString &href)
{
    const QUrl resolved = base.resolved(QUrl(href.trimmed(), QUrl::TolerantMode));
    return resolved.path(QUrl::FullyEncoded);
}

Multistatus parseMultistatus(const QByteArray &body, const QUrl &base)
{
    Multistatus out;
    QXmlStreamReader xml(body);
    bool seenRoot = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const bool dav = xml.namespaceUri() == QLatin1String(kDav);
        if (!seenRoot) {
            if (!dav || xml.name() != QLatin1String("multistatus")) {
                out.failure = QStringLiteral("the server's answer is not a WebDAV multistatus");
                return out;
            }
            seenRoot = true;
            continue;
        }
        if (!dav || xml.name() != QLatin1String("response"))
            continue;
        const Resource resource = readResponse(xml, base);
        // A response with only a 507 says the listing stops here.
        if (resource.status == 507)
            out.complete = false;
        else
            out.resources << resource;
    }
    if (xml.hasError()) {
        out.failure = QStringLiteral("the server's answer is cut short or not XML (%1)").arg(xml.errorString());
        out.complete = false;
    } else if (!seenRoot) {
        out.failure = QStringLiteral("the server's answer is empty");
        out.complete = false;
    }
    return out;
}

Client::Client(Credentials credentials)
    : m_credentials(std::move(credentials))
{
}

Client::~Client() = default;

void Client::makeNetwork()
{
    // Made by the first request, in the thread that sends: a pass may run
    // away from the window's thread.
    m_network = std::make_unique<QNetworkAccessManager>();
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    // Digest and other schemes: the credentials once per request, so a
    // wrong password ends in a 401 rather than a loop.
    QObject::connect(m_network.get(), &QNetworkAccessManager::authenticationRequired, m_network.get(),
                     [this](QNetworkReply *reply, QAuthenticator *auth) {
                         if (reply->property("quorviAsked").toBool() || m_credentials.user.isEmpty())
                             return;
                         reply->setProperty("quorviAsked", true);
                         auth->setUser(m_credentials.user);
                         auth->setPassword(m_credentials.password);
                     });
}

Reply Client::send(const QByteArray &verb, const QUrl &url, const QByteArray &body,
                   const QList<std::pair<QByteArray, QByteArray>> &headers)
{
    if (QThread::currentThread()->isInterruptionRequested()) {
        Reply stopped;
        stopped.failure = QStringLiteral("Quorvi was ending");
        return stopped;
    }
    ++m_requests;
    if (!m_network)
        makeNetwork();
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Quorvi/" QUORVI_VERSION));
    if (!m_credentials.user.isEmpty()) {
        // Sent with the first request: a pass that finds nothing changed
        // costs one exchange, not a refusal and a second try.
        const QByteArray pair = (m_credentials.user + QLatin1Char(':') + m_credentials.password).toUtf8();
        request.setRawHeader("Authorization", "Basic " + pair.toBase64());
    }
    if (!body.isEmpty())
        request.setRawHeader("Content-Type", verb == "PUT" ? QByteArrayLiteral("text/calendar; charset=utf-8")
                                                           : QByteArrayLiteral("application/xml; charset=utf-8"));
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);

    QBuffer *data = nullptr;
    if (!body.isEmpty() || verb == "PUT") {
        data = new QBuffer;
        data->setData(body);
        data->open(QIODevice::ReadOnly);
    }
    QNetworkReply *reply = m_network->sendCustomRequest(request, verb, data);
    if (data)
        data->setParent(reply);
    // Kept on the reply itself, which outlives every call of the slot.
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply](const QList<QSslError> &errors) {
        QStringList problems = reply->property("quorviSslProblems").toStringList();
        for (const QSslError &e : errors)
            problems << e.errorString();
        reply->setProperty("quorviSslProblems", problems);
    });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // A pass on a thread of its own stops when Quorvi ends, without waiting
    // for a slow server.
    QTimer interrupted;
    QObject::connect(&interrupted, &QTimer::timeout, reply, [reply] {
        if (QThread::currentThread()->isInterruptionRequested())
            reply->abort();
    });
    interrupted.start(kLookForInterruptionMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    Reply out;
    out.url = reply->url();
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    out.etag = reply->rawHeader("ETag");
    out.body = reply->readAll();
    const QStringList sslProblems = reply->property("quorviSslProblems").toStringList();
    if (!sslProblems.isEmpty()) {
        out.failure = QStringLiteral("the server's certificate was refused: %1").arg(sslProblems.join(QStringLiteral("; ")));
    } else if (out.status == 401) {
        out.failure = QStringLiteral("the server refused the user name or password");
    } else if (out.status == 0) {
        out.failure = reply->error() == QNetworkReply::OperationCanceledError
                          ? QStringLiteral("the server did not answer within %1 seconds").arg(timeoutMs / 1000)
                          : reply->errorString();
    }
    reply->deleteLater();
    return out;
}

} // namespace Dav
