// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A notification service of the tests' own: it takes the name
// org.freedesktop.Notifications on a (private) bus, records every call, and
// lets the test press a notification's actions or close it, as a desktop's
// service would on the user's behalf.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class NotificationStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0;
    };

    explicit NotificationStandIn(QStringList capabilities = {QStringLiteral("actions"), QStringLiteral("body")})
        : m_capabilities(std::move(capabilities))
    {
    }

    // Registers on `bus`; false when the name or the path is taken.
    bool serveOn(QDBusConnection bus)
    {
        m_bus = std::make_unique<QDBusConnection>(bus);
        return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                  QDBusConnection::ExportAllSlots)
            && bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    void invokeAction(uint id, const QString &key)
    {
        emitSignal(QStringLiteral("ActionInvoked"), {id, key});
    }
    void close(uint id) { emitSignal(QStringLiteral("NotificationClosed"), {id, uint(2)}); }

    QList<Call> calls;
    int capabilityQuestions = 0;

public Q_SLOTS:
    QStringList GetCapabilities()
    {
        ++capabilityQuestions;
        return m_capabilities;
    }
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout, m_nextId});
        return m_nextId++;
    }
    void CloseNotification(uint id) { close(id); }
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        vendor = QStringLiteral("Quorvi tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("stand-in");
    }

private:
    void emitSignal(const QString &name, const QList<QVariant> &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(arguments);
        m_bus->send(signal);
    }

    QStringList m_capabilities;
    std::unique_ptr<QDBusConnection> m_bus;
    uint m_nextId = 41;
};
