// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A second program on the same store: the store_peer helper, a real process
// in the test's working folder, told what to do one command at a time.

#include <QDir>
#include <QProcess>
#include <QTest>

class StorePeer
{
public:
    StorePeer()
    {
        m_process.setWorkingDirectory(QDir::currentPath());
        m_process.start(QStringLiteral(STORE_PEER_BINARY), QStringList{});
        m_started = m_process.waitForStarted(30000);
    }
    ~StorePeer()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    StorePeer(const StorePeer &) = delete;
    StorePeer &operator=(const StorePeer &) = delete;

    bool started() const { return m_started; }

    // Sends one command and returns the peer's answer ("" when none came).
    QString ask(const QString &command)
    {
        send(command);
        return answer();
    }

    // A command whose answer is collected later, so that several peers
    // can work at once.
    void send(const QString &command)
    {
        m_process.write(command.toUtf8() + '\n');
        // Written now, not when this peer's answer is awaited: the others
        // would otherwise work one after the other.
        m_process.waitForBytesWritten(30000);
    }
    QString answer(int waitMs = 30000)
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(waitMs))
                return {};
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    qint64 processId() const { return m_process.processId(); }
    // Ends the peer at once, as a crash would.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    bool m_started = false;
};
