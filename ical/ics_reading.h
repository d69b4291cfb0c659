#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <libical/ical.h>

// iCalendar events read with libical, as the memos take them: one day and one text each.
namespace ics {

// What one reading may spend, for the whole text together: a file made to hurt is refused when it
// has spent it, rather than running for hours or filling the memory.
struct ReadingBudget {
    long long steps = 1000000;  // repetitions of rules (and days of rules walked a day at a time) walked
    double seconds = 60;        // time spent reading events
};

// The years whose events a reading takes.
struct ImportWindow {
    int fromYear = 0;  // calendar years, as 2026
    int toYear = 0;
    bool boundsSingleEvents = false;  // false: only the repetitions of recurring events are bounded
    ReadingBudget budget;
};

// One day's event as it goes into a memo: a local date and UTF-8 text with LF line breaks, the
// time of day ("10:00 ") in front of a timed event's text.
struct IcsEvent {
    int year = 0;  // calendar year
    int monthIndex = 0;
    int day = 0;
    std::string text;
    int minuteOfDay = -1;  // the local start time (hour * 60 + minute) of a timed event's first day, else -1
    std::string uid;       // the event's UID, "" when it has none
    std::size_t line = 0;  // the event it comes from, as SkippedEvent names it
    std::size_t number = 0;
    bool wholeMemo = false;      // a memo as Velmora exports it: its text is the whole memo, exactly
    bool bareLineFeeds = false;  // that memo held bare LF breaks
};

// Why an event (or one of its occurrences) was not taken.
enum class SkipReason {
    NoStart,     // no readable DTSTART; `detail` holds libical's words when it could not read one
    NoText,      // neither a summary nor a description
    NoSuchDate,  // an occurrence on a date no calendar holds
};

// One event not taken, named by the line of its BEGIN:VEVENT (0 when the lines cannot be told
// apart) and its place among the file's events (from 1).
struct SkippedEvent {
    std::size_t line = 0;
    std::size_t number = 0;
    SkipReason reason = SkipReason::NoStart;
    std::string detail;
};

// A property that says on which days an event falls (an RDATE, an EXDATE, a DTEND, ...) that could
// not be read and was left out of an event that was taken otherwise.
struct IgnoredProperty {
    std::size_t line = 0;  // as SkippedEvent
    std::size_t number = 0;
    std::string property;  // its name, as "RDATE"
    std::string detail;    // libical's words
};

// An event whose TZID names no zone the file or the system knows: its times were read as local times.
struct UnknownZone {
    std::size_t line = 0;  // as SkippedEvent
    std::size_t number = 0;
    std::string zone;  // the TZID
};

// A zone the file describes whose definition disagrees with the system's zone data of the same
// name, which a reading takes for every zone the system knows.
struct PreferredSystemZone {
    std::string zone;  // the TZID
    int times = 0;     // how many of the file's times the two put at different moments
};

// What an iCalendar file held.
struct IcsReading {
    bool isCalendar = false;                    // false: not an iCalendar file, nothing else is set
    std::string encoding;                       // the character set the text was read in, as "UTF-8" or "CP932"
    std::size_t undecodableLine = 0;            // not 0: no character set reads the text; its first bad line, no events
    bool exhaustedBudget = false;               // the budget ran out: no events, `exhaustedAt` names the event
    SkippedEvent exhaustedAt;                   // its line and number
    int droppedZoneRules = 0;                   // VTIMEZONE rules left out for changing more than once a year
    std::vector<IcsEvent> events;               // every occurrence taken, in the order of the file
    std::vector<SkippedEvent> skipped;          // in the order of the file
    int ignoredProperties = 0;                  // properties left out of the events taken, as unreadable
    std::vector<IgnoredProperty> ignoredDates;  // those of them that bear on the days, in the order of the file
    int holidays = 0;              // holiday events (CATEGORIES 祝日) passed over: the holiday files hold those
    int cancelled = 0;             // cancelled events passed over
    bool stoppedLongRule = false;  // a rule repeated more often than a reading follows
    std::vector<UnknownZone> unknownZones;         // one per event and zone, in the order of the file
    std::vector<PreferredSystemZone> systemZones;  // in the order they were met
    int todos = 0;                                 // to-dos (VTODO) passed over: the memos take events only
};

// Returns the events of the iCalendar text `ics` (UTF-8, else the character set DecodeIcsText finds),
// each event parsed on its own with its calendar's time zones: DATE starts as they are, DATE-TIME starts (UTC,
// with a TZID of the file or of the system's zones, or floating) as the local date and time, for
// the years 1 to 9999;
// RRULE, RDATE and EXDATE, and instances moved or cancelled by RECURRENCE-ID, within the window.
IcsReading ReadIcsEvents(const std::string& ics, const ImportWindow& window);

// Returns the value of the event's first X- property named `name` (in any case), or "" without one.
std::string XPropertyValue(icalcomponent* event, std::string_view name);

}  // namespace ics
