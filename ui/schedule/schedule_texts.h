#pragma once

#include "app/platform/wnd.h"

#include <string>

// Texts and tool tips of the schedule dialogs, in code page 932.
namespace schedule_texts {

// Returns the date band "%d年  %d月  %d日" of the calendar year, month 1..12 and day.
std::string DateBand(long long calendarYear, int month, int day);
// Returns the caption band "%d年  %d月" of the calendar year and month 1..12.
std::string CaptionBand(long long calendarYear, int month);

// Answers a toolbar's tool-tip request with the string resource of the tool's id; returns FALSE
// for id 0.
BOOL AnswerToolTip(NMHDR* header, LRESULT* result);

}  // namespace schedule_texts
