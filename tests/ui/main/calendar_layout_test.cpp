#include "ui/main/calendar_layout.h"
#include "model/year_calendar.h"

#include <gtest/gtest.h>

namespace {

namespace layout = calendar_layout;

struct HitCase {
    const char* name;
    CPoint point;
    bool hit;
    int col, row;
};

TEST(CalendarLayout, DayGridBoundaries) {
    const HitCase cases[] = {
        {"top-left corner of the grid", {30, 80}, true, 0, 1},
        {"bottom-right corner of the grid", {240, 200}, true, 6, 6},
        {"one pixel left of the grid", {29, 100}, false, 0, 0},
        {"one pixel right of the grid", {241, 100}, false, 0, 0},
        {"one pixel above the grid", {100, 79}, false, 0, 0},
        {"one pixel below the grid", {100, 201}, false, 0, 0},
        {"last pixel of column 0", {52, 100}, true, 0, 2},
        {"first pixel of column 1", {53, 100}, true, 1, 2},
        {"last pixel of row 1", {100, 99}, true, 2, 1},
        {"column 6 runs to the right edge", {235, 190}, true, 6, 6},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.name);
        int col = 0;
        int row = 0;
        EXPECT_EQ(layout::HitDayGrid(c.point, col, row), c.hit);
        if (c.hit) {
            EXPECT_EQ(col, c.col);
            EXPECT_EQ(row, c.row);
        }
    }
}

TEST(CalendarLayout, MonthSlotsAndCaption) {
    struct Case {
        const char* name;
        CPoint point;
        int col, row;
    } cases[] = {
        {"January's slot", {10, 30}, 1, 1},
        {"above the sheets counts as row 1", {10, 3}, 1, 1},
        {"June's slot", {300, 300}, 2, 2},
        {"December's slot", {999, 684}, 4, 3},
        {"the first pixel of the second row", {0, 245}, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int col = 0;
        int row = 0;
        layout::MonthSlotAt(c.point, col, row);
        EXPECT_EQ(col, c.col);
        EXPECT_EQ(row, c.row);
    }
    EXPECT_TRUE(layout::OnMonthCaption({10, 30}));
    EXPECT_TRUE(layout::OnMonthCaption({100, 45}));
    EXPECT_TRUE(layout::OnMonthCaption({50, 40}));
    EXPECT_FALSE(layout::OnMonthCaption({150, 40}));
    EXPECT_FALSE(layout::OnMonthCaption({9, 40}));
    EXPECT_FALSE(layout::OnMonthCaption({50, 46}));
}

TEST(CalendarLayout, CursorFrames) {
    EXPECT_EQ(layout::MonthViewDayFrame(0, 1), (CRect{23, 78, 53, 98}));
    EXPECT_EQ(layout::MonthViewDayFrame(6, 6), (CRect{203, 178, 233, 198}));
    EXPECT_EQ(layout::YearViewMonthFrame(1, 1), (CRect{8, 33, 242, 237}));
    EXPECT_EQ(layout::YearViewMonthFrame(4, 3), (CRect{758, 473, 992, 677}));
    EXPECT_EQ(layout::YearViewDayFrame(1, 1, 0, 1), (CRect{23, 103, 53, 123}));
    EXPECT_EQ(layout::YearViewDayFrame(2, 3, 6, 6), (CRect{453, 643, 483, 663}));
}

TEST(CalendarLayout, SheetOriginsAndTextPoints) {
    EXPECT_EQ(layout::CaptionPoint(layout::YearSheetOrigin(0)), (CPoint{10, 55}));
    EXPECT_EQ(layout::CaptionPoint(layout::YearSheetOrigin(11)), (CPoint{760, 495}));
    EXPECT_EQ(layout::YearSlotOrigin(2, 2), layout::YearSheetOrigin(5));
    EXPECT_EQ(layout::MonthAtSlot(2, 2), 5);
    EXPECT_EQ(layout::DayPoint({0, 0}, 6, 1), (CPoint{210, 80}));
    EXPECT_EQ(layout::HeaderPoint({250, 25}, 0), (CPoint{280, 85}));
}

TEST(CalendarLayout, DayColours) {
    struct Case {
        const char* name;
        int weekday, flag;
        COLORREF colour;
    } cases[] = {
        {"Sunday", 0, 0, layout::kRed},
        {"Saturday", 6, 0, layout::kBlue},
        {"Saturday holiday is red", 6, 1, layout::kRed},
        {"weekday holiday", 3, 1, layout::kRed},
        {"ordinary weekday", 3, 0, layout::kBlack},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDayCell cell;
        cell.day = 1;
        cell.weekday = c.weekday;
        cell.flag = c.flag;
        EXPECT_EQ(layout::DayColour(cell), c.colour);
    }
}

}  // namespace
