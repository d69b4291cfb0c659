#include "tests/ui/main/calendar_fixture.h"

#include "app/platform/testing.h"
#include "app/resources/resource_ids.h"
#include "model/present_time.h"
#include "model/record.h"
#include "model/year_calendar.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

void CalendarWindowTest::SetUp() {
    m_oldDirectory = std::filesystem::current_path().string();
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-ui-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_directory = pattern;
    std::filesystem::current_path(m_directory);

    g_strMemoData.clear();
    g_strStaticHoliday.clear();
    g_strDynamicHoliday.clear();
    g_strYearHoliday.clear();
    g_YearCalendar = CYearCalendar{};
    g_nSelDay = 0;
    g_bMinimized = 0;
    g_bShiftDown = 0;
    g_bCtrlDown = 0;
    platform::testing::EnableTestMode();
    platform::testing::Reset();
    platform::testing::SetTrayAvailable(true);
    SetNow(2026, 12, 7);
}

void CalendarWindowTest::TearDown() {
    if (m_dlg) m_dlg->DestroyWindow();
    m_dlg.reset();
    platform::testing::Reset();
    ClearPresentTimeForTesting();
    std::filesystem::current_path(m_oldDirectory);
    std::error_code ignored;
    std::filesystem::permissions(m_directory, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(m_directory, ignored);
}

CCalendarDlg& CalendarWindowTest::OpenWindow() {
    m_dlg = std::make_unique<CCalendarDlg>();
    EXPECT_TRUE(m_dlg->Create(IDD_CALENDAR));
    return *m_dlg;
}

void CalendarWindowTest::SetNow(int year, int month, int day, int hour, int minute) {
    std::tm moment{};
    moment.tm_year = year - 1900;
    moment.tm_mon = month - 1;
    moment.tm_mday = day;
    moment.tm_hour = hour;
    moment.tm_min = minute;
    moment.tm_isdst = -1;
    std::tm normalised = moment;
    timegm(&normalised);  // fills in the weekday and day of the year
    SetPresentTimeForTesting(normalised);
}

std::string FileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void PutFileBytes(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}
