#pragma once

#include <cstdint>

// The small set of window-system values that the windows of this program are written in terms of.

using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using COLORREF = std::uint32_t;  // 0x00BBGGRR

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

struct CPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const CPoint&, const CPoint&) = default;
};

struct CSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const CSize&, const CSize&) = default;
};

// A rectangle whose right and bottom edges lie just outside it.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const CRect&, const CRect&) = default;
};

// Key messages, and the mouse messages of a tray icon.
inline constexpr UINT WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204;

// Virtual-key codes; letters and digits use their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
inline constexpr UINT VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_ESCAPE = 0x1B, VK_SPACE = 0x20;
inline constexpr UINT VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12;
inline constexpr UINT VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_DELETE = 0x2E;
// The modifier keys held, as a key message carries them.
inline constexpr UINT MK_SHIFT = 0x0004, MK_CONTROL = 0x0008;

// ShowWindow codes, system commands and activation states.
inline constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMAXIMIZED = 3, SW_SHOW = 5;
inline constexpr UINT SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_CLOSE = 0xF060, SC_RESTORE = 0xF120;
inline constexpr UINT WA_INACTIVE = 0, WA_ACTIVE = 1;

// Message boxes: their kinds and answers.
inline constexpr UINT MB_OK = 0x00, MB_YESNO = 0x04, MB_ICONEXCLAMATION = 0x30;
inline constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

// Menus and popup menus.
inline constexpr UINT MF_BYCOMMAND = 0x0000, MF_ENABLED = 0x0000, MF_GRAYED = 0x0001;
inline constexpr UINT MF_UNCHECKED = 0x0000, MF_CHECKED = 0x0008;
inline constexpr UINT MF_STRING = 0x0000, MF_SEPARATOR = 0x0800;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002, TPM_RIGHTALIGN = 0x0008, TPM_RETURNCMD = 0x0100;

// List boxes.
inline constexpr UINT LBN_DBLCLK = 2;
// Edit boxes: the user changed the text (text set by the program sends no notification).
inline constexpr UINT EN_CHANGE = 0x0300;
inline constexpr int LB_ERR = -1;

// Control bars: the toolbar's styles and ids.
inline constexpr DWORD WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000;
inline constexpr DWORD CBRS_TOP = 0x1000, CBRS_BORDER_BOTTOM = 0x0800, CBRS_TOOLTIPS = 0x0010;
inline constexpr UINT AFX_IDW_TOOLBAR = 0xE800, AFX_IDW_CONTROLBAR_FIRST = 0xE800, AFX_IDW_CONTROLBAR_LAST = 0xE8FF;

// Tray icon: add or delete; which parts of the record count (clicks, icon, tip).
inline constexpr DWORD NIM_ADD = 0, NIM_DELETE = 2;
inline constexpr UINT NIF_MESSAGE = 1, NIF_ICON = 2, NIF_TIP = 4;

// Modal loop flags.
inline constexpr DWORD MLF_NOKICKIDLE = 0x0002;
