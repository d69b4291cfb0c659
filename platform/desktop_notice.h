#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CWnd;

namespace platform {

// A notice for the user from the desktop: texts in code page 932, actions as (key, label).
struct DesktopNotice {
    std::string summary;
    std::string body;  // plain text: the layer escapes it, since servers read markup
    std::vector<std::pair<std::string, std::string>> actions;
};

// Where a notice went.
enum class NoticeShown { Server, TrayBalloon, Nowhere };

// Shows `notice` through the desktop's notification server (org.freedesktop.Notifications on the
// session bus) under the program's name and icon; where none answers, as a balloon of the tray
// icon of `window`; where there is none either, writes it to stderr. An action the user picks
// (the balloon's click is the first action) calls `onAction` with its key, from the event loop.
// In test mode it shows nothing.
NoticeShown ShowDesktopNotice(CWnd& window, const DesktopNotice& notice,
                              std::function<void(const std::string&)> onAction);

// Calls `handler` with true when the machine is about to sleep and with false when it woke
// (logind's PrepareForSleep on the system bus), from the event loop; nullptr stops it.
void WatchSleep(std::function<void(bool)> handler);

}  // namespace platform
