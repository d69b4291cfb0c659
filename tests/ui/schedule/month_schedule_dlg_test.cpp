#include "ui/schedule/month_schedule_dlg.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/ui/schedule/schedule_fixture.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"
#include "ui/schedule/schedule_dlg.h"

#include <QListWidget>
#include <QPlainTextEdit>

#include <functional>
#include <vector>

namespace {

using platform::testing::PendingModalHooks;
using platform::testing::QueueModalHook;
using MonthSchedule = ScheduleTest;

// Runs the month list once: `act` gets it open and must end it. Returns the modal result.
INT_PTR RunMonthList(const std::function<void(CMonthScheduleDlg&)>& act) {
    QueueModalHook([&act](CDialog& dialog) { act(dynamic_cast<CMonthScheduleDlg&>(dialog)); });
    CMonthScheduleDlg dialog;
    return dialog.DoModal();
}

std::vector<std::string> Lines(CMonthScheduleDlg& d) {
    std::vector<std::string> lines;
    for (int i = 0; i < d.m_listDays.GetCount(); ++i) lines.push_back(d.m_listDays.GetText(i));
    return lines;
}

BOOL Key(CMonthScheduleDlg& d, UINT message, UINT key, UINT keyState = 0) {
    MSG msg{message, key, keyState};
    return d.PreTranslateMessage(&msg);
}

struct MonthCase {
    const char* name;
    int year, month;
    std::size_t count;
    const char* first;
    const char* last;
};

class MonthListTest : public ScheduleTest, public ::testing::WithParamInterface<MonthCase> {};

TEST_P(MonthListTest, ListsEveryDayOfTheShownMonthInDayOrder) {
    const MonthCase& c = GetParam();
    ShowDate(c.year, c.month, 1);
    std::vector<std::string> lines;
    int selected = 0;
    const INT_PTR result = RunMonthList([&](CMonthScheduleDlg& d) {
        lines = Lines(d);
        selected = d.m_listDays.GetCurSel();
        ChooseMenu(d, ID_LIST_CLOSE);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(selected, LB_ERR);
    ASSERT_EQ(lines.size(), c.count);
    EXPECT_EQ(Hex(lines.front()), Hex(Cp932(c.first)));
    EXPECT_EQ(Hex(lines.back()), Hex(Cp932(c.last)));
}

INSTANTIATE_TEST_SUITE_P(Months, MonthListTest,
                         ::testing::Values(MonthCase{"February 2026", 126, 1, 28, " 1日(日)    ", "28日(土)    "},
                                           MonthCase{"leap February 2028", 128, 1, 29, " 1日(火)    ", "29日(火)    "},
                                           MonthCase{"December 2026", 126, 11, 31, " 1日(火)    ", "31日(木)    "}),
                         NameRows());

TEST_F(MonthSchedule, ALineShowsTheFirstMemoOfItsDay) {
    ShowDate(126, 1, 1);
    g_strMemoData = "126^1^3^dentist~126^1^3^other~125^1^3^old~126^1^40^far~126^1^9^" + Cp932("歯医者") + "~";
    std::vector<std::string> lines;
    RunMonthList([&](CMonthScheduleDlg& d) {
        lines = Lines(d);
        d.GetSafeWidget()->close();
    });
    ASSERT_EQ(lines.size(), 28u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i + 1);
        if (i == 2) {
            EXPECT_EQ(Hex(lines[i]), Hex(Cp932(" 3日(火)    dentist")));
        } else if (i == 8) {
            EXPECT_EQ(Hex(lines[i]), Hex(Cp932(" 9日(月)    歯医者")));
        } else {
            EXPECT_EQ(lines[i].size(), Cp932(" 1日(日)    ").size()) << "no memo on this line";
        }
    }
    EXPECT_EQ(g_strMemoData.substr(0, 16), "126^1^3^dentist~") << "the list never changes the store";
}

TEST_F(MonthSchedule, EscapeAndTheCloseBoxCancel) {
    const std::function<void(CMonthScheduleDlg&)> ways[] = {
        [](CMonthScheduleDlg& d) { PressKey(d.GetDlgItemWidget(IDC_DAY_LIST), Qt::Key_Escape); },
        [](CMonthScheduleDlg& d) { d.GetSafeWidget()->close(); },
    };
    for (const auto& way : ways) EXPECT_EQ(RunMonthList(way), IDCANCEL);
}

TEST_F(MonthSchedule, ShiftArrowsMoveTheListedMonthAndLetTheKeyGoOn) {
    struct Case {
        const char* name;
        UINT key;
        int year, month;
        const char* first;
    } cases[] = {
        {"Shift+Up is the next year", VK_UP, 127, 11, " 1日(水)    "},
        {"Shift+Right is the next month", VK_RIGHT, 127, 0, " 1日(金)    "},
        {"Shift+Left is the previous month", VK_LEFT, 126, 10, " 1日(日)    "},
        {"Shift+Down is the previous year", VK_DOWN, 125, 11, " 1日(月)    "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShowDate(126, 11, 7);
        std::string first;
        BOOL arrowConsumed = TRUE;
        RunMonthList([&](CMonthScheduleDlg& d) {
            EXPECT_FALSE(Key(d, WM_KEYDOWN, VK_SHIFT));
            arrowConsumed = Key(d, WM_KEYDOWN, c.key, MK_SHIFT);
            Key(d, WM_KEYUP, c.key, MK_SHIFT);
            Key(d, WM_KEYUP, VK_SHIFT, MK_SHIFT);
            first = d.m_listDays.GetText(0);
            ChooseMenu(d, ID_LIST_CLOSE);
        });
        EXPECT_FALSE(arrowConsumed);
        EXPECT_EQ(g_YearCalendar.year, c.year);
        EXPECT_EQ(g_YearCalendar.month, c.month);
        EXPECT_EQ(Hex(first), Hex(Cp932(c.first)));
        EXPECT_EQ(g_bListShiftDown, 0);
    }
}

TEST_F(MonthSchedule, ArrowsWithoutShiftLeaveTheMonth) {
    RunMonthList([](CMonthScheduleDlg& d) {
        Key(d, WM_KEYDOWN, VK_SHIFT);
        Key(d, WM_KEYUP, VK_SHIFT);
        Key(d, WM_KEYDOWN, VK_UP);
        Key(d, WM_KEYDOWN, VK_LEFT);
        ChooseMenu(d, ID_LIST_CLOSE);
    });
    EXPECT_EQ(g_YearCalendar.year, 126);
    EXPECT_EQ(g_YearCalendar.month, 11);
}

TEST_F(MonthSchedule, KeysFromTheKeyboardReachTheListsShiftHandling) {
    int lines = 0;
    RunMonthList([&](CMonthScheduleDlg& d) {
        QWidget* list = d.GetDlgItemWidget(IDC_DAY_LIST);
        PressKey(list, Qt::Key_Shift, Qt::ShiftModifier);
        PressKey(list, Qt::Key_Right, Qt::ShiftModifier);
        PressKey(list, Qt::Key_Right, Qt::ShiftModifier);
        ReleaseKey(list, Qt::Key_Shift);
        lines = d.m_listDays.GetCount();
        ChooseMenu(d, ID_LIST_CLOSE);
    });
    EXPECT_EQ(g_YearCalendar.year, 127);
    EXPECT_EQ(g_YearCalendar.month, 1);
    EXPECT_EQ(lines, 28);
    EXPECT_EQ(g_bListShiftDown, 0);
}

TEST_F(MonthSchedule, AShiftReleasedInAnotherWindowDoesNotStayHeld) {
    // Shift goes down in one list, which closes before the key comes up.
    RunMonthList([](CMonthScheduleDlg& d) {
        Key(d, WM_KEYDOWN, VK_SHIFT);
        ChooseMenu(d, ID_LIST_CLOSE);
    });
    EXPECT_EQ(g_bListShiftDown, 1);
    RunMonthList([](CMonthScheduleDlg& d) {
        Key(d, WM_KEYDOWN, VK_DOWN);
        ChooseMenu(d, ID_LIST_CLOSE);
    });
    EXPECT_EQ(g_YearCalendar.year, 126) << "a plain Down moves the selection, not the year";
    EXPECT_EQ(g_bListShiftDown, 0);
}

TEST_F(MonthSchedule, BecomingActiveTakesTheKeyboardsShiftState) {
    struct Case {
        const char* name;
        Qt::KeyboardModifiers held;
        int before, after;
    } cases[] = {
        {"Shift released elsewhere", Qt::NoModifier, 1, 0},
        {"Shift pressed elsewhere and still held", Qt::ShiftModifier, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::testing::SetKeyboardModifiers(c.held);
        int seen = -1;
        RunMonthList([&](CMonthScheduleDlg& d) {
            g_bListShiftDown = c.before;
            d.OnActivate(WA_ACTIVE, nullptr, FALSE);
            seen = g_bListShiftDown;
            ChooseMenu(d, ID_LIST_CLOSE);
        });
        EXPECT_EQ(seen, c.after);
    }
}

struct NavigationCase {
    const char* name;
    UINT id;
    bool fromMenu;
    int year, month;
};

class NavigationTest : public ScheduleTest, public ::testing::WithParamInterface<NavigationCase> {};

TEST_P(NavigationTest, MovesTheListAndItsCaptionAtOnce) {
    const NavigationCase& c = GetParam();
    ShowDate(125, 2, 1);  // March 2025
    std::size_t count = 0;
    platform::DrawLog log;
    RunMonthList([&](CMonthScheduleDlg& d) {
        d.SetDrawLog(&log);
        c.fromMenu ? ChooseMenu(d, c.id) : PressToolbarButton(d, c.id);
        d.SetDrawLog(nullptr);
        count = static_cast<std::size_t>(d.m_listDays.GetCount());
        ChooseMenu(d, ID_LIST_CLOSE);
    });
    EXPECT_EQ(g_YearCalendar.year, c.year);
    EXPECT_EQ(g_YearCalendar.month, c.month);
    CYearCalendar expected;
    expected.year = c.year;
    expected.Build();
    std::size_t days = 0;
    while (days < 31 && expected.cells[c.month][days].day != 0) ++days;
    EXPECT_EQ(count, days);
    // The band shows the new month at once, before any paint message.
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(Hex(log[1].text),
              Hex(Cp932(std::to_string(c.year + 1900) + "年  " + std::to_string(c.month + 1) + "月")));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NavigationTest,
    ::testing::Values(NavigationCase{"this month from the toolbar", ID_LIST_THIS_MONTH, false, 126, 11},
                      NavigationCase{"previous month from the toolbar", ID_LIST_PREV_MONTH, false, 125, 1},
                      NavigationCase{"next month from the toolbar", ID_LIST_NEXT_MONTH, false, 125, 3},
                      NavigationCase{"previous year from the toolbar", ID_LIST_PREV_YEAR, false, 124, 2},
                      NavigationCase{"next year from the toolbar", ID_LIST_NEXT_YEAR, false, 126, 2},
                      NavigationCase{"this month from the menu", ID_LIST_THIS_MONTH, true, 126, 11},
                      NavigationCase{"previous month from the menu", ID_LIST_PREV_MONTH, true, 125, 1},
                      NavigationCase{"next month from the menu", ID_LIST_NEXT_MONTH, true, 125, 3},
                      NavigationCase{"previous year from the menu", ID_LIST_PREV_YEAR, true, 124, 2},
                      NavigationCase{"next year from the menu", ID_LIST_NEXT_YEAR, true, 126, 2}),
    NameRows());

TEST_F(MonthSchedule, DoubleClickingALineOpensItsDayAndRefreshesTheLine) {
    g_strMemoData = "126^11^10^old~";
    std::vector<std::string> before;
    std::vector<std::string> after;
    int selectedAfter = 0;
    bool visibleAfter = false;
    RunMonthList([&](CMonthScheduleDlg& list) {
        before = Lines(list);
        QueueModalHook([&](CDialog& day) {
            EXPECT_EQ(g_nSelDay, 10);
            EXPECT_FALSE(list.IsWindowVisible()) << "the list hides while the day dialog runs";
            EXPECT_EQ(ControlText(day, IDC_MEMO), QStringLiteral("old"));
            TypeInto(day, IDC_MEMO, QStringLiteral("new"));
            ClickButton(day, IDC_SCHEDULE_REGISTER);
            EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^10^new~") + '\0') << "saved at once";
        });
        auto* widget = dynamic_cast<QListWidget*>(list.GetDlgItemWidget(IDC_DAY_LIST));
        list.m_listDays.SetCurSel(9);
        emit widget->itemDoubleClicked(widget->item(9));
        after = Lines(list);
        selectedAfter = list.m_listDays.GetCurSel();
        visibleAfter = list.IsWindowVisible() != FALSE;
        ChooseMenu(list, ID_LIST_CLOSE);
    });
    EXPECT_EQ(PendingModalHooks(), 0u);
    EXPECT_EQ(Hex(before[9]), Hex(Cp932("10日(木)    old")));
    ASSERT_EQ(after.size(), 31u);
    EXPECT_EQ(Hex(after[9]), Hex(Cp932("10日(木)    new")));
    EXPECT_EQ(selectedAfter, LB_ERR);
    EXPECT_TRUE(visibleAfter);
    EXPECT_EQ(g_strMemoData, "126^11^10^new~");
}

TEST_F(MonthSchedule, EnterAndTheToolbarOpenTheSelectedDayOnly) {
    std::vector<int> opened;
    RunMonthList([&](CMonthScheduleDlg& list) {
        EXPECT_TRUE(Key(list, WM_KEYDOWN, VK_RETURN)) << "Enter is consumed";
        PressToolbarButton(list, ID_LIST_OPEN_DAY);
        EXPECT_EQ(PendingModalHooks(), 0u) << "nothing opened without a selected line";

        for (const int line : {0, 30}) {
            QueueModalHook([&](CDialog& day) {
                opened.push_back(g_nSelDay);
                ClickButton(day, IDC_SCHEDULE_CANCEL);
            });
            list.m_listDays.SetCurSel(line);
            if (line == 0) {
                EXPECT_TRUE(Key(list, WM_KEYDOWN, VK_RETURN));
            } else {
                PressToolbarButton(list, ID_LIST_OPEN_DAY);
            }
        }
        ChooseMenu(list, ID_LIST_CLOSE);
    });
    EXPECT_EQ(opened, (std::vector<int>{1, 31}));
    EXPECT_EQ(g_strMemoData, "126^11^1^~126^11^31^~") << "cancelling a day without a memo adds an empty record";
}

TEST_F(MonthSchedule, TheEndOfTheProgramWhileADayIsOpenKeepsWhatIsTyped) {
    const INT_PTR result = RunMonthList([&](CMonthScheduleDlg& list) {
        QueueModalHook([](CDialog& day) {
            TypeInto(day, IDC_MEMO, QStringLiteral("typed"));
            CDialog::EndDialogsOpenedAfter(nullptr);
        });
        list.m_listDays.SetCurSel(2);
        PressToolbarButton(list, ID_LIST_OPEN_DAY);
        EXPECT_TRUE(list.IsEnded());
        EXPECT_FALSE(list.IsWindowVisible()) << "an ended list does not come back";
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(g_strMemoData, "126^11^3^typed~");
}

TEST_F(MonthSchedule, TheCaptionBandIsDrawnBelowTheToolbar) {
    ShowDate(127, 0, 1);
    platform::DrawLog log;
    int toolbarHeight = -1;
    int width = 0;
    RunMonthList([&](CMonthScheduleDlg& d) {
        d.SetDrawLog(&log);
        toolbarHeight = d.m_wndToolBar.CalcFixedLayout(FALSE, TRUE).cy;
        width = d.GetClientRect().Width();
        d.InvalidateRect(nullptr, TRUE);
        d.OnPaint();
        EXPECT_EQ(d.Surface().pixel(width - 5, toolbarHeight + 10) & 0xFFFFFFu, 0xC0C0C0u);
        d.SetDrawLog(nullptr);
        ChooseMenu(d, ID_LIST_CLOSE);
    });
    ASSERT_GT(toolbarHeight, 0);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rect, (CRect{0, toolbarHeight, width, toolbarHeight + 20}));
    EXPECT_EQ(log[0].colour, RGB(192, 192, 192));
    EXPECT_EQ(log[1].point, (CPoint{10, 30}));
    EXPECT_EQ(Hex(log[1].text), Hex(Cp932("2027年  1月")));
    EXPECT_EQ(log[1].colour, RGB(0, 0, 0));
    EXPECT_EQ(log[1].fontFace, "ＭＳ 明朝");
}

TEST_F(MonthSchedule, ToolbarButtonsAnswerTheirToolTips) {
    RunMonthList([](CMonthScheduleDlg& d) {
        const std::vector<UINT> buttons = {
            ID_LIST_OPEN_DAY, 0, ID_LIST_PREV_YEAR, ID_LIST_PREV_MONTH, ID_LIST_THIS_MONTH, ID_LIST_NEXT_MONTH,
            ID_LIST_NEXT_YEAR};
        EXPECT_EQ(d.m_wndToolBar.Buttons(), buttons);
        struct Case {
            UINT id;
            const char* text;
        } cases[] = {
            {ID_LIST_OPEN_DAY, "1日のスケジュール"},
            {ID_LIST_THIS_MONTH, "今月"},
            {ID_LIST_PREV_MONTH, "前月"},
            {ID_LIST_NEXT_MONTH, "翌月"},
            {ID_LIST_PREV_YEAR, "前年"},
            {ID_LIST_NEXT_YEAR, "翌年"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text);
            TOOLTIPTEXT request{c.id, {}};
            EXPECT_TRUE(d.OnToolTipNotify(&request));
            EXPECT_EQ(Hex(request.text), Hex(Cp932(c.text)));
        }
        ChooseMenu(d, ID_LIST_CLOSE);
    });
}

}  // namespace
