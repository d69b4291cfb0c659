#include "ui/schedule/month_schedule_dlg.h"

#include "model/memo_store.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_dlg.h"
#include "ui/main/calendar_texts.h"
#include "ui/resource_ids.h"
#include "ui/schedule/schedule_band.h"
#include "ui/schedule/schedule_dlg.h"
#include "ui/schedule/schedule_texts.h"
#include "ui/tool_tips.h"

CMonthScheduleDlg* CMonthScheduleDlg::s_open = nullptr;

CMonthScheduleDlg::CMonthScheduleDlg(CWnd* parent) : CDialog(IDD_MONTH_SCHEDULE, parent) {}

CMonthScheduleDlg::~CMonthScheduleDlg() {
    if (s_open == this) s_open = nullptr;
}

void CMonthScheduleDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_DAY_LIST, m_listDays);
}

BOOL CMonthScheduleDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_wndToolBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_BORDER_BOTTOM | CBRS_TOOLTIPS,
                            AFX_IDW_TOOLBAR)) {
        m_wndToolBar.LoadToolBar(IDR_MONTH_SCHEDULE_TOOLBAR);
    }
    RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);
    FillList();
    s_open = this;
    return TRUE;
}

void CMonthScheduleDlg::FillList() {
    for (const std::string& line : MonthListLines(g_strMemoData, g_YearCalendar)) m_listDays.AddString(line);
}

void CMonthScheduleDlg::StoreChanged() {
    const int selected = m_listDays.GetCurSel();
    m_listDays.ResetContent();
    FillList();
    if (selected != LB_ERR) m_listDays.SetCurSel(selected);
}

void CMonthScheduleDlg::Refresh() {
    DrawCaptionBand();
    m_listDays.ResetContent();
    FillList();
}

BOOL CMonthScheduleDlg::OnCommand(UINT id) {
    switch (id) {
    case ID_LIST_OPEN_DAY:
        OpenSelectedDay();
        return TRUE;
    case ID_LIST_CLOSE:
        EndDialog(0);
        return TRUE;
    case ID_LIST_THIS_MONTH:
        GoToday();
        Refresh();
        return TRUE;
    case ID_LIST_PREV_MONTH:
        PrevMonth();
        Refresh();
        return TRUE;
    case ID_LIST_NEXT_MONTH:
        NextMonth();
        Refresh();
        return TRUE;
    case ID_LIST_PREV_YEAR:
        PrevYear();
        Refresh();
        return TRUE;
    case ID_LIST_NEXT_YEAR:
        NextYear();
        Refresh();
        return TRUE;
    default:
        return CDialog::OnCommand(id);
    }
}

void CMonthScheduleDlg::OnControlNotify(int controlId, UINT code) {
    if (controlId == IDC_DAY_LIST && code == LBN_DBLCLK) {
        OpenSelectedDay();
        return;
    }
    CDialog::OnControlNotify(controlId, code);
}

void CMonthScheduleDlg::OpenSelectedDay() {
    const int selected = m_listDays.GetCurSel();
    if (selected == LB_ERR) return;
    // The list holds one line per day in day order, so line i is day i + 1.
    g_nSelDay = selected + 1;
    ShowWindow(SW_HIDE);
    CScheduleDlg dialog;
    dialog.DoModal();
    // The program may have ended this list too while the day dialog ran.
    if (IsEnded()) return;
    ShowWindow(SW_SHOWNORMAL);
    m_listDays.ResetContent();
    FillList();
}

BOOL CMonthScheduleDlg::PreTranslateMessage(MSG* msg) {
    const auto key = static_cast<UINT>(msg->wParam);
    if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) SyncKeyFlagsWithMessage(*msg);
    if (msg->message == WM_KEYDOWN) {
        if (key == VK_RETURN) {
            OpenSelectedDay();
            return TRUE;
        }
        if (key == VK_SHIFT) {
            g_bListShiftDown = 1;
        } else if (g_bListShiftDown == 1) {
            // The arrow goes on to the list box after the month has moved.
            switch (key) {
            case VK_LEFT:
                PrevMonth();
                Refresh();
                break;
            case VK_UP:
                NextYear();
                Refresh();
                break;
            case VK_RIGHT:
                NextMonth();
                Refresh();
                break;
            case VK_DOWN:
                PrevYear();
                Refresh();
                break;
            default:
                break;
            }
        }
    }
    if (msg->message == WM_KEYUP && key == VK_SHIFT) g_bListShiftDown = 0;
    return CDialog::PreTranslateMessage(msg);
}

BOOL CMonthScheduleDlg::OnToolTipNotify(TOOLTIPTEXT* request) { return AnswerToolTipFromStringTable(request); }

void CMonthScheduleDlg::OnPaint() {
    CPaintDC dc(this);
    DrawCaptionBand();
}

void CMonthScheduleDlg::DrawCaptionBand() {
    const std::string caption = calendar_texts::SheetCaption(g_YearCalendar.CalendarYear(), g_YearCalendar.month + 1);
    PaintScheduleBand(*this, m_wndToolBar, {10, 30}, caption);
    // The band is the day list's label.
    SetDlgItemAccessibleName(IDC_DAY_LIST, caption);
}

void CMonthScheduleDlg::OnActivate(UINT state, CWnd*, BOOL) {
    if (state != WA_INACTIVE) SyncKeyFlagsWithKeyboard();
}
