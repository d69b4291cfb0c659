#pragma once

#include "platform/wnd.h"

// Every program-wide value of the windows. The model's stores and year live in the model.

// The selected day 1..31 of the shown month; the day schedule dialog edits that day.
extern int g_nSelDay;
// 1 from a minimise of the main window until the next restore.
extern int g_bMinimized;
// 1 while Shift, or Ctrl, is held, as the main window's key handling has seen.
extern int g_bShiftDown;
extern int g_bCtrlDown;
// 1 while Shift is held, as the month schedule list has seen.
extern int g_bListShiftDown;
// 1 once the program has begun to end (the tray's "終了", the session's end, SIGTERM): no dialog
// may then stop it with a question.
extern int g_bEnding;
// Opens the About box; the program's shell sets it, and without it the About item does nothing.
extern void (*g_pfnShowAboutBox)();

// Puts every value above back to its value at program start.
void ResetWindowGlobals();

// Sets the three key flags from the keyboard as it is now: a key released while another window
// had the keyboard must not stay held.
void SyncKeyFlagsWithKeyboard();
// Sets the three key flags from the modifier keys that a key message carries.
void SyncKeyFlagsWithMessage(const MSG& msg);
