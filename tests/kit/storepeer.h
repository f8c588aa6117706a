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
        m_process.write(command.toUtf8() + '\n');
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(30000))
                return {};
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

private:
    QProcess m_process;
    bool m_started = false;
};
