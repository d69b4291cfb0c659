#include "tests/ui/main/calendar_fixture.h"

#include "ui/resource_ids.h"

void CalendarWindowTest::SetUp() {
    WindowTest::SetUp();
    SetNow(2026, 12, 7);
}

void CalendarWindowTest::TearDown() {
    if (m_dlg) m_dlg->DestroyWindow();
    m_dlg.reset();
    WindowTest::TearDown();
}

CCalendarDlg& CalendarWindowTest::OpenWindow() {
    m_dlg = std::make_unique<CCalendarDlg>();
    EXPECT_TRUE(m_dlg->Create(IDD_CALENDAR));
    return *m_dlg;
}
