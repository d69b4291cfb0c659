#include "ui/globals.h"

#include "platform/dialog.h"

int g_nSelDay = 0;
int g_bMinimized = 0;
int g_bShiftDown = 0;
int g_bCtrlDown = 0;
int g_bListShiftDown = 0;
int g_bEnding = 0;
void (*g_pfnShowAboutBox)() = nullptr;

void ResetWindowGlobals() {
    g_nSelDay = 0;
    g_bMinimized = 0;
    g_bEnding = 0;
    g_bShiftDown = 0;
    g_bCtrlDown = 0;
    g_bListShiftDown = 0;
    g_pfnShowAboutBox = nullptr;
}

void SyncKeyFlagsWithKeyboard() {
    g_bShiftDown = GetKeyState(VK_SHIFT) < 0 ? 1 : 0;
    g_bCtrlDown = GetKeyState(VK_CONTROL) < 0 ? 1 : 0;
    g_bListShiftDown = g_bShiftDown;
}

void SyncKeyFlagsWithMessage(const MSG& msg) {
    g_bShiftDown = (msg.keyState & MK_SHIFT) != 0 ? 1 : 0;
    g_bCtrlDown = (msg.keyState & MK_CONTROL) != 0 ? 1 : 0;
    g_bListShiftDown = g_bShiftDown;
}
