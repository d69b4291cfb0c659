#include "app/resources/resources.h"
#include "ui/resource_ids.h"

namespace resources {

using namespace platform;
namespace {

constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 15;
constexpr UINT kSeparator = 0;

}  // namespace

std::vector<ToolBarTemplate> VelmoraToolBars() {
    return {
        {IDR_CALENDAR_TOOLBAR,
         kButtonWidth,
         kButtonHeight,
         {ID_EDIT_TODAY_SCHEDULE, ID_EDIT_MONTH_SCHEDULE, ID_VIEW_PREV_YEAR, ID_VIEW_PREV_MONTH, ID_VIEW_THIS_MONTH,
          ID_VIEW_NEXT_MONTH, ID_VIEW_NEXT_YEAR, ID_SETTINGS_HOLIDAYS, ID_VIEW_TOGGLE_CURSOR, ID_VIEW_TOGGLE_VIEW}},
        {IDR_SCHEDULE_TOOLBAR, kButtonWidth, kButtonHeight, {ID_SCHEDULE_REGISTER, ID_SCHEDULE_DELETE}},
        {IDR_MONTH_SCHEDULE_TOOLBAR,
         kButtonWidth,
         kButtonHeight,
         {ID_LIST_OPEN_DAY, kSeparator, ID_LIST_PREV_YEAR, ID_LIST_PREV_MONTH, ID_LIST_THIS_MONTH, ID_LIST_NEXT_MONTH,
          ID_LIST_NEXT_YEAR}},
    };
}

}  // namespace resources
