#pragma once

#include "platform/win_types.h"

#include <QtCore/qnamespace.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CDialog;

// Hooks with which tests drive windows without a running event loop.
namespace platform::testing {

// From now on a modal run, message box or popup menu without a hook aborts the test instead of
// waiting.
void EnableTestMode();
// Forgets every hook, answer and record below, and a posted quit.
void Reset();

// The next DoModal runs `hook` on the initialised dialog instead of an event loop; the hook
// ends the dialog the way a user would.
void QueueModalHook(std::function<void(CDialog&)> hook);
// Returns how many queued modal hooks have not run yet.
std::size_t PendingModalHooks();

struct MessageBoxCall {
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    UINT type;
};
// The next message box answers `answer` (IDYES, IDNO, IDOK).
void QueueMessageBoxAnswer(int answer);
// Returns the message boxes shown in test mode so far.
const std::vector<MessageBoxCall>& MessageBoxCalls();

struct PopupCall {
    std::vector<UINT> ids;  // the popup's command ids (0 for separators)
    CPoint at;
    UINT flags;
};
// The next file-open dialog answers with `path` (std::nullopt: cancelled).
void QueueOpenFileAnswer(std::optional<std::string> path);

// The next print dialog prints to the PDF file `path` (std::nullopt: cancelled).
void QueuePrintAnswer(std::optional<std::string> path);

// Popup menus answer with the command the hook returns (0: none chosen).
void SetPopupMenuHook(std::function<UINT(const PopupCall&)> hook);
// Returns the popup menus opened so far.
const std::vector<PopupCall>& PopupCalls();

// Fixes the pointer position that GetCursorPos returns.
void SetCursorPos(std::optional<CPoint> position);
// Fixes the modifier keys that GetKeyState finds held.
void SetKeyboardModifiers(std::optional<Qt::KeyboardModifiers> held);
// Fixes whether the desktop has a notification area.
void SetTrayAvailable(std::optional<bool> available);
// Forgets a posted quit.
void ClearQuit();
// Returns the exit code of the quit posted, 0 when none was.
int PostedQuitCode();

}  // namespace platform::testing
