// SPDX-License-Identifier: GPL-3.0-or-later
#include "changetracking.h"

#include "storereader.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <utility>

namespace Module1 {

namespace {

// A file's times come from the same clock, in coarse steps. A look taken
// within this long of the file's last change may miss a change made in the
// same step, so then the bytes decide.
constexpr qint64 kCoarseClockNs = 2'000'000'000;

// The versions kept to tell that, at the most: a long burst of saves falls
// back to taking what the file lacks as deleted.
constexpr std::size_t kMostVersions = 8;

qint64 toNs(const struct timespec &t)
{
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

qint64 clockNs(clockid_t clock)
{
    struct timespec now {};
    ::clock_gettime(clock, &now);
    return toNs(now);
}

qint64 wallClockNs()
{
    return clockNs(CLOCK_REALTIME);
}

qint64 steadyNs()
{
    return clockNs(CLOCK_MONOTONIC);
}

} // namespace

void ChangeTracker::remember(const DiskFile::Look &look, const QByteArray &bytes, Records records,
                             const LoadReport *report)
{
    // Our own save read back teaches nothing of anybody else's.
    const bool ownSaveAgain = m_known && bytes == m_bytes;
    take(look, bytes, std::move(records));
    if (!ownSaveAgain)
        m_recent = {{steadyNs(), m_records}};
    m_hadProblems = report && damaged(*report);
}

void ChangeTracker::take(const DiskFile::Look &look, const QByteArray &bytes, Records records)
{
    m_known = true;
    m_look = look;
    m_bytes = bytes;
    m_takenAt = wallClockNs();
    m_records = std::move(records);
}

void ChangeTracker::rememberSave(const DiskFile::Look &look, const QByteArray &bytes, Records records,
                                 std::optional<Records> tookIn)
{
    take(look, bytes, std::move(records));
    m_hadProblems = false;
    std::vector<Version> recent = std::move(m_recent);
    const qint64 now = steadyNs();
    if (tookIn)
        recent.push_back({now, std::move(*tookIn)});
    recent.push_back({now, m_records});
    // Only the last version already in place a race ago is still needed.
    const auto stillRacing = [&](const Version &v) { return v.since > now - m_raceNs; };
    auto keepFrom = std::find_if(recent.begin(), recent.end(), stillRacing);
    if (keepFrom != recent.begin())
        --keepFrom;
    recent.erase(recent.begin(), keepFrom);
    if (recent.size() > kMostVersions)
        recent.erase(recent.begin(), recent.end() - kMostVersions);
    m_recent = std::move(recent);
}

const Records &ChangeTracker::racedVersion() const
{
    if (m_recent.empty())
        return m_records;
    const qint64 then = steadyNs() - m_raceNs;
    const auto later = std::find_if(m_recent.begin(), m_recent.end(), [&](const Version &v) { return v.since > then; });
    return later == m_recent.begin() ? later->records : std::prev(later)->records;
}

Glance ChangeTracker::glance()
{
    Glance g;
    if (!m_known)
        return g;
    g.look = DiskFile::look(kStoreFileName);
    if (g.look.kind == DiskFile::Look::Failed) {
        g.state = Glance::Unusable;
        g.reason = DiskFile::reason(g.look.error);
        return g;
    }
    if (g.look.kind == DiskFile::Look::Other) {
        g.state = Glance::Unusable;
        g.reason = QStringLiteral("it is not a regular file");
        return g;
    }
    const bool wasThere = m_look.exists();
    if (g.look.kind == DiskFile::Look::Missing) {
        g.state = wasThere ? Glance::Vanished : Glance::Same;
        return g;
    }
    if (wasThere && g.look.sameAs(m_look) && m_takenAt - toNs(m_look.changed) > kCoarseClockNs) {
        g.state = Glance::Same;
        return g;
    }
    DiskFile::Read read = DiskFile::readWhole(kStoreFileName);
    if (!read.ok) {
        g.state = Glance::Unusable;
        g.reason = DiskFile::reason(read.error);
        return g;
    }
    g.look = read.look;
    if (wasThere && read.bytes == m_bytes) {
        // The same bytes (touched, or copied back by a sync tool): only the
        // look is new, and the next glance can trust it.
        m_look = read.look;
        m_takenAt = wallClockNs();
        g.state = Glance::Same;
        return g;
    }
    g.state = Glance::Changed;
    g.bytes = std::move(read.bytes);
    return g;
}

} // namespace Module1
