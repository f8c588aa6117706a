// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncrunner.h"

#include "module1.h"
#include "storeside.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QThread>

namespace Sync {

namespace {

// How often a step that waits for a dialog to close looks again.
inline constexpr int kLookAgainMs = 300;

} // namespace

Runner &Runner::instance()
{
    // Goes with the application, before the timers' thread data does.
    static QPointer<Runner> runner;
    if (!runner)
        runner = new Runner(QCoreApplication::instance());
    return *runner;
}

Runner::Runner(QObject *parent) : QObject(parent)
{
    m_every.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_every, &QTimer::timeout, this, &Runner::syncNow);
    m_afterChange.setSingleShot(true);
    connect(&m_afterChange, &QTimer::timeout, this, &Runner::syncNow);
    m_waitFree.setSingleShot(true);
    m_waitFree.setInterval(kLookAgainMs);
    connect(&m_waitFree, &QTimer::timeout, this, [this] { m_waitingToEnd ? end() : begin(); });
}

Runner::~Runner()
{
    if (m_thread) {
        m_thread->requestInterruption();
        m_thread->wait();
        delete m_thread;
    }
}

void Runner::start()
{
    const Account account = loadAccount(StoreSide::storeFolder());
    if (account.isSet() && m_lastResult.isEmpty()) {
        m_lastResult = QStringLiteral("Not synced yet");
        Q_EMIT resultChanged(m_lastResult);
    }
    // A change saved here goes out a few seconds later; the changes a pass
    // brings in do not start another.
    connect(&Module1::notifier(), &Module1::Notifier::changed, this, &Runner::tablesChanged, Qt::UniqueConnection);
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
    if (!account.isSet())
        return;
    if (busy && busy()) {
        m_waitingToEnd = false;
        m_waitFree.start();
        return;
    }
    std::optional<QString> password = m_sessionPassword;
    if (!password) {
        const Secret secret = readPassword(account);
        password = secret.password;
        if (!password && !secret.unavailable.isEmpty() && askPassword) {
            password = askPassword(account, secret.unavailable);
            m_sessionPassword = password;
        }
    }
    if (!password && !account.user.isEmpty()) {
        conclude({false, QStringLiteral("Sync failed: no password for %1.").arg(account.user), {}},
                 QDateTime::currentDateTime());
        return;
    }
    m_pass = std::make_unique<StorePass>(account.collection, Dav::Credentials{account.user, password.value_or(QString())});
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
    if (busy && busy()) {
        m_waitingToEnd = true;
        m_waitFree.start();
        return;
    }
    m_waitingToEnd = false;
    Outcome outcome;
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
    ++m_passes;
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
