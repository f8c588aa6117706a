// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <optional>

class QLocalSocket;

// One Quorvi per store. The first start on a folder listens on a local
// socket named after that folder; a later start on the same folder hands
// its request to it and ends, so the store never has two writers. A socket
// left behind by a Quorvi that was killed is taken over.
namespace Instance {

// What a later start asks the running Quorvi to do.
enum class Request { Alert, ShowAll };

QByteArray requestLine(Request request);
std::optional<Request> parseRequest(QByteArrayView line);

// The socket for the store in `canonicalFolder`: in our private folder
// inside the runtime folder when there is one and the path is short enough
// for a socket, else a bare name (which Qt places in the temporary folder).
QString socketName(const QString &canonicalFolder, const QString &runtimeFolder);

enum class Claim {
    First,      // this start is the one Quorvi for the store now
    HandedOver, // a running Quorvi took the request
    NoAnswer,   // a Quorvi is running but did not answer
    Failed,     // no socket could be made; this start runs on its own
};

struct Outcome {
    Claim claim = Claim::Failed;
    qint64 otherPid = 0; // the running Quorvi, when handed over
    QString problem;     // why not, for NoAnswer and Failed
};

class Guard : public QObject
{
    Q_OBJECT
public:
    explicit Guard(QObject *parent = nullptr);
    ~Guard() override;

    // Becomes the one Quorvi for `name`, or hands `request` to the one that
    // is. May wait a few seconds for a busy Quorvi's answer; a start does it
    // before it opens any window.
    Outcome claim(const QString &name, Request request);

    // From now on, later starts' requests are taken; those that came while
    // this start was still loading were kept waiting and are taken now.
    void serve();

    // Stops listening and removes the socket.
    void close();

    bool isListening() const { return m_server.isListening(); }

    static constexpr int kAnswerTimeoutMs = 15000;

Q_SIGNALS:
    void requested(Instance::Request request);

private:
    // Nothing when no Quorvi took the request; `ending` then says whether
    // one was there but closed without an answer.
    std::optional<Outcome> handOver(const QString &name, Request request, bool *ending);
    void takeConnection();
    void readRequest(QLocalSocket *socket);

    QLocalServer m_server;
    bool m_serving = false;
};

} // namespace Instance
