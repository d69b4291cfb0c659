#pragma once

#include "velmora-cal/options.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// "velmora-cal import": iCalendar events taken into the memos of the data folder.
namespace cal {

// The years whose events an import takes.
struct ImportWindow {
    int fromYear = 0;  // calendar years, as 2026
    int toYear = 0;
    bool boundsSingleEvents = false;  // false: only the repetitions of recurring events are bounded
};

// One day's event as it goes into a memo: a local date and UTF-8 text with LF line breaks, the
// time of day ("10:00 ") in front of a timed event's text.
struct IcsEvent {
    int year = 0;  // calendar year
    int monthIndex = 0;
    int day = 0;
    std::string text;
};

// What an iCalendar file held, read with libical.
struct IcsReading {
    bool isCalendar = false;           // false: not an iCalendar file, nothing else is set
    std::vector<IcsEvent> events;      // every occurrence taken, in the order of the file
    std::vector<std::string> skipped;  // one "line N: reason" (or "event N: reason") per broken event
    int holidays = 0;                  // holiday events (CATEGORIES 祝日) passed over: the holiday files hold those
    int cancelled = 0;                 // cancelled events passed over
    bool stoppedLongRule = false;      // a rule repeated more often than an import follows
};

// Returns the events of the iCalendar text `ics`: DATE starts as they are, DATE-TIME starts (UTC,
// with a TZID of the file or of the system's zones, or floating) as the local date and time;
// RRULE, RDATE and EXDATE, and instances moved or cancelled by RECURRENCE-ID, within the window.
IcsReading ReadIcsEvents(const std::string& ics, const ImportWindow& window);

// What merging events into a memo store did.
struct MergeResult {
    int added = 0;                       // events appended to a memo
    int alreadyPresent = 0;              // events whose lines the day's memo already holds
    int days = 0;                        // days whose memo changed or was made
    std::size_t replacedCharacters = 0;  // characters of the added events code page 932 lacks
};

// Adds each event to the first memo record of its day in `store` (code page 932 records), on a
// new line, or as a new record at the end for a day without one; an event whose lines the day's
// memo holds already is not added again. Record delimiters in the text become their full-width forms.
MergeResult MergeEvents(std::string& store, const std::vector<IcsEvent>& events);

// Runs "import FILE [--dry-run] [--from Y] [--to Y]" on the data folder that is the current
// directory; "-" reads stdin; a relative FILE is taken from the folder velmora-cal was started in.
// Says what it added, naming the folder. Returns the exit status.
int RunImport(const Options& options);

}  // namespace cal
