#include "app/resources/resources.h"
#include "ui/resource_ids.h"

namespace resources {

using namespace platform;

std::vector<MenuTemplate> VelmoraMenus() {
    std::vector<MenuTemplate> m;

    m.push_back({IDR_CALENDAR_MENU,
                 {
                     {"ファイル(&F)",
                      0,
                      {
                          {"印刷(&P)...", ID_FILE_PRINT},
                          {"終了(&X)", ID_FILE_EXIT},
                      }},
                     {"編集(&E)",
                      0,
                      {
                          {"今日... (&T)", ID_EDIT_TODAY_SCHEDULE},
                          {"今月... (&K)", ID_EDIT_MONTH_SCHEDULE},
                          {"指定月... (&S)", ID_EDIT_PICK_MONTH_SCHEDULE},
                      }},
                     {"表示(&V)",
                      0,
                      {
                          {"今月(&K)", ID_VIEW_THIS_MONTH},
                          {"先月(&S)", ID_VIEW_PREV_MONTH},
                          {"来月(&R)", ID_VIEW_NEXT_MONTH},
                          {"前年(&Z)", ID_VIEW_PREV_YEAR},
                          {"翌年(&Y)", ID_VIEW_NEXT_YEAR},
                          {"カーソル変更(&R)", ID_VIEW_TOGGLE_CURSOR},
                          {"表示変更(&C)", ID_VIEW_TOGGLE_VIEW},
                      }},
                     {"設定(&H)",
                      0,
                      {
                          {"休日... (&H)", ID_SETTINGS_HOLIDAYS},
                          {"祝日を最新にする...", ID_SETTINGS_OFFICIAL_HOLIDAYS},
                          {"予定の通知(&N)",
                           0,
                           {
                               {"通知する(&N)", ID_SETTINGS_REMINDERS_ON},
                               {nullptr, 0},
                               {"時刻ちょうど(&0)", ID_SETTINGS_REMIND_AT},
                               {"5分前(&5)", ID_SETTINGS_REMIND_AT + 1},
                               {"10分前(&1)", ID_SETTINGS_REMIND_AT + 2},
                               {"15分前(&2)", ID_SETTINGS_REMIND_AT + 3},
                               {"30分前(&3)", ID_SETTINGS_REMIND_AT + 4},
                           }},
                      }},
                 }});

    m.push_back({IDR_MONTH_SCHEDULE_MENU,
                 {
                     {"ファイル(&F)",
                      0,
                      {
                          {"閉じる(&C)", ID_LIST_CLOSE},
                      }},
                     {"表示(&V)",
                      0,
                      {
                          {"今月(&K)", ID_LIST_THIS_MONTH},
                          {"先月(&S)", ID_LIST_PREV_MONTH},
                          {"来月(&R)", ID_LIST_NEXT_MONTH},
                          {"前年(&Z)", ID_LIST_PREV_YEAR},
                          {"来年(&Y)", ID_LIST_NEXT_YEAR},
                      }},
                 }});

    m.push_back({IDR_SCHEDULE_MENU,
                 {
                     {"ファイル(&F)",
                      0,
                      {
                          {"閉じる(&C)", ID_SCHEDULE_CLOSE},
                      }},
                     {"編集(&E)",
                      0,
                      {
                          {"登録... (&I)", ID_SCHEDULE_REGISTER},
                          {"削除(&D)", ID_SCHEDULE_DELETE},
                      }},
                 }});

    // Only the popup is ever opened (at the tray icon), so its own title is never seen.
    m.push_back({IDR_TRAY_MENU,
                 {
                     {"トレイ",
                      0,
                      {
                          {"終了", ID_TRAY_EXIT},
                      }},
                 }});

    m.push_back({IDR_HOLIDAY_LIST_MENU,
                 {
                     {"ファイル(&F)",
                      0,
                      {
                          {"閉じる(&c)", ID_HOLIDAY_CLOSE},
                      }},
                     {"編集(&E)",
                      0,
                      {
                          {"追加... (&I)", ID_HOLIDAY_ADD},
                          {"変更... (&C)", ID_HOLIDAY_CHANGE},
                          {"削除(&D)", ID_HOLIDAY_DELETE},
                      }},
                 }});

    return m;
}

}  // namespace resources
