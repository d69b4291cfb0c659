#pragma once

#include "velmora-cal/options.h"

// The commands of velmora-cal that only read the data folder: the month sheets, "day", "list" and
// "search". Each runs on the data folder that is the current directory with the operands and
// options of `options`, writes its result to stdout and one line to stderr when it refuses or
// fails, and returns the exit status: 0 done, 1 nothing matched (search) or a data file could not
// be read, 2 bad usage. VELMORA_TODAY=YYYY-MM-DD in the environment fixes today's date (a hook for
// the tests).
namespace cal {

// Runs the month sheets: this month, MONTH YEAR, the twelve of YEAR; -3 and -y; --color.
int RunSheets(const Options& options);

// Runs "day [YYYY-MM-DD]": the day's holiday and memo.
int RunDay(const Options& options);

// Runs "list [MONTH [YEAR]]": the month's lines as the month list shows them.
int RunList(const Options& options);

// Runs "search [--year Y] WORD...": every memo holding all the words, newest first.
int RunSearch(const Options& options);

// Runs "agenda [DAYS]": the memo lines that begin with a time, from now to the end of the DAYS-th
// day (default 7, today the first), soonest first: "2026-12-08 (火)  10:00 歯医者".
int RunAgenda(const Options& options);

}  // namespace cal
