#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <map>
#include <string>

namespace platform::detail {

// The layer's end of the desktop's buses: the notification server's signals and logind's.
class NoticeBus : public QObject {
    Q_OBJECT
public:
    NoticeBus();

    // The actions of each notice still shown, by the server's notice id.
    std::map<uint, std::function<void(const std::string&)>> pending;
    std::function<void(bool)> sleepHandler;
    bool sleepWatched = false;

public slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnNotificationClosed(uint id, uint reason);
    void OnPrepareForSleep(bool sleeping);
};

}  // namespace platform::detail
