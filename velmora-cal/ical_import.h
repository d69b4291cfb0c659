#pragma once

#include "velmora-cal/options.h"

// "velmora-cal import": iCalendar events taken into the memos of the data folder.
namespace cal {

// Runs "import FILE [--dry-run] [--from Y] [--to Y]" on the data folder that is the current
// directory; "-" reads stdin; a relative FILE is taken from the folder velmora-cal was started in.
// Says what it added, naming the folder. Returns the exit status.
int RunImport(const Options& options);

}  // namespace cal
