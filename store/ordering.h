// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace Module1 {

// Where a plain exchange sort puts records with these keys (lowest first):
// order[p] is the index of the record that ends at place p. The same order
// as running it, including where records with equal keys end up, in
// O(n log n). Keys are ranks from 0.
std::vector<int> exchangeSortOrder(const std::vector<int> &key);

} // namespace Module1
