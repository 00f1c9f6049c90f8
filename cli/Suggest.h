#pragma once
// "Did you mean ...?": the known name closest to a misspelt one.
#include <string>
#include <vector>

namespace cli {

// Edits (insertions, deletions, substitutions, swaps of neighbours) between two texts, letter case
// ignored.
int EditDistance(const std::string& a, const std::string& b);

// The name closest to `wanted` when it is close enough to be a slip (about one edit in three letters),
// otherwise "". Ties go to the first.
std::string ClosestName(const std::string& wanted, const std::vector<std::string>& names);

} // namespace cli
