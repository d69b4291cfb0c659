#include "ui/schedule/schedule_dlg.h"

#include "model/memo_draft_file.h"
#include "model/memo_store.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"
#include "ui/save_notices.h"
#include "ui/schedule/schedule_band.h"
#include "ui/schedule/schedule_texts.h"
#include "ui/tool_tips.h"

#include <cstdio>

namespace {

void AppendDayRecord(const std::string& memo) {
    AppendMemoRecord(g_strMemoData, g_YearCalendar.year, g_YearCalendar.month, g_nSelDay, memo);
}

}  // namespace

int CScheduleDlg::s_memosOut = 0;

CScheduleDlg::CScheduleDlg(CWnd* parent) : CDialog(IDD_SCHEDULE, parent) {}

CScheduleDlg::~CScheduleDlg() { MemoBack(); }

void CScheduleDlg::MemoBack() {
    if (!m_memoOut) return;
    m_memoOut = false;
    --s_memosOut;
}

void CScheduleDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_MEMO, m_wndMemo);
    DDX_Text(dx, IDC_MEMO, m_strMemo);
}

BOOL CScheduleDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_wndToolBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_BORDER_BOTTOM | CBRS_TOOLTIPS,
                            AFX_IDW_TOOLBAR)) {
        m_wndToolBar.LoadToolBar(IDR_SCHEDULE_TOOLBAR);
    }
    RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);

    m_strMemo = TakeMemoRecord(g_strMemoData, g_YearCalendar.year, g_YearCalendar.month, g_nSelDay).value_or("");
    m_memoOut = true;
    ++s_memosOut;
    UpdateData(FALSE);
    return TRUE;
}

BOOL CScheduleDlg::OnCommand(UINT id) {
    switch (id) {
    case IDC_SCHEDULE_REGISTER:
    case ID_SCHEDULE_REGISTER:
        OnRegister();
        return TRUE;
    case IDC_SCHEDULE_DELETE:
    case ID_SCHEDULE_DELETE:
        OnDelete();
        return TRUE;
    case IDC_SCHEDULE_CANCEL:
    case ID_SCHEDULE_CLOSE:
        OnCancel();
        return TRUE;
    default:
        return CDialog::OnCommand(id);
    }
}

void CScheduleDlg::OnRegister() {
    UpdateData(TRUE);
    AppendDayRecord(m_strMemo);
    SaveAndEnd(true);
}

void CScheduleDlg::OnDelete() { SaveAndEnd(false); }

void CScheduleDlg::OnCancel() {
    AppendDayRecord(m_strMemo);
    SaveAndEnd(false);
}

// Only here, with the day's record back in the store (or deleted on purpose), is the store
// written: a crash while the dialog is open finds the day's old memo in the file.
void CScheduleDlg::SaveAndEnd(bool registered) {
    KillTimer(kDraftTimer);
    MemoBack();
    const bool saved = save_notices::SaveMemoDataAndTell(*this) != 0;
    // At the end a store that cannot be saved goes to a recovery copy, which holds the text.
    if (saved || !registered || g_bEnding) {
        RemoveMemoDraft();
    } else {
        // The registered text is only in memory: the draft keeps exactly it, so that a crash before
        // the next save that succeeds still finds it, and a later save makes it nothing new.
        WriteMemoDraft(g_YearCalendar.year, g_YearCalendar.month, g_nSelDay, m_strMemo);
    }
    EndDialog(0);
}

void CScheduleDlg::OnControlNotify(int controlId, UINT code) {
    if (controlId == IDC_MEMO && code == EN_CHANGE) {
        SetTimer(kDraftTimer, kDraftPauseMs);
        return;
    }
    CDialog::OnControlNotify(controlId, code);
}

void CScheduleDlg::OnTimer(UINT_PTR id) {
    if (id != kDraftTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kDraftTimer);
    if (!WriteMemoDraft(g_YearCalendar.year, g_YearCalendar.month, g_nSelDay, m_wndMemo.GetWindowText()) &&
        !m_draftFailureLogged) {
        m_draftFailureLogged = true;
        std::fprintf(stderr, "velmora: the draft of the memo being typed could not be kept in %s\n",
                     DraftFolder().c_str());
    }
}

// The default would end the dialog with IDOK and drop the record taken out at opening.
void CScheduleDlg::OnOK() {}

void CScheduleDlg::OnEndSession() { OnRegister(); }

BOOL CScheduleDlg::OnToolTipNotify(TOOLTIPTEXT* request) { return AnswerToolTipFromStringTable(request); }

void CScheduleDlg::OnPaint() {
    CPaintDC dc(this);
    DrawDateBand();
}

void CScheduleDlg::DrawDateBand() {
    const std::string date =
        schedule_texts::DateBand(g_YearCalendar.CalendarYear(), g_YearCalendar.month + 1, g_nSelDay);
    PaintScheduleBand(*this, m_wndToolBar, {15, 30}, date);
    // The band is the memo box's label.
    SetDlgItemAccessibleName(IDC_MEMO, date);
}
