#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/testing.h"
#include "tests/ui/schedule/schedule_fixture.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"
#include "ui/schedule/month_schedule_dlg.h"
#include "ui/schedule/schedule_dlg.h"

#include <QApplication>

#include <csignal>
#include <fstream>
#include <iterator>

namespace {

using platform::testing::PendingModalHooks;
using platform::testing::QueueModalHook;
using OpenFromMainWindow = ScheduleTest;

TEST_F(OpenFromMainWindow, TodaysScheduleEditsTodayAndShowsTheWindowAgain) {
    CCalendarDlg main;
    ASSERT_TRUE(main.Create(IDD_CALENDAR));
    ShowDate(125, 3, 20);  // the main window shows another month
    bool hiddenWhileOpen = false;
    QueueModalHook([&](CDialog& day) {
        hiddenWhileOpen = !main.IsWindowVisible();
        EXPECT_NE(dynamic_cast<CScheduleDlg*>(&day), nullptr);
        TypeInto(day, IDC_MEMO, QStringLiteral("today"));
        ClickButton(day, IDC_SCHEDULE_REGISTER);
    });
    main.OnCommand(ID_EDIT_TODAY_SCHEDULE);
    EXPECT_EQ(PendingModalHooks(), 0u);
    EXPECT_TRUE(hiddenWhileOpen);
    EXPECT_TRUE(main.IsWindowVisible());
    EXPECT_FALSE(main.IsZoomed());
    EXPECT_EQ(g_strMemoData, "126^11^7^today~");
    EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^7^today~") + '\0') << "saved at once";
    main.DestroyWindow();
}

TEST_F(OpenFromMainWindow, TheMonthListLeavesTheMainWindowOnItsLastMonth) {
    CCalendarDlg main;
    ASSERT_TRUE(main.Create(IDD_CALENDAR));
    QueueModalHook([&](CDialog& dialog) {
        auto& list = dynamic_cast<CMonthScheduleDlg&>(dialog);
        EXPECT_FALSE(main.IsWindowVisible());
        EXPECT_EQ(list.m_listDays.GetCount(), 31);
        PressToolbarButton(list, ID_LIST_NEXT_MONTH);
        ChooseMenu(list, ID_LIST_CLOSE);
    });
    main.OnCommand(ID_EDIT_MONTH_SCHEDULE);
    EXPECT_EQ(PendingModalHooks(), 0u);
    EXPECT_TRUE(main.IsWindowVisible());
    EXPECT_EQ(g_YearCalendar.year, 127);
    EXPECT_EQ(g_YearCalendar.month, 0);
    main.DestroyWindow();
}

TEST_F(OpenFromMainWindow, ASigtermWhileTheDayIsOpenSavesWhatIsTyped) {
    CCalendarDlg main;
    ASSERT_TRUE(main.Create(IDD_CALENDAR));
    g_strMemoData = "126^11^8^x~";
    QueueModalHook([](CDialog& day) {
        TypeInto(day, IDC_MEMO, QStringLiteral("typed"));
        ASSERT_EQ(raise(SIGTERM), 0);
        for (int i = 0; i < 50 && !IsQuitPosted(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_TRUE(day.IsEnded());
    });
    main.OnCommand(ID_EDIT_TODAY_SCHEDULE);
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^8^x~126^11^7^typed~") + '\0');
    main.DestroyWindow();
}

TEST_F(OpenFromMainWindow, TheTrayAnswersWhileTheDayIsOpenAndItsEndKeepsWhatIsTyped) {
    CCalendarDlg main;
    ASSERT_TRUE(main.Create(IDD_CALENDAR));
    g_strMemoData = "126^11^8^x~";
    platform::testing::SetPopupMenuHook([](const platform::testing::PopupCall&) { return ID_TRAY_EXIT; });
    bool mainShownByLeftClick = true;
    QueueModalHook([&](CDialog& day) {
        TypeInto(day, IDC_MEMO, QStringLiteral("typed"));
        main.OnTrayIconNotify(1, WM_LBUTTONDOWN);
        mainShownByLeftClick = main.IsWindowVisible() != FALSE;
        EXPECT_FALSE(day.IsEnded()) << "a left click only brings the dialog to the front";
        main.OnTrayIconNotify(1, WM_RBUTTONDOWN);
        EXPECT_TRUE(day.IsEnded()) << "the tray's 終了 ends the dialog first";
    });
    main.OnCommand(ID_EDIT_TODAY_SCHEDULE);
    EXPECT_FALSE(mainShownByLeftClick) << "the main window stays hidden under the dialog";
    ASSERT_EQ(platform::testing::PopupCalls().size(), 1u);
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^8^x~126^11^7^typed~") + '\0');
    main.DestroyWindow();
}

}  // namespace
