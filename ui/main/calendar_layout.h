#pragma once

#include "platform/win_types.h"

struct CDayCell;

// The fixed pixel geometry and colours of the month sheets, shared by painting and hit-testing.
namespace calendar_layout {

inline constexpr COLORREF kBackColour = RGB(192, 192, 192);
inline constexpr COLORREF kCursorColour = RGB(131, 241, 233);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);

inline constexpr int kSheetWidth = 250;
inline constexpr int kSheetHeight = 220;
inline constexpr int kYearViewTop = 25;

// Returns the origin of month 0..11's sheet in the year view.
CPoint YearSheetOrigin(int month);
// Returns the origin of the sheet at year-view column 1..4 and row 1..3.
CPoint YearSlotOrigin(int monthCol, int monthRow);
// Returns the month 0..11 at year-view column 1..4 and row 1..3.
int MonthAtSlot(int monthCol, int monthRow);

// Returns where a sheet's caption starts.
CPoint CaptionPoint(CPoint origin);
// Returns where the weekday header of column 0..6 starts.
CPoint HeaderPoint(CPoint origin, int column);
// Returns where a day number starts, by its weekday and week row.
CPoint DayPoint(CPoint origin, int weekday, int weekRow);

// Returns the colour of weekday header 0..6.
COLORREF HeaderColour(int column);
// Returns the colour of a day number: red for Sundays and holidays, blue for Saturdays.
COLORREF DayColour(const CDayCell& cell);

// Returns the cursor frame around day column 0..6, row 1..6 in the month view.
CRect MonthViewDayFrame(int dayCol, int dayRow);
// Returns the cursor frame around the whole sheet at year-view column 1..4, row 1..3.
CRect YearViewMonthFrame(int monthCol, int monthRow);
// Returns the cursor frame around a day cell of a year-view sheet.
CRect YearViewDayFrame(int monthCol, int monthRow, int dayCol, int dayRow);

// Returns true when a point relative to a sheet's origin lies on its day grid, with the cell.
bool HitDayGrid(CPoint local, int& dayCol, int& dayRow);
// Returns the year-view column 1.. and row 1.. of a point (rows above the sheets count as 1).
void MonthSlotAt(CPoint point, int& monthCol, int& monthRow);
// Returns true when a month-view point lies on the month caption.
bool OnMonthCaption(CPoint point);

}  // namespace calendar_layout
