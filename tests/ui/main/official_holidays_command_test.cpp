#include "model/year_calendar.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/ui/main/calendar_fixture.h"
#include "ui/resource_ids.h"

#include <string>
#include <vector>

namespace {

using platform::testing::MessageBoxCalls;
using platform::testing::QueueMessageBoxAnswer;
using platform::testing::QueueOpenFileAnswer;

const std::string kOfficialList = std::string(VELMORA_SOURCE_DIR) + "/data/holidays/syukujitsu.csv";

class OfficialHolidaysCommandTest : public CalendarWindowTest {
protected:
    // 設定 → 祝日を最新にする... with Shift held, picking `list`.
    void ChooseWithShift(CCalendarDlg& dlg, const std::string& list) {
        platform::testing::SetKeyboardModifiers(Qt::ShiftModifier);
        QueueOpenFileAnswer(list);
        dlg.OnCommand(ID_SETTINGS_OFFICIAL_HOLIDAYS);
        platform::testing::SetKeyboardModifiers(std::nullopt);
    }
    static std::vector<std::string> HolidayFiles() {
        return {FileBytes("Static_holi.txt"), FileBytes("Dynamic_holi.txt"), FileBytes("126_holi.txt")};
    }
};

TEST_F(OfficialHolidaysCommandTest, AfterTheUpdateTheShownYearHasTodaysHolidays) {
    CCalendarDlg& dlg = OpenWindow();
    ASSERT_EQ(g_YearCalendar.Cell(11, 23)->flag, 1) << "the built-in table marks 23 December";
    ASSERT_EQ(g_YearCalendar.Cell(4, 6)->flag, 0);

    QueueMessageBoxAnswer(IDYES);
    QueueMessageBoxAnswer(IDOK);
    ChooseWithShift(dlg, kOfficialList);

    ASSERT_EQ(MessageBoxCalls().size(), 2u);
    EXPECT_EQ(MessageBoxCalls()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
    EXPECT_NE(MessageBoxCalls()[0].text.find("バックアップ"), std::string::npos);
    EXPECT_NE(MessageBoxCalls()[1].text.find("祝日を最新にしました"), std::string::npos) << MessageBoxCalls()[1].text;
    // The year shown is rebuilt at once: May 2026's days off, and no Emperor's Birthday in December.
    for (const int day : {3, 4, 5, 6}) EXPECT_EQ(g_YearCalendar.Cell(4, day)->flag, 1) << "May " << day;
    EXPECT_EQ(g_YearCalendar.Cell(4, 6)->text, Cp932("休日"));
    EXPECT_EQ(g_YearCalendar.Cell(8, 22)->flag, 1) << "22 September 2026, 国民の休日";
    EXPECT_EQ(g_YearCalendar.Cell(11, 23)->flag, 0);
    EXPECT_EQ(g_YearCalendar.Cell(1, 23)->text, Cp932("天皇誕生日"));

    // Run again on a folder already up to date: nothing changed, and no backup to name.
    QueueMessageBoxAnswer(IDYES);
    QueueMessageBoxAnswer(IDOK);
    ChooseWithShift(dlg, kOfficialList);
    ASSERT_EQ(MessageBoxCalls().size(), 4u);
    EXPECT_NE(MessageBoxCalls()[3].text.find("何も変更していません"), std::string::npos) << MessageBoxCalls()[3].text;
    EXPECT_EQ(MessageBoxCalls()[3].text.find("「」"), std::string::npos) << MessageBoxCalls()[3].text;
}

TEST_F(OfficialHolidaysCommandTest, NoChangesNothing) {
    CCalendarDlg& dlg = OpenWindow();
    const std::vector<std::string> before = HolidayFiles();
    QueueMessageBoxAnswer(IDNO);
    ChooseWithShift(dlg, kOfficialList);
    EXPECT_EQ(HolidayFiles(), before);
    EXPECT_EQ(g_YearCalendar.Cell(11, 23)->flag, 1);
}

TEST_F(OfficialHolidaysCommandTest, AFileThatIsNoListIsRefusedNamingItAndChangesNothing) {
    CCalendarDlg& dlg = OpenWindow();
    const std::vector<std::string> before = HolidayFiles();
    PutFileBytes("notes.csv", "date,what\r\n2026/13/1,nothing\r\n");
    QueueMessageBoxAnswer(IDYES);
    QueueMessageBoxAnswer(IDOK);
    ChooseWithShift(dlg, "notes.csv");
    ASSERT_EQ(MessageBoxCalls().size(), 2u);
    EXPECT_NE(MessageBoxCalls()[1].text.find("「notes.csv」"), std::string::npos) << MessageBoxCalls()[1].text;
    EXPECT_EQ(HolidayFiles(), before);
}

TEST_F(OfficialHolidaysCommandTest, ACancelledFilePickerAsksNothing) {
    CCalendarDlg& dlg = OpenWindow();
    platform::testing::SetKeyboardModifiers(Qt::ShiftModifier);
    QueueOpenFileAnswer(std::nullopt);
    dlg.OnCommand(ID_SETTINGS_OFFICIAL_HOLIDAYS);
    EXPECT_TRUE(MessageBoxCalls().empty());
}

}  // namespace
