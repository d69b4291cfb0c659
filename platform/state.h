#pragma once

#include "platform/testing.h"

#include <QEventLoop>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

// Program-wide state of the window layer: modal loops, the posted quit, and the test hooks.
namespace platform::detail {

struct LayerState {
    bool testMode = false;
    bool quitPosted = false;
    int quitCode = 0;
    std::vector<QEventLoop*> loops;      // running modal loops, innermost last
    std::vector<CDialog*> modalDialogs;  // dialogs in DoModal, innermost last
    std::deque<std::function<void(CDialog&)>> modalHooks;
    std::deque<int> messageBoxAnswers;
    std::vector<testing::MessageBoxCall> messageBoxCalls;
    std::function<UINT(const testing::PopupCall&)> popupHook;
    std::vector<testing::PopupCall> popupCalls;
    std::optional<CPoint> cursorPos;
    std::optional<bool> trayAvailable;
    std::optional<Qt::KeyboardModifiers> keyboardModifiers;
};

LayerState& State();

// Ends the test with a message: a modal run or message box came with nothing to answer it.
[[noreturn]] void TestModeFailure(const char* what);

}  // namespace platform::detail
