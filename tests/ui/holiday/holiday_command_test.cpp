#include "model/present_time.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/ui/holiday/holiday_test_support.h"
#include "ui/holiday/holiday_list_dlg.h"
#include "ui/holiday/holiday_set_dlg.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"

#include <sys/stat.h>

#include <ctime>

namespace {

using namespace std::string_literals;

class HolidayCommandTest : public HolidayDialogTest {
protected:
    void SetUp() override {
        HolidayDialogTest::SetUp();
        SetPresentMoment(2026, 12, 7, 9, 0);  // a Monday
    }
};

// The setting dialog's user registers 創立記念日 on 9 December as a one-year holiday.
void QueueRegisteringFoundersDay() {
    platform::testing::QueueModalHook([](CDialog& set) {
        TypeInto(set, IDC_MONTH_COMBO, "12");
        TypeInto(set, IDC_DAY_COMBO, "9");
        TypeInto(set, IDC_HOLIDAY_NAME, "創立記念日");
        CheckRadio(set, IDC_KIND_ONE_YEAR);
        ClickButton(set, IDC_SET_REGISTER);
    });
}

TEST_F(HolidayCommandTest, AOneYearHolidayAddedInTheListMarksItsDayWhenTheListCloses) {
    CCalendarDlg calendar;
    ASSERT_TRUE(calendar.Create(IDD_CALENDAR));
    ASSERT_NE(g_YearCalendar.Cell(11, 9), nullptr);
    ASSERT_EQ(g_YearCalendar.Cell(11, 9)->weekday, 3) << "9 December 2026 is a Wednesday";
    ASSERT_EQ(g_YearCalendar.Cell(11, 9)->flag, 0);

    platform::testing::QueueModalHook([&calendar](CDialog& list) {
        EXPECT_FALSE(calendar.IsWindowVisible()) << "the main window hides while the list runs";
        EXPECT_EQ(dynamic_cast<CHolidayListDlg&>(list).m_listHoliday.GetCount(), 15);
        ClickButton(list, IDC_HOLIDAY_ADD);
        ClickButton(list, IDC_HOLIDAY_CLOSE);
    });
    QueueRegisteringFoundersDay();
    EXPECT_TRUE(calendar.OnCommand(ID_SETTINGS_HOLIDAYS));

    EXPECT_EQ(platform::testing::PendingModalHooks(), 0u);
    EXPECT_TRUE(calendar.IsWindowVisible());
    EXPECT_EQ(g_YearCalendar.Cell(11, 9)->flag, 1);
    EXPECT_EQ(g_YearCalendar.Cell(11, 9)->text, Cp932("創立記念日"));
    EXPECT_EQ(g_YearCalendar.Cell(11, 10)->flag, 0);
    EXPECT_EQ(FileBytes("126_holi.txt"), Cp932("12^9^創立記念日^100~") + '\0');
    calendar.DestroyWindow();
}

TEST_F(HolidayCommandTest, AHolidayThatCannotBeSavedIsToldOfOnceAndStaysUntilTheEnd) {
    CCalendarDlg calendar;
    ASSERT_TRUE(calendar.Create(IDD_CALENDAR));
    ASSERT_EQ(::chmod("126_holi.txt", 0444), 0);

    platform::testing::QueueModalHook([](CDialog& list) {
        ClickButton(list, IDC_HOLIDAY_ADD);
        ClickButton(list, IDC_HOLIDAY_CLOSE);
    });
    QueueRegisteringFoundersDay();
    platform::testing::QueueMessageBoxAnswer(IDOK);
    EXPECT_TRUE(calendar.OnCommand(ID_SETTINGS_HOLIDAYS));

    ASSERT_EQ(platform::testing::MessageBoxCalls().size(), 1u) << "one message for one edit";
    EXPECT_NE(platform::testing::MessageBoxCalls()[0].text.find("「126_holi.txt」"), std::string::npos)
        << platform::testing::MessageBoxCalls()[0].text;
    // The main window rebuilt from the files, yet the edit is what it shows.
    EXPECT_EQ(g_YearCalendar.Cell(11, 9)->flag, 1);
    EXPECT_EQ(FileBytes("126_holi.txt"), "\0"s);

    // "終了(&X)" asks, as for any store it cannot save.
    platform::testing::QueueMessageBoxAnswer(IDNO);
    calendar.OnCommand(ID_FILE_EXIT);
    ASSERT_EQ(platform::testing::MessageBoxCalls().size(), 2u);
    EXPECT_EQ(platform::testing::MessageBoxCalls()[1].text, "休日データの保存に失敗しました。\r\n終了しますか？");

    // Once the file can be written again, the end writes the edit there.
    ASSERT_EQ(::chmod("126_holi.txt", 0644), 0);
    calendar.OnTrayExit();
    EXPECT_EQ(FileBytes("126_holi.txt"), Cp932("12^9^創立記念日^100~") + '\0');
    calendar.DestroyWindow();
}

}  // namespace
