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
    auto& s = State();
    s.quitPosted = false;
    s.quitCode = 0;
    s.modalHooks.clear();
    s.messageBoxAnswers.clear();
    s.messageBoxCalls.clear();
    s.popupHook = nullptr;
    s.popupCalls.clear();
    s.cursorPos.reset();
    s.trayAvailable.reset();
    s.keyboardModifiers.reset();
}

void QueueModalHook(std::function<void(CDialog&)> hook) { State().modalHooks.push_back(std::move(hook)); }

std::size_t PendingModalHooks() { return State().modalHooks.size(); }

void QueueMessageBoxAnswer(int answer) { State().messageBoxAnswers.push_back(answer); }

const std::vector<MessageBoxCall>& MessageBoxCalls() { return State().messageBoxCalls; }

void SetPopupMenuHook(std::function<UINT(const PopupCall&)> hook) { State().popupHook = std::move(hook); }

const std::vector<PopupCall>& PopupCalls() { return State().popupCalls; }

void SetCursorPos(std::optional<CPoint> position) { State().cursorPos = position; }

void SetKeyboardModifiers(std::optional<Qt::KeyboardModifiers> held) { State().keyboardModifiers = held; }

void SetTrayAvailable(std::optional<bool> available) { State().trayAvailable = available; }

void ClearQuit() {
    State().quitPosted = false;
    State().quitCode = 0;
}

}  // namespace platform::testing
