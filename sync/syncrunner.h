// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "account.h"
#include "syncengine.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QThread;

// When a running Quorvi syncs: at start, a few seconds after each saved
// change, every five minutes, and on Sync Now. The network part of a pass
// runs on a thread of its own, so a slow or missing server never holds the
// window up; the store is read and written on the window's thread, through
// its commits. A failure is told once, not at every
// try; the last result is always there to read. The program makes one for
// its store and hands it on in the Context; a test makes its own.
namespace Sync {

class Runner : public QObject
{
    Q_OBJECT
public:
    explicit Runner(QObject *parent = nullptr);
    ~Runner() override;

    // The store synced; start() and syncNow() do nothing without one.
    void setStore(Module1::TaskStore *store);
    // Runs a change of the tables, the window keeping its selection.
    std::function<void(const std::function<void()> &)> changeTables;
    // The password when the secret store cannot give one: asked once a
    // session, saying why. Nothing: the user declined.
    std::function<std::optional<QString>(const Account &, const QString &why)> askPassword;

    void start();
    void syncNow();
    // Drops the password asked this session, and asks again (the account
    // changed).
    void forgetPassword()
    {
        m_sessionPassword.reset();
        m_asked = false;
    }
    // A password the secret store could not keep, for this session.
    void setSessionPassword(const QString &password) { m_sessionPassword = password; }

    bool running() const { return m_thread != nullptr; }
    // "Last sync at 10:42: Synced: ..." or "Not synced yet"; empty without an account.
    QString lastResult() const { return m_lastResult; }

    // The pauses, shortened by tests.
    int afterChangeMs = 5000;
    int everyMs = 5 * 60 * 1000;

Q_SIGNALS:
    void resultChanged(const QString &lastResult);
    // What the user should be told: a failure, or tasks kept twice or
    // refused, unless it is what was told last.
    void tell(const QString &message);
    void finished(const Sync::Outcome &outcome);

private:
    void tablesChanged();
    void begin();
    void end();
    void conclude(const Outcome &outcome, const QDateTime &at);

    QTimer m_every;
    QTimer m_afterChange;
    std::unique_ptr<StorePass> m_pass;
    QThread *m_thread = nullptr;
    QPointer<Module1::TaskStore> m_store;
    bool m_again = false;
    bool m_applying = false;
    std::optional<QString> m_sessionPassword;
    bool m_asked = false; // declined, the question does not come back at every pass
    QString m_lastResult;
    QString m_lastTold;
};

} // namespace Sync
