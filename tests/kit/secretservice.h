// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real Secret Service for the password tests: Debian's gnome-keyring-daemon
// on the test's own bus (privatebus.h), its keyrings in a temporary home,
// its login keyring made and unlocked with a password on standard input, as
// a desktop's login does. No desktop, display or PAM is needed. What Quorvi
// stored is read back with secret-tool (libsecret-tools), a client of its
// own, in a process of its own.

#include "privatebus.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <map>

class SecretService
{
public:
    explicit SecretService(const PrivateBus &bus)
    {
        QDir(m_home.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(m_home.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("GNOME_KEYRING_CONTROL"));
        m_env = env;
        m_daemon.setProcessEnvironment(env);
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start(QStringLiteral(GNOME_KEYRING_DAEMON),
                       {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        if (!m_daemon.waitForStarted(10000))
            return;
        m_daemon.write("login password");
        m_daemon.closeWriteChannel();
    }
    ~SecretService()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    SecretService(const SecretService &) = delete;
    SecretService &operator=(const SecretService &) = delete;

    // Whether the service has taken its name on the bus, seen through `bus`.
    bool answers(const QDBusConnection &bus) const
    {
        return m_daemon.state() == QProcess::Running && bus.interface()
               && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
    }

    // Every secret stored under `attribute` = `value`, by the value of its
    // `keyAttribute`, as another client of the service finds them.
    std::map<QString, QString> search(const QString &attribute, const QString &value, const QString &keyAttribute) const
    {
        QProcess tool;
        tool.setProcessEnvironment(m_env);
        tool.start(QStringLiteral(SECRET_TOOL), {QStringLiteral("search"), QStringLiteral("--all"), attribute, value});
        tool.waitForFinished(20000);
        // Each item: "[path]", then "name = value" lines, its secret among them.
        std::map<QString, QString> found;
        std::map<QString, QString> item;
        const auto take = [&] {
            if (item.count(QStringLiteral("secret")) && item.count(QStringLiteral("attribute.") + keyAttribute))
                found[item[QStringLiteral("attribute.") + keyAttribute]] = item[QStringLiteral("secret")];
            item.clear();
        };
        const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError()).split(u'\n');
        for (const QString &line : lines) {
            if (line.startsWith(u'['))
                take();
            else if (line.contains(QStringLiteral(" = ")))
                item[line.section(QStringLiteral(" = "), 0, 0)] = line.section(QStringLiteral(" = "), 1);
        }
        take();
        return found;
    }

private:
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    QProcess m_daemon;
};
