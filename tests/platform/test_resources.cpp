#include "tests/platform/test_resources.h"

namespace test_resources {

void Install() {
    using platform::ControlKind;
    platform::ResourceTables tables;
    static const char* const kItems[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
    tables.dialogs = {
        {kFormDialog,
         "form",
         119,
         125,
         "ＭＳ Ｐゴシック",
         9,
         0,
         true,
         {
             {ControlKind::ComboBox,
              kCombo,
              "",
              5,
              5,
              43,
              65,
              platform::kTabStop,
              {std::begin(kItems), std::end(kItems)}},
             {ControlKind::Edit, kName, "", 35, 30, 70, 14, platform::kTabStop},
             {ControlKind::RadioButton, kRadioFirst, "first", 5, 51, 48, 10, platform::kGroup | platform::kTabStop},
             {ControlKind::RadioButton, kRadioSecond, "second", 5, 65, 55, 10},
             {ControlKind::RadioButton, kRadioThird, "third", 5, 80, 38, 10},
             {ControlKind::Edit, kNumber, "", 65, 60, 20, 14},
         }},
        {kMemoDialog,
         "memo",
         187,
         159,
         "ＭＳ Ｐゴシック",
         9,
         0,
         true,
         {
             {ControlKind::Edit, kMemo, "", 7, 38, 173, 87,
              platform::kMultiLine | platform::kVScroll | platform::kTabStop},
         }},
        {kListDialog,
         "list",
         170,
         175,
         "ＭＳ Ｐゴシック",
         9,
         0,
         true,
         {
             {ControlKind::ListBox, kList, "", 5, 40, 155, 125,
              platform::kSorted | platform::kNotify | platform::kTabStop},
         }},
        {kOuterDialog,
         "outer",
         154,
         155,
         "ＭＳ Ｐゴシック",
         9,
         0,
         true,
         {
             {ControlKind::PushButton, kOpenInner, "open", 110, 15, 40, 14, platform::kTabStop},
             {ControlKind::PushButton, kClose, "close", 110, 120, 40, 14, platform::kTabStop},
         }},
        {kMenuDialog, "menu", 100, 50, "ＭＳ Ｐゴシック", 9, kMenu, true, {}},
    };
    tables.menus = {
        {kMenu,
         {
             {"File", 0, {{"Open", kOpenItem}, {nullptr, 0}, {"Close", kCloseItem}}},
             {"Edit", 0, {{"More", 0, {{"Deep", kDeepItem}}}}},
         }},
    };
    platform::InstallResources(std::move(tables));
}

}  // namespace test_resources
