#pragma once

#include <string>
#include <string_view>
#include <vector>

// Three-way merge of memo texts line by line.
namespace memosync {

// Returns the lines of `text` split at LF; "" has none, a text ending in LF ends with an empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Returns, for each line of `a`, the index of the line of `b` it is matched with in a longest
// common subsequence of the two, or -1; very long texts (over 4,000 lines either) match only their
// common first and last lines.
std::vector<int> MatchLines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b);

// Returns the marker line above the other side's version of lines both sides changed:
// 「――別の端末での変更 YYYY-MM-DD HH:MM――」 with `now` as "YYYY-MM-DD HH:MM" (UTF-8).
std::string ConflictMarker(std::string_view now);

struct LineMerge {
    std::string text;       // LF breaks
    bool conflict = false;  // some lines were changed on both sides: both versions kept
};

// Merges the changes `ours` and `theirs` made to `base` (UTF-8 texts, LF breaks): a run of lines
// changed on one side takes that side's lines; changed alike on both, one copy; changed differently,
// ours, then `marker`, then theirs; removed on one side and edited on the other, the edit. With an
// empty base (both sides made the day), different texts are kept both, theirs under the marker.
LineMerge MergeLines(std::string_view base, std::string_view ours, std::string_view theirs, std::string_view marker);

}  // namespace memosync
