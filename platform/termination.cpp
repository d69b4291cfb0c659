#include "platform/termination.h"

#include "platform/state.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>
#include <csignal>

namespace platform {
namespace {

using detail::State;

void OnSignal(int signalNumber) {
    const char byte = static_cast<char>(signalNumber);
    // Only async-signal-safe work here: the GUI thread does the rest.
    [[maybe_unused]] const ssize_t written = ::write(State().signalPipe[1], &byte, 1);
}

void RunHandler() {
    if (State().terminationHandler) {
        State().terminationHandler();
    } else {
        State().terminationPending = true;
    }
}

void InstallOnce() {
    auto& state = State();
    if (state.terminationCaught || qApp == nullptr) return;
    state.terminationCaught = true;
    if (::pipe(state.signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(state.signalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const ssize_t got = ::read(State().signalPipe[0], &byte, 1);
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
    auto& state = State();
    state.terminationHandler = std::move(handler);
    if (state.terminationPending && state.terminationHandler && qApp != nullptr) {
        state.terminationPending = false;
        // Once the window that set the handler is running.
        QTimer::singleShot(0, qApp, [] { RunHandler(); });
    }
}

}  // namespace platform
