// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real CalDAV server for the sync tests: Debian's Radicale, started with
// no configuration file on 127.0.0.1 and a free port, its storage in a
// temporary folder, without authentication or with an htpasswd file. The
// test plays the other clients (a phone) with raw requests of its own.

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <map>
#include <memory>

class Radicale
{
public:
    // With a user, the server asks for this password (htpasswd, plain text).
    // `tls`: https with a certificate of its own, which no one trusts.
    explicit Radicale(const QString &user = {}, const QString &password = {}, bool tls = false)
    {
        if (tls) {
            m_certificate = m_dir.filePath(QStringLiteral("cert.pem"));
            m_key = m_dir.filePath(QStringLiteral("key.pem"));
            QProcess openssl;
            openssl.start(QStringLiteral("openssl"),
                          {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                           QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                           QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                           QStringLiteral("-keyout"), m_key, QStringLiteral("-out"), m_certificate});
            if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
                return;
        }
        {
            QTcpServer probe;
            if (probe.listen(QHostAddress::LocalHost, 0))
                m_port = probe.serverPort();
        }
        if (!user.isEmpty()) {
            QFile file(m_dir.filePath(QStringLiteral("htpasswd")));
            if (file.open(QIODevice::WriteOnly))
                file.write((user + QLatin1Char(':') + password + QLatin1Char('\n')).toUtf8());
            m_htpasswd = file.fileName();
        }
        m_started = start();
    }
    ~Radicale() { stop(); }
    Radicale(const Radicale &) = delete;
    Radicale &operator=(const Radicale &) = delete;

    // (Again) on the same port and storage; true once it accepts connections.
    bool start()
    {
        QStringList args{QStringLiteral("--config"), QString(),
                         QStringLiteral("--server-hosts"), QStringLiteral("127.0.0.1:%1").arg(m_port),
                         QStringLiteral("--storage-filesystem-folder"), storage()};
        if (!m_certificate.isEmpty()) {
            args << QStringLiteral("--server-ssl") << QStringLiteral("True") << QStringLiteral("--server-certificate")
                 << m_certificate << QStringLiteral("--server-key") << m_key;
        }
        if (m_htpasswd.isEmpty()) {
            args << QStringLiteral("--auth-type") << QStringLiteral("none");
        } else {
            args << QStringLiteral("--auth-type") << QStringLiteral("htpasswd") << QStringLiteral("--auth-htpasswd-filename")
                 << m_htpasswd << QStringLiteral("--auth-htpasswd-encryption") << QStringLiteral("plain");
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(RADICALE_PROGRAM), args);
        if (!m_process.waitForStarted(10000))
            return false;
        // Ready when it accepts a connection.
        for (int i = 0; i < 300 && m_process.state() == QProcess::Running; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100))
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool started() const { return m_started; }
    QUrl root() const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2/").arg(m_certificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https")).arg(m_port));
    }
    QUrl url(const QString &path) const { return root().resolved(QUrl(path)); }
    QString storage() const { return m_dir.filePath(QStringLiteral("storage")); }

    struct Answer {
        int status = 0;
        QByteArray etag;
        QByteArray body;
    };
    // A request as another client sends it.
    Answer send(const QByteArray &verb, const QString &path, const QByteArray &body = {},
                const QList<std::pair<QByteArray, QByteArray>> &headers = {}, const QString &user = QStringLiteral("alice"),
                const QString &password = QStringLiteral("pw"))
    {
        QNetworkAccessManager network;
        QNetworkRequest request(url(path));
        request.setRawHeader("Authorization", "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64());
        for (const auto &[name, value] : headers)
            request.setRawHeader(name, value);
        if (!body.isEmpty())
            request.setRawHeader("Content-Type", verb == "PUT" ? "text/calendar" : "application/xml");
        QNetworkReply *reply = network.sendCustomRequest(request, verb, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        Answer out{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->rawHeader("ETag"),
                   reply->readAll()};
        delete reply;
        return out;
    }

    // A task as a phone writes it.
    static QByteArray phoneTask(const QByteArray &uid, const QByteArray &summary, const QByteArray &more = {})
    {
        return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\nBEGIN:VTODO\r\nUID:" + uid
               + "\r\nDTSTAMP:20261201T080000Z\r\nSUMMARY:" + summary + "\r\n"
               + (more.isEmpty() ? QByteArray("DUE:20270301T090000Z\r\n") : more) + "END:VTODO\r\nEND:VCALENDAR\r\n";
    }

    // A calendar collection holding these components ("VTODO", "VEVENT").
    bool makeCalendar(const QString &path, const QByteArray &components = "VTODO", const QByteArray &name = {})
    {
        QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:mkcalendar xmlns:d=\"DAV:\" "
                          "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:set><d:prop>";
        if (!name.isEmpty())
            body += "<d:displayname>" + name + "</d:displayname>";
        body += "<c:supported-calendar-component-set>";
        for (const QByteArray &c : components.split(','))
            body += "<c:comp name=\"" + c + "\"/>";
        body += "</c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>";
        return send("MKCALENDAR", path, body).status == 201;
    }

    // The collection's members as they lie on the server's disk, by file
    // name: what the server really holds, read without any client.
    std::map<QString, QByteArray> items(const QString &collectionPath) const
    {
        std::map<QString, QByteArray> out;
        const QDir dir(storage() + QStringLiteral("/collection-root/") + collectionPath);
        for (const QString &name : dir.entryList({QStringLiteral("*.ics")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                out[name] = file.readAll();
        }
        return out;
    }

    // A server holding one empty task collection; null when it could not
    // start.
    static std::unique_ptr<Radicale> withCollection(const QString &path)
    {
        auto server = std::make_unique<Radicale>();
        if (!server->started() || !server->makeCalendar(path))
            server.reset();
        return server;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_htpasswd;
    QString m_certificate;
    QString m_key;
    quint16 m_port = 0;
    bool m_started = false;
};
