#include "sync/merge.h"

#include <algorithm>
#include <cstdint>

namespace memosync {
namespace {

// The table of a longest common subsequence grows as the product of the two lengths.
constexpr std::size_t kMaxMatchedLines = 4000;

bool SameLines(const std::vector<std::string_view>& lines, std::size_t from, std::size_t to,
               const std::vector<std::string_view>& other, std::size_t otherFrom, std::size_t otherTo) {
    return to - from == otherTo - otherFrom && std::equal(lines.begin() + static_cast<std::ptrdiff_t>(from),
                                                          lines.begin() + static_cast<std::ptrdiff_t>(to),
                                                          other.begin() + static_cast<std::ptrdiff_t>(otherFrom));
}

void AppendMergedLines(std::vector<std::string_view>& out, const std::vector<std::string_view>& lines, std::size_t from,
                       std::size_t to) {
    out.insert(out.end(), lines.begin() + static_cast<std::ptrdiff_t>(from),
               lines.begin() + static_cast<std::ptrdiff_t>(to));
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    if (text.empty()) return lines;
    while (true) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<int> MatchLines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
    std::vector<int> match(a.size(), -1);
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) {
        match[head] = static_cast<int>(head);
        ++head;
    }
    std::size_t tailA = a.size();
    std::size_t tailB = b.size();
    while (tailA > head && tailB > head && a[tailA - 1] == b[tailB - 1]) {
        --tailA;
        --tailB;
        match[tailA] = static_cast<int>(tailB);
    }
    const std::size_t n = tailA - head;
    const std::size_t m = tailB - head;
    if (n == 0 || m == 0 || n > kMaxMatchedLines || m > kMaxMatchedLines) return match;
    // lengths[i][j]: the longest common subsequence of a[head+i..tailA) and b[head+j..tailB).
    std::vector<std::uint32_t> lengths((n + 1) * (m + 1), 0);
    const auto at = [m](std::size_t i, std::size_t j) { return i * (m + 1) + j; };
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = m; j-- > 0;) {
            lengths[at(i, j)] = a[head + i] == b[head + j] ? lengths[at(i + 1, j + 1)] + 1
                                                           : std::max(lengths[at(i + 1, j)], lengths[at(i, j + 1)]);
        }
    }
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n && j < m) {
        if (a[head + i] == b[head + j]) {
            match[head + i] = static_cast<int>(head + j);
            ++i;
            ++j;
        } else if (lengths[at(i + 1, j)] >= lengths[at(i, j + 1)]) {
            ++i;
        } else {
            ++j;
        }
    }
    return match;
}

std::string ConflictMarker(std::string_view now) { return "「――別の端末での変更 " + std::string(now) + "――」"; }

LineMerge MergeLines(std::string_view base, std::string_view ours, std::string_view theirs, std::string_view marker) {
    if (ours == theirs) return {std::string(ours), false};
    if (ours == base) return {std::string(theirs), false};
    if (theirs == base) return {std::string(ours), false};
    const auto baseLines = SplitLines(base);
    const auto ourLines = SplitLines(ours);
    const auto theirLines = SplitLines(theirs);
    const auto toOurs = MatchLines(baseLines, ourLines);
    const auto toTheirs = MatchLines(baseLines, theirLines);

    LineMerge merged;
    std::vector<std::string_view> out;
    std::size_t b = 0;
    std::size_t o = 0;
    std::size_t t = 0;
    // Each base line both sides kept closes a run of lines between, which is merged as a whole.
    for (std::size_t stable = 0; stable <= baseLines.size(); ++stable) {
        const bool end = stable == baseLines.size();
        if (!end && (toOurs[stable] < 0 || toTheirs[stable] < 0)) continue;
        const std::size_t oEnd = end ? ourLines.size() : static_cast<std::size_t>(toOurs[stable]);
        const std::size_t tEnd = end ? theirLines.size() : static_cast<std::size_t>(toTheirs[stable]);
        const bool oursKept = SameLines(ourLines, o, oEnd, baseLines, b, stable);
        const bool theirsKept = SameLines(theirLines, t, tEnd, baseLines, b, stable);
        const bool same = SameLines(ourLines, o, oEnd, theirLines, t, tEnd);
        // Removed on one side and edited on the other: the edit stays.
        const bool oursRemoved = o == oEnd && stable > b;
        const bool theirsRemoved = t == tEnd && stable > b;
        if (oursKept || (oursRemoved && !theirsKept && !same)) {
            AppendMergedLines(out, theirLines, t, tEnd);
        } else if (theirsKept || same || theirsRemoved) {
            AppendMergedLines(out, ourLines, o, oEnd);
        } else {
            AppendMergedLines(out, ourLines, o, oEnd);
            out.push_back(marker);
            AppendMergedLines(out, theirLines, t, tEnd);
            merged.conflict = true;
        }
        if (end) break;
        out.push_back(baseLines[stable]);
        b = stable + 1;
        o = oEnd + 1;
        t = tEnd + 1;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) merged.text += '\n';
        merged.text += out[i];
    }
    return merged;
}

}  // namespace memosync
