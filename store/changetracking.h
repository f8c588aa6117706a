// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diskfile.h"
#include "merge.h"
#include "module1.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

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
    // What the file held a few seconds ago, as far as this store knows: a
    // program that takes no lock and is writing now may have read that
    // version, and not seen our saves since.
    const Records &racedVersion() const;
    // The last read could not take the file as it stood: before it is
    // replaced, it is kept as the backup.
    bool hadProblems() const { return m_hadProblems; }

    // The file is now `look`, holding `bytes`, which hold `records`;
    // `report` is the read's, or null for a write.
    void remember(const DiskFile::Look &look, const QByteArray &bytes, Records records, const LoadReport *report);
    // The same after a save of ours, which merged `tookIn`, another
    // program's version found in place, when that is not null.
    void rememberSave(const DiskFile::Look &look, const QByteArray &bytes, Records records,
                      std::optional<Records> tookIn);
    void forget()
    {
        const qint64 race = m_raceNs;
        *this = ChangeTracker();
        m_raceNs = race;
    }
    // How long a program that takes no lock may take from reading the file
    // to putting its own in place; a version older than that, it has seen.
    void setRaceWindow(qint64 ns) { m_raceNs = ns; }

    // The file now, against what was seen last. A file touched but not
    // changed becomes what was seen, so the next glance can trust its look.
    Glance glance();

private:
    void take(const DiskFile::Look &look, const QByteArray &bytes, Records records);

    bool m_known = false;
    DiskFile::Look m_look; // Missing when there was no file
    // The bytes themselves, shared with whoever read or wrote them: a
    // comparison costs less than a hash would.
    QByteArray m_bytes;
    qint64 m_takenAt = 0; // wall-clock nanoseconds when `m_look` was taken
    Records m_records;
    // The file's recent versions, oldest first, each with the steady-clock
    // nanoseconds it was known to be in place from.
    struct Version {
        qint64 since = 0;
        Records records;
    };
    std::vector<Version> m_recent;
    qint64 m_raceNs = 10'000'000'000;
    bool m_hadProblems = false;
};

} // namespace Module1
