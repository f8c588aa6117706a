// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncrunner.h"

#include "module1.h"
#include "storeside.h"

#include <QLocale>
#include <QThread>

namespace Sync {

Runner::Runner(QObject *parent) : QObject(parent)
{
    m_every.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_every, &QTimer::timeout, this, &Runner::syncNow);
    m_afterChange.setSingleShot(true);
    connect(&m_afterChange, &QTimer::timeout, this, &Runner::syncNow);
}

Runner::~Runner()
{
    if (m_thread) {
        m_thread->requestInterruption();
        m_thread->wait();
        delete m_thread;
    }
}

void Runner::setStore(Module1::TaskStore *store)
{
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    // A change saved here goes out a few seconds later; the changes a pass
    // brings in do not start another.
    if (m_store)
        connect(m_store, &Module1::TaskStore::changed, this, &Runner::tablesChanged);
}

void Runner::start()
{
    const Account account = loadAccount(StoreSide::storeFolder());
    if (account.isSet() && m_lastResult.isEmpty()) {
        m_lastResult = QStringLiteral("Not synced yet");
        Q_EMIT resultChanged(m_lastResult);
    }
    m_every.start(everyMs);
    syncNow();
}

void Runner::tablesChanged()
{
    if (!m_applying && loadAccount(StoreSide::storeFolder()).isSet())
        m_afterChange.start(afterChangeMs);
}

void Runner::syncNow()
{
    if (m_thread || m_pass) {
        m_again = true;
        return;
    }
    m_afterChange.stop();
    begin();
}

void Runner::begin()
{
    const Account account = loadAccount(StoreSide::storeFolder());
    if (!account.isSet() || !m_store)
        return;
    std::optional<QString> password = m_sessionPassword;
    if (!password) {
        const Secret secret = readPassword(account);
        password = secret.password;
        if (!password && !secret.unavailable.isEmpty() && askPassword && !m_asked) {
            m_asked = true;
            password = askPassword(account, secret.unavailable);
            m_sessionPassword = password;
        }
    }
    if (!password && !account.user.isEmpty()) {
        conclude({false, QStringLiteral("Sync failed: no password for %1.").arg(account.user), {}},
                 QDateTime::currentDateTime());
        return;
    }
    m_pass = std::make_unique<StorePass>(*m_store, account.collection, Dav::Credentials{account.user, password.value_or(QString())});
    m_pass->begin();
    const QDateTime now = QDateTime::currentDateTime();
    StorePass *pass = m_pass.get();
    m_thread = QThread::create([pass, now] { pass->run(now); });
    connect(m_thread, &QThread::finished, this, [this] {
        m_thread->deleteLater();
        m_thread = nullptr;
        end();
    });
    m_thread->start();
}

void Runner::end()
{
    Outcome outcome;
    if (!m_store) {
        m_pass.reset();
        return;
    }
    m_applying = true;
    if (changeTables)
        changeTables([this, &outcome] { outcome = m_pass->finish(); });
    else
        outcome = m_pass->finish();
    m_applying = false;
    m_pass.reset();
    conclude(outcome, QDateTime::currentDateTime());
    if (std::exchange(m_again, false))
        syncNow();
}

void Runner::conclude(const Outcome &outcome, const QDateTime &at)
{
    m_lastResult = QStringLiteral("Last sync at %1: %2")
                       .arg(QLocale().toString(at.time(), QLocale::ShortFormat), outcome.message.section(u'\n', 0, 0));
    Q_EMIT resultChanged(m_lastResult);
    const bool worthTelling = !outcome.ok || outcome.message.contains(u'\n');
    if (worthTelling && outcome.message != m_lastTold)
        Q_EMIT tell(outcome.message);
    m_lastTold = worthTelling ? outcome.message : QString();
    Q_EMIT finished(outcome);
}

} // namespace Sync
