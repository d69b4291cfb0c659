#include "app/resources/resources.h"
#include "ui/resource_ids.h"

#include <array>

namespace resources {

using namespace platform;
namespace {

struct StringEntry {
    UINT id;
    std::string_view text;
};

// A tool tip is the string whose id is its button's command id.
constexpr std::array<StringEntry, 20> kStrings = {{
    {IDS_ABOUTBOX, "ﾊﾞｰｼﾞｮﾝ情報(Velmora) (&A)..."},
    {IDS_SOCKETS_INIT_FAILED, "Windows ｿｹｯﾄの初期化に失敗しました。"},
    {ID_VIEW_TOGGLE_CURSOR, "カーソル切り替え"},
    {ID_VIEW_THIS_MONTH, "今月"},
    {ID_VIEW_PREV_MONTH, "前月"},
    {ID_VIEW_NEXT_MONTH, "翌月"},
    {ID_VIEW_PREV_YEAR, "前年"},
    {ID_VIEW_NEXT_YEAR, "翌年"},
    {ID_EDIT_TODAY_SCHEDULE, "今日のスケジュール"},
    {ID_EDIT_MONTH_SCHEDULE, "今月のスケジュール"},
    {ID_VIEW_TOGGLE_VIEW, "画面切り替え"},
    {ID_LIST_THIS_MONTH, "今月"},
    {ID_LIST_PREV_MONTH, "前月"},
    {ID_LIST_NEXT_MONTH, "翌月"},
    {ID_LIST_PREV_YEAR, "前年"},
    {ID_LIST_NEXT_YEAR, "翌年"},
    {ID_SCHEDULE_REGISTER, "登録"},
    {ID_SCHEDULE_DELETE, "削除"},
    {ID_LIST_OPEN_DAY, "1日のスケジュール"},
    {ID_SETTINGS_HOLIDAYS, "休日設定"},
}};

}  // namespace

std::vector<std::pair<UINT, std::string_view>> VelmoraStrings() {
    std::vector<std::pair<UINT, std::string_view>> strings;
    for (const StringEntry& e : kStrings) strings.emplace_back(e.id, e.text);
    return strings;
}

}  // namespace resources
