#include "ical/memo_merge.h"

#include "model/field_text.h"
#include "model/record.h"
#include "platform/code_page.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace ics {
namespace {

using Day = std::tuple<int, int, int>;  // years since 1900, month 0..11, day

// Returns the lines of a memo text, each without its line break; a text that ends with a break
// has an empty last line, so that joining the lines gives the text back.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    for (;;) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Returns true when the memo's breaks are bare LF, as a memo file written by hand holds them.
bool HoldsBareLineFeeds(std::string_view memo) {
    const std::size_t first = memo.find('\n');
    return first != std::string_view::npos && (first == 0 || memo[first - 1] != '\r');
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Returns the time of day a line starts with ("9:05 " or "10:00 ", as an import writes it and
// people type it) as minutes since midnight, or -1.
int LeadingMinute(std::string_view line) {
    std::size_t i = 0;
    int hour = 0;
    while (i < line.size() && i < 2 && IsDigit(line[i])) hour = hour * 10 + (line[i++] - '0');
    if (i == 0 || line.size() < i + 3 || line[i] != ':' || !IsDigit(line[i + 1]) || !IsDigit(line[i + 2])) return -1;
    const int minute = (line[i + 1] - '0') * 10 + (line[i + 2] - '0');
    if (hour > 23 || minute > 59 || (line.size() > i + 3 && line[i + 3] != ' ')) return -1;
    return hour * 60 + minute;
}

// One event's text for one day, as it goes into the memo.
struct Addition {
    Day day;
    std::string text;  // code page 932, CR LF breaks, no record delimiter
    std::vector<std::string> lines;
    std::size_t replaced = 0;
    int minute = -1;
    std::size_t source = 0;  // the event of the file it comes from, as an index of `sources`
    const std::string* uid = nullptr;
    bool isNew = false;      // the day's memo held its lines before the merge
    bool wholeMemo = false;  // a memo as Velmora exports it, a record of its own on a new day
};

// One day's memo while the merge works on it: its lines, where each text stands, and what goes in.
struct DayMemo {
    bool found = false;  // the store holds a record of the day
    bool bare = false;
    std::vector<std::string> lines;
    std::vector<char> alive;  // false for a line taken out
    std::unordered_map<std::string_view, std::vector<std::size_t>> places;
    std::unordered_set<std::string_view> addedTexts;
    std::set<std::string_view> addedMemoUids;            // exported memos added: twins are told apart by UID
    std::vector<std::vector<std::string>> laterRecords;  // the lines of the day's other records
    std::vector<std::size_t> pending;                    // additions that go in, by index
    std::vector<std::size_t> ownRecords;                 // exported memos that become records of their own
    bool changed = false;

    void Take(std::string_view text) {
        bare = HoldsBareLineFeeds(text);
        lines = SplitLines(text);
        alive.assign(lines.size(), 1);
        // The lines no longer move, so the views of them stay valid.
        for (std::size_t i = 0; i < lines.size(); ++i) places[lines[i]].push_back(i);
    }

    // Returns where the lines stand one after another among the memo's lines, or npos.
    std::size_t Find(const std::vector<std::string>& wanted) const {
        if (wanted.empty()) return 0;
        const auto first = places.find(wanted.front());
        if (first == places.end()) return std::string::npos;
        for (const std::size_t at : first->second) {
            if (at + wanted.size() > lines.size()) continue;
            bool same = true;
            for (std::size_t k = 0; k < wanted.size() && same; ++k)
                same = alive[at + k] != 0 && lines[at + k] == wanted[k];
            if (same) return at;
        }
        return std::string::npos;
    }

    // Returns the memo text with the pending additions put in by time, the lines taken out gone.
    std::string Joined(const std::vector<Addition>& additions) const {
        // running[i]: the latest time among the lines up to i, so that the first line starting
        // later than an addition is found by a binary search.
        std::vector<int> running(lines.size());
        int latest = -1;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (alive[i] != 0) latest = std::max(latest, LeadingMinute(lines[i]));
            running[i] = latest;
        }
        std::vector<std::tuple<std::size_t, int, std::size_t>> order;  // (before line, minute, addition)
        order.reserve(pending.size());
        for (const std::size_t index : pending) {
            const int minute = additions[index].minute;
            const auto slot = std::upper_bound(running.begin(), running.end(), minute) - running.begin();
            order.emplace_back(static_cast<std::size_t>(slot), minute, index);
        }
        std::sort(order.begin(), order.end());
        const std::string_view br = bare ? "\n" : "\r\n";
        std::string text;
        bool first = true;
        // An addition goes in with the breaks the memo holds: one memo never holds two kinds.
        const auto put = [&](std::string_view part, bool addition) {
            if (!first) text += br;
            first = false;
            if (!addition) {
                text += part;
                return;
            }
            for (const char c : part) {
                if (c == '\r') continue;
                if (c == '\n' && !bare) text += '\r';
                text += c;
            }
        };
        auto next = order.begin();
        for (std::size_t i = 0; i <= lines.size(); ++i) {
            for (; next != order.end() && std::get<0>(*next) == i; ++next)
                put(additions[std::get<2>(*next)].text, true);
            if (i < lines.size() && alive[i] != 0) put(lines[i], false);
        }
        return text;
    }
};

std::string WithCrLf(std::string_view text) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

}  // namespace

MergeResult MergeEvents(std::string& store, const std::vector<IcsEvent>& events, ImportedEvents* imported,
                        const MergeOptions& options) {
    MergeResult result;

    // The events of the file, each counted once whatever number of days it has: a reading gives the
    // occurrences of one event one after another.
    std::vector<std::pair<std::size_t, std::size_t>> sources;  // line, number
    std::vector<Addition> additions;
    additions.reserve(events.size());
    std::map<Day, DayMemo> days;
    for (const IcsEvent& event : events) {
        Addition addition;
        addition.day = {event.year - 1900, event.monthIndex, event.day};
        // A memo exported with bare LF breaks comes back with them.
        addition.text = ReplaceRecordDelimiters(
            platform::Cp932FromUtf8(event.bareLineFeeds ? event.text : WithCrLf(event.text), &addition.replaced));
        addition.wholeMemo = event.wholeMemo;
        addition.lines = SplitLines(addition.text);
        addition.minute = event.minuteOfDay;
        addition.uid = event.uid.empty() ? nullptr : &event.uid;
        const std::pair<std::size_t, std::size_t> place{event.line, event.number};
        // Events made without a place (not read from a file) are each their own.
        if (place == std::pair<std::size_t, std::size_t>{0, 0} || sources.empty() || sources.back() != place)
            sources.push_back(place);
        addition.source = sources.size() - 1;
        days[addition.day];
        additions.push_back(std::move(addition));
    }

    // What earlier imports added for the UIDs at hand, on the days the import covers.
    std::map<std::string_view, std::vector<const ImportedBlock*>> earlier;
    if (imported != nullptr) {
        for (const Addition& addition : additions) {
            if (addition.uid == nullptr || earlier.contains(*addition.uid)) continue;
            const auto found = imported->find(*addition.uid);
            if (found == imported->end()) continue;
            std::vector<const ImportedBlock*>& blocks = earlier[*addition.uid];
            for (const ImportedBlock& block : found->second) {
                const int year = block.year + 1900;
                if (year < options.fromYear || year > options.toYear) continue;
                blocks.push_back(&block);
                days[{block.year, block.monthIndex, block.day}];
            }
        }
    }

    // The memos of those days, from the first record of each: the day dialog opens that one.
    for (std::string_view rest = store; !rest.empty();) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        const auto day = days.find({fields.year, fields.month, fields.day});
        if (day == days.end()) continue;
        // A day may hold several records, each exported as a memo of its own: they count as held too.
        if (day->second.found) {
            day->second.laterRecords.push_back(SplitLines(fields.text));
            continue;
        }
        day->second.found = true;
        day->second.Take(fields.text);
    }

    // An event that would flood the memos is left out whole, its earlier blocks as they are.
    std::vector<std::size_t> newLines(sources.size(), 0);
    for (Addition& addition : additions) {
        addition.isNew = days.at(addition.day).Find(addition.lines) == std::string::npos;
        if (addition.isNew) newLines[addition.source] += addition.lines.size();
    }
    std::vector<char> tooLarge(sources.size(), 0);
    std::set<std::string_view> frozenUids;
    for (std::size_t s = 0; s < sources.size(); ++s) {
        if (newLines[s] <= options.maxLinesPerEvent) continue;
        tooLarge[s] = 1;
        result.oversized.push_back({sources[s].first, sources[s].second, newLines[s]});
    }
    for (const Addition& addition : additions)
        if (tooLarge[addition.source] != 0 && addition.uid != nullptr) frozenUids.insert(*addition.uid);

    // Blocks of an earlier import that the event no longer has come out where the memo still
    // holds them as added; ones the user has changed since stay, beside the event's new lines.
    std::set<std::tuple<std::string_view, Day, std::string_view>> wanted;
    for (const Addition& addition : additions)
        if (addition.uid != nullptr && earlier.contains(*addition.uid))
            wanted.insert({*addition.uid, addition.day, addition.text});
    std::set<std::tuple<std::string_view, Day, std::string_view>> keptEarlier;
    for (const auto& [uid, blocks] : earlier) {
        if (frozenUids.contains(uid)) continue;
        for (const ImportedBlock* block : blocks) {
            const Day day{block->year, block->monthIndex, block->day};
            if (wanted.contains({uid, day, block->text})) {
                keptEarlier.insert({uid, day, block->text});
                continue;
            }
            DayMemo& memo = days.at(day);
            const std::size_t at = memo.Find(SplitLines(block->text));
            if (block->text.empty() || at == std::string::npos) {
                ++result.keptEdited;
                continue;
            }
            const std::size_t count = SplitLines(block->text).size();
            std::fill_n(memo.alive.begin() + static_cast<std::ptrdiff_t>(at), count, 0);
            memo.changed = true;
            ++result.replaced;
        }
    }

    // What each UID holds after the merge, sorted and made unique below: a vector of small entries
    // rather than a map of sets, the merge's largest part for a file of many events.
    using Held = std::tuple<std::string_view, Day, std::string_view>;  // UID, day, text
    std::vector<Held> recorded;
    for (std::size_t i = 0; i < additions.size(); ++i) {
        Addition& addition = additions[i];
        if (tooLarge[addition.source] != 0) continue;
        DayMemo& memo = days.at(addition.day);
        const auto heldLater = [&memo, &addition] {
            return std::any_of(memo.laterRecords.begin(), memo.laterRecords.end(), [&addition](const auto& lines) {
                return std::search(lines.begin(), lines.end(), addition.lines.begin(), addition.lines.end()) !=
                       lines.end();
            });
        };
        const bool present =
            addition.wholeMemo
                ? (addition.uid != nullptr && !memo.addedMemoUids.insert(*addition.uid).second) ||
                      memo.Find(addition.lines) != std::string::npos || heldLater()
                : memo.addedTexts.contains(addition.text) || memo.Find(addition.lines) != std::string::npos;
        if (present) {
            ++result.alreadyPresent;
            if (addition.uid != nullptr && keptEarlier.contains({*addition.uid, addition.day, addition.text}))
                recorded.emplace_back(*addition.uid, addition.day, addition.text);
            continue;
        }
        memo.addedTexts.insert(addition.text);
        // On a day without a memo, each memo Velmora exported becomes a record of its own again, as
        // it was where it was exported; the other events go into the first record.
        if (addition.wholeMemo && !memo.found)
            memo.ownRecords.push_back(i);
        else
            memo.pending.push_back(i);
        memo.changed = true;
        ++result.added;
        result.replacedCharacters += addition.replaced;
        if (addition.uid != nullptr) recorded.emplace_back(*addition.uid, addition.day, addition.text);
    }
    std::sort(recorded.begin(), recorded.end());
    recorded.erase(std::unique(recorded.begin(), recorded.end()), recorded.end());
    // Returns the entries of `recorded` for one UID.
    const auto heldBy = [&recorded](std::string_view uid) {
        const auto from =
            std::lower_bound(recorded.begin(), recorded.end(), uid,
                             [](const Held& held, std::string_view key) { return std::get<0>(held) < key; });
        auto to = from;
        while (to != recorded.end() && std::get<0>(*to) == uid) ++to;
        return std::pair{from, to};
    };

    if (imported != nullptr) {
        for (const auto& [uid, blocks] : earlier) {
            std::vector<ImportedBlock> now;
            std::set<std::pair<Day, std::string_view>> seen;
            const auto keep = [&now, &seen](const Day& day, std::string_view text) {
                if (seen.insert({day, text}).second)
                    now.push_back({std::get<0>(day), std::get<1>(day), std::get<2>(day), std::string(text)});
            };
            // A flooding event's UID keeps its earlier blocks as well as what its other parts added.
            if (frozenUids.contains(uid))
                for (const ImportedBlock* block : blocks)
                    keep({block->year, block->monthIndex, block->day}, block->text);
            // Blocks outside the covered years were not looked at and stay recorded.
            if (const auto found = imported->find(std::string(uid)); found != imported->end())
                for (const ImportedBlock& block : found->second)
                    if (block.year + 1900 < options.fromYear || block.year + 1900 > options.toYear)
                        keep({block.year, block.monthIndex, block.day}, block.text);
            for (auto [at, to] = heldBy(uid); at != to; ++at) keep(std::get<1>(*at), std::get<2>(*at));
            if (now.empty())
                imported->erase(std::string(uid));
            else
                (*imported)[std::string(uid)] = std::move(now);
        }
        // UIDs no earlier import added anything for in the covered years.
        std::vector<ImportedBlock>* now = nullptr;
        std::string_view current;
        for (const auto& [uid, day, text] : recorded) {
            if (earlier.contains(uid)) continue;
            if (now == nullptr || uid != current) {
                now = &(*imported)[std::string(uid)];
                current = uid;
            }
            now->push_back({std::get<0>(day), std::get<1>(day), std::get<2>(day), std::string(text)});
        }
    }

    bool any = false;
    for (const auto& [day, memo] : days) any = any || memo.changed;
    if (!any) return result;

    std::string merged;
    merged.reserve(store.size() + events.size() * 32);
    std::set<Day> done;
    for (std::string_view rest = store; !rest.empty();) {
        const std::string_view record = CutRecord(rest);
        const MemoRecordFields fields = SplitMemoRecord(record);
        const Day day{fields.year, fields.month, fields.day};
        const auto memo = days.find(day);
        if (memo == days.end() || !memo->second.changed || !done.insert(day).second) {
            merged += CloseRecord(record);
            continue;
        }
        ++result.days;
        const std::string text = memo->second.Joined(additions);
        // A memo whose every line came from an event that moved away goes, as a memo emptied by hand.
        if (!text.empty()) merged += MakeMemoRecord(fields.year, fields.month, fields.day, text);
    }
    for (const auto& [day, memo] : days) {
        if (memo.found || !memo.changed) continue;
        ++result.days;
        if (!memo.pending.empty())
            merged += MakeMemoRecord(std::get<0>(day), std::get<1>(day), std::get<2>(day), memo.Joined(additions));
        for (const std::size_t index : memo.ownRecords)
            merged += MakeMemoRecord(std::get<0>(day), std::get<1>(day), std::get<2>(day), additions[index].text);
    }
    store = std::move(merged);
    return result;
}

}  // namespace ics
