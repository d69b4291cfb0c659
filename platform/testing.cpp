#include "platform/testing.h"

#include "platform/state.h"

#include <cstdio>
#include <cstdlib>

namespace platform::detail {

LayerState& State() {
    static LayerState state;
    return state;
}

void TestModeFailure(const char* what) {
    std::fprintf(stderr, "window layer in test mode: %s\n", what);
    std::abort();
}

}  // namespace platform::detail

namespace platform::testing {

using detail::State;

void EnableTestMode() { State().testMode = true; }

void Reset() {
    State().hooks = {};
    ClearQuit();
}

void QueueModalHook(std::function<void(CDialog&)> hook) { State().hooks.modalHooks.push_back(std::move(hook)); }
std::size_t PendingModalHooks() { return State().hooks.modalHooks.size(); }
void QueueOpenFileAnswer(std::optional<std::string> path) { State().hooks.openFileAnswers.push_back(std::move(path)); }
void QueuePrintAnswer(std::optional<std::string> path) { State().hooks.printAnswers.push_back(std::move(path)); }

void QueueMessageBoxAnswer(int answer) { State().hooks.messageBoxAnswers.push_back(answer); }
const std::vector<MessageBoxCall>& MessageBoxCalls() { return State().hooks.messageBoxCalls; }
void SetPopupMenuHook(std::function<UINT(const PopupCall&)> hook) { State().hooks.popupHook = std::move(hook); }
const std::vector<PopupCall>& PopupCalls() { return State().hooks.popupCalls; }
void SetCursorPos(std::optional<CPoint> position) { State().hooks.cursorPos = position; }
void SetKeyboardModifiers(std::optional<Qt::KeyboardModifiers> held) { State().hooks.keyboardModifiers = held; }
void SetTrayAvailable(std::optional<bool> available) { State().hooks.trayAvailable = available; }

void ClearQuit() {
    State().quitPosted = false;
    State().quitCode = 0;
}

int PostedQuitCode() { return State().quitPosted ? State().quitCode : 0; }

}  // namespace platform::testing
