// ResetModelState brings back every piece of the model's program-wide state, so that no case
// leaks into the next.
#include "model/model_state.h"
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/present_time.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

namespace {

using ModelStateTest = ModelTest;

TEST_F(ModelStateTest, ResetBringsBackEveryPieceOfProgramWideState) {
    g_strMemoData = "126^11^7^m~";
    g_strStaticHoliday = "1^1^s^0~";
    g_strDynamicHoliday = "1^15^d^2~";
    g_strYearHoliday = "5^6^y^100~";
    g_YearCalendar.year = 126;
    g_YearCalendar.month = 5;
    g_YearCalendar.Build();
    ASSERT_EQ(::mkdir(kMemoFile, 0755), 0);
    ReadTextFile(kMemoFile);
    ASSERT_TRUE(IsUnreadableFile(kMemoFile));
    FileSystemCalls failing = RealFileSystemCalls();
    failing.readFile = [](int, void*, std::size_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    SetFileSystemCallsForTesting(failing);
    std::tm fixed{};
    fixed.tm_year = 50;
    SetPresentTimeForTesting(fixed);

    ResetModelState();

    EXPECT_EQ(g_strMemoData, "");
    EXPECT_EQ(g_strStaticHoliday, "");
    EXPECT_EQ(g_strDynamicHoliday, "");
    EXPECT_EQ(g_strYearHoliday, "");
    EXPECT_EQ(g_YearCalendar.year, 0);
    EXPECT_EQ(g_YearCalendar.month, 0);
    EXPECT_EQ(g_YearCalendar.cells[0][0].day, 0);
    EXPECT_FALSE(IsUnreadableFile(kMemoFile));
    EXPECT_EQ(CurrentFileSystemCalls().readFile, RealFileSystemCalls().readFile);
    EXPECT_NE(CurrentLocalTime().tm_year, 50);
}

}  // namespace
