#pragma once

#include "velmora-cal/options.h"

namespace cal {

// Runs "pdf FILE.pdf [[MONTH] YEAR] [-y]": writes the month page of this month or of MONTH YEAR, or
// with -y or a year alone the year page, as a one-page A4 PDF to FILE (atomically) or to the
// output for "-". Needs no display. Returns 0 done, 1 a file could not be read or written, 2 bad usage.
int RunPdf(const Options& options);

}  // namespace cal
