#include "ui/holiday/holiday_list_dlg.h"
#include "model/holiday_table.h"
#include "model/record.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/ui/holiday/holiday_test_support.h"
#include "ui/holiday/holiday_set_dlg.h"
#include "ui/resource_ids.h"

#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using HolidayListTest = HolidayDialogTest;

using SetDialogUser = std::function<void(CHolidaySetDlg&)>;

// Runs the holiday list with `hook` as the user, and `setDialog` as the user of the setting
// dialog that the list opens; returns DoModal's result.
INT_PTR RunList(std::function<void(CHolidayListDlg&)> hook, SetDialogUser setDialog = nullptr) {
    platform::testing::QueueModalHook([hook](CDialog& d) { hook(dynamic_cast<CHolidayListDlg&>(d)); });
    if (setDialog) {
        platform::testing::QueueModalHook([setDialog](CDialog& d) { setDialog(dynamic_cast<CHolidaySetDlg&>(d)); });
    }
    CHolidayListDlg dialog;
    const INT_PTR result = dialog.DoModal();
    EXPECT_EQ(platform::testing::PendingModalHooks(), 0u);
    return result;
}

std::vector<std::string> Lines(CHolidayListDlg& d) {
    std::vector<std::string> lines;
    for (int i = 0; i < d.m_listHoliday.GetCount(); ++i)
        lines.push_back(platform::Utf8FromCp932(d.m_listHoliday.GetText(i)));
    return lines;
}

std::vector<std::string> WrittenStores() {
    return {g_strStaticHoliday + '\0', g_strDynamicHoliday + '\0', g_strYearHoliday + '\0'};
}

TEST_F(HolidayListTest, ShowsTheBuiltInTableSortedWithNothingSelected) {
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    RunList([](CHolidayListDlg& d) {
        const std::vector<std::string> lines = Lines(d);
        ASSERT_EQ(lines.size(), 15u);
        EXPECT_EQ(d.m_listHoliday.GetText(0), "\x20\x31\x8C\x8E\x20\x20\x31\x93\xFA\x81\x40\x8C\xB3\x92\x55");
        EXPECT_EQ(lines[1], " 1月 15日　成人の日");
        EXPECT_EQ(lines[3], " 3月 20日　春分の日");
        EXPECT_EQ(d.m_listHoliday.GetText(11), "10\x8C\x8E 10\x93\xFA\x81\x40\x91\xCC\x88\xE7\x82\xCC\x93\xFA");
        EXPECT_EQ(lines[14], "12月 23日　天皇誕生日");
        EXPECT_EQ(d.m_listHoliday.GetCurSel(), LB_ERR);
        EXPECT_EQ(d.GetWindowText(), Cp932("休日"));
        ClickButton(d, IDC_HOLIDAY_CLOSE);
    });
    EXPECT_EQ(HolidayFiles(), (std::vector<std::string>{"<missing>", "<missing>", "<missing>"}))
        << "closing writes nothing";
}

TEST_F(HolidayListTest, EqualDatesShowInTheOrderOfTheSort) {
    g_strStaticHoliday = "5^5^A^0~1^1^C^0~";
    g_strDynamicHoliday = "5^5^B^2~";
    RunList([](CHolidayListDlg& d) {
        EXPECT_EQ(Lines(d), (std::vector<std::string>{" 1月  1日　C", " 5月  5日　A", " 5月  5日　B"}));
        EXPECT_EQ(d.m_strHolidayList, "1^1^C^0~5^5^A^0~5^5^B^2~");
        ClickButton(d, IDC_HOLIDAY_CLOSE);
    });
}

struct DeleteWay {
    const char* name;
    std::function<void(CHolidayListDlg&)> remove;
};

class DeleteTest : public HolidayDialogTest, public ::testing::WithParamInterface<DeleteWay> {};

TEST_P(DeleteTest, RemovesExactlyTheSelectedRecordAndWritesTheFiles) {
    g_strStaticHoliday = "11^3^A^0~1^3^A^0~";
    g_strDynamicHoliday = "1^3^A^2~";
    RunList([](CHolidayListDlg& d) {
        EXPECT_EQ(d.m_listHoliday.GetCount(), 3);
        int target = -1;
        for (int i = 0; i < 3; ++i) {
            if (HolidayRecordAt(d.m_strHolidayList, i) == "1^3^A^0~") target = i;
        }
        EXPECT_NE(target, -1);
        d.m_listHoliday.SetCurSel(target);
        GetParam().remove(d);
        EXPECT_EQ(d.m_listHoliday.GetCount(), 2);
        EXPECT_EQ(d.m_listHoliday.GetCurSel(), LB_ERR) << "a refresh selects nothing";
        ClickButton(d, IDC_HOLIDAY_CLOSE);
    });
    EXPECT_EQ(g_strStaticHoliday, "11^3^A^0~");
    EXPECT_EQ(g_strDynamicHoliday, "1^3^A^2~");
    EXPECT_EQ(HolidayFiles(), WrittenStores());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DeleteTest,
    ::testing::Values(DeleteWay{"button", [](CHolidayListDlg& d) { ClickButton(d, IDC_HOLIDAY_DELETE); }},
                      DeleteWay{"menu", [](CHolidayListDlg& d) { ChooseMenu(d, ID_HOLIDAY_DELETE); }}),
    NameRows());

TEST_F(HolidayListTest, DeleteWithNothingSelectedRemovesNothingButWritesTheFiles) {
    g_strStaticHoliday = "1^1^S^0~";
    RunList([](CHolidayListDlg& d) {
        ClickButton(d, IDC_HOLIDAY_DELETE);
        ClickButton(d, IDC_HOLIDAY_CLOSE);
    });
    EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~");
    EXPECT_EQ(HolidayFiles(), (std::vector<std::string>{"1^1^S^0~\0"s, "\0"s, "\0"s}));
}

TEST_F(HolidayListTest, ChangeWithNothingSelectedOpensNothing) {
    g_strStaticHoliday = "1^1^S^0~";
    RunList([](CHolidayListDlg& d) {
        ClickButton(d, IDC_HOLIDAY_CHANGE);
        ChooseMenu(d, ID_HOLIDAY_CHANGE);
        d.OnControlNotify(IDC_HOLIDAY_LIST, LBN_DBLCLK);
        ClickButton(d, IDC_HOLIDAY_CLOSE);
    });
    EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~");
    EXPECT_EQ(FileBytes("Static_holi.txt"), "<missing>");
}

TEST_F(HolidayListTest, AddHidesTheListRunsTheSetDialogAndRefreshes) {
    struct Way {
        const char* name;
        std::function<void(CHolidayListDlg&)> add;
        bool listWrites;
    } ways[] = {
        {"button", [](CHolidayListDlg& d) { ClickButton(d, IDC_HOLIDAY_ADD); }, true},
        {"menu", [](CHolidayListDlg& d) { ChooseMenu(d, ID_HOLIDAY_ADD); }, false},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        g_strStaticHoliday = "1^1^S^0~";
        g_strYearHoliday = "";
        CHolidayListDlg* list = nullptr;
        const SetDialogUser setDialog = ([&list](CHolidaySetDlg& s) {
            EXPECT_FALSE(list->IsWindowVisible()) << "the list hides while the setting dialog runs";
            EXPECT_EQ(s.m_strRecord, "0^0^^0^");
            TypeInto(s, IDC_MONTH_COMBO, "12");
            TypeInto(s, IDC_DAY_COMBO, "9");
            TypeInto(s, IDC_HOLIDAY_NAME, "記念日");
            CheckRadio(s, IDC_KIND_ONE_YEAR);
            ClickButton(s, IDC_SET_REGISTER);
        });
        RunList(
            [&list, &way](CHolidayListDlg& d) {
                list = &d;
                way.add(d);
                EXPECT_TRUE(d.IsWindowVisible());
                EXPECT_EQ(Lines(d), (std::vector<std::string>{" 1月  1日　S", "12月  9日　記念日"}));
                ClickButton(d, IDC_HOLIDAY_CLOSE);
            },
            setDialog);
        EXPECT_EQ(g_strYearHoliday, Cp932("12^9^記念日^100~"));
        EXPECT_EQ(FileBytes("126_holi.txt"), g_strYearHoliday + '\0');
        EXPECT_EQ(platform::testing::PendingModalHooks(), 0u);
    }
}

TEST_F(HolidayListTest, ChangePutsTheEditedRecordAtTheEndOfItsStore) {
    struct Way {
        const char* name;
        std::function<void(CHolidayListDlg&)> change;
    } ways[] = {
        {"button", [](CHolidayListDlg& d) { ClickButton(d, IDC_HOLIDAY_CHANGE); }},
        {"menu", [](CHolidayListDlg& d) { ChooseMenu(d, ID_HOLIDAY_CHANGE); }},
        {"double-click",
         [](CHolidayListDlg& d) {
             auto* list = dynamic_cast<QListWidget*>(d.GetDlgItemWidget(IDC_HOLIDAY_LIST));
             emit list->itemDoubleClicked(list->item(d.m_listHoliday.GetCurSel()));
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        g_strStaticHoliday = "1^1^S^0~2^2^T^0~3^3^U^0~";
        const SetDialogUser setDialog = ([](CHolidaySetDlg& s) {
            EXPECT_EQ(s.m_strRecord, "2^2^T^0~");
            EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~3^3^U^0~") << "taken out before the dialog opens";
            TypeInto(s, IDC_DAY_COMBO, "28");
            ClickButton(s, IDC_SET_REGISTER);
        });
        RunList(
            [&way](CHolidayListDlg& d) {
                d.m_listHoliday.SetCurSel(1);
                way.change(d);
                EXPECT_EQ(Lines(d), (std::vector<std::string>{" 1月  1日　S", " 2月 28日　T", " 3月  3日　U"}));
                ClickButton(d, IDC_HOLIDAY_CLOSE);
            },
            setDialog);
        EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~3^3^U^0~2^28^T^0~");
        EXPECT_EQ(FileBytes("Static_holi.txt"), g_strStaticHoliday + '\0');
    }
}

TEST_F(HolidayListTest, ARecordWhoseKindDoesNotMatchItsStoreIsChangedAndDeletedInItsOwnStore) {
    // A HappyMonday week of 0 is a kind-0 record in the rule-based store.
    g_strStaticHoliday = "1^1^S^0~";
    g_strDynamicHoliday = "6^1^W^0~";
    const SetDialogUser setDialog = ([](CHolidaySetDlg& s) {
        EXPECT_EQ(g_strDynamicHoliday, "");
        ClickButton(s, IDC_SET_CANCEL);
    });
    RunList(
        [](CHolidayListDlg& d) {
            d.m_listHoliday.SetCurSel(1);
            ClickButton(d, IDC_HOLIDAY_CHANGE);
            EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~");
            EXPECT_EQ(g_strDynamicHoliday, "6^1^W^0~") << "cancel put it back where it was, once";
            d.m_listHoliday.SetCurSel(1);
            ClickButton(d, IDC_HOLIDAY_DELETE);
            ClickButton(d, IDC_HOLIDAY_CLOSE);
        },
        setDialog);
    EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~");
    EXPECT_EQ(g_strDynamicHoliday, "");
    EXPECT_EQ(HolidayFiles(), WrittenStores());
}

TEST_F(HolidayListTest, ASessionEndingDuringAChangePutsTheRecordBack) {
    g_strYearHoliday = "7^7^A^100~8^8^B^100~";
    const SetDialogUser setDialog = ([](CHolidaySetDlg& s) {
        TypeInto(s, IDC_HOLIDAY_NAME, "unsaved edit");
        CDialog::EndDialogsOpenedAfter(nullptr);
    });
    const INT_PTR result = RunList(
        [](CHolidayListDlg& d) {
            d.m_listHoliday.SetCurSel(0);
            ClickButton(d, IDC_HOLIDAY_CHANGE);
            EXPECT_TRUE(d.IsEnded()) << "the list ends with the session too";
            EXPECT_FALSE(d.IsWindowVisible());
        },
        setDialog);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(g_strYearHoliday, "8^8^B^100~7^7^A^100~");
    EXPECT_EQ(FileBytes("126_holi.txt"), g_strYearHoliday + '\0');
}

TEST_F(HolidayListTest, AQuitDuringAChangeStillPutsTheRecordBackAndWritesIt) {
    g_strStaticHoliday = "7^7^A^0~";
    const SetDialogUser setDialog = ([](CHolidaySetDlg&) { PostQuitMessage(0); });
    RunList(
        [](CHolidayListDlg& d) {
            d.m_listHoliday.SetCurSel(0);
            ChooseMenu(d, ID_HOLIDAY_CHANGE);
        },
        setDialog);
    EXPECT_EQ(g_strStaticHoliday, "7^7^A^0~");
    EXPECT_EQ(FileBytes("Static_holi.txt"), "7^7^A^0~\0"s);
}

TEST_F(HolidayListTest, EnterPressesTheFocusedButton) {
    g_strStaticHoliday = "1^1^A^0~2^2^B^0~";
    bool endedByEnter = true;
    RunList([&](CHolidayListDlg& d) {
        d.m_listHoliday.SetCurSel(0);
        d.GetDlgItemWidget(IDC_HOLIDAY_DELETE)->setFocus();
        PressKey(d.GetDlgItemWidget(IDC_HOLIDAY_DELETE), Qt::Key_Return);
        endedByEnter = d.IsEnded() != FALSE;
        ClickButton(d, IDC_HOLIDAY_CLOSE);
    });
    EXPECT_FALSE(endedByEnter) << "Enter on 削除 deletes; it does not close the list";
    EXPECT_EQ(g_strStaticHoliday, "2^2^B^0~");
    EXPECT_EQ(FileBytes("Static_holi.txt"), "2^2^B^0~\0"s);
}

TEST_F(HolidayListTest, EveryWayOutEndsTheList) {
    struct Way {
        const char* name;
        std::function<void(CHolidayListDlg&)> close;
        INT_PTR result;
    } ways[] = {
        {"close button", [](CHolidayListDlg& d) { ClickButton(d, IDC_HOLIDAY_CLOSE); }, 0},
        {"close menu item", [](CHolidayListDlg& d) { ChooseMenu(d, ID_HOLIDAY_CLOSE); }, 0},
        {"Enter", [](CHolidayListDlg& d) { PressKey(d.GetDlgItemWidget(IDC_HOLIDAY_LIST), Qt::Key_Return); }, IDOK},
        {"Escape", [](CHolidayListDlg& d) { PressKey(d.GetDlgItemWidget(IDC_HOLIDAY_LIST), Qt::Key_Escape); },
         IDCANCEL},
        {"close box", [](CHolidayListDlg& d) { PressCloseBox(d); }, IDCANCEL},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        EXPECT_EQ(RunList(way.close), way.result);
    }
}

}  // namespace
