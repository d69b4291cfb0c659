#include "tests/ui/main/calendar_fixture.h"

#include "model/present_time.h"
#include "platform/testing.h"
#include "ui/resource_ids.h"

void CalendarWindowTest::SetUp() {
    m_directory = std::make_unique<ScopedTempDirectory>("velmora-ui");
    ResetProgramState();
    SetNow(2026, 12, 7);
}

void CalendarWindowTest::TearDown() {
    if (m_dlg) m_dlg->DestroyWindow();
    m_dlg.reset();
    platform::testing::Reset();
    ClearPresentTimeForTesting();
    m_directory.reset();
}

CCalendarDlg& CalendarWindowTest::OpenWindow() {
    m_dlg = std::make_unique<CCalendarDlg>();
    EXPECT_TRUE(m_dlg->Create(IDD_CALENDAR));
    return *m_dlg;
}

void CalendarWindowTest::SetNow(int year, int month, int day, int hour, int minute) {
    SetPresentMoment(year, month, day, hour, minute);
}
