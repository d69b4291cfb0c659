#include "platform/tray.h"

#include "platform/resources.h"
#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QSystemTrayIcon>

#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace {

struct TrayEntry {
    NOTIFYICONDATA data;
    std::unique_ptr<QSystemTrayIcon> icon;  // null in test mode
};

std::map<std::pair<const CWnd*, UINT>, TrayEntry>& Icons() {
    static std::map<std::pair<const CWnd*, UINT>, TrayEntry> icons;
    return icons;
}

std::string TipText(const NOTIFYICONDATA& data) {
    return std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip));
}

}  // namespace

BOOL IsTrayAvailable() {
    const auto& forced = platform::detail::State().trayAvailable;
    if (forced) return *forced ? TRUE : FALSE;
    return QSystemTrayIcon::isSystemTrayAvailable() ? TRUE : FALSE;
}

BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data) {
    if (data == nullptr) return FALSE;
    const auto key = std::make_pair(static_cast<const CWnd*>(data->hWnd), data->uID);
    auto& icons = Icons();
    if (message == NIM_DELETE) return icons.erase(key) != 0 ? TRUE : FALSE;
    if (message != NIM_ADD || icons.count(key) != 0) return FALSE;

    TrayEntry entry;
    entry.data = *data;
    entry.data.szTip[sizeof entry.data.szTip - 1] = '\0';
    // The icon is made even where no notification area exists yet (a panel that starts later at
    // login): the toolkit shows it as soon as one appears.
    if (!platform::detail::State().testMode) {
        entry.icon = std::make_unique<QSystemTrayIcon>();
        if (data->hIcon != nullptr) entry.icon->setIcon(*data->hIcon);
        entry.icon->setToolTip(platform::ToQString(TipText(entry.data)));
        CWnd* target = data->hWnd;
        const UINT id = data->uID;
        const UINT callback = data->uCallbackMessage;
        QObject::connect(entry.icon.get(), &QSystemTrayIcon::activated,
                         [target, id, callback](QSystemTrayIcon::ActivationReason reason) {
                             if (target == nullptr) return;
                             if (reason == QSystemTrayIcon::Trigger) target->SendMessage(callback, id, WM_LBUTTONDOWN);
                             if (reason == QSystemTrayIcon::Context) target->SendMessage(callback, id, WM_RBUTTONDOWN);
                         });
        entry.icon->show();
    }
    icons.emplace(key, std::move(entry));
    return TRUE;
}

HICON LoadIconResource(int id, int cx, int cy) {
    static std::map<std::tuple<int, int, int>, std::unique_ptr<QIcon>> cache;
    auto& slot = cache[{id, cx, cy}];
    if (!slot) {
        const QIcon source = platform::FindIconResource(id);
        if (source.isNull()) return nullptr;
        slot = std::make_unique<QIcon>(source.pixmap(cx, cy));
    }
    return slot.get();
}

namespace platform::testing {

const NOTIFYICONDATA* FindTrayIcon(const CWnd* wnd, UINT id) {
    const auto& icons = Icons();
    const auto it = icons.find({wnd, id});
    return it != icons.end() ? &it->second.data : nullptr;
}

}  // namespace platform::testing
