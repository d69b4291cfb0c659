#pragma once

#include <string>
#include <string_view>

// A day's memo as one all-day event of the collection, and back.
namespace memosync {

// Returns the UID of the day's event, "velmora-day-YYYYMMDD", from the date (YYYYMMDD) alone, so
// that every device writing that day meets on the same item.
std::string DayUid(std::string_view date);

// Returns the date (YYYYMMDD) of a day event's UID, or "" when `uid` is no such UID.
std::string DateOfDayUid(std::string_view uid);

// Returns the VCALENDAR text of the day's memo (`text` UTF-8, LF breaks) as one all-day VEVENT:
// DTSTART;VALUE=DATE the day, DTEND the next, SUMMARY its first line, DESCRIPTION all of it;
// `stamp` is the DTSTAMP (as 20261209T101200Z).
std::string DayCalendar(std::string_view date, std::string_view text, std::string_view stamp);

// Returns the current time as a DTSTAMP value (UTC).
std::string StampNow();

enum class ItemKind {
    Day,         // a day's memo: `date` and `text` are set
    Other,       // an event made elsewhere (another UID), left as it is
    Unreadable,  // no iCalendar text libical reads, or no event in it: `error` says what
};

struct ServerItem {
    ItemKind kind = ItemKind::Unreadable;
    std::string date;  // YYYYMMDD
    std::string text;  // UTF-8, LF breaks; a title edited elsewhere replaces the memo's first line
    std::string error;
};

// Returns what the item's iCalendar text holds.
ServerItem ReadServerItem(std::string_view ical);

}  // namespace memosync
