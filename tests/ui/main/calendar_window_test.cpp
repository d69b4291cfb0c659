#include "tests/ui/main/calendar_fixture.h"

#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_texts.h"
#include "ui/resource_ids.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>

#include <sys/stat.h>
#include <csignal>
#include <cstdlib>
#include <tuple>

namespace {

using platform::testing::MessageBoxCalls;
using platform::testing::QueueMessageBoxAnswer;

const std::string kBuiltInStatic = Cp932(
    "1^1^元旦^0~2^11^建国記念日^0~4^29^緑の日^0~5^3^憲法記念日^0~5^4^国民の休日^0~5^5^子供の日^0~"
    "7^20^海の日^0~9^15^敬老の日^0~11^3^分化の日^0~11^23^勤労感謝の日^0~12^23^天皇誕生日^0~");
const std::string kBuiltInDynamic = Cp932("1^15^成人の日^2~3^20^春分の日^10~9^23^秋分の日^11~10^10^体育の日^2~");

TEST_F(CalendarWindowTest, FirstStartWritesTheBuiltInHolidaysBeforeBuildingTheYear) {
    CCalendarDlg& dlg = OpenWindow();
    EXPECT_EQ(FileBytes("Static_holi.txt"), kBuiltInStatic + std::string(1, '\0'));
    EXPECT_EQ(FileBytes("Dynamic_holi.txt"), kBuiltInDynamic + std::string(1, '\0'));
    EXPECT_EQ(FileBytes("126_holi.txt"), std::string(1, '\0'));
    EXPECT_EQ(FileBytes("MemoData.txt"), "<missing>");
    // The build read the files just written: their holidays are marked.
    EXPECT_EQ(g_YearCalendar.Cell(11, 23)->flag, 1);
    EXPECT_EQ(g_YearCalendar.Cell(9, 12)->flag, 1) << "second Monday of October 2026";
    EXPECT_EQ(g_YearCalendar.year, 126);
    EXPECT_EQ(g_YearCalendar.month, 11);
    EXPECT_EQ(g_nSelDay, 7);
    EXPECT_EQ(dlg.m_nView, 0);
    EXPECT_EQ(dlg.m_bMonthCursor, 1);
    EXPECT_EQ(dlg.m_nDayCol, 1) << "7 December 2026 is a Monday";
    EXPECT_EQ(dlg.m_nDayRow, 2);
    EXPECT_EQ(dlg.m_nMonthCol, 4);
    EXPECT_EQ(dlg.m_nMonthRow, 3);
    EXPECT_TRUE(dlg.IsTimerRunning(1));
}

TEST_F(CalendarWindowTest, AStartWithFixedHolidaysAddsNothing) {
    PutFileBytes("Static_holi.txt", std::string("1^2^X^0~") + '\0');
    OpenWindow();
    EXPECT_EQ(g_strStaticHoliday, "1^2^X^0~");
    EXPECT_TRUE(g_strDynamicHoliday.empty());
    EXPECT_EQ(FileBytes("Dynamic_holi.txt"), "<missing>");
    EXPECT_EQ(g_YearCalendar.Cell(0, 2)->flag, 1);
    EXPECT_EQ(g_YearCalendar.Cell(0, 1)->flag, 0);
}

struct TrayTipCase {
    const char* name;
    int month, day;
    const char* tip;  // UTF-8
};

class TrayTipTest : public CalendarWindowTest, public ::testing::WithParamInterface<TrayTipCase> {};

TEST_P(TrayTipTest, NamesTheStartDateAndItsHoliday) {
    SetNow(2026, GetParam().month, GetParam().day);
    CCalendarDlg& dlg = OpenWindow();
    const NOTIFYICONDATA* icon = dlg.TrayIcon(1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(std::string(icon->szTip), Cp932(GetParam().tip));
    EXPECT_EQ(icon->uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_NE(icon->hIcon, nullptr);
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.TrayIcon(1), nullptr) << "destroying the window removes the icon";
}

INSTANTIATE_TEST_SUITE_P(StartDays, TrayTipTest,
                         ::testing::Values(TrayTipCase{"New Year's Day with the built-in holidays", 1, 1,
                                                       "1月1日　元旦"},
                                           TrayTipCase{"an ordinary day", 12, 7, "12月7日"},
                                           TrayTipCase{"the autumn equinox", 9, 23, "9月23日　秋分の日"}),
                         NameRows());

TEST_F(CalendarWindowTest, TrayTipIsCutAtACharacterBoundary) {
    // 9 bytes of date and ideographic space, then "x" and 30 kanji: the 27th kanji would end at 64.
    std::string name = "x";
    for (int i = 0; i < 30; ++i) name += Cp932("祝");
    PutFileBytes("126_holi.txt", "12^7^" + name + "^100~" + '\0');
    PutFileBytes("Static_holi.txt", std::string("1^1^A^0~") + '\0');
    CCalendarDlg& dlg = OpenWindow();
    const std::string tip = dlg.TrayIcon(1)->szTip;
    EXPECT_EQ(tip.size(), 62u);
    EXPECT_EQ(tip, Cp932("12月7日　") + name.substr(0, 53));
    EXPECT_EQ(calendar_texts::TrayTip(12, 7, nullptr), Cp932("12月7日"));
}

TEST_F(CalendarWindowTest, ClockShowsMonthDayHourAndMinuteWithoutZeros) {
    CCalendarDlg& dlg = OpenWindow();
    EXPECT_EQ(dlg.m_stcClock.GetWindowText(), Cp932("12月7日  9時5分"));
    SetNow(2026, 12, 7, 10, 30);
    dlg.OnTimer(2);
    EXPECT_EQ(dlg.m_stcClock.GetWindowText(), Cp932("12月7日  9時5分")) << "only timer 1 is the clock";
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.m_stcClock.GetWindowText(), Cp932("12月7日  10時30分"));
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    SetNow(2026, 12, 7, 11, 0);
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.m_stcClock.GetWindowText(), Cp932("12月7日  10時30分")) << "the year view leaves the clock";
}

void ExpectMonthViewStates(CCalendarDlg& dlg) {
    CMenu* menu = dlg.GetMenu();
    EXPECT_EQ(menu->GetMenuState(ID_VIEW_TOGGLE_CURSOR), MF_GRAYED);
    EXPECT_EQ(menu->GetMenuState(ID_VIEW_PREV_MONTH), MF_ENABLED);
    EXPECT_EQ(menu->GetMenuState(ID_VIEW_NEXT_MONTH), MF_ENABLED);
    EXPECT_EQ(menu->GetMenuState(ID_EDIT_PICK_MONTH_SCHEDULE), MF_ENABLED);
    EXPECT_FALSE(dlg.m_wndToolBar.IsButtonEnabled(ID_VIEW_TOGGLE_CURSOR));
    EXPECT_TRUE(dlg.m_wndToolBar.IsButtonEnabled(ID_VIEW_PREV_MONTH));
    EXPECT_TRUE(dlg.m_wndToolBar.IsButtonEnabled(ID_VIEW_NEXT_MONTH));
}

void ExpectYearViewStates(CCalendarDlg& dlg) {
    CMenu* menu = dlg.GetMenu();
    EXPECT_EQ(menu->GetMenuState(ID_VIEW_TOGGLE_CURSOR), MF_ENABLED);
    EXPECT_EQ(menu->GetMenuState(ID_VIEW_PREV_MONTH), MF_GRAYED);
    EXPECT_EQ(menu->GetMenuState(ID_VIEW_NEXT_MONTH), MF_GRAYED);
    EXPECT_EQ(menu->GetMenuState(ID_EDIT_PICK_MONTH_SCHEDULE), MF_GRAYED);
    EXPECT_TRUE(dlg.m_wndToolBar.IsButtonEnabled(ID_VIEW_TOGGLE_CURSOR));
    EXPECT_FALSE(dlg.m_wndToolBar.IsButtonEnabled(ID_VIEW_PREV_MONTH));
    EXPECT_FALSE(dlg.m_wndToolBar.IsButtonEnabled(ID_VIEW_NEXT_MONTH));
}

TEST_F(CalendarWindowTest, MaximiseMinimiseAndRestoreSwitchViewsAndCommandStates) {
    CCalendarDlg& dlg = OpenWindow();
    ExpectMonthViewStates(dlg);

    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    EXPECT_EQ(dlg.m_nView, 1);
    EXPECT_TRUE(dlg.IsZoomed());
    ExpectYearViewStates(dlg);

    dlg.OnSysCommand(SC_MINIMIZE, 0);
    EXPECT_EQ(g_bMinimized, 1);
    EXPECT_TRUE(dlg.IsIconic());
    EXPECT_TRUE(dlg.IsWindowVisible()) << "minimising does not hide";

    dlg.OnSysCommand(SC_RESTORE, 0);
    EXPECT_EQ(g_bMinimized, 0);
    EXPECT_EQ(dlg.m_nView, 1) << "restoring a minimised year view keeps it";
    EXPECT_TRUE(dlg.IsZoomed());
    ExpectYearViewStates(dlg);

    dlg.OnSysCommand(SC_RESTORE, 0);
    EXPECT_EQ(dlg.m_nView, 0) << "restoring the maximised window shows the month view";
    EXPECT_FALSE(dlg.IsZoomed());
    ExpectMonthViewStates(dlg);

    dlg.OnSysCommand(SC_MINIMIZE, 0);
    dlg.OnSysCommand(SC_RESTORE, 0);
    EXPECT_EQ(dlg.m_nView, 0);
    EXPECT_FALSE(dlg.IsIconic());
}

TEST_F(CalendarWindowTest, ToggleViewMaximisesAndRestoresWithoutMovingTheCursor) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.m_nDayCol = 3;
    dlg.OnCommand(ID_VIEW_TOGGLE_VIEW);
    EXPECT_EQ(dlg.m_nView, 1);
    EXPECT_TRUE(dlg.IsZoomed());
    EXPECT_EQ(dlg.m_nDayCol, 3);
    ExpectYearViewStates(dlg);
    dlg.OnCommand(ID_VIEW_TOGGLE_VIEW);
    EXPECT_EQ(dlg.m_nView, 0);
    EXPECT_FALSE(dlg.IsZoomed());
    dlg.OnSysCommand(SC_MAXIMIZE, 0);
    EXPECT_EQ(dlg.m_nDayCol, 1) << "a maximise puts the cursor back on the selected day";
}

TEST_F(CalendarWindowTest, PrintMakesThePageOfTheShownMonthOrYearAndSaysWhenItCannot) {
    PutFileBytes("MemoData.txt", Cp932("126^11^9^歯医者~"));
    CCalendarDlg& dlg = OpenWindow();
    platform::testing::QueuePrintAnswer("month.pdf");
    dlg.OnCommand(ID_FILE_PRINT);
    dlg.OnCommand(ID_VIEW_TOGGLE_VIEW);
    platform::testing::QueuePrintAnswer("year.pdf");
    dlg.OnCommand(ID_FILE_PRINT);
    platform::testing::QueuePrintAnswer("missing/year.pdf");
    QueueMessageBoxAnswer(IDOK);
    dlg.OnCommand(ID_FILE_PRINT);
    ASSERT_EQ(MessageBoxCalls().size(), 1U);
    EXPECT_EQ(MessageBoxCalls()[0].text.rfind("印刷できませんでした。", 0), 0U) << MessageBoxCalls()[0].text;
    for (const auto& [file, starts, holds] : {std::tuple{"month.pdf", "2026年（令和8年）12月\n", "歯医者"},
                                              std::tuple{"year.pdf", "2026年（令和8年）\n", "12月"}}) {
        ASSERT_EQ(std::system((std::string("pdftotext -raw ") + file + " text.txt").c_str()), 0) << file;
        const std::string text = FileBytes("text.txt");
        EXPECT_EQ(text.rfind(starts, 0), 0U) << text;
        EXPECT_NE(text.find(holds), std::string::npos) << text;
    }
}

// 設定 → 予定の通知: the choice is kept in the config folder and the next start shows it checked.
TEST_F(CalendarWindowTest, ReminderSettingsAreKeptAndShownChecked) {
    CCalendarDlg& first = OpenWindow();
    first.OnCommand(ID_SETTINGS_REMIND_AT + 2);
    first.OnCommand(ID_SETTINGS_REMINDERS_ON);
    EXPECT_EQ(FileBytes(".config/velmora/reminders.conf"), "enabled=no\nminutes-before=10\n");
    m_dlg.reset();
    CMenu* menu = OpenWindow().GetMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->ItemAction(ID_SETTINGS_REMINDERS_ON)->isChecked());
    for (UINT i = 0; i < 5; ++i) {
        EXPECT_EQ(menu->ItemAction(ID_SETTINGS_REMIND_AT + i)->isChecked(), i == 2) << i;
        EXPECT_EQ(menu->GetMenuState(ID_SETTINGS_REMIND_AT + i), MF_GRAYED) << i;
    }
}

TEST_F(CalendarWindowTest, CloseBoxAndEscapeHideTheWindowWithoutSaving) {
    CCalendarDlg& dlg = OpenWindow();
    g_strMemoData = "126^11^7^x~";
    dlg.OnSysCommand(SC_CLOSE, 0);
    EXPECT_FALSE(dlg.IsWindowVisible());
    dlg.OnTrayIconNotify(1, WM_LBUTTONDOWN);
    EXPECT_TRUE(dlg.IsWindowVisible()) << "a left click on the tray icon shows the window";

    PressKey(dlg.GetSafeWidget(), Qt::Key_Escape);
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_FALSE(IsQuitPosted()) << "Escape never ends the program";
    EXPECT_EQ(FileBytes("MemoData.txt"), "<missing>");
}

TEST_F(CalendarWindowTest, WithoutANotificationAreaClosingSavesAndEnds) {
    platform::testing::SetTrayAvailable(false);
    CCalendarDlg& dlg = OpenWindow();
    g_strMemoData = "126^11^7^x~";
    dlg.OnSysCommand(SC_CLOSE, 0);
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^7^x~") + '\0');

    platform::testing::ClearQuit();
    g_strMemoData = "126^11^8^y~";
    dlg.OnCommand(ID_FILE_EXIT);
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^8^y~") + '\0');
}

TEST_F(CalendarWindowTest, FileExitSavesBothAndHides) {
    CCalendarDlg& dlg = OpenWindow();
    g_strMemoData = "126^11^7^x~";
    dlg.OnCommand(ID_FILE_EXIT);
    EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^7^x~") + '\0');
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_FALSE(IsQuitPosted());
    EXPECT_TRUE(MessageBoxCalls().empty());
}

struct FailedSaveCase {
    const char* name;
    bool memoReadOnly;
    bool staticReadOnly;
    std::vector<int> answers;
    std::vector<std::string> questions;
    bool hidden;
};

class FileExitTest : public CalendarWindowTest, public ::testing::WithParamInterface<FailedSaveCase> {};

TEST_P(FileExitTest, AsksOnEachFailedSave) {
    const FailedSaveCase& c = GetParam();
    PutFileBytes("MemoData.txt", std::string(1, '\0'));
    CCalendarDlg& dlg = OpenWindow();
    // A change not yet in the file, as a registration leaves it when its save at once failed.
    g_strMemoData = "126^11^7^x~";
    chmod("MemoData.txt", c.memoReadOnly ? 0444 : 0644);
    chmod("Static_holi.txt", c.staticReadOnly ? 0444 : 0644);
    for (int answer : c.answers) QueueMessageBoxAnswer(answer);
    dlg.OnCommand(ID_FILE_EXIT);
    ASSERT_EQ(MessageBoxCalls().size(), c.questions.size());
    for (std::size_t i = 0; i < c.questions.size(); ++i) {
        EXPECT_EQ(MessageBoxCalls()[i].text, c.questions[i]);
        EXPECT_EQ(MessageBoxCalls()[i].caption, "エラー");
        EXPECT_EQ(MessageBoxCalls()[i].type, 0x34u);
    }
    EXPECT_EQ(!dlg.IsWindowVisible(), c.hidden);
    EXPECT_FALSE(IsQuitPosted());
}

const char kMemoQuestion[] = "メモデータの保存に失敗しました。\r\n終了しますか？";
const char kHolidayQuestion[] = "休日データの保存に失敗しました。\r\n終了しますか？";

INSTANTIATE_TEST_SUITE_P(
    Answers, FileExitTest,
    ::testing::Values(
        FailedSaveCase{"memo save fails, user says no", true, false, {IDNO}, {kMemoQuestion}, false},
        FailedSaveCase{"memo save fails, user says yes", true, false, {IDYES}, {kMemoQuestion}, true},
        FailedSaveCase{"holiday save fails, user says no", false, true, {IDNO}, {kHolidayQuestion}, false},
        FailedSaveCase{"both fail, yes then yes", true, true, {IDYES, IDYES}, {kMemoQuestion, kHolidayQuestion}, true},
        FailedSaveCase{"both fail, yes then no", true, true, {IDYES, IDNO}, {kMemoQuestion, kHolidayQuestion}, false}),
    NameRows());

TEST_F(CalendarWindowTest, TrayExitSavesWhateverFailsAndEnds) {
    CCalendarDlg& dlg = OpenWindow();
    PutFileBytes("MemoData.txt", std::string(1, '\0'));
    chmod("MemoData.txt", 0444);
    g_strDynamicHoliday = "1^1^new^2~";
    platform::testing::SetCursorPos(CPoint{400, 300});
    platform::testing::SetPopupMenuHook([](const platform::testing::PopupCall&) { return ID_TRAY_EXIT; });
    dlg.OnTrayIconNotify(1, WM_RBUTTONDOWN);
    ASSERT_EQ(platform::testing::PopupCalls().size(), 1u);
    EXPECT_EQ(platform::testing::PopupCalls()[0].ids, std::vector<UINT>{ID_TRAY_EXIT});
    EXPECT_EQ(platform::testing::PopupCalls()[0].at, (CPoint{400, 270}));
    EXPECT_EQ(platform::testing::PopupCalls()[0].flags, 0x0Au);
    EXPECT_TRUE(MessageBoxCalls().empty());
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(FileBytes("Dynamic_holi.txt"), std::string("1^1^new^2~") + '\0')
        << "the holidays are saved after the memo save failed";
}

TEST_F(CalendarWindowTest, TrayMessagesOfOtherIdsOrButtonsDoNothing) {
    CCalendarDlg& dlg = OpenWindow();
    dlg.ShowWindow(SW_HIDE);
    dlg.OnTrayIconNotify(2, WM_LBUTTONDOWN);
    dlg.OnTrayIconNotify(1, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_TRUE(platform::testing::PopupCalls().empty());
}

TEST_F(CalendarWindowTest, TerminationSavesBothStoresAndEnds) {
    CCalendarDlg& dlg = OpenWindow();
    (void)dlg;
    g_strMemoData = "126^11^7^typed~";
    ASSERT_EQ(raise(SIGTERM), 0);
    for (int i = 0; i < 50 && !IsQuitPosted(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(FileBytes("MemoData.txt"), std::string("126^11^7^typed~") + '\0');
}

TEST_F(CalendarWindowTest, TheSystemMenuItemOpensTheAboutBox) {
    CCalendarDlg& dlg = OpenWindow();
    const QList<QAction*> items = dlg.GetSystemMenu(FALSE)->Popup()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[0]->isSeparator());
    EXPECT_EQ(items[1]->data().toUInt(), IDM_ABOUTBOX);
    EXPECT_EQ(items[1]->text().toStdString(), "ﾊﾞｰｼﾞｮﾝ情報(Velmora) (&A)...");
    EXPECT_TRUE(items[1]->isEnabled());

    static int opened = 0;
    opened = 0;
    dlg.OnSysCommand(IDM_ABOUTBOX | 0x3, 0);
    EXPECT_EQ(opened, 0) << "without the shell's About box the item does nothing";
    g_pfnShowAboutBox = [] { ++opened; };
    dlg.OnSysCommand(IDM_ABOUTBOX | 0x3, 0);
    EXPECT_EQ(opened, 1) << "the low four bits of the command do not matter";
    EXPECT_TRUE(dlg.IsWindowVisible());
}

}  // namespace
