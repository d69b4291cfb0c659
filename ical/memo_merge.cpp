#include "ical/memo_merge.h"

#include "model/field_text.h"
#include "model/record.h"
#include "platform/code_page.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <tuple>

namespace ics {
namespace {

// Returns the physical lines of the text, each without its line break.
std::vector<std::string_view> MemoLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Returns true when the lines of `part` stand one after another among the lines of `memo`.
bool HoldsLines(std::string_view memo, std::string_view part) {
    const std::vector<std::string_view> lines = MemoLines(memo);
    const std::vector<std::string_view> wanted = MemoLines(part);
    if (wanted.empty()) return true;
    return std::search(lines.begin(), lines.end(), wanted.begin(), wanted.end()) != lines.end();
}

// Returns true when the memo's breaks are bare LF, as a memo file written by hand holds them.
bool HoldsBareLineFeeds(std::string_view memo) {
    const std::size_t first = memo.find('\n');
    return first != std::string_view::npos && (first == 0 || memo[first - 1] != '\r');
}

// Appends `addition` (CR LF breaks) to the memo text on a new line unless the memo holds its lines
// already, with the breaks the memo holds: one memo never holds two kinds.
bool AddToMemo(std::string& memo, const std::string& addition) {
    if (HoldsLines(memo, addition)) return false;
    if (memo.empty()) {
        memo = addition;
        return true;
    }
    const bool bare = HoldsBareLineFeeds(memo);
    memo += bare ? "\n" : "\r\n";
    for (const char c : addition) {
        if (c == '\r') continue;
        if (c == '\n' && !bare) memo += '\r';
        memo += c;
    }
    return true;
}

}  // namespace

MergeResult MergeEvents(std::string& store, const std::vector<IcsEvent>& events) {
    MergeResult result;
    struct Addition {
        std::string text;  // code page 932, CR LF breaks (or the bare LF its memo held), no record delimiter
        std::size_t replaced = 0;
        bool wholeMemo = false;
        std::string uid;
    };
    std::map<std::tuple<int, int, int>, std::vector<Addition>> byDay;  // years since 1900, month 0..11, day
    for (const IcsEvent& event : events) {
        std::string crlf;
        for (const char c : event.text) {
            if (c == '\n' && !event.bareLineFeeds) crlf += '\r';
            crlf += c;
        }
        Addition addition;
        addition.wholeMemo = event.wholeMemo;
        addition.uid = event.uid;
        addition.text = ReplaceRecordDelimiters(platform::Cp932FromUtf8(crlf, &addition.replaced));
        byDay[{event.year - 1900, event.monthIndex, event.day}].push_back(std::move(addition));
    }

    // Adds the day's events to `memo`; returns true when it changed.
    const auto addAll = [&result](std::string& memo, const std::vector<Addition>& additions) {
        bool changed = false;
        for (const Addition& addition : additions) {
            if (AddToMemo(memo, addition.text)) {
                ++result.added;
                result.replacedCharacters += addition.replaced;
                changed = true;
            } else {
                ++result.alreadyPresent;
            }
        }
        if (changed) ++result.days;
        return changed;
    };

    // A memo Velmora exported is there already when any record of its day holds it: a day may hold
    // several records, and each was exported as an event of its own.
    for (std::string_view rest = store; !rest.empty();) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        const auto wanted = byDay.find({fields.year, fields.month, fields.day});
        if (wanted == byDay.end()) continue;
        std::erase_if(wanted->second, [&](const Addition& addition) {
            if (!addition.wholeMemo || !HoldsLines(fields.text, addition.text)) return false;
            ++result.alreadyPresent;
            return true;
        });
    }

    std::string merged;
    merged.reserve(store.size() + events.size() * 32);
    std::set<std::tuple<int, int, int>> done;
    for (std::string_view rest = store; !rest.empty();) {
        const std::string_view record = CutRecord(rest);
        const MemoRecordFields fields = SplitMemoRecord(record);
        const std::tuple<int, int, int> day{fields.year, fields.month, fields.day};
        const auto wanted = byDay.find(day);
        // Only the first record of a day is the day's memo: the day dialog opens that one.
        if (wanted == byDay.end() || !done.insert(day).second) {
            merged += CloseRecord(record);
            continue;
        }
        std::string memo(fields.text);
        if (addAll(memo, wanted->second))
            merged += MakeMemoRecord(fields.year, fields.month, fields.day, memo);
        else
            merged += CloseRecord(record);
    }
    for (const auto& [day, additions] : byDay) {
        if (done.contains(day) || additions.empty()) continue;
        // On a day without a memo, each memo Velmora exported becomes a record of its own again, as
        // it was where it was exported; the other events go into the first record.
        std::vector<std::string> memos;
        std::set<std::string> uids;
        for (const Addition& addition : additions) {
            const bool added = addition.wholeMemo ? uids.insert(addition.uid).second
                                                  : memos.empty() || AddToMemo(memos.front(), addition.text);
            if (!added) {
                ++result.alreadyPresent;
                continue;
            }
            if (addition.wholeMemo || memos.empty()) memos.push_back(addition.text);
            ++result.added;
            result.replacedCharacters += addition.replaced;
        }
        ++result.days;
        for (const std::string& memo : memos)
            merged += MakeMemoRecord(std::get<0>(day), std::get<1>(day), std::get<2>(day), memo);
    }
    if (result.added > 0) store = std::move(merged);
    return result;
}

}  // namespace ics
