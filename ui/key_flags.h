#pragma once

#include "app/platform/wnd.h"

// 1 while Shift, or Ctrl, is held, as the main window's key handling has seen.
extern int g_bShiftDown;
extern int g_bCtrlDown;
// 1 while Shift is held, as the month schedule list has seen.
extern int g_bListShiftDown;

// Sets the three key flags from the keyboard as it is now: a key released while another window
// had the keyboard must not stay held.
void SyncKeyFlagsWithKeyboard();
// Sets the three key flags from the modifier keys that a key message carries.
void SyncKeyFlagsWithMessage(const MSG& msg);
