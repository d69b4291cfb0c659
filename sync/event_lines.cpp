#include "sync/event_lines.h"

#include "ical/ics_reading.h"
#include "sync/mapping.h"
#include "sync/merge.h"
#include "sync/text.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace memosync {
namespace {

struct EventComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using EventComponent = std::unique_ptr<icalcomponent, EventComponentFree>;

std::vector<icalcomponent*> EventsOf(icalcomponent* root) {
    std::vector<icalcomponent*> events;
    if (icalcomponent_isa(root) == ICAL_VEVENT_COMPONENT) return {root};
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); c != nullptr;
         c = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        events.push_back(c);
    }
    return events;
}

bool Repeats(icalcomponent* event) {
    return icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
           icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr;
}

// Returns the minutes of a line's leading "HH:MM " and the rest of it after, or -1 and the line.
std::pair<int, std::string_view> SplitClock(std::string_view line) {
    if (line.size() < 6 || line[2] != ':' || line[5] != ' ') return {-1, line};
    for (const std::size_t i : {0U, 1U, 3U, 4U}) {
        if (line[i] < '0' || line[i] > '9') return {-1, line};
    }
    const int hour = (line[0] - '0') * 10 + (line[1] - '0');
    const int minute = (line[3] - '0') * 10 + (line[4] - '0');
    if (hour > 23 || minute > 59) return {-1, line};
    return {hour * 60 + minute, line.substr(6)};
}

void MoveTime(icalcomponent* event, icalproperty_kind kind, int minutes) {
    icalproperty* property = icalcomponent_get_first_property(event, kind);
    if (property == nullptr) return;
    icaltimetype time = icalproperty_get_dtstart(property);
    if (kind == ICAL_DTEND_PROPERTY) time = icalproperty_get_dtend(property);
    if (icaltime_is_null_time(time) || time.is_date) return;
    icaltime_adjust(&time, 0, 0, minutes, 0);
    // The property keeps its parameters (its TZID): only the value moves.
    if (kind == ICAL_DTEND_PROPERTY)
        icalproperty_set_dtend(property, time);
    else
        icalproperty_set_dtstart(property, time);
}

std::vector<std::string> HeldMemoLines(std::string_view memo) {
    std::vector<std::string> lines;
    if (memo.empty()) return lines;
    for (const std::string_view line : SplitLines(memo)) {
        lines.emplace_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    }
    return lines;
}

// Returns how many bytes two lines share at their start and at their end together.
std::size_t Alike(std::string_view a, std::string_view b) {
    const std::size_t most = std::min(a.size(), b.size());
    std::size_t front = 0;
    while (front < most && a[front] == b[front]) ++front;
    std::size_t back = 0;
    while (back < most - front && a[a.size() - 1 - back] == b[b.size() - 1 - back]) ++back;
    return front + back;
}

}  // namespace

std::optional<EventItem> ReadEventLines(const std::string& ical, int fromYear, int toYear) {
    const EventComponent root(icalparser_parse_string(ical.c_str()));
    if (!root) return std::nullopt;
    const std::vector<icalcomponent*> events = EventsOf(root.get());
    if (events.empty()) return std::nullopt;
    EventItem item;
    item.whole = events.size() > 1 || Repeats(events[0]);
    const ics::IcsReading reading = ics::ReadIcsEvents(
        ical, ics::ImportWindow{.fromYear = fromYear, .toYear = toYear, .boundsSingleEvents = true, .budget = {}});
    for (const ics::IcsEvent& event : reading.events) {
        char date[40];
        std::snprintf(date, sizeof date, "%04d%02d%02d", event.year, event.monthIndex + 1, event.day);
        item.lines.push_back({date, event.text.substr(0, event.text.find('\n'))});
    }
    item.whole = item.whole || item.lines.size() > 1;
    return item;
}

std::optional<std::string> EditedEventCalendar(const std::string& ical, std::string_view oldLine,
                                               std::string_view line) {
    const EventComponent root(icalparser_parse_string(ical.c_str()));
    if (!root) return std::nullopt;
    const std::vector<icalcomponent*> events = EventsOf(root.get());
    if (events.size() != 1 || Repeats(events[0])) return std::nullopt;
    icalcomponent* event = events[0];
    const auto [was, oldRest] = SplitClock(oldLine);
    const auto [now, rest] = SplitClock(line);
    const icaltimetype start = icalcomponent_get_dtstart(event);
    const bool timed = !icaltime_is_null_time(start) && start.is_date == 0;
    std::string summary(line);
    if (timed && was >= 0 && now >= 0) {
        // The line's time is the local start as the reading showed it: move the event by as much.
        MoveTime(event, ICAL_DTSTART_PROPERTY, now - was);
        MoveTime(event, ICAL_DTEND_PROPERTY, now - was);
        summary = std::string(rest);
    }
    icalcomponent_set_summary(event, summary.c_str());
    icalcomponent_set_sequence(event, icalcomponent_get_sequence(event) + 1);
    const std::string stamp = StampNow();
    icalcomponent_set_dtstamp(event, icaltime_from_string(stamp.c_str()));
    char* text = icalcomponent_as_ical_string_r(root.get());
    std::string out = text != nullptr ? text : "";
    std::free(text);  // NOLINT(cppcoreguidelines-no-malloc): libical's _r strings are the caller's to free
    return out;
}

DayLines SplitDay(std::string_view memo, const std::vector<ExpectedLine>& expected, std::string_view ownBase) {
    const std::vector<std::string> lines = HeldMemoLines(memo);
    std::vector<bool> claimed(lines.size(), false);
    std::vector<bool> found(expected.size(), false);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string cp932 = MemoOfServerText(expected[i].text);
        for (std::size_t j = 0; j < lines.size() && !found[i]; ++j) {
            if (!claimed[j] && lines[j] == cp932) claimed[j] = found[i] = true;
        }
    }
    DayLines out;
    const auto own = [&] {
        bool first = true;
        for (std::size_t j = 0; j < lines.size(); ++j) {
            if (claimed[j]) continue;
            if (!first) out.own += "\r\n";
            out.own += lines[j];
            first = false;
        }
        return out;
    };
    if (std::ranges::all_of(found, [](bool f) { return f; })) return own();
    std::vector<std::string> view = HeldMemoLines(MemoOfServerText(ownBase));
    const std::size_t ownCount = view.size();
    for (const ExpectedLine& line : expected) view.push_back(MemoOfServerText(line.text));
    const std::vector<std::string_view> viewLines(view.begin(), view.end());
    const std::vector<std::string_view> memoLines(lines.begin(), lines.end());
    const std::vector<int> match = MatchLines(viewLines, memoLines);
    std::vector<bool> matched(lines.size(), false);
    for (const int j : match) {
        if (j >= 0) matched[static_cast<std::size_t>(j)] = true;
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (found[i]) continue;
        if (!expected[i].editable) {
            out.lost = true;
            continue;
        }
        // The stretch of the memo between the matched lines around the missing one, and the
        // missing line's place among the unmatched lines of that stretch.
        const std::size_t at = ownCount + i;
        int low = -1;
        std::size_t before = 0;
        for (std::size_t k = at; k-- > 0;) {
            if (match[k] >= 0) {
                low = match[k];
                break;
            }
            ++before;
        }
        int high = static_cast<int>(lines.size());
        for (std::size_t k = at + 1; k < view.size(); ++k) {
            if (match[k] >= 0) {
                high = match[k];
                break;
            }
        }
        std::vector<std::size_t> candidates;
        for (int j = low + 1; j < high; ++j) {
            const auto u = static_cast<std::size_t>(j);
            if (!claimed[u] && !matched[u] && !lines[u].empty()) candidates.push_back(u);
        }
        // The new line most like the old one is its edit; with none alike, a line in its very
        // place is, where the stretch swapped its lines one for one.
        const std::string old = MemoOfServerText(expected[i].text);
        std::size_t best = 0;
        std::optional<std::size_t> chosen;
        for (const std::size_t j : candidates) {
            const std::size_t alike = Alike(old, lines[j]);
            if (alike > best) {
                best = alike;
                chosen = j;
            }
        }
        std::size_t unmatchedView = 0;
        for (std::size_t k = at - before; k < view.size() && (k == at || match[k] < 0); ++k) ++unmatchedView;
        if (!chosen && before < candidates.size() && candidates.size() == unmatchedView) chosen = candidates[before];
        if (!chosen) {
            out.edited[expected[i].href] = std::nullopt;
            continue;
        }
        const std::size_t j = *chosen;
        claimed[j] = true;
        out.edited[expected[i].href] = ServerTextOfMemo(lines[j], "");
    }
    return own();
}

bool MemoHoldsLine(std::string_view memo, std::string_view line) {
    const std::string cp932 = MemoOfServerText(line);
    for (const std::string& held : HeldMemoLines(memo)) {
        if (held == cp932) return true;
    }
    return false;
}

bool TakeLine(std::string& memo, std::string_view line) {
    const std::string cp932 = MemoOfServerText(line);
    std::vector<std::string> lines = HeldMemoLines(memo);
    const auto it = std::ranges::find(lines, cp932);
    if (it == lines.end()) return false;
    lines.erase(it);
    memo.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) memo += (i == 0 ? "" : "\r\n") + lines[i];
    return true;
}

std::string ComposeDay(std::string_view own, const std::vector<std::string>& lines) {
    std::string out(own);
    for (const std::string& line : lines) {
        if (!out.empty()) out += "\r\n";
        out += MemoOfServerText(line);
    }
    return out;
}

}  // namespace memosync
