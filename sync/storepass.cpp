// SPDX-License-Identifier: GPL-3.0-or-later
// A pass on the store of the working folder: the tasks taken from the
// store, the engine run on them, and what came saved back with the state.
#include "syncengine.h"

#include "storeside.h"

namespace Sync {

StorePass::StorePass(Module1::TaskStore &store, const QUrl &collection, Dav::Credentials credentials)
    : m_store(store), m_state(State::fileFor(StoreSide::storeFolder())),
      m_engine(std::make_unique<Engine>(collection, std::move(credentials), m_state))
{
}

StorePass::~StorePass() = default;

bool StorePass::begin()
{
    QString error;
    if (!m_state.load(&error))
        m_notes << QStringLiteral("The sync state could not be read (%1); every task was compared afresh.").arg(error);
    StoreSide::Snapshot snapshot = StoreSide::take(m_store);
    m_failure = snapshot.failure;
    m_local = std::move(snapshot.tasks);
    m_beyond = std::move(snapshot.beyond);
    return m_failure.isEmpty();
}

void StorePass::run(const QDateTime &now)
{
    if (m_failure.isEmpty())
        m_result = m_engine->run(std::move(m_local), now, m_beyond);
}

Outcome StorePass::finish()
{
    Outcome out;
    if (!m_failure.isEmpty()) {
        out.ok = false;
        out.message = QStringLiteral("Sync did not start: %1").arg(m_failure);
        return out;
    }
    const StoreSide::Applied applied = StoreSide::apply(m_store, m_result.changes, m_state);
    QString error;
    // A pass that did not need to list the collection changed no state.
    if ((m_result.listed || !m_result.changes.empty()) && !m_state.save(&error))
        m_notes << QStringLiteral("The sync state could not be saved (%1); the next pass compares every task again.")
                       .arg(error);
    out.pass = m_result;
    out.ok = m_result.ok && applied.ok;
    QStringList notes = m_result.notes + applied.notes + m_notes;
    if (!m_result.ok)
        out.message = QStringLiteral("Sync failed: %1. Changes wait for the next try.").arg(m_result.failure);
    else if (!applied.ok)
        out.message = QStringLiteral("Sync could not save what came from the server: %1").arg(applied.message);
    else
        out.message = QStringLiteral("Synced: %1 sent, %2 received, %3 deleted here, %4 deleted on the server.")
                          .arg(m_result.sent)
                          .arg(applied.added + applied.updated)
                          .arg(applied.removed)
                          .arg(m_result.removedThere);
    if (!notes.isEmpty())
        out.message += QStringLiteral("\n- ") + notes.join(QStringLiteral("\n- "));
    return out;
}

Outcome syncStore(Module1::TaskStore &store, const QUrl &collection, const Dav::Credentials &credentials,
                  const QDateTime &now)
{
    StorePass pass(store, collection, credentials);
    pass.begin();
    pass.run(now);
    return pass.finish();
}

} // namespace Sync
