#include "platform/tray.h"

#include "platform/resources.h"
#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QSystemTrayIcon>

#include <map>
#include <memory>

BOOL IsTrayAvailable() {
    const auto& forced = platform::detail::State().trayAvailable;
    if (forced) return *forced ? TRUE : FALSE;
    return QSystemTrayIcon::isSystemTrayAvailable() ? TRUE : FALSE;
}

BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data) {
    if (data == nullptr || data->hWnd == nullptr) return FALSE;
    CWnd& wnd = *data->hWnd;
    if (message == NIM_DELETE) {
        if (!wnd.m_tray || wnd.m_tray->uID != data->uID) return FALSE;
        wnd.m_trayIcon.reset();
        wnd.m_tray.reset();
        return TRUE;
    }
    if (message != NIM_ADD || wnd.m_tray) return FALSE;
    wnd.m_tray = *data;
    wnd.m_tray->szTip[sizeof data->szTip - 1] = '\0';
    if (platform::detail::State().testMode) return TRUE;
    // The icon is made even where no notification area exists yet (a panel that starts later at
    // login): the toolkit shows it as soon as one appears.
    auto* icon = new QSystemTrayIcon();
    wnd.m_trayIcon.reset(icon);
    if ((data->uFlags & NIF_ICON) != 0 && data->hIcon != nullptr) icon->setIcon(*data->hIcon);
    if ((data->uFlags & NIF_TIP) != 0) icon->setToolTip(platform::ToQString(wnd.m_tray->szTip));
    if ((data->uFlags & NIF_MESSAGE) != 0) {
        const UINT id = data->uID;
        QObject::connect(icon, &QSystemTrayIcon::activated, icon, [&wnd, id](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) wnd.OnTrayIconNotify(id, WM_LBUTTONDOWN);
            if (reason == QSystemTrayIcon::Context) wnd.OnTrayIconNotify(id, WM_RBUTTONDOWN);
        });
    }
    icon->show();
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
