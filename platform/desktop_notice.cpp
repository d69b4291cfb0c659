#include "platform/desktop_notice.h"

#include "platform/code_page.h"
#include "platform/notice_bus.h"
#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/tray.h"
#include "platform/wnd.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDesktopEntry = QStringLiteral("org.velmora.Velmora");
// A server that does not answer in this time is taken for none: the GUI thread waits for it.
constexpr int kNotifyTimeoutMs = 2000;

platform::detail::NoticeBus& Bus() {
    auto& state = platform::detail::State();
    if (!state.noticeBus) state.noticeBus = std::make_shared<platform::detail::NoticeBus>();
    return *state.noticeBus;
}

// Calls the action later, from the event loop: it may open a dialog with a loop of its own, which
// must not run inside the bus's delivery of the signal.
void CallLater(std::function<void(const std::string&)> onAction, std::string key) {
    if (!onAction) return;
    QTimer::singleShot(0, [onAction = std::move(onAction), key = std::move(key)] { onAction(key); });
}

std::optional<uint> NotifyOnBus(const platform::DesktopNotice& notice) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return std::nullopt;
    QStringList actions;
    for (const auto& [key, label] : notice.actions)
        actions << QString::fromStdString(key) << platform::ToQString(label);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Velmora") << uint{0} << kDesktopEntry << platform::ToQString(notice.summary)
         << platform::ToQString(notice.body).toHtmlEscaped() << actions
         << QVariantMap{{QStringLiteral("desktop-entry"), kDesktopEntry}} << int{-1};
    const QDBusReply<uint> reply = bus.call(call, QDBus::Block, kNotifyTimeoutMs);
    if (!reply.isValid()) return std::nullopt;
    return reply.value();
}

}  // namespace

namespace platform::detail {

NoticeBus::NoticeBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(OnActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(OnNotificationClosed(uint, uint)));
    }
}

void NoticeBus::OnActionInvoked(uint id, const QString& action) {
    const auto found = pending.find(id);
    if (found == pending.end()) return;
    CallLater(found->second, action.toStdString());
}

void NoticeBus::OnNotificationClosed(uint id, uint) { pending.erase(id); }

void NoticeBus::OnPrepareForSleep(bool sleeping) {
    if (sleepHandler) {
        QTimer::singleShot(0, [handler = sleepHandler, sleeping] { handler(sleeping); });
    }
}

}  // namespace platform::detail

namespace platform {

NoticeShown ShowDesktopNotice(CWnd& window, const DesktopNotice& notice,
                              std::function<void(const std::string&)> onAction) {
    // Window tests run without the desktop's buses.
    if (detail::State().testMode) return NoticeShown::Nowhere;
    detail::NoticeBus& bus = Bus();
    if (const auto id = NotifyOnBus(notice)) {
        bus.pending[*id] = std::move(onAction);
        return NoticeShown::Server;
    }
    if (ShowTrayBalloon(window, notice.summary, notice.body, [onAction, notice] {
            if (!notice.actions.empty()) CallLater(onAction, notice.actions.front().first);
        })) {
        return NoticeShown::TrayBalloon;
    }
    // Neither a server nor a notification area: the session's log is the last place left.
    const std::string line = Utf8FromCp932(notice.summary) + ": " + Utf8FromCp932(notice.body) + "\n";
    std::fputs(line.c_str(), stderr);
    return NoticeShown::Nowhere;
}

void WatchSleep(std::function<void(bool)> handler) {
    detail::NoticeBus& bus = Bus();
    bus.sleepHandler = std::move(handler);
    if (bus.sleepWatched || !bus.sleepHandler || detail::State().testMode) return;
    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected()) return;
    bus.sleepWatched =
        system.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), &bus,
                       SLOT(OnPrepareForSleep(bool)));
}

}  // namespace platform
