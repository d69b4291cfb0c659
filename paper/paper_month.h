#pragma once

#include "paper/page_layout.h"

#include <string>
#include <string_view>

namespace paper {

// Returns month 1..12 of the calendar year as the pages show it: the holidays of the model's year
// (g_YearCalendar, built for that year when it holds another) and the memos of `memoStore` (the
// memo store's code page 932 records), texts turned to UTF-8 by `utf8FromCp932`.
PaperMonth LoadPaperMonth(long long calendarYear, int month, const std::string& memoStore,
                          std::string (*utf8FromCp932)(std::string_view));

}  // namespace paper
