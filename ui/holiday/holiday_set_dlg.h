#pragma once

#include "platform/dialog.h"

#include <string>

// Adds or changes one holiday: month, day, name and kind. Register appends the record built from
// the fields to the store its kind chooses; cancel puts a record taken out for a change back.
// Either way the three holiday files are written.
class CHolidaySetDlg : public CDialog {
public:
    explicit CHolidaySetDlg(CWnd* parent = nullptr);

    std::string m_strRecord;  // the add placeholder "0^0^^0^", or the record taken out to change
    // The store the record to change was taken out of, which cancel puts it back into; nullptr:
    // the store its kind designates.
    std::string* m_pHomeStore = nullptr;
    CComboBox m_comboDay;
    CComboBox m_comboMonth;
    std::string m_strMonth;
    std::string m_strDay;
    std::string m_strName;
    int m_nKind = -1;  // checked choice: 0 fixed date, 1 HappyMonday, 2 one year, -1 none
    int m_nWeek = 0;   // the kind written for a HappyMonday holiday

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    // Enter does nothing: the dialog ends only by register or cancel.
    void OnOK() override;
    // The cancel button, Escape and the close box: puts a changed record back, saves and ends.
    void OnCancel() override;

    // Fills the members and the controls from m_strRecord.
    void FillFromRecord();
    // Reads the controls, appends the record they make, saves and ends; stays open when the week
    // is no integer.
    void OnRegister();
};
