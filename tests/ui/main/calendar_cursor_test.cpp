#include "tests/ui/main/calendar_fixture.h"

#include "model/year_calendar.h"
#include "platform/resources.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "ui/resource_ids.h"

namespace {

MSG Key(UINT message, UINT vk, UINT keyState = 0) { return MSG{message, vk, keyState}; }

UINT ModifierBit(UINT vk) { return vk == VK_SHIFT ? MK_SHIFT : vk == VK_CONTROL ? MK_CONTROL : 0; }

// Presses and releases keys through the window's key handling, as the layer delivers them: a key
// pressed while others are held carries them in its message.
void Press(CCalendarDlg& dlg, std::initializer_list<UINT> held, UINT key) {
    UINT keyState = 0;
    for (UINT h : held) {
        MSG down = Key(WM_KEYDOWN, h, keyState);
        dlg.PreTranslateMessage(&down);
        keyState |= ModifierBit(h);
    }
    MSG down = Key(WM_KEYDOWN, key, keyState);
    dlg.PreTranslateMessage(&down);
    MSG up = Key(WM_KEYUP, key, keyState);
    dlg.PreTranslateMessage(&up);
    for (UINT h : held) {
        MSG release = Key(WM_KEYUP, h, keyState);
        dlg.PreTranslateMessage(&release);
        keyState &= ~ModifierBit(h);
    }
}

using CursorTest = CalendarWindowTest;

struct PointerCase {
    const char* name;
    CPoint point;
    int col, row;
};

class PointerTest : public CalendarWindowTest, public ::testing::WithParamInterface<PointerCase> {};

TEST_P(PointerTest, MovesTheMonthViewCursorOnlyOverTheGrid) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.m_nDayCol = 4;
    dlg.m_nDayRow = 5;
    dlg.OnMouseMove(0, GetParam().point);
    EXPECT_EQ(dlg.m_nDayCol, GetParam().col);
    EXPECT_EQ(dlg.m_nDayRow, GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(Points, PointerTest,
                         ::testing::Values(PointerCase{"top-left cell", {30, 80}, 0, 1},
                                           PointerCase{"bottom-right cell", {240, 200}, 6, 6},
                                           PointerCase{"left of the grid leaves the cursor", {29, 100}, 4, 5},
                                           PointerCase{"below the grid leaves the cursor", {100, 201}, 4, 5},
                                           PointerCase{"a cell in the middle", {100, 130}, 2, 3}),
                         NameRows());

TEST_F(CursorTest, YearViewMonthCursorFollowsThePointerAndOpensAMonth) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    dlg.OnMouseMove(0, {300, 640});
    EXPECT_EQ(dlg.m_nMonthCol, 2);
    EXPECT_EQ(dlg.m_nMonthRow, 3);
    dlg.OnLButtonDblClk(0, {300, 640});
    EXPECT_EQ(dlg.m_nView, 1) << "below y 625 a double-click opens nothing";
    dlg.OnMouseMove(0, {1000, 100});
    EXPECT_EQ(dlg.m_nMonthCol, 2) << "right of the sheets the cursor stays";
    dlg.OnLButtonDblClk(0, {300, 300});
    EXPECT_EQ(dlg.m_nView, 0);
    EXPECT_EQ(g_YearCalendar.month, 5) << "June";
    EXPECT_FALSE(dlg.IsZoomed());
}

TEST_F(CursorTest, YearViewDayCursorMakesThePointedMonthTheShownMonth) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    dlg.ToggleCursorMode();
    ASSERT_EQ(dlg.m_bMonthCursor, 0);
    dlg.OnMouseMove(0, {40, 25 + 100});
    EXPECT_EQ(g_YearCalendar.month, 0);
    EXPECT_EQ(dlg.m_nDayCol, 0);
    EXPECT_EQ(dlg.m_nDayRow, 2);
    dlg.OnMouseMove(0, {250 + 100, 25 + 130});
    EXPECT_EQ(g_YearCalendar.month, 1) << "February";
    EXPECT_EQ(dlg.m_nMonthCol, 2);
    EXPECT_EQ(dlg.m_nDayCol, 2);
    EXPECT_EQ(dlg.m_nDayRow, 3);
}

TEST_F(CursorTest, ArrowKeysCrossSheetsAndStopAtTheEdges) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    dlg.ToggleCursorMode();
    struct Case {
        const char* name;
        int monthCol, monthRow, dayCol, dayRow;
        UINT key;
        int wantMonthCol, wantMonthRow, wantDayCol, wantDayRow;
    } cases[] = {
        {"Saturday of January enters February at Sunday", 1, 1, 6, 3, VK_RIGHT, 2, 1, 0, 3},
        {"Saturday of April stays", 4, 1, 6, 3, VK_RIGHT, 4, 1, 6, 3},
        {"Sunday of June enters May at Saturday", 2, 2, 0, 2, VK_LEFT, 1, 2, 6, 2},
        {"row 6 of May enters September at row 1", 1, 2, 3, 6, VK_DOWN, 1, 3, 3, 1},
        {"row 1 of January stays", 1, 1, 3, 1, VK_UP, 1, 1, 3, 1},
        {"row 1 of May enters January at row 6", 1, 2, 3, 1, VK_UP, 1, 1, 3, 6},
        {"an ordinary step", 3, 2, 2, 2, VK_RIGHT, 3, 2, 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dlg.m_nMonthCol = c.monthCol;
        dlg.m_nMonthRow = c.monthRow;
        dlg.m_nDayCol = c.dayCol;
        dlg.m_nDayRow = c.dayRow;
        Press(dlg, {}, c.key);
        EXPECT_EQ(dlg.m_nMonthCol, c.wantMonthCol);
        EXPECT_EQ(dlg.m_nMonthRow, c.wantMonthRow);
        EXPECT_EQ(dlg.m_nDayCol, c.wantDayCol);
        EXPECT_EQ(dlg.m_nDayRow, c.wantDayRow);
    }
    dlg.ToggleCursorMode();
    dlg.m_nMonthCol = 4;
    dlg.m_nMonthRow = 3;
    Press(dlg, {}, VK_RIGHT);
    Press(dlg, {}, VK_DOWN);
    EXPECT_EQ(dlg.m_nMonthCol, 4);
    EXPECT_EQ(dlg.m_nMonthRow, 3);
    Press(dlg, {}, VK_LEFT);
    EXPECT_EQ(dlg.m_nMonthCol, 3);
}

TEST_F(CursorTest, MonthViewRightAtSaturdayWrapsOnlyWhileTheMonthColumnCanMove) {
    CCalendarDlg& dlg = OpenWindow();  // December: month column 4
    dlg.m_nDayCol = 6;
    Press(dlg, {}, VK_RIGHT);
    EXPECT_EQ(dlg.m_nDayCol, 6);
    dlg.m_nMonthCol = 2;
    Press(dlg, {}, VK_RIGHT);
    EXPECT_EQ(dlg.m_nDayCol, 0);
    EXPECT_EQ(dlg.m_nMonthCol, 3);
}

struct ShiftArrowCase {
    const char* name;
    bool yearView;
    UINT key;
    int year, month;
};

class ShiftArrowTest : public CalendarWindowTest, public ::testing::WithParamInterface<ShiftArrowCase> {};

TEST_P(ShiftArrowTest, NavigatesByView) {
    CCalendarDlg& dlg = OpenWindow();  // December 2026
    dlg.m_nView = GetParam().yearView ? 1 : 0;
    Press(dlg, {VK_SHIFT}, GetParam().key);
    EXPECT_EQ(g_YearCalendar.year, GetParam().year);
    EXPECT_EQ(g_YearCalendar.month, GetParam().month);
    EXPECT_EQ(g_bShiftDown, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ShiftArrowTest,
    ::testing::Values(ShiftArrowCase{"month view Shift+Up goes to the next year", false, VK_UP, 127, 11},
                      ShiftArrowCase{"month view Shift+Down goes to the previous year", false, VK_DOWN, 125, 11},
                      ShiftArrowCase{"month view Shift+Right goes to the next month, across the year", false, VK_RIGHT,
                                     127, 0},
                      ShiftArrowCase{"month view Shift+Left goes to the previous month", false, VK_LEFT, 126, 10},
                      ShiftArrowCase{"year view Shift+Right goes to the next year", true, VK_RIGHT, 127, 11},
                      ShiftArrowCase{"year view Shift+Left goes to the previous year", true, VK_LEFT, 125, 11}),
    NameRows());

TEST_F(CursorTest, CtrlRAndCtrlCAndShiftEnter) {
    CCalendarDlg& dlg = OpenWindow();
    Press(dlg, {VK_CONTROL}, 'R');
    EXPECT_EQ(dlg.m_bMonthCursor, 0) << "Ctrl+R toggles the cursor mode in the month view too";
    EXPECT_EQ(g_bCtrlDown, 0);
    Press(dlg, {VK_CONTROL}, 'C');
    EXPECT_EQ(dlg.m_nView, 1);
    EXPECT_TRUE(dlg.IsZoomed());
    MSG shiftDown = Key(WM_KEYDOWN, VK_SHIFT);
    dlg.PreTranslateMessage(&shiftDown);
    MSG enter = Key(WM_KEYDOWN, VK_RETURN, MK_SHIFT);
    EXPECT_EQ(dlg.PreTranslateMessage(&enter), TRUE) << "Enter is consumed";
    EXPECT_EQ(dlg.m_nView, 0) << "Shift+Enter switches the view";
    EXPECT_FALSE(dlg.IsZoomed());
    MSG other = Key(WM_KEYDOWN, 'X');
    EXPECT_EQ(dlg.PreTranslateMessage(&other), FALSE);
}

TEST_F(CursorTest, CommandsNavigateAndPrevNextMonthDoNothingInTheYearView) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.OnCommand(ID_VIEW_NEXT_MONTH);
    EXPECT_EQ(g_YearCalendar.year, 127);
    EXPECT_EQ(g_YearCalendar.month, 0);
    dlg.OnCommand(ID_VIEW_PREV_YEAR);
    EXPECT_EQ(g_YearCalendar.year, 126);
    dlg.OnCommand(ID_VIEW_THIS_MONTH);
    EXPECT_EQ(g_YearCalendar.month, 11);
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    dlg.OnCommand(ID_VIEW_PREV_MONTH);
    dlg.OnCommand(ID_VIEW_NEXT_MONTH);
    EXPECT_EQ(g_YearCalendar.year, 126);
    EXPECT_EQ(g_YearCalendar.month, 11);
    dlg.OnCommand(ID_VIEW_NEXT_YEAR);
    EXPECT_EQ(g_YearCalendar.year, 127);
}

TEST_F(CursorTest, ToolTipsComeFromTheStringTable) {
    CCalendarDlg& dlg = OpenWindow();
    for (UINT id : dlg.m_wndToolBar.Buttons()) {
        SCOPED_TRACE(id);
        TOOLTIPTEXT request{id, {}};
        EXPECT_TRUE(dlg.OnToolTipNotify(&request));
        EXPECT_EQ(request.text, Cp932(platform::FindStringResource(id)));
        EXPECT_FALSE(request.text.empty());
    }
    TOOLTIPTEXT none;
    EXPECT_FALSE(dlg.OnToolTipNotify(&none)) << "id 0 supplies no text";
}

TEST_F(CursorTest, SelectedDayTheMonthLacksPutsTheCursorOnTheLastDay) {
    SetNow(2026, 12, 31);
    CCalendarDlg& dlg = OpenWindow();
    g_YearCalendar.month = 10;  // November has 30 days
    dlg.SyncCursorToSelectedDay();
    EXPECT_EQ(dlg.m_nDayCol, 1) << "30 November 2026 is a Monday";
    EXPECT_EQ(dlg.m_nDayRow, 5);
    EXPECT_EQ(dlg.m_nMonthCol, 3);
    EXPECT_EQ(dlg.m_nMonthRow, 3);
}

TEST_F(CursorTest, ActingOnAnEmptyGridPositionDoesNothing) {
    CCalendarDlg& dlg = OpenWindow();
    int selected = g_nSelDay;
    dlg.m_nDayCol = 6;
    dlg.m_nDayRow = 6;  // December 2026 ends in row 5
    dlg.OpenAtCursor();
    EXPECT_EQ(g_nSelDay, selected);
    EXPECT_TRUE(dlg.IsWindowVisible());
}

}  // namespace
