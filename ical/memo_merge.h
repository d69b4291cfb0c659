#pragma once

#include "ical/ics_reading.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// Events taken into the memo store.
namespace ics {

// The lines one event put into one day's memo at an earlier import.
struct ImportedBlock {
    int year = 0;  // years since 1900, as the memo records hold them
    int monthIndex = 0;
    int day = 0;
    std::string text;  // code page 932, CR LF between its lines, as the memo holds it

    bool operator==(const ImportedBlock&) const = default;
};

// What earlier imports added, by the UID of the event each block came from.
using ImportedEvents = std::map<std::string, std::vector<ImportedBlock>>;

// An event left out because it would have added more lines than the merge takes from one event.
struct OversizedEvent {
    std::size_t line = 0;  // as SkippedEvent names it
    std::size_t number = 0;
    std::size_t lines = 0;  // the lines it would have added
};

// How MergeEvents treats what it is given.
struct MergeOptions {
    std::size_t maxLinesPerEvent = static_cast<std::size_t>(-1);  // lines one event (all its days) may add
    int fromYear = 1;  // the calendar years the import covers: earlier blocks outside them are left alone
    int toYear = 9999;
};

// What merging events into a memo store did.
struct MergeResult {
    int added = 0;                          // events appended to a memo
    int alreadyPresent = 0;                 // events whose lines the day's memo already holds
    int days = 0;                           // days whose memo changed or was made
    std::size_t replacedCharacters = 0;     // characters of the added events code page 932 lacks
    int replaced = 0;                       // blocks of an earlier import taken out for the event's new text or day
    int keptEdited = 0;                     // such blocks left in place because the memo no longer holds them as added
    std::vector<OversizedEvent> oversized;  // in the order of the file
};

// Adds each event to the first memo record of its day in `store` (code page 932 records), or as a
// new record at the end for a day without one; an event whose lines the day's memo holds already
// is not added again. A day's new lines go in by time, all-day events first, before the first line
// already there that starts with a later time ("10:00 "), else at the end; the lines already
// there keep their order. With `imported`, an event whose UID an earlier import recorded has the
// blocks it added then and no longer has taken out where the memo still holds them unchanged, and
// `imported` then records what each UID of `events` holds now. Record delimiters in the text
// become their full-width forms. Time and memory are linear in the store and the events.
MergeResult MergeEvents(std::string& store, const std::vector<IcsEvent>& events, ImportedEvents* imported = nullptr,
                        const MergeOptions& options = {});

}  // namespace ics
