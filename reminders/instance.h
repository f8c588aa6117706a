// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QLocalSocket;
class QSocketNotifier;

// One Quorvi per store. The first start on a folder listens on a local
// socket named after that folder; a later start on the same folder hands
// its request to it and ends, so the store never has two writers. A socket
// left behind by a Quorvi that was killed is taken over. Only this user's
// processes are heard and handed to, whatever the files' permissions say.
namespace Instance {

// What a later start asks the running Quorvi to do.
enum class Request { Alert, ShowAll };

QByteArray requestLine(Request request);
std::optional<Request> parseRequest(QByteArrayView line);

// The working folder, resolved, as the system spells it: a folder's name
// need not be text, and two names that read alike must stay two folders.
QByteArray currentFolder();

// The socket for the store in `canonicalFolder` (its bytes): in our private
// folder inside the runtime folder when there is one and the path is short
// enough for a socket, else in a private folder of ours, quorvi-<uid>, in
// the temporary folder. Never a bare name in a folder everyone can write,
// where another user could listen first.
QString socketName(const QByteArray &canonicalFolder, const QString &runtimeFolder);

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

    bool isListening() const { return m_listener >= 0; }

    static constexpr int kAnswerTimeoutMs = 15000;
    // A connection that has not sent its whole request by then is dropped:
    // each holds one of the few files a process may have open, and a
    // Quorvi whose files ran out could take no request at all.
    static constexpr int kIdleTimeoutMs = 3000;

Q_SIGNALS:
    void requested(Instance::Request request);

private:
    // Nothing when no Quorvi of ours took the request; `ending` then says
    // whether one was there but closed without an answer.
    std::optional<Outcome> handOver(const QString &name, Request request, bool *ending);
    // Listens on m_name; the reason when it cannot.
    QString listen();
    void stopListening();
    void acceptPending();
    void take(QLocalSocket *socket);
    void readRequest(QLocalSocket *socket, QTimer *idle);
    // Closes a connection that sent no request.
    void drop(QLocalSocket *socket);
    void putBackIfGone();

    QString m_name;
    int m_listener = -1;
    QSocketNotifier *m_notifier = nullptr;
    quint64 m_device = 0; // which file the socket is, to know it again
    quint64 m_inode = 0;
    QList<QLocalSocket *> m_unheard; // connected, no request yet; oldest first
    QTimer m_acceptAgain;  // after the files ran out
    QTimer m_putBackAgain; // after the socket could not be put back
    QFileSystemWatcher m_folderWatcher;
    bool m_serving = false;
};

} // namespace Instance
