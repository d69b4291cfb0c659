#pragma once

#include "platform/win_types.h"

#include <QIcon>

class CWnd;

using HICON = const QIcon*;

// The tray icon record: its tip holds code page 932 text of at most 63 bytes and a NUL.
struct NOTIFYICONDATA {
    DWORD cbSize = 0;
    CWnd* hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    char szTip[64] = {};
};

// Adds (NIM_ADD) or deletes (NIM_DELETE) a tray icon; returns TRUE on success. A click on the icon
// sends uCallbackMessage to hWnd with wParam uID and lParam WM_LBUTTONDOWN or WM_RBUTTONDOWN.
BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data);
// Returns TRUE when the desktop has a notification area.
BOOL IsTrayAvailable();
// Returns icon resource `id` drawn at the given size; the icon lives as long as the program.
HICON LoadIconResource(int id, int cx, int cy);
