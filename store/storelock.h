// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Quorvis on one store take turns. A save holds the folder of the store
// file locked, exclusively, from its look at the file until the new file is
// in place, and a load holds it shared while it reads: no save can then
// slip in between another one's look and its rename. The lock is the
// system's (flock on the folder itself), so no file of its own is left in
// the user's folder, a read-only folder can be locked too, and a process
// that dies lets go of it at once: there is never a stale lock to clear.
// Programs that take no lock (sync tools, editors) are not held back by it;
// the save checks what it replaced for those.
class StoreLock
{
public:
    enum class Kind { Shared, Exclusive };

    // Locks `folder`, trying again for up to `waitMs` while someone else
    // holds it. On a file system that cannot lock, nothing is held and
    // nothing is busy: the caller goes on unlocked, as it would have before.
    StoreLock(const QString &folder, Kind kind, int waitMs);
    ~StoreLock();
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;

    bool held() const { return m_held; }
    // Another process kept the folder locked for the whole wait.
    bool busy() const { return m_busy; }
    // Who holds the folder, as the system tells it ("process 1234 (quorvi)"),
    // or empty when it does not say.
    QString holder() const;

private:
    int m_fd = -1;
    bool m_held = false;
    bool m_busy = false;
};
