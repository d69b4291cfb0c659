#pragma once

#include "platform/win_types.h"

// Ids of the program's resources, commands and controls.

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_HOST = 102;  // the hidden host window
inline constexpr int IDD_HOLIDAY_LIST = 104;
inline constexpr int IDD_SCHEDULE = 105;        // one day's memo
inline constexpr int IDD_MONTH_SCHEDULE = 106;  // one month's memos, a line per day
inline constexpr int IDD_CALENDAR = 108;        // the main window
inline constexpr int IDD_HOLIDAY_SET = 110;

// Icons.
inline constexpr int IDR_MAINFRAME = 128;  // the application icon of the About box
inline constexpr int IDI_CALENDAR = 147;   // the main window's and the tray's icon

// Menus.
inline constexpr int IDR_CALENDAR_MENU = 129;
inline constexpr int IDR_MONTH_SCHEDULE_MENU = 131;
inline constexpr int IDR_SCHEDULE_MENU = 133;
inline constexpr int IDR_TRAY_MENU = 134;
inline constexpr int IDR_HOLIDAY_LIST_MENU = 155;

// Toolbars.
inline constexpr int IDR_CALENDAR_TOOLBAR = 137;
inline constexpr int IDR_SCHEDULE_TOOLBAR = 139;
inline constexpr int IDR_MONTH_SCHEDULE_TOOLBAR = 141;

// Strings that are not tool tips (a tool tip's string id is its button's command id).
inline constexpr UINT IDS_ABOUTBOX = 101;  // the About item's text
inline constexpr UINT IDS_SOCKETS_INIT_FAILED = 103;

// The About item of a system menu; compared with the low four bits of the code cleared.
inline constexpr UINT IDM_ABOUTBOX = 0x0010;

// Commands of the main window (menu 129, toolbar 137, tray menu 134).
inline constexpr UINT ID_FILE_EXIT = 32771;
inline constexpr UINT ID_TRAY_EXIT = 32772;
inline constexpr UINT ID_VIEW_TOGGLE_CURSOR = 32774;
inline constexpr UINT ID_VIEW_THIS_MONTH = 32775;
inline constexpr UINT ID_VIEW_PREV_MONTH = 32776;
inline constexpr UINT ID_VIEW_NEXT_MONTH = 32777;
inline constexpr UINT ID_VIEW_PREV_YEAR = 32778;
inline constexpr UINT ID_VIEW_NEXT_YEAR = 32779;
inline constexpr UINT ID_EDIT_TODAY_SCHEDULE = 32781;
inline constexpr UINT ID_EDIT_MONTH_SCHEDULE = 32782;
inline constexpr UINT ID_EDIT_PICK_MONTH_SCHEDULE = 32783;
inline constexpr UINT ID_VIEW_TOGGLE_VIEW = 32784;
inline constexpr UINT ID_SETTINGS_HOLIDAYS = 32835;
inline constexpr UINT ID_SETTINGS_OFFICIAL_HOLIDAYS = 32836;
inline constexpr UINT ID_FILE_PRINT = 32837;
inline constexpr UINT ID_SETTINGS_REMINDERS_ON = 32838;  // 予定の通知 on or off
inline constexpr UINT ID_SETTINGS_REMIND_AT = 32839;     // how early: 32839..32843 for 0, 5, 10, 15, 30 minutes

// Commands of the month schedule list (menu 131, toolbar 141).
inline constexpr UINT ID_LIST_THIS_MONTH = 32785;
inline constexpr UINT ID_LIST_PREV_MONTH = 32786;
inline constexpr UINT ID_LIST_NEXT_MONTH = 32787;
inline constexpr UINT ID_LIST_PREV_YEAR = 32788;
inline constexpr UINT ID_LIST_NEXT_YEAR = 32789;
inline constexpr UINT ID_LIST_CLOSE = 32790;
inline constexpr UINT ID_LIST_OPEN_DAY = 32831;

// Commands of the day schedule dialog (menu 133, toolbar 139).
inline constexpr UINT ID_SCHEDULE_CLOSE = 32791;
inline constexpr UINT ID_SCHEDULE_REGISTER = 32792;
inline constexpr UINT ID_SCHEDULE_DELETE = 32794;

// Commands of the holiday list (menu 155).
inline constexpr UINT ID_HOLIDAY_CLOSE = 32868;
inline constexpr UINT ID_HOLIDAY_ADD = 32869;
inline constexpr UINT ID_HOLIDAY_CHANGE = 32870;
inline constexpr UINT ID_HOLIDAY_DELETE = 32871;

// Controls. Several dialogs reuse the same numbers; each name belongs to one dialog.
inline constexpr int IDC_STATIC = -1;      // labels nothing refers to
inline constexpr int IDC_OK = IDOK;        // About box
inline constexpr int IDC_CLOCK = 1029;     // main window
inline constexpr int IDC_DAY_LIST = 1003;  // month schedule list
inline constexpr int IDC_MEMO = 1009;      // day schedule dialog
inline constexpr int IDC_SCHEDULE_REGISTER = 1006;
inline constexpr int IDC_SCHEDULE_DELETE = 1007;
inline constexpr int IDC_SCHEDULE_CANCEL = 1008;
inline constexpr int IDC_HOLIDAY_LIST = 1005;  // holiday list dialog
inline constexpr int IDC_HOLIDAY_ADD = 1006;
inline constexpr int IDC_HOLIDAY_CHANGE = 1007;
inline constexpr int IDC_HOLIDAY_DELETE = 1008;
inline constexpr int IDC_HOLIDAY_CLOSE = 1023;
inline constexpr int IDC_HOLIDAY_NAME = 1009;  // holiday setting dialog
inline constexpr int IDC_MONTH_COMBO = 1010;
inline constexpr int IDC_DAY_COMBO = 1011;
inline constexpr int IDC_WEEK = 1019;
inline constexpr int IDC_KIND_FIXED = 1026;  // first of the radio group
inline constexpr int IDC_KIND_HAPPY_MONDAY = 1027;
inline constexpr int IDC_KIND_ONE_YEAR = 1028;
inline constexpr int IDC_SET_REGISTER = 1006;
inline constexpr int IDC_SET_CANCEL = 1007;
