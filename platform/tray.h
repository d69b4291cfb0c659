#pragma once

#include "platform/win_types.h"

#include <QIcon>

#include <functional>
#include <string_view>

class CWnd;

using HICON = const QIcon*;

// The tray icon record: its tip holds code page 932 text of at most 63 bytes and a NUL.
struct NOTIFYICONDATA {
    CWnd* hWnd = nullptr;  // the window whose icon it is
    UINT uID = 0;
    UINT uFlags = 0;  // NIF_MESSAGE: clicks reach hWnd's OnTrayIconNotify; NIF_ICON: hIcon; NIF_TIP: szTip
    HICON hIcon = nullptr;
    char szTip[64] = {};
};

// Adds (NIM_ADD) the icon of window hWnd, which has at most one, or deletes (NIM_DELETE) it;
// returns TRUE on success.
BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data);
// Returns TRUE when the desktop has a notification area.
BOOL IsTrayAvailable();
// Returns icon resource `id` drawn at the given size; the icon lives as long as the program.
HICON LoadIconResource(int id, int cx, int cy);
// Shows a balloon of the tray icon of `window` with a code page 932 title and text; a click on it
// calls `onClick`. Returns FALSE when the window has no icon or the desktop no notification area.
BOOL ShowTrayBalloon(CWnd& window, std::string_view titleCp932, std::string_view textCp932,
                     std::function<void()> onClick);
