#include "app/resources/resources.h"
#include "ui/resource_ids.h"

#include <algorithm>
#include <string>

namespace resources {

using namespace platform;
namespace {

constexpr const char* kMincho = "ＭＳ 明朝";
constexpr const char* kPGothic = "ＭＳ Ｐゴシック";

// Combo box list items "1".."last", kept alive for the program's life because templates hold
// plain pointers.
std::vector<const char*> NumberItems(int last) {
    static std::vector<std::string> storage = [] {
        std::vector<std::string> numbers;
        for (int n = 1; n <= 31; ++n) numbers.push_back(std::to_string(n));
        return numbers;
    }();
    std::vector<const char*> items;
    for (int n = 1; n <= last; ++n) items.push_back(storage[static_cast<std::size_t>(n - 1)].c_str());
    return items;
}

}  // namespace

std::vector<DialogTemplate> VelmoraDialogTemplates() {
    using K = ControlKind;
    std::vector<DialogTemplate> t;

    t.push_back({IDD_ABOUTBOX,
                 "ﾊﾞｰｼﾞｮﾝ情報 Velmora",
                 217,
                 55,
                 kPGothic,
                 9,
                 0,
                 true,
                 {
                     {K::Icon, IDC_STATIC, "", 11, 17, 20, 20, 0, {}, IDR_MAINFRAME},
                     {K::Static, IDC_STATIC, "Velmora Version 1.0", 40, 10, 119, 8},
                     {K::DefPushButton, IDC_OK, "OK", 178, 7, 32, 14, kTabStop},
                 }});

    // The host is never shown; its size only has to be a valid one.
    t.push_back({IDD_HOST, "Velmora", 60, 20, kPGothic, 9, 0, false, {}});

    t.push_back({IDD_HOLIDAY_LIST,
                 "休日",
                 154,
                 155,
                 kPGothic,
                 9,
                 IDR_HOLIDAY_LIST_MENU,
                 true,
                 {
                     {K::ListBox, IDC_HOLIDAY_LIST, "", 5, 5, 100, 135, kNotify | kAlwaysScroll | kVScroll | kTabStop},
                     {K::PushButton, IDC_HOLIDAY_ADD, "追加... ", 110, 15, 40, 14, kTabStop},
                     {K::PushButton, IDC_HOLIDAY_CHANGE, "変更... ", 110, 40, 40, 14, kTabStop},
                     {K::PushButton, IDC_HOLIDAY_DELETE, "削除 ", 110, 65, 40, 14, kTabStop},
                     {K::PushButton, IDC_HOLIDAY_CLOSE, "閉じる ", 110, 120, 40, 14, kTabStop},
                 }});

    t.push_back({IDD_SCHEDULE,
                 "スケジュール",
                 187,
                 159,
                 kPGothic,
                 9,
                 IDR_SCHEDULE_MENU,
                 true,
                 {
                     {K::Edit, IDC_MEMO, "", 7, 38, 173, 87, kMultiLine | kVScroll | kTabStop},
                     {K::PushButton, IDC_SCHEDULE_REGISTER, "登録", 7, 138, 50, 14, kTabStop},
                     {K::PushButton, IDC_SCHEDULE_DELETE, "削除", 67, 138, 50, 14, kTabStop},
                     {K::PushButton, IDC_SCHEDULE_CANCEL, "キャンセル", 130, 138, 50, 14, kTabStop},
                 }});

    t.push_back(
        {IDD_MONTH_SCHEDULE,
         "スケジュール表(1ヶ月)",
         170,
         175,
         kPGothic,
         9,
         IDR_MONTH_SCHEDULE_MENU,
         true,
         {
             {K::ListBox, IDC_DAY_LIST, "", 5, 40, 155, 125, kNotify | kSorted | kAlwaysScroll | kVScroll | kTabStop},
         }});

    t.push_back({IDD_CALENDAR,
                 "カレンダー",
                 177,
                 145,
                 kMincho,
                 9,
                 IDR_CALENDAR_MENU,
                 true,
                 {
                     {K::Static, IDC_CLOCK, "Static", 80, 130, 85, 8},
                 },
                 /*minMaxBoxes=*/true});

    t.push_back({IDD_HOLIDAY_SET,
                 "休日設定",
                 119,
                 125,
                 kPGothic,
                 9,
                 0,
                 true,
                 {
                     {K::ComboBox, IDC_MONTH_COMBO, "", 5, 5, 43, 65, kVScroll | kTabStop, NumberItems(12)},
                     {K::Static, IDC_STATIC, "月", 50, 10, 8, 8},
                     {K::ComboBox, IDC_DAY_COMBO, "", 60, 5, 43, 65, kVScroll | kTabStop, NumberItems(31)},
                     {K::Static, IDC_STATIC, "日", 105, 10, 8, 8},
                     {K::Static, IDC_STATIC, "休日名", 5, 35, 22, 8},
                     {K::Edit, IDC_HOLIDAY_NAME, "", 35, 30, 70, 14, kTabStop},
                     // The group's first button carries the tab stop, so Tab reaches the group.
                     {K::RadioButton, IDC_KIND_FIXED, "毎年(固定)", 5, 51, 48, 10, kGroup | kTabStop},
                     {K::RadioButton, IDC_KIND_HAPPY_MONDAY, "HappyMonday", 5, 65, 55, 10},
                     {K::RadioButton, IDC_KIND_ONE_YEAR, "1年限り", 5, 80, 38, 10},
                     {K::Edit, IDC_WEEK, "", 65, 60, 20, 14},
                     {K::Static, IDC_STATIC, "週目", 90, 65, 15, 8},
                     {K::PushButton, IDC_SET_REGISTER, "登録", 5, 100, 50, 14, kTabStop},
                     {K::PushButton, IDC_SET_CANCEL, "キャンセル", 60, 100, 50, 14, kTabStop},
                 }});

    return t;
}

}  // namespace resources
