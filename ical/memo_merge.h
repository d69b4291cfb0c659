#pragma once

#include "ical/ics_reading.h"

#include <cstddef>
#include <string>
#include <vector>

// Events taken into the memo store.
namespace ics {

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

}  // namespace ics
