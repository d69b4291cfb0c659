#include "platform/termination.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>
#include <csignal>

namespace platform {
namespace {

int g_signalPipe[2] = {-1, -1};
bool g_pending = false;  // a termination came while no handler was set

std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}

void OnSignal(int signalNumber) {
    const char byte = static_cast<char>(signalNumber);
    // Only async-signal-safe work here: the GUI thread does the rest.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void RunHandler() {
    if (Handler()) {
        Handler()();
    } else {
        g_pending = true;
    }
}

void InstallOnce() {
    static bool installed = false;
    if (installed || qApp == nullptr) return;
    installed = true;
    if (::pipe(g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
            RunHandler();
        });
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) sigaction(signalNumber, &action, nullptr);
    }
    if (auto* gui = qobject_cast<QGuiApplication*>(qApp)) {
        QObject::connect(gui, &QGuiApplication::commitDataRequest, [](QSessionManager&) { RunHandler(); });
    }
}

}  // namespace

void CatchTerminationSignals() { InstallOnce(); }

void SetTerminationHandler(std::function<void()> handler) {
    InstallOnce();
    Handler() = std::move(handler);
    if (g_pending && Handler() && qApp != nullptr) {
        g_pending = false;
        // Once the window that set the handler is running.
        QTimer::singleShot(0, qApp, [] { RunHandler(); });
    }
}

}  // namespace platform
