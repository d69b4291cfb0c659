#include "ui/holiday/holiday_set_dlg.h"
#include "model/holiday_table.h"
#include "model/record.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/ui/holiday/holiday_test_support.h"
#include "ui/resource_ids.h"

#include <QComboBox>
#include <QLineEdit>

#include <functional>
#include <string>

namespace {

using namespace std::string_literals;
using HolidaySetTest = HolidayDialogTest;

// Runs the setting dialog on `record` with `hook` as the user; returns DoModal's result.
INT_PTR RunSetDialog(const std::string& record, std::function<void(CHolidaySetDlg&)> hook) {
    platform::testing::QueueModalHook([hook](CDialog& d) { hook(dynamic_cast<CHolidaySetDlg&>(d)); });
    CHolidaySetDlg dialog;
    dialog.m_strRecord = record;
    return dialog.DoModal();
}

TEST_F(HolidaySetTest, ShowsTheRecordItIsGiven) {
    struct Case {
        const char* name;
        std::string record;
        const char* month;
        int monthItem;  // -1: the text stands in the field
        const char* day;
        const char* text;
        int checked;
        const char* week;
        std::string registered;  // what register without edits appends
    } cases[] = {
        {"the add placeholder", std::string(kAddHolidayRecord), "0", -1, "0", "", IDC_KIND_FIXED, "0", "0^0^^0~"},
        {"an equinox", Cp932("3^20^春分の日^10~"), "3", 2, "20", "春分の日", IDC_KIND_HAPPY_MONDAY, "10",
         Cp932("3^20^春分の日^10~")},
        {"a one-year holiday", Cp932("12^9^記念^100~"), "12", 11, "9", "記念", IDC_KIND_ONE_YEAR, "0",
         Cp932("12^9^記念^100~")},
        {"fields that are no numbers show as 0", "abc^x^N^0~", "0", -1, "0", "N", IDC_KIND_FIXED, "0", "0^0^N^0~"},
        {"a month of three digits", "123^5^N^0~", "123", -1, "5", "N", IDC_KIND_FIXED, "0", "123^5^N^0~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunSetDialog(c.record, [&c](CHolidaySetDlg& d) {
            EXPECT_EQ(ControlText(d, IDC_MONTH_COMBO).toStdString(), c.month);
            EXPECT_EQ(dynamic_cast<QComboBox*>(d.GetDlgItemWidget(IDC_MONTH_COMBO))->currentIndex(), c.monthItem);
            EXPECT_EQ(ControlText(d, IDC_DAY_COMBO).toStdString(), c.day);
            EXPECT_EQ(ControlText(d, IDC_HOLIDAY_NAME).toStdString(), c.text);
            EXPECT_TRUE(IsRadioChecked(d, c.checked));
            EXPECT_EQ(ControlText(d, IDC_WEEK).toStdString(), c.week);
            ClickButton(d, IDC_SET_REGISTER);
        });
        EXPECT_EQ(g_strStaticHoliday + g_strDynamicHoliday + g_strYearHoliday, c.registered);
        g_strStaticHoliday.clear();
        g_strDynamicHoliday.clear();
        g_strYearHoliday.clear();
    }
}

TEST_F(HolidaySetTest, RegisterAppendsWhatWasTypedToTheStoreOfTheChoiceAndWritesTheFiles) {
    struct Case {
        const char* name;
        const char* month;
        const char* day;
        const char* text;
        int radio;
        const char* week;
        std::string* store;
        std::string record;
    } cases[] = {
        {"fixed date", "5", "3", "憲法記念日", IDC_KIND_FIXED, "0", &g_strStaticHoliday, Cp932("5^3^憲法記念日^0~")},
        {"HappyMonday", "1", "15", "成人の日", IDC_KIND_HAPPY_MONDAY, "2", &g_strDynamicHoliday,
         Cp932("1^15^成人の日^2~")},
        {"HappyMonday week -1 kept", "1", "15", "N", IDC_KIND_HAPPY_MONDAY, " -1 ", &g_strDynamicHoliday, "1^15^N^-1~"},
        {"HappyMonday week 12 kept", "1", "15", "N", IDC_KIND_HAPPY_MONDAY, "12", &g_strDynamicHoliday, "1^15^N^12~"},
        {"one year", "5", "3", "憲法記念日", IDC_KIND_ONE_YEAR, "7", &g_strYearHoliday, Cp932("5^3^憲法記念日^100~")},
        {"a month of 13 is kept as typed", "13", "1", "N", IDC_KIND_FIXED, "0", &g_strStaticHoliday, "13^1^N^0~"},
        {"a month of abc is kept as typed", "abc", "1", "N", IDC_KIND_FIXED, "0", &g_strStaticHoliday, "abc^1^N^0~"},
        {"delimiters typed become full width", "1^", "2~", "a^b~c", IDC_KIND_FIXED, "0", &g_strStaticHoliday,
         Cp932("1＾^2～^a＾b～c^0~")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_strStaticHoliday = "1^1^S^0~";
        g_strDynamicHoliday = "3^20^D^10~";
        g_strYearHoliday = "";
        const std::string before = *c.store;
        EXPECT_EQ(RunSetDialog(std::string(kAddHolidayRecord),
                               [&c](CHolidaySetDlg& d) {
                                   TypeInto(d, IDC_MONTH_COMBO, c.month);
                                   TypeInto(d, IDC_DAY_COMBO, c.day);
                                   TypeInto(d, IDC_HOLIDAY_NAME, c.text);
                                   CheckRadio(d, c.radio);
                                   TypeInto(d, IDC_WEEK, c.week);
                                   ClickButton(d, IDC_SET_REGISTER);
                               }),
                  0);
        EXPECT_EQ(*c.store, before + c.record);
        EXPECT_EQ(HolidayFiles(), (std::vector<std::string>{g_strStaticHoliday + '\0', g_strDynamicHoliday + '\0',
                                                            g_strYearHoliday + '\0'}));
    }
}

TEST_F(HolidaySetTest, AnUntouchedAddRegistersTheEmptyFixedRecord) {
    RunSetDialog(std::string(kAddHolidayRecord), [](CHolidaySetDlg& d) { ClickButton(d, IDC_SET_REGISTER); });
    EXPECT_EQ(g_strStaticHoliday, "0^0^^0~");
    EXPECT_EQ(FileBytes("Static_holi.txt"), "0^0^^0~\0"s);
}

TEST_F(HolidaySetTest, AWeekThatIsNoIntegerIsPromptedForAndTheDialogStaysOpen) {
    g_strDynamicHoliday = "3^20^D^10~";
    RunSetDialog("1^15^N^2~", [](CHolidaySetDlg& d) {
        CheckRadio(d, IDC_KIND_HAPPY_MONDAY);
        TypeInto(d, IDC_WEEK, "2x");
        platform::testing::QueueMessageBoxAnswer(IDOK);
        ClickButton(d, IDC_SET_REGISTER);
        ASSERT_EQ(platform::testing::MessageBoxCalls().size(), 1u);
        EXPECT_EQ(platform::testing::MessageBoxCalls()[0].text, "整数を入力してください。");
        EXPECT_FALSE(d.IsEnded());
        EXPECT_EQ(g_strDynamicHoliday, "3^20^D^10~") << "nothing registered";
        EXPECT_EQ(FileBytes("Dynamic_holi.txt"), "<missing>") << "nothing written";
        TypeInto(d, IDC_WEEK, "3");
        ClickButton(d, IDC_SET_REGISTER);
    });
    EXPECT_EQ(g_strDynamicHoliday, "3^20^D^10~1^15^N^3~");
}

TEST_F(HolidaySetTest, EnterDoesNothing) {
    g_strStaticHoliday = "1^1^S^0~";
    RunSetDialog("5^5^X^0~", [](CHolidaySetDlg& d) {
        for (const int id : {IDC_HOLIDAY_NAME, IDC_MONTH_COMBO, IDC_WEEK}) {
            PressKey(d.GetDlgItemWidget(id), Qt::Key_Return);
            EXPECT_FALSE(d.IsEnded()) << "Enter in control " << id;
        }
        EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~");
        PressKey(d.GetDlgItemWidget(IDC_HOLIDAY_NAME), Qt::Key_Escape);
    });
    EXPECT_EQ(g_strStaticHoliday, "1^1^S^0~5^5^X^0~");
}

TEST_F(HolidaySetTest, EnterPressesTheFocusedButton) {
    struct Case {
        const char* name;
        int button;
        std::string store;
    } cases[] = {
        {"登録 registers the edited record", IDC_SET_REGISTER, "1^1^S^0~5^5^Y^0~"},
        {"キャンセル puts the old record back", IDC_SET_CANCEL, "1^1^S^0~5^5^X^0~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_strStaticHoliday = "1^1^S^0~";
        RunSetDialog("5^5^X^0~", [&](CHolidaySetDlg& d) {
            TypeInto(d, IDC_HOLIDAY_NAME, "Y");
            d.GetDlgItemWidget(c.button)->setFocus();
            PressKey(d.GetDlgItemWidget(c.button), Qt::Key_Return);
            EXPECT_TRUE(d.IsEnded());
            if (!d.IsEnded()) ClickButton(d, IDC_SET_CANCEL);
        });
        EXPECT_EQ(g_strStaticHoliday, c.store);
    }
}

TEST_F(HolidaySetTest, EveryCancelPutsAChangedRecordBackAtTheEndOfItsStoreAndWritesTheFiles) {
    struct Way {
        const char* name;
        std::function<void(CHolidaySetDlg&)> cancel;
    } ways[] = {
        {"cancel button", [](CHolidaySetDlg& d) { ClickButton(d, IDC_SET_CANCEL); }},
        {"Escape", [](CHolidaySetDlg& d) { PressKey(d.GetDlgItemWidget(IDC_HOLIDAY_NAME), Qt::Key_Escape); }},
        {"close box", [](CHolidaySetDlg& d) { PressCloseBox(d); }},
        {"end of the session", [](CHolidaySetDlg& d) { d.OnEndSession(); }},
    };
    struct Case {
        const char* name;
        const char* record;
        std::string* store;
    } cases[] = {
        {"kind 0", "5^5^F^0~", &g_strStaticHoliday},       {"kind 100", "5^5^Y^100~", &g_strYearHoliday},
        {"kind 2", "5^5^H^2~", &g_strDynamicHoliday},      {"kind 12", "5^5^K^12~", &g_strDynamicHoliday},
        {"an empty name", "5^5^^0~", &g_strStaticHoliday},
    };
    for (const Way& way : ways) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(way.name) + ", " + c.name);
            g_strStaticHoliday = "1^1^S^0~";
            g_strDynamicHoliday = "3^20^D^10~";
            g_strYearHoliday = "2^2^Y^100~";
            const std::string before = *c.store;
            EXPECT_EQ(RunSetDialog(c.record,
                                   [&way](CHolidaySetDlg& d) {
                                       TypeInto(d, IDC_HOLIDAY_NAME, "typed and dropped");
                                       CheckRadio(d, IDC_KIND_ONE_YEAR);
                                       way.cancel(d);
                                   }),
                      0);
            EXPECT_EQ(*c.store, before + c.record);
            EXPECT_EQ(g_strStaticHoliday.size() + g_strDynamicHoliday.size() + g_strYearHoliday.size(),
                      std::string("1^1^S^0~3^20^D^10~2^2^Y^100~").size() + std::string(c.record).size());
            EXPECT_EQ(HolidayFiles(), (std::vector<std::string>{g_strStaticHoliday + '\0', g_strDynamicHoliday + '\0',
                                                                g_strYearHoliday + '\0'}));
        }
    }
}

TEST_F(HolidaySetTest, CancellingAnAddChangesNoStoreButWritesTheFiles) {
    g_strStaticHoliday = "1^1^S^0~";
    RunSetDialog(std::string(kAddHolidayRecord), [](CHolidaySetDlg& d) {
        TypeInto(d, IDC_HOLIDAY_NAME, "dropped");
        ClickButton(d, IDC_SET_CANCEL);
    });
    EXPECT_EQ(g_strStaticHoliday + g_strDynamicHoliday + g_strYearHoliday, "1^1^S^0~");
    EXPECT_EQ(HolidayFiles(), (std::vector<std::string>{"1^1^S^0~\0"s, "\0"s, "\0"s}));
}

TEST_F(HolidaySetTest, ChangingTheChoiceMovesTheRecordToThatStore) {
    RunSetDialog(Cp932("5^3^憲法記念日^0~"), [](CHolidaySetDlg& d) {
        CheckRadio(d, IDC_KIND_ONE_YEAR);
        ClickButton(d, IDC_SET_REGISTER);
    });
    EXPECT_EQ(g_strStaticHoliday, "");
    EXPECT_EQ(g_strYearHoliday, Cp932("5^3^憲法記念日^100~"));
    EXPECT_EQ(FileBytes("126_holi.txt"), "5^3^\x8C\x9B\x96\x40\x8B\x4C\x94\x4F\x93\xFA^100~\0"s);
}

}  // namespace
