#include "ui/main/calendar_dlg.h"

#include "model/data_files.h"
#include "model/holiday_update.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/year_calendar.h"
#include "platform/resources.h"
#include "platform/termination.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_layout.h"
#include "ui/main/calendar_reminders.h"
#include "ui/main/calendar_sync.h"
#include "ui/main/calendar_texts.h"
#include "ui/resource_ids.h"
#include "ui/save_notices.h"
#include "ui/schedule/month_schedule_dlg.h"

#include <cstring>

CCalendarDlg* CCalendarDlg::s_running = nullptr;

namespace {

constexpr UINT_PTR kClockTimer = 1;
constexpr UINT kTrayIconId = 1;
// How long the end of the program waits for the last sync pass.
constexpr std::chrono::seconds kLastPassLimit{10};

}  // namespace

CCalendarDlg::CCalendarDlg(CWnd* parent)
    : CDialog(IDD_CALENDAR, parent),
      m_reminders(std::make_unique<CCalendarReminders>(*this)),
      m_sync(std::make_unique<CCalendarSync>(*this)) {
    m_hIcon = LoadIconResource(IDI_CALENDAR, 32, 32);
}

CCalendarDlg::~CCalendarDlg() { DestroyWindow(); }

void CCalendarDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_CLOCK, m_stcClock);
}

int CCalendarDlg::OnCreate() {
    if (CDialog::OnCreate() == -1) return -1;
    SetTimer(kClockTimer, 1000);
    return 0;
}

BOOL CCalendarDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* systemMenu = GetSystemMenu(FALSE)) {
        const std::string about = Cp932(platform::FindStringResource(IDS_ABOUTBOX));
        if (!about.empty()) {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    m_clrBack = calendar_layout::kBackColour;
    m_clrCursor = calendar_layout::kCursorColour;

    // The shown year comes first: the one-year holiday file read and written below is its file.
    const std::tm now = CurrentLocalTime();
    g_YearCalendar.year = now.tm_year;
    g_YearCalendar.month = now.tm_mon;
    g_nSelDay = now.tm_mday;

    LoadMemoData();
    // The build reads the holiday files; only a first start, which writes them, builds again.
    g_YearCalendar.Build();
    if (g_strStaticHoliday.empty()) {
        PutInFirstStartHolidays(InstalledHolidayListPath(nullptr));
        g_YearCalendar.Build();
    }
    UpdateClock();

    if (m_wndToolBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS, AFX_IDW_TOOLBAR)) {
        m_wndToolBar.LoadToolBar(IDR_CALENDAR_TOOLBAR);
    }
    RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);

    std::string tip;
    MakeTrayTip(tip);
    m_nid = NOTIFYICONDATA{};
    m_nid.hWnd = this;
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.hIcon = LoadIconResource(IDI_CALENDAR, 16, 16);
    std::memcpy(m_nid.szTip, tip.data(), std::min(tip.size(), sizeof m_nid.szTip - 1));
    Shell_NotifyIcon(NIM_ADD, &m_nid);

    m_nView = 0;
    SyncCursorToSelectedDay();
    m_bMonthCursor = 1;
    UpdateCommandStates();

    // Logging out or a SIGTERM saves what the user has, as the tray's "終了" does.
    platform::SetTerminationHandler([this] { OnTrayExit(); });
    s_running = this;
    save_notices::TellStartUpNotices(*this);
    m_reminders->Start();
    UpdateReminderMenu();
    OfferLeftDraft();
    m_reminders->StoreChanged();
    m_sync->Start();
    return TRUE;
}

void CCalendarDlg::OnTimer(UINT_PTR id) {
    if (id != kClockTimer) return;
    UpdateClock();
    m_reminders->Look();
    m_sync->Look();
}

void CCalendarDlg::OnDestroy() {
    if (s_running == this) s_running = nullptr;
    platform::SetTerminationHandler(nullptr);
    Shell_NotifyIcon(NIM_DELETE, &m_nid);
    CDialog::OnDestroy();
}

void CCalendarDlg::UpdateClock() {
    if (m_nView != 0) return;
    m_stcClock.SetWindowText(calendar_texts::ClockText(CurrentLocalTime()));
}

void CCalendarDlg::UpdateCommandStates() {
    const bool yearView = m_nView == 1;
    if (CMenu* menu = GetMenu()) {
        menu->EnableMenuItem(ID_VIEW_TOGGLE_CURSOR, yearView ? MF_ENABLED : MF_GRAYED);
        menu->EnableMenuItem(ID_VIEW_PREV_MONTH, yearView ? MF_GRAYED : MF_ENABLED);
        menu->EnableMenuItem(ID_VIEW_NEXT_MONTH, yearView ? MF_GRAYED : MF_ENABLED);
        menu->EnableMenuItem(ID_EDIT_PICK_MONTH_SCHEDULE, yearView ? MF_GRAYED : MF_ENABLED);
    }
    m_wndToolBar.EnableButton(ID_VIEW_TOGGLE_CURSOR, yearView);
    m_wndToolBar.EnableButton(ID_VIEW_PREV_MONTH, !yearView);
    m_wndToolBar.EnableButton(ID_VIEW_NEXT_MONTH, !yearView);
}

void CCalendarDlg::MakeTrayTip(std::string& tip) {
    tip = calendar_texts::TrayTip(g_YearCalendar.month + 1, g_nSelDay,
                                  g_YearCalendar.Cell(g_YearCalendar.month, g_nSelDay));
}

void CCalendarDlg::OnSysCommand(UINT id, LPARAM lParam) {
    switch (id) {
    case SC_MAXIMIZE:
        m_nView = 1;
        g_bMinimized = 0;
        UpdateCommandStates();
        SyncCursorToSelectedDay();
        CDialog::OnSysCommand(id, lParam);
        return;
    case SC_RESTORE:
        if (g_bMinimized == 1) {
            Repaint();
            ShowWindow(SW_SHOW);
        } else {
            m_nView = 0;
            UpdateCommandStates();
            Repaint();
            ShowWindow(SW_SHOWNORMAL);
        }
        g_bMinimized = 0;
        CDialog::OnSysCommand(id, lParam);
        return;
    case SC_MINIMIZE:
        g_bMinimized = 1;
        CDialog::OnSysCommand(id, lParam);
        return;
    case SC_CLOSE:
        // Without a notification area a hidden window could never come back: end instead.
        if (IsTrayAvailable()) {
            ShowWindow(SW_HIDE);
        } else {
            OnFileExit();
        }
        return;
    default:
        break;
    }
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        if (g_pfnShowAboutBox != nullptr) g_pfnShowAboutBox();
        return;
    }
    CDialog::OnSysCommand(id, lParam);
}

void CCalendarDlg::OnTrayIconNotify(UINT iconId, UINT mouseMessage) {
    if (iconId != kTrayIconId) return;
    if (mouseMessage == WM_LBUTTONDOWN) ShowFromTray();
    if (mouseMessage == WM_RBUTTONDOWN) ShowTrayMenu();
}

void CCalendarDlg::ShowFromTray() {
    // While a dialog runs, this window stays hidden under it: the dialog comes to the front.
    CWnd* front = GetLastActivePopup();
    if (front == this) ShowWindow(SW_SHOW);
    if (!front->IsIconic()) front->SetForegroundWindow();
}

void CCalendarDlg::ShowRunningAsTrayClick() {
    if (s_running != nullptr) s_running->OnTrayIconNotify(kTrayIconId, WM_LBUTTONDOWN);
}

void CCalendarDlg::ShowTrayMenu() {
    const CPoint pointer = GetCursorPos();
    CMenu menu;
    if (!menu.LoadMenu(IDR_TRAY_MENU)) return;
    SetForegroundWindow();
    if (CMenu* popup = menu.GetSubMenu(0)) {
        popup->TrackPopupMenu(TPM_RIGHTALIGN | TPM_RIGHTBUTTON, pointer.x, pointer.y - 30, this);
    }
    menu.DestroyMenu();
}

void CCalendarDlg::OnCancel() { OnSysCommand(SC_CLOSE, 0); }

void CCalendarDlg::OnOK() {}

void CCalendarDlg::OnFileExit() {
    // Another program changed a data file since it was read: its version is kept aside, so ask first.
    const std::vector<std::string> changed = save_notices::ChangedDataFiles();
    if (!changed.empty() && MessageBox(save_notices::ChangedFilesQuestion(changed), Cp932("確認"),
                                       MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        return;
    }
    const bool memoSaved = SaveMemoDataIfChanged() != 0;
    if (!memoSaved) {
        const int answer = MessageBox(Cp932("メモデータの保存に失敗しました。\r\n終了しますか？"), Cp932("エラー"),
                                      MB_YESNO | MB_ICONEXCLAMATION);
        if (answer != IDYES) return;
    }
    const bool holidaysSaved = SaveHolidayData() != 0;
    if (!holidaysSaved) {
        const int answer = MessageBox(Cp932("休日データの保存に失敗しました。\r\n終了しますか？"), Cp932("エラー"),
                                      MB_YESNO | MB_ICONEXCLAMATION);
        if (answer != IDYES) return;
    }
    save_notices::LogNotices();
    if (IsTrayAvailable()) {
        // The stores stay in memory: the next save, at the latest at the end, tries again.
        ShowWindow(SW_HIDE);
        return;
    }
    m_sync->End(kLastPassLimit);
    // Ending with a store unsaved: the user said so, but what it holds is still kept aside.
    if (!memoSaved) SaveMemoDataOrRecover();
    if (!holidaysSaved) SaveHolidayDataOrRecover();
    PostQuitMessage(memoSaved && holidaysSaved ? 0 : 1);
}

void CCalendarDlg::OnTrayExit() {
    g_bEnding = 1;
    // A dialog still open ends as at the end of the desktop session: what is typed in it is kept.
    EndDialogsOpenedAfter(this);
    // What cannot be written where it belongs is kept as a recovery copy; the status says so.
    const int memoSaved = SaveMemoDataOrRecover();
    const int holidaysSaved = SaveHolidayDataOrRecover();
    // The last pass takes what this run changed to the server; what it brings is saved by it.
    m_sync->End(kLastPassLimit);
    save_notices::LogNotices();
    PostQuitMessage(memoSaved && holidaysSaved ? 0 : 1);
}

void CCalendarDlg::StoreArrived() {
    Repaint();
    if (CMonthScheduleDlg* list = CMonthScheduleDlg::Open()) list->StoreChanged();
    m_reminders->StoreChanged();
}

void CCalendarDlg::SyncForCommand(bool acceptEmpty, std::function<void(const memosync::SyncResult&)> done) {
    if (s_running == nullptr) {
        memosync::SyncResult result;
        result.error = "the calendar has no window yet";
        done(result);
        return;
    }
    s_running->m_sync->PassForCommand(acceptEmpty, std::move(done));
}

void CCalendarDlg::ToggleView() {
    if (m_nView == 0) {
        m_nView = 1;
        UpdateCommandStates();
        Repaint();
        ShowWindow(SW_SHOWMAXIMIZED);
    } else {
        m_nView = 0;
        UpdateCommandStates();
        Repaint();
        ShowWindow(SW_SHOWNORMAL);
    }
}

void CCalendarDlg::Repaint() {
    RepaintCalendar();
    DrawCursorFrame(m_clrCursor);
}
