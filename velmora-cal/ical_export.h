#pragma once

#include "velmora-cal/options.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "velmora-cal export": the memos and holidays of the data folder as an iCalendar file.
namespace cal {

// The years an export covers; an unset bound is taken from the memos.
struct ExportOptions {
    std::optional<int> fromYear;  // calendar years, as 2026
    std::optional<int> toYear;
    bool holidays = true;
};

// What an export wrote and passed over.
struct ExportCounts {
    int memos = 0;
    int holidays = 0;
    int skippedRecords = 0;  // records whose date no calendar holds (a 31 February, a month 13)
    int firstYear = 0;       // the holiday years written, when any
    int lastYear = 0;
};

// Returns the iCalendar file of the memo store `store` (code page 932 records) and, unless turned
// off, the holidays that the holiday pass marks on the data folder's files in each year from the
// first to the last year; `stampUtc` is the moment written as DTSTAMP. Only memos of those years are
// written; the years default to those the memos span, or the year of `today` when there is no memo.
std::string ExportCalendar(std::string_view store, const ExportOptions& options, std::time_t stampUtc,
                           const std::tm& today, ExportCounts& counts);

// Runs "export FILE [--from Y] [--to Y] [--no-holidays]" on the data folder that is the current
// directory; "-" writes to stdout; a relative FILE is taken from the folder velmora-cal was started
// in. Returns the exit status.
int RunExport(const Options& options);

}  // namespace cal
