#include "ui/holiday/holiday_set_dlg.h"

#include "model/data_files.h"
#include "model/holiday_table.h"
#include "model/record.h"
#include "ui/resource_ids.h"
#include "ui/save_notices.h"

CHolidaySetDlg::CHolidaySetDlg(CWnd* parent) : CDialog(IDD_HOLIDAY_SET, parent) {}

void CHolidaySetDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_DAY_COMBO, m_comboDay);
    DDX_Control(dx, IDC_MONTH_COMBO, m_comboMonth);
    DDX_CBString(dx, IDC_MONTH_COMBO, m_strMonth);
    DDX_CBString(dx, IDC_DAY_COMBO, m_strDay);
    DDX_Text(dx, IDC_HOLIDAY_NAME, m_strName);
    DDX_Radio(dx, IDC_KIND_FIXED, m_nKind);
    DDX_Text(dx, IDC_WEEK, m_nWeek);
}

BOOL CHolidaySetDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillFromRecord();
    return TRUE;
}

BOOL CHolidaySetDlg::OnCommand(UINT id) {
    switch (id) {
    case IDC_SET_REGISTER:
        OnRegister();
        return TRUE;
    case IDC_SET_CANCEL:
        OnCancel();
        return TRUE;
    default:
        return CDialog::OnCommand(id);
    }
}

void CHolidaySetDlg::FillFromRecord() {
    HolidayFields fields = HolidayFieldsOfRecord(m_strRecord, m_nWeek);
    m_strMonth = std::move(fields.month);
    m_strDay = std::move(fields.day);
    m_strName = std::move(fields.name);
    m_nKind = fields.choice;
    m_nWeek = fields.week;
    UpdateData(FALSE);
}

void CHolidaySetDlg::OnOK() {}

void CHolidaySetDlg::OnRegister() {
    // A week that is no integer has been refused with a prompt: the user corrects it here.
    if (!UpdateData(TRUE)) return;
    HolidayStoreForChoice(m_nKind) += MakeHolidayRecord(m_strMonth, m_strDay, m_strName, m_nKind, m_nWeek);
    save_notices::SaveHolidayDataAndTell(*this);
    EndDialog(0);
}

void CHolidaySetDlg::OnCancel() {
    if (m_strRecord != kAddHolidayRecord) {
        int month = 0;
        int day = 0;
        int kind = 0;
        std::string name;
        ParseHolidayRecord(m_strRecord, month, day, name, kind);
        std::string& store = m_pHomeStore != nullptr ? *m_pHomeStore : HolidayStoreForPutBack(kind);
        store += m_strRecord;
    }
    save_notices::SaveHolidayDataAndTell(*this);
    EndDialog(0);
}
