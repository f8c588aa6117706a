// SPDX-License-Identifier: GPL-3.0-or-later
#include "merge.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace Module1 {

namespace {

bool sameDue(const Task &a, const Task &b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute
           && a.second == b.second;
}

size_t storedHash(const Task &t)
{
    return qHashMulti(0, t.title, t.forWhom, t.year, t.month, t.day, t.hour, t.minute, t.second, t.description,
                      t.doneText, t.repeatText, t.uid);
}

size_t storedHash(const AlertRule &r)
{
    return qHashMulti(0, r.interval, r.unit, r.color, r.popup);
}

// How many of a record's parts two versions share. An edit rarely touches
// more than one or two, so versions that share most of them are taken for
// two versions of one record.
int sharedParts(const Task &a, const Task &b)
{
    return int(a.title == b.title) + int(a.forWhom == b.forWhom) + int(sameDue(a, b))
           + int(a.description == b.description);
}

int sharedParts(const AlertRule &a, const AlertRule &b)
{
    return int(a.interval == b.interval) + int(a.unit == b.unit) + int(a.color == b.color)
           + int(a.popup == b.popup);
}

// Tasks: two of title, for, due and description. Rules: three of their four
// fields, since nearly every rule has the same unit and many the same popup.
constexpr int kSharedTaskParts = 2;
constexpr int kSharedRuleParts = 3;

int sharedEnough(const Task *)
{
    return kSharedTaskParts;
}

int sharedEnough(const AlertRule *)
{
    return kSharedRuleParts;
}

template<typename T>
struct ByFields {
    size_t operator()(const T *r) const { return storedHash(*r); }
    bool operator()(const T *a, const T *b) const { return sameStored(*a, *b); }
};

// Records counted by their fields; the keys point into the lists counted.
template<typename T>
using Counts = std::unordered_map<const T *, int, ByFields<T>, ByFields<T>>;

template<typename T>
int countOf(const Counts<T> &counts, const T *record)
{
    const auto it = counts.find(record);
    return it == counts.end() ? 0 : it->second;
}

// Which records of `list` are not in `base`: of n identical records where
// base has k, the ones after the k-th. `counts` receives the list's counts.
template<typename T>
std::vector<bool> additions(const std::vector<T> &list, const Counts<T> &base, Counts<T> &counts)
{
    std::vector<bool> added(list.size());
    counts.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        int &seen = counts[&list[i]];
        added[i] = seen >= countOf(base, &list[i]);
        ++seen;
    }
    return added;
}

// Records both sides took out of `base` and each replaced with a version of
// its own: those are kept twice.
template<typename T>
int keptTwice(const Counts<T> &base, const Counts<T> &ours, const Counts<T> &theirs,
              std::vector<const T *> oursAdded, std::vector<const T *> theirsAdded)
{
    int count = 0;
    for (const auto &entry : base) {
        // A plain name, not a structured binding: older compilers cannot
        // capture those in the lambda below.
        const T *record = entry.first;
        const int inBase = entry.second;
        const int goneFromBoth = std::min(inBase - countOf(ours, record), inBase - countOf(theirs, record));
        for (int n = 0; n < goneFromBoth; ++n) {
            const auto like = [record](const T *r) { return r && sharedParts(*r, *record) >= sharedEnough(r); };
            const auto mine = std::find_if(oursAdded.begin(), oursAdded.end(), like);
            const auto other = std::find_if(theirsAdded.begin(), theirsAdded.end(), like);
            if (mine == oursAdded.end() || other == theirsAdded.end())
                break;
            *mine = nullptr;
            *other = nullptr;
            ++count;
        }
    }
    return count;
}

// What ours took out since base.
template<typename T>
Counts<T> removedSince(const Counts<T> &inBase, const Counts<T> &inOurs)
{
    Counts<T> removed;
    for (const auto &[record, k] : inBase) {
        const int left = countOf(inOurs, record);
        if (k > left)
            removed[record] = k - left;
    }
    return removed;
}

// The kept records with the additions among them: after[0] goes first;
// after[i + 1] follows kept[i].
template<typename T>
std::vector<T> interleaved(const std::vector<const T *> &kept, const std::vector<std::vector<const T *>> &after,
                           std::size_t added)
{
    std::vector<T> result;
    result.reserve(kept.size() + added);
    for (std::size_t i = 0; i <= kept.size(); ++i) {
        if (i > 0)
            result.push_back(*kept[i - 1]);
        for (const T *r : after[i])
            result.push_back(*r);
    }
    return result;
}

template<typename T>
std::vector<T> mergeList(const std::vector<T> &base, const std::vector<T> &ours, const std::vector<T> &theirs,
                         int *twice)
{
    Counts<T> inBase;
    inBase.reserve(base.size());
    for (const T &r : base)
        ++inBase[&r];
    Counts<T> inOurs;
    Counts<T> inTheirs;
    const std::vector<bool> oursAdded = additions(ours, inBase, inOurs);
    const std::vector<bool> theirsAdded = additions(theirs, inBase, inTheirs);

    Counts<T> removed = removedSince(inBase, inOurs);

    // Theirs without those, each record's place in the result noted by its
    // fields, in order, so additions can follow the record they followed.
    std::vector<const T *> kept;
    kept.reserve(theirs.size());
    std::unordered_map<const T *, std::vector<int>, ByFields<T>, ByFields<T>> placeOf;
    for (const T &r : theirs) {
        const auto it = removed.find(&r);
        if (it != removed.end() && it->second > 0) {
            --it->second;
            continue;
        }
        placeOf[&r].push_back(int(kept.size()));
        kept.push_back(&r);
    }

    // after[0] goes first; after[i + 1] follows kept[i].
    std::vector<std::vector<const T *>> after(kept.size() + 1);
    std::vector<const T *> oursNew;
    Counts<T> matched;
    std::size_t anchor = 0;
    for (std::size_t j = 0; j < ours.size(); ++j) {
        if (oursAdded[j]) {
            after[anchor].push_back(&ours[j]);
            oursNew.push_back(&ours[j]);
            continue;
        }
        int &m = matched[&ours[j]];
        const auto it = placeOf.find(&ours[j]);
        if (it != placeOf.end() && m < int(it->second.size()))
            anchor = std::size_t(it->second[m]) + 1;
        ++m;
    }

    std::vector<T> result = interleaved(kept, after, oursNew.size());

    std::vector<const T *> theirsNew;
    for (std::size_t j = 0; j < theirs.size(); ++j) {
        if (theirsAdded[j])
            theirsNew.push_back(&theirs[j]);
    }
    *twice = keptTwice(inBase, inOurs, inTheirs, std::move(oursNew), std::move(theirsNew));
    return result;
}

// The records of `a` that `b` holds (`inBoth`) and the rest (`onlyInA`),
// counted as a multiset, each in `a`'s order.
template<typename T>
struct Split {
    std::vector<T> inBoth;
    std::vector<T> onlyInA;
};

template<typename T>
Split<T> split(const std::vector<T> &a, const std::vector<T> &b)
{
    Counts<T> inB;
    inB.reserve(b.size());
    for (const T &r : b)
        ++inB[&r];
    Split<T> out;
    for (const T &r : a) {
        const auto it = inB.find(&r);
        const bool shared = it != inB.end() && it->second > 0;
        if (shared)
            --it->second;
        (shared ? out.inBoth : out.onlyInA).push_back(r);
    }
    return out;
}

template<typename T>
std::vector<T> common(const std::vector<T> &a, const std::vector<T> &b)
{
    return split(a, b).inBoth;
}

template<typename T>
std::vector<T> without(const std::vector<T> &a, const std::vector<T> &b)
{
    return split(a, b).onlyInA;
}

// The first record of each identity in a list.
std::unordered_map<QString, std::size_t> byUid(const std::vector<Task> &list)
{
    std::unordered_map<QString, std::size_t> index;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].uid.isEmpty())
            index.emplace(list[i].uid, i);
    }
    return index;
}

Task withoutUid(Task t)
{
    t.uid.clear();
    return t;
}

// Where each record of a list is, by the hash of its stored fields: a few
// candidates to compare instead of the whole list. Records changed after it
// was made are still found by their old hash, so every candidate is
// compared again as it stands.
class ByStored
{
public:
    explicit ByStored(const std::vector<Task> &list) : m_list(list)
    {
        m_places.reserve(list.size());
        for (std::size_t i = 0; i < list.size(); ++i)
            m_places.emplace(storedHash(list[i]), i);
    }
    // The first record (in list order) that holds the stored fields of `task`.
    std::optional<std::size_t> find(const Task &task) const
    {
        std::optional<std::size_t> first;
        const auto [from, to] = m_places.equal_range(storedHash(task));
        for (auto it = from; it != to; ++it) {
            if ((!first || it->second < *first) && sameStored(m_list[it->second], task))
                first = it->second;
        }
        return first;
    }

private:
    const std::vector<Task> &m_list;
    std::unordered_multimap<size_t, std::size_t> m_places;
};

// A side that only gave a task its identity (an export) has not changed
// it: the base's record takes the identity too, and so does the other
// side's record where that one is still the base's.
void adoptIdentities(std::vector<Task> &base, std::vector<Task> &side, std::vector<Task> &other)
{
    auto inBase = byUid(base);
    const ByStored baseByStored(base);
    const ByStored otherByStored(other);
    for (const Task &r : side) {
        if (r.uid.isEmpty() || inBase.contains(r.uid))
            continue;
        const Task bare = withoutUid(r);
        const std::optional<std::size_t> was = baseByStored.find(bare);
        if (!was)
            continue;
        // The other side's version: the base's own, or else one it added
        // in the base's place (an edit) that still shares most of its parts.
        std::optional<std::size_t> version = otherByStored.find(bare);
        if (!version) {
            const auto edited = std::find_if(other.begin(), other.end(), [&](const Task &o) {
                return o.uid.isEmpty() && sharedParts(o, bare) >= kSharedTaskParts && !baseByStored.find(o);
            });
            if (edited != other.end())
                version = std::size_t(edited - other.begin());
        }
        if (version)
            other[*version].uid = r.uid;
        base[*was].uid = r.uid;
        inBase.emplace(r.uid, *was);
    }
}

// Takes `field` three ways; false when both sides changed it differently
// (ours is taken then).
template<typename F>
bool mergeField(Task &merged, const Task &base, const Task &ours, const Task &theirs, F field)
{
    if (field(ours) == field(base)) {
        field(merged) = field(theirs);
        return true;
    }
    field(merged) = field(ours);
    return field(theirs) == field(base) || field(theirs) == field(ours);
}

// Both sides changed a task that has one identity: the changes are put
// together field by field, so edits to different fields both survive.
// Where both changed one field, ours goes on with the identity and theirs
// is kept beside it, without one, for the user to choose.
void joinByUid(std::vector<Task> &base, std::vector<Task> &ours, std::vector<Task> &theirs)
{
    adoptIdentities(base, ours, theirs);
    adoptIdentities(base, theirs, ours);
    const auto inBase = byUid(base);
    const auto inTheirs = byUid(theirs);
    for (Task &o : ours) {
        if (o.uid.isEmpty())
            continue;
        const auto t = inTheirs.find(o.uid);
        if (t == inTheirs.end())
            continue;
        Task &other = theirs[t->second];
        const auto b = inBase.find(o.uid);
        if (b == inBase.end()) {
            // Added on both sides (one file imported twice): one task when
            // the same, as if it had been there before; two otherwise, only
            // one of them with the identity.
            if (sameStored(o, other))
                base.push_back(o);
            else
                other.uid.clear();
            continue;
        }
        const Task &was = base[b->second];
        if (sameStored(o, was) || sameStored(other, was) || sameStored(o, other))
            continue; // a change on one side only: the record merge takes it
        Task merged = was;
        bool clean = mergeField(merged, was, o, other, [](auto &x) -> auto & { return x.title; });
        clean &= mergeField(merged, was, o, other, [](auto &x) -> auto & { return x.forWhom; });
        clean &= mergeField(merged, was, o, other, [](auto &x) -> auto & { return x.description; });
        clean &= mergeField(merged, was, o, other, [](auto &x) -> auto & { return x.doneText; });
        clean &= mergeField(merged, was, o, other, [](auto &x) -> auto & { return x.repeatText; });
        if (sameDue(o, was)) {
            copyDue(other, merged);
        } else {
            copyDue(o, merged);
            clean &= sameDue(other, was) || sameDue(other, o);
        }
        deriveFields(merged);
        // Ours now holds the whole change and theirs looks untouched, so the
        // record merge puts the merged task in once.
        o = merged;
        if (clean)
            other = was;
        else
            other.uid.clear();
    }
}

} // namespace

bool sameStored(const Task &a, const Task &b)
{
    return sameDue(a, b) && a.title == b.title && a.forWhom == b.forWhom && a.description == b.description
           && a.doneText == b.doneText && a.repeatText == b.repeatText && a.uid == b.uid;
}

bool sameStored(const AlertRule &a, const AlertRule &b)
{
    return a.interval == b.interval && a.color == b.color && a.popup == b.popup && a.unit == b.unit;
}

MergeOutcome mergeRecords(const Records &base, const Records &ours, const Records &theirs)
{
    MergeOutcome outcome;
    std::vector<Task> baseTasks = base.tasks;
    std::vector<Task> ourTasks = ours.tasks;
    std::vector<Task> theirTasks = theirs.tasks;
    joinByUid(baseTasks, ourTasks, theirTasks);
    outcome.merged.tasks = mergeList(baseTasks, ourTasks, theirTasks, &outcome.tasksKeptTwice);
    outcome.merged.rules = mergeList(base.rules, ours.rules, theirs.rules, &outcome.rulesKeptTwice);
    return outcome;
}

Records commonRecords(const Records &a, const Records &b)
{
    return {common(a.tasks, b.tasks), common(a.rules, b.rules)};
}

namespace {

template<typename T>
std::vector<T> unseenSaveBase(const std::vector<T> &last, const std::vector<T> &foreign, const std::vector<T> &theirs)
{
    const std::vector<T> ourChanges = without(last, foreign);
    const std::vector<T> theirChanges = without(theirs, foreign);
    std::vector<T> unseen = without(ourChanges, theirChanges);
    std::vector<T> base;
    if constexpr (std::is_same_v<T, Task>) {
        // A task of ours they hold in a version of their own, one we never
        // wrote, they changed too: both edits merge field by field against
        // the version that was in place before ours.
        std::unordered_set<QString> changedThere;
        for (const Task &t : theirChanges) {
            if (!t.uid.isEmpty())
                changedThere.insert(t.uid);
        }
        std::erase_if(unseen, [&](const Task &t) { return changedThere.contains(t.uid); });
        base = without(last, unseen);
        const auto before = byUid(foreign);
        for (Task &t : base) {
            const auto it = before.find(t.uid);
            if (it != before.end() && changedThere.contains(t.uid) && !common(std::vector<Task>{t}, ourChanges).empty())
                t = foreign[it->second];
        }
    } else {
        base = without(last, unseen);
    }
    const std::vector<T> stillThere = common(without(foreign, last), without(theirs, last));
    base.insert(base.end(), stillThere.begin(), stillThere.end());
    return base;
}

} // namespace

Records unseenSaveBase(const Records &last, const Records &earlier, const Records &theirs)
{
    return {unseenSaveBase(last.tasks, earlier.tasks, theirs.tasks),
            unseenSaveBase(last.rules, earlier.rules, theirs.rules)};
}

} // namespace Module1
