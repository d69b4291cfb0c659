#pragma once

#include "sync/state.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Events made elsewhere as lines of their days' memos, and those lines edited back into the events.
namespace memosync {

// Returns the lines the event of the VCALENDAR text `ical` shows on the days of the years
// `fromYear`..`toYear` (each the first line of its day's text as an import reads it, its time
// first), std::nullopt when the text holds no event; `whole` is set when it shows on more than one
// day or repeats.
std::optional<EventItem> ReadEventLines(const std::string& ical, int fromYear, int toYear);

// Returns `ical` with its one event's title set from `line` and, when `line` and `oldLine` both
// begin with a time ("HH:MM ") and the event has one, its start and end moved by their difference;
// std::nullopt when the text holds no single event to edit.
std::optional<std::string> EditedEventCalendar(const std::string& ical, std::string_view oldLine,
                                               std::string_view line);

// One mirrored line a day's memo is expected to hold.
struct ExpectedLine {
    std::string href;
    std::string text;       // UTF-8
    bool editable = false;  // an event of one day: an edit of its line edits the event
};

// A day's memo taken apart.
struct DayLines {
    std::string own;  // the memo's own lines (code page 932, CR LF), the mirrored ones left out
    // Editable events whose line the user changed: the new line (UTF-8), std::nullopt when deleted.
    std::map<std::string, std::optional<std::string>> edited;
    bool lost = false;  // a line of an event that is not editable is missing or changed
};

// Returns the memo `memo` (code page 932) taken apart into its own lines and the lines of
// `expected`: a line the memo still holds is the event's; a missing one was deleted, unless in the
// stretch it stood in (against `ownBase`, the own lines last agreed on, UTF-8, followed by the
// expected lines) the memo holds a new line in its place, which is then its edit.
DayLines SplitDay(std::string_view memo, const std::vector<ExpectedLine>& expected, std::string_view ownBase);

// Returns true when one of the lines of `memo` (code page 932) is `line` (UTF-8) as the memo holds it.
bool MemoHoldsLine(std::string_view memo, std::string_view line);

// Removes the first of the lines of `memo` (code page 932) that is `line` (UTF-8); false when none is.
bool TakeLine(std::string& memo, std::string_view line);

// Returns the memo (code page 932, CR LF) of own lines `own` followed by the mirrored `lines`.
std::string ComposeDay(std::string_view own, const std::vector<std::string>& lines);

}  // namespace memosync
