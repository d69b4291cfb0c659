#pragma once

#include "platform/dialog.h"

#include <string>

// Lists every holiday of the three holiday stores sorted by date, and adds, changes and deletes
// them; additions and changes go through CHolidaySetDlg.
class CHolidayListDlg : public CDialog {
public:
    explicit CHolidayListDlg(CWnd* parent = nullptr);

    std::string m_strHolidayList;  // the records of the three stores sorted by date; line i is record i
    CListBox m_listHoliday;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    void OnControlNotify(int controlId, UINT code) override;

    // Sorts the stores again and shows one line per record; no line stays selected.
    void UpdateHolidayList();
    // Sets m_strHolidayList to the records of the three stores sorted by date.
    void SortHolidayList();
    // Returns the record of the selected line after taking it out of its store, or "" when no
    // line is selected; `takenFrom`, when given, receives that store (nullptr when none held it).
    std::string TakeOutSelectedHoliday(std::string** takenFrom = nullptr);

    void OnAddHoliday();
    void OnChangeHoliday();
    void OnDeleteHoliday();
    void OnCloseList();
    void OnDblclkHolidayList();
    void OnMenuCloseList();
    void OnMenuAddHoliday();
    void OnMenuChangeHoliday();
    void OnMenuDeleteHoliday();

private:
    void AddHoliday(bool save);
    void ChangeHoliday(bool save);
    void DeleteHoliday();
    // Hides this list, runs the setting dialog on `record` and shows the list again.
    void RunSetDialog(const std::string& record, std::string* homeStore);
};
