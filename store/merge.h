// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <vector>

// Putting together two versions of the store that both changed since they
// parted: this program's tables and the file someone else wrote.
namespace Module1 {

// Both tables of a store as plain lists.
struct Records {
    std::vector<Task> tasks;
    std::vector<AlertRule> rules;
};

// Whether two records hold the same stored fields. What the reader derives
// (dueText, sortKey) is not compared: it follows from the rest.
bool sameStored(const Task &a, const Task &b);
bool sameStored(const AlertRule &a, const AlertRule &b);

struct MergeOutcome {
    Records merged;
    // Records both sides changed, each in its own way: both versions are in
    // `merged`, for the user to delete the one not wanted.
    int tasksKeptTwice = 0;
    int rulesKeptTwice = 0;
};

// A three-way merge, record by record: `theirs`, without the records `ours`
// removed since `base`, plus the records `ours` added since `base`. An edit
// is a removal and an addition. Records are counted as a multiset: two
// identical tasks are two tasks. Each added record goes in after the record
// it followed in `ours`, where `theirs` still has that one.
MergeOutcome mergeRecords(const Records &base, const Records &ours, const Records &theirs);

// The records both `a` and `b` hold, in `a`'s order, counted as a multiset:
// of three identical records in one and two in the other, two. As the base
// of a merge it takes nothing that one side lacks for a deletion.
Records commonRecords(const Records &a, const Records &b);

// The base for merging `theirs`, a file another program wrote, when this
// program's own saves put `last` in the file since `earlier` was in place.
// A program that takes no lock may have written its file from `earlier`:
// what our saves added that `theirs` lacks is taken as never seen there,
// not as deleted, and what our saves removed that `theirs` still has, as
// not yet seen gone. Everything else `theirs` lacks was deleted there.
Records unseenSaveBase(const Records &last, const Records &earlier, const Records &theirs);

} // namespace Module1
