// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesave.h"

#include "starterrules.h"
#include "storebackup.h"
#include "storelock.h"
#include "storereader.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <utility>

namespace Module1 {

namespace {

// How long, and how many times, a save puts its file in place again after
// finding that another program's file had taken the place since the look.
constexpr qint64 kRoundsNs = 2'000'000'000;
constexpr int kMaxRounds = 200;

QString saveFailure(const QString &reason)
{
    return QStringLiteral("Could not save %1: %2").arg(kStoreFileName, reason);
}

QString countOf(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString mergeNotice(int tasksTwice, int rulesTwice)
{
    QString text = QStringLiteral("%1 was changed elsewhere; your change was merged with it").arg(kStoreFileName);
    QStringList twice;
    if (tasksTwice > 0)
        twice << countOf(tasksTwice, "task", "tasks");
    if (rulesTwice > 0)
        twice << countOf(rulesTwice, "rule", "rules");
    if (!twice.isEmpty()) {
        text += QStringLiteral(", and both versions of %1 were kept: delete the one you do not want")
                    .arg(twice.join(QStringLiteral(" and ")));
    }
    return text + QLatin1Char('.');
}

QString lockedMessage(const StoreLock &lock)
{
    const QString holder = lock.holder();
    return QStringLiteral("Could not save %1: another program%2 has been writing it for more than %3 seconds. "
                          "Your change is kept; try again when it is done.")
        .arg(kStoreFileName, holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder))
        .arg(kSaveLockWaitMs / 1000);
}

QString keepsReplacing()
{
    return QStringLiteral("another program keeps replacing it. Your change is kept; try again.");
}

void napAfterRound(int round)
{
    const int longest = 1 << qMin(round, 5); // 2 ms, growing to 32
    QThread::usleep(QRandomGenerator::global()->bounded(500, longest * 1000));
}

} // namespace

QString lockFolder()
{
    return QFileInfo(DiskFile::realTarget(kStoreFileName)).absolutePath();
}

void removeOwnLeftovers(const StoreLock &lock, QStringList &clearedFolders)
{
    if (!lock.held())
        return;
    for (const QString &folder : {lockFolder(), QDir::currentPath()}) {
        if (clearedFolders.contains(folder))
            continue;
        clearedFolders << folder;
        DiskFile::removeLeftovers(folder);
    }
}

StoreSave::StoreSave(ChangeTracker &tracker, Records records, qint16 sortMode)
    : m_tracker(tracker), m_written(std::move(records)), m_sortMode(sortMode)
{
}

SaveResult StoreSave::run(bool unreadable, const QString &why, QStringList &clearedFolders)
{
    if (unreadable) {
        fail(QStringLiteral("%1 could not be read, so it will not be overwritten: %2").arg(kStoreFileName, why));
        return m_result;
    }
    // From the look at the file until the new one is in place, no other
    // Quorvi saves: its look would miss this save, and this one its.
    const StoreLock lock(lockFolder(), StoreLock::Kind::Exclusive, kSaveLockWaitMs);
    if (lock.busy()) {
        fail(lockedMessage(lock));
        return m_result;
    }
    removeOwnLeftovers(lock, clearedFolders);
    if (look()) {
        mergeChanged();
        if (backUp())
            write();
    }
    return m_result;
}

bool StoreSave::fail(const QString &message)
{
    m_result.ok = false;
    m_result.message = message;
    return false;
}

bool StoreSave::look()
{
    m_now = m_tracker.glance();
    if (m_now.state == Glance::Unknown)
        m_now.look = DiskFile::look(kStoreFileName);
    if (m_now.state == Glance::Unusable)
        return fail(saveFailure(m_now.reason));
    if (m_now.look.kind == DiskFile::Look::Failed)
        return fail(saveFailure(DiskFile::reason(m_now.look.error)));
    if (m_now.look.kind == DiskFile::Look::Other)
        return fail(saveFailure(QStringLiteral("it is not a regular file")));
    m_exists = m_now.look.exists();
    if (m_exists && DiskFile::isReadOnly(kStoreFileName, m_now.look))
        return fail(QStringLiteral("%1 is read-only, so your change could not be saved.").arg(kStoreFileName));

    // A first run: the load found no file, and none has come since.
    m_starterRules = m_tracker.known() && !m_tracker.look().exists() && !m_exists
                     && StarterRules::giveToNewStore(m_written.rules);
    m_replacedHadProblems = m_tracker.hadProblems();
    // A store never read has nothing to compare with: the tables replace
    // whatever is there, as they always did.
    m_expected.check = m_tracker.known();
    m_expected.exists = m_tracker.look().exists() && m_now.state != Glance::Vanished;
    m_expected.bytes = m_tracker.bytes();
    m_expected.look = m_now.look;
    m_expected.records = m_tracker.records();
    return true;
}

void StoreSave::mergeIn(const Records &theirs)
{
    // Somebody else wrote the file since Quorvi last saw it: their changes
    // and ours both go in.
    MergeOutcome merge = mergeRecords(m_expected.records, m_written, theirs);
    sortTaskList(merge.merged.tasks, m_sortMode);
    m_result.tasksKeptTwice += merge.tasksKeptTwice;
    m_result.rulesKeptTwice += merge.rulesKeptTwice;
    m_written = std::move(merge.merged);
    m_merged = true;
}

void StoreSave::mergeChanged()
{
    if (m_now.state != Glance::Changed)
        return;
    Records theirs;
    const LoadReport theirReport = parseStore(m_now.bytes, theirs);
    m_expected.records = unseenSaveBase(m_expected.records, m_tracker.racedVersion(), theirs);
    mergeIn(theirs);
    m_replacedHadProblems = damaged(theirReport);
    m_expected.exists = true;
    m_expected.bytes = m_now.bytes;
    m_expected.look = m_now.look;
    m_expected.records = std::move(theirs);
    m_tookIn = m_expected.records;
}

bool StoreSave::backUp()
{
    // The file as it is now is kept before anything replaces it when it
    // holds what the reader could not take.
    if (!m_exists || !m_replacedHadProblems)
        return true;
    if (m_now.state != Glance::Changed) {
        DiskFile::Read read = DiskFile::readWhole(kStoreFileName);
        if (!read.ok)
            return fail(saveFailure(DiskFile::reason(read.error)));
        m_now.bytes = std::move(read.bytes);
    }
    if (const QString failure = Backup::keep(m_now.bytes, m_now.look); !failure.isEmpty())
        return fail(failure);
    m_result.message = Backup::keptMessage();
    return true;
}

void StoreSave::write()
{
    // Another program may put its own file in place between the look and the
    // rename (sync tools and editors take no lock). The new file is swapped
    // with whatever is there, and what comes out is compared with what was
    // merged: anything else is merged in and the save goes round again.
    m_keep = m_now.look;
    m_linked = m_exists && m_now.look.links > 1;
    m_started.start();
    for (int round = 1;; ++round) {
        const bool lastRound = round >= kMaxRounds || m_started.nsecsElapsed() > kRoundsNs;
        const Round next = writeRound(lastRound);
        if (next == Round::Ended)
            return;
        if (next == Round::Done)
            break;
        // A writer that also checks and tries again would meet this one in
        // step every time: a pause of a few milliseconds, at random, parts them.
        if (next == Round::Merged)
            napAfterRound(round);
    }
    if (m_merged) {
        m_result.merged = true;
        m_result.notice = mergeNotice(m_result.tasksKeptTwice, m_result.rulesKeptTwice);
    }
    m_tracker.rememberSave(m_savedLook, m_bytes, m_written, std::move(m_tookIn));
}

StoreSave::Round StoreSave::writeRound(bool lastRound)
{
    m_bytes = storeText(m_written.tasks, m_written.rules);
    Found found;
    DiskFile::Placed placed;
    const Round written = m_linked ? overwriteLinked(lastRound, found) : placeAndCompare(found, placed);
    if (written != Round::Check)
        return written;
    if (!found.found) {
        DiskFile::dropDisplaced(placed);
        return Round::Done;
    }
    if (found.unusable) {
        // Not a store file (a folder, a link): it goes back where it was.
        DiskFile::putBack(placed, Backup::name());
        fail(saveFailure(found.reason));
        return Round::Ended;
    }
    if (lastRound) {
        // Another program keeps replacing the file: this round's file,
        // which holds the change, stays, and the last one it wrote is
        // kept whole beside it.
        settle(placed, m_written, m_bytes);
        return Round::Ended;
    }
    return takeFound(found, placed);
}

StoreSave::Round StoreSave::overwriteLinked(bool lastRound, Found &found)
{
    // Rewritten in place, so the other names see it; a file another
    // program renamed there meanwhile is read and merged instead, and
    // nothing is written until the file is the one expected.
    const DiskFile::Written saved = DiskFile::overwrite(kStoreFileName, m_bytes, m_expected.look);
    if (!saved.notExpected && !saved.ok) {
        fail(saveFailure(DiskFile::reason(saved.error)));
        return Round::Ended;
    }
    if (!saved.notExpected) {
        m_savedLook = saved.look;
        return Round::Check;
    }
    if (lastRound) {
        fail(saveFailure(keepsReplacing()));
        return Round::Ended;
    }
    DiskFile::Read read = DiskFile::readWhole(kStoreFileName);
    if (!read.ok) {
        fail(saveFailure(DiskFile::reason(read.error)));
        return Round::Ended;
    }
    found.found = m_expected.check && (!m_expected.exists || read.bytes != m_expected.bytes);
    found.bytes = std::move(read.bytes);
    found.look = read.look;
    if (found.found)
        return Round::Check;
    // Touched, not changed (or never read): written as it is.
    m_expected.look = found.look;
    m_linked = found.look.links > 1;
    return Round::Again;
}

StoreSave::Round StoreSave::placeAndCompare(Found &found, DiskFile::Placed &placed)
{
    placed = DiskFile::place(kStoreFileName, m_bytes, m_exists ? &m_keep : nullptr);
    if (!placed.ok) {
        if (m_pending.displacedName.isEmpty()) {
            fail(saveFailure(DiskFile::reason(placed.error)));
            return Round::Ended;
        }
        // An earlier round's file is in place, with the change; what it
        // swapped out is kept whole beside it.
        settle(m_pending, m_pendingRecords, m_pendingBytes);
        return Round::Ended;
    }
    m_savedLook = placed.look;
    found = compareDisplaced(placed);
    // What the last round swapped out is in the file now in place.
    DiskFile::dropDisplaced(m_pending);
    return Round::Check;
}

StoreSave::Round StoreSave::takeFound(const Found &found, DiskFile::Placed &placed)
{
    Records theirs;
    const LoadReport theirReport = parseStore(found.bytes, theirs);
    if (damaged(theirReport)) {
        if (const QString failure = Backup::keep(found.bytes, found.look); !failure.isEmpty()) {
            DiskFile::putBack(placed, Backup::name());
            fail(failure);
            return Round::Ended;
        }
        m_result.message = Backup::keptMessage();
    }
    if (std::exchange(m_starterRules, false)) {
        // Another program created the file first: an existing store keeps
        // the rules it has.
        m_written.rules.clear();
    }
    const Records ours = m_written;
    // A program that takes no lock may have written its file from an
    // older version than the one it replaced: what its file lacks is
    // not taken for deleted, so nothing that reached the file is lost
    // (a deletion made in these few milliseconds comes back instead).
    m_expected.records = commonRecords(m_expected.records, theirs);
    m_tookIn = theirs;
    mergeIn(theirs);
    if (m_linked) {
        // Nothing was written: the file found is the one to replace.
        m_expected.look = found.look;
        m_expected.bytes = found.bytes;
        m_expected.records = std::move(theirs);
        m_linked = found.look.links > 1;
    } else {
        // This round's file is in place now; the next swap must find it.
        m_expected.look = placed.look;
        m_expected.bytes = m_bytes;
        m_expected.records = ours;
        m_pending = std::move(placed);
        m_pendingRecords = ours;
        m_pendingBytes = m_bytes;
    }
    m_expected.exists = true;
    m_expected.check = true;
    return Round::Merged;
}

// Ends a save whose earlier round is in place (`inPlace`, holding `records`
// as `bytes`) while the file it swapped out is not in it: that one is kept
// whole as the backup, and the tables become what is in place.
void StoreSave::settle(DiskFile::Placed &inPlace, Records records, const QByteArray &bytes)
{
    m_result.message = Backup::keepDisplaced(inPlace);
    m_result.merged = true;
    m_result.notice = mergeNotice(m_result.tasksKeptTwice, m_result.rulesKeptTwice);
    m_merged = true;
    m_tracker.rememberSave(inPlace.look, bytes, records, std::nullopt);
    m_written = std::move(records);
}

StoreSave::Found StoreSave::compareDisplaced(const DiskFile::Placed &placed) const
{
    const Expected &expected = m_expected;
    Found f;
    // A file that vanished is written anew, as before every save.
    if (!expected.check || !placed.checked || !placed.displacedExists)
        return f;
    if (!placed.displaced.ok) {
        f.found = true;
        f.unusable = true;
        f.reason = placed.displaced.error == EINVAL ? QStringLiteral("it is not a regular file")
                                                    : DiskFile::reason(placed.displaced.error);
        return f;
    }
    if (expected.exists && placed.displaced.bytes == expected.bytes)
        return f;
    f.found = true;
    f.bytes = placed.displaced.bytes;
    f.look = placed.displaced.look;
    return f;
}

} // namespace Module1
