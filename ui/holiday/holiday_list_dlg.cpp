#include "ui/holiday/holiday_list_dlg.h"

#include "model/data_files.h"
#include "model/holiday_table.h"
#include "model/record.h"
#include "ui/holiday/holiday_set_dlg.h"
#include "ui/resource_ids.h"
#include "ui/save_notices.h"

CHolidayListDlg::CHolidayListDlg(CWnd* parent) : CDialog(IDD_HOLIDAY_LIST, parent) {}

void CHolidayListDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_HOLIDAY_LIST, m_listHoliday);
}

BOOL CHolidayListDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    UpdateHolidayList();
    return TRUE;
}

BOOL CHolidayListDlg::OnCommand(UINT id) {
    switch (id) {
    case IDC_HOLIDAY_ADD:
        OnAddHoliday();
        return TRUE;
    case IDC_HOLIDAY_CHANGE:
        OnChangeHoliday();
        return TRUE;
    case IDC_HOLIDAY_DELETE:
        OnDeleteHoliday();
        return TRUE;
    case IDC_HOLIDAY_CLOSE:
        OnCloseList();
        return TRUE;
    case ID_HOLIDAY_CLOSE:
        OnMenuCloseList();
        return TRUE;
    case ID_HOLIDAY_ADD:
        OnMenuAddHoliday();
        return TRUE;
    case ID_HOLIDAY_CHANGE:
        OnMenuChangeHoliday();
        return TRUE;
    case ID_HOLIDAY_DELETE:
        OnMenuDeleteHoliday();
        return TRUE;
    default:
        return CDialog::OnCommand(id);
    }
}

void CHolidayListDlg::OnControlNotify(int controlId, UINT code) {
    if (controlId == IDC_HOLIDAY_LIST && code == LBN_DBLCLK) {
        OnDblclkHolidayList();
        return;
    }
    CDialog::OnControlNotify(controlId, code);
}

void CHolidayListDlg::SortHolidayList() {
    m_strHolidayList = SortHolidayRecords(JoinHolidayStores(g_strStaticHoliday, g_strDynamicHoliday, g_strYearHoliday));
}

void CHolidayListDlg::UpdateHolidayList() {
    SortHolidayList();
    m_listHoliday.ResetContent();
    std::string_view rest = m_strHolidayList;
    while (!rest.empty()) {
        int month = 0;
        int day = 0;
        int kind = 0;
        std::string name;
        ParseHolidayRecord(CutRecord(rest), month, day, name, kind);
        m_listHoliday.AddString(HolidayListLine(month, day, name));
    }
    UpdateData(FALSE);
}

std::string CHolidayListDlg::TakeOutSelectedHoliday(std::string** takenFrom) {
    if (takenFrom != nullptr) *takenFrom = nullptr;
    const int selected = m_listHoliday.GetCurSel();
    if (selected == LB_ERR) return {};
    std::string record = HolidayRecordAt(m_strHolidayList, selected);
    if (record.empty()) return {};
    std::string* store = TakeOutHolidayRecord(record);
    if (takenFrom != nullptr) *takenFrom = store;
    return record;
}

void CHolidayListDlg::RunSetDialog(const std::string& record, std::string* homeStore) {
    ShowWindow(SW_HIDE);
    CHolidaySetDlg dialog;
    dialog.m_strRecord = record;
    dialog.m_pHomeStore = homeStore;
    dialog.DoModal();
    // A run that never got to register or cancel (the program quitting) still puts a record
    // taken out for a change back, and writes the files.
    if (!dialog.IsEnded()) dialog.OnCancel();
    // The session may have ended this list together with the setting dialog.
    if (!IsEnded()) ShowWindow(SW_SHOWNORMAL);
}

void CHolidayListDlg::AddHoliday(bool save) {
    RunSetDialog(std::string(kAddHolidayRecord), nullptr);
    if (save) SaveHolidayData();
    UpdateHolidayList();
}

void CHolidayListDlg::ChangeHoliday(bool save) {
    std::string* homeStore = nullptr;
    const std::string record = TakeOutSelectedHoliday(&homeStore);
    if (record.empty()) return;
    RunSetDialog(record, homeStore);
    if (save) SaveHolidayData();
    UpdateHolidayList();
}

void CHolidayListDlg::DeleteHoliday() {
    TakeOutSelectedHoliday();
    // Both the button and the menu write the files: the main window rebuilds from them.
    save_notices::SaveHolidayDataAndTell(*this);
    UpdateHolidayList();
}

void CHolidayListDlg::OnAddHoliday() { AddHoliday(true); }

void CHolidayListDlg::OnChangeHoliday() { ChangeHoliday(true); }

void CHolidayListDlg::OnDeleteHoliday() { DeleteHoliday(); }

void CHolidayListDlg::OnCloseList() { EndDialog(0); }

void CHolidayListDlg::OnDblclkHolidayList() { ChangeHoliday(false); }

void CHolidayListDlg::OnMenuCloseList() { EndDialog(0); }

void CHolidayListDlg::OnMenuAddHoliday() { AddHoliday(false); }

void CHolidayListDlg::OnMenuChangeHoliday() { ChangeHoliday(false); }

void CHolidayListDlg::OnMenuDeleteHoliday() { DeleteHoliday(); }
