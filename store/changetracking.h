// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diskfile.h"
#include "merge.h"
#include "module1.h"

#include <QByteArray>
#include <QString>

namespace Module1 {

// The store file compared with what Quorvi last saw of it.
struct Glance {
    enum State { Unknown, Same, Changed, Vanished, Unusable };
    State state = Unknown;
    DiskFile::Look look; // the file now
    QByteArray bytes;    // when Changed
    QString reason;      // when Unusable
};

// What a store last read from or wrote to its file, to tell its own writes
// from everybody else's, and the records in it: the base of a merge.
class ChangeTracker
{
public:
    // Nothing read or written since the store was made (or since forget()).
    bool known() const { return m_known; }
    const DiskFile::Look &look() const { return m_look; }
    const QByteArray &bytes() const { return m_bytes; }
    const Records &records() const { return m_records; }
    // What the file held when it was last read, or merged with another
    // program's version; our own saves since are `records()`.
    const Records &foreign() const { return m_foreign; }
    // The last read could not take the file as it stood: before it is
    // replaced, it is kept as the backup.
    bool hadProblems() const { return m_hadProblems; }

    // The file is now `look`, holding `bytes`, which hold `records`;
    // `report` is the read's, or null for a write.
    void remember(const DiskFile::Look &look, const QByteArray &bytes, Records records, const LoadReport *report);
    // The same after a save of ours, which merged `foreign` last.
    void rememberSave(const DiskFile::Look &look, const QByteArray &bytes, Records records, Records foreign);
    void forget() { *this = ChangeTracker(); }

    // The file now, against what was seen last. A file touched but not
    // changed becomes what was seen, so the next glance can trust its look.
    Glance glance();

private:
    bool m_known = false;
    DiskFile::Look m_look; // Missing when there was no file
    // The bytes themselves, shared with whoever read or wrote them: a
    // comparison costs less than a hash would.
    QByteArray m_bytes;
    qint64 m_takenAt = 0; // wall-clock nanoseconds when `m_look` was taken
    Records m_records;
    Records m_foreign;
    bool m_hadProblems = false;
};

} // namespace Module1
