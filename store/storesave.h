// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changetracking.h"
#include "diskfile.h"
#include "merge.h"
#include "module1.h"

#include <QElapsedTimer>
#include <QStringList>

#include <optional>

class StoreLock;

namespace Module1 {

// How long a save waits for another Quorvi's save to finish (a full store
// takes a few milliseconds) before it gives up and keeps the change.
inline constexpr int kSaveLockWaitMs = 2000;
// How long a load waits for one. A file replaced by a rename is read whole
// without the lock; only a file rewritten in place (one with other hard
// links) could be met half written, so a load goes ahead after this.
inline constexpr int kLoadLockWaitMs = 500;

// The lock guards the folder holding the file a save replaces.
QString lockFolder();

// The first time the lock is held on a folder, whatever a save killed half
// way left there goes; the backup's temporary file lives in the working
// folder, which differs from the file's when tasks.txt is a link.
// `clearedFolders` remembers where that was done.
void removeOwnLeftovers(const StoreLock &lock, QStringList &clearedFolders);

// One save of the whole store file, in short steps: look at the file, lock
// its folder, merge what changed there since it was last seen, back up a
// file the reader could not take, then write, and check what the write
// replaced (and go round again when that was another program's file).
class StoreSave
{
public:
    StoreSave(ChangeTracker &tracker, Records records, qint16 sortMode);

    // `unreadable`: the last load could not read the file, whose reason is
    // `why`; such a file is never overwritten.
    SaveResult run(bool unreadable, const QString &why, QStringList &clearedFolders);

    // Whether what was saved was merged with the file: the records saved,
    // which the tables must take, are then in records().
    bool merged() const { return m_merged; }
    // Whether the save created the store file and gave it the starter
    // rules, which the tables must take too (in records()).
    bool gaveStarterRules() const { return m_starterRules; }
    Records &records() { return m_written; }

private:
    // What a save expects to find in place when its file goes in: the file
    // its merge started from. Anything else arrived since, and is merged in.
    struct Expected {
        bool check = false; // false: nothing was read, the file is simply replaced
        bool exists = false;
        QByteArray bytes;
        DiskFile::Look look;
        Records records; // the base for merging what is found instead
    };
    // What a round found in place of the file it expected; `found` is false
    // when that was the expected one, or nothing that needs merging.
    struct Found {
        bool found = false;
        bool unusable = false;
        QString reason;
        QByteArray bytes;
        DiskFile::Look look;
    };
    // What a round of writing came to: go round again (after a pause when
    // something was merged), look at what it replaced, finished, or ended
    // (failed, or settled with another program's file kept aside).
    enum class Round { Again, Merged, Check, Done, Ended };

    bool fail(const QString &message);
    bool look();
    void mergeChanged();
    void mergeIn(const Records &theirs);
    bool backUp();
    void write();
    Round writeRound(bool lastRound);
    Round overwriteLinked(bool lastRound, Found &found);
    Round placeAndCompare(Found &found, DiskFile::Placed &placed);
    Round takeFound(const Found &found, DiskFile::Placed &placed);
    Found compareDisplaced(const DiskFile::Placed &placed) const;
    void settle(DiskFile::Placed &inPlace, Records records, const QByteArray &bytes);

    ChangeTracker &m_tracker;
    Records m_written;
    qint16 m_sortMode;
    SaveResult m_result;
    Glance m_now;
    Expected m_expected;
    // Another program's version this save found in place and merged.
    std::optional<Records> m_tookIn;
    bool m_exists = false;
    bool m_merged = false;
    bool m_starterRules = false;
    bool m_replacedHadProblems = false;
    bool m_linked = false;
    DiskFile::Look m_keep;
    // The file an earlier round put in place, whose swapped-out file is
    // merged into `m_written` but not yet in any file in place.
    DiskFile::Placed m_pending;
    Records m_pendingRecords;
    QByteArray m_pendingBytes;
    QByteArray m_bytes;
    DiskFile::Look m_savedLook;
    QElapsedTimer m_started;
};

} // namespace Module1
