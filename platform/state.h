#pragma once

#include "platform/resources.h"
#include "platform/testing.h"

#include <QEventLoop>
#include <QPointer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

class CWinApp;

// The window layer's program-wide state, all of it: nothing else in the layer is static.
namespace platform::detail {

class NoticeBus;

// What tests fix or record; platform::testing::Reset() puts it back to this.
struct TestHooks {
    std::deque<std::function<void(CDialog&)>> modalHooks;
    std::deque<int> messageBoxAnswers;
    std::deque<std::optional<std::string>> openFileAnswers;
    std::deque<std::optional<std::string>> printAnswers;
    std::vector<testing::MessageBoxCall> messageBoxCalls;
    std::function<UINT(const testing::PopupCall&)> popupHook;
    std::vector<testing::PopupCall> popupCalls;
    std::optional<CPoint> cursorPos;
    std::optional<bool> trayAvailable;
    std::optional<Qt::KeyboardModifiers> keyboardModifiers;
};

struct LayerState {
    ResourceTables resources;
    std::map<std::tuple<int, int, int>, std::unique_ptr<QIcon>> icons;  // by id and size
    CWinApp* application = nullptr;
    QtMessageHandler defaultMessageHandler = nullptr;  // Qt's own, while the start-up one stands in
    struct HeldMessage {
        QtMsgType type;
        QString category;
        QString text;
    };
    std::vector<HeldMessage> startUpMessages;  // said by the toolkit while it starts
    QPointer<QObject> keyFilter;
    bool quitPosted = false;
    int quitCode = 0;
    std::vector<QEventLoop*> loops;      // running modal loops, innermost last
    std::vector<CDialog*> modalDialogs;  // dialogs in DoModal, innermost last
    bool terminationCaught = false;
    int signalPipe[2] = {-1, -1};     // from the signal handler to the GUI thread
    bool terminationPending = false;  // a termination came while no handler was set
    std::function<void()> terminationHandler;
    bool testMode = false;
    std::shared_ptr<NoticeBus> noticeBus;  // made at the first notice or sleep watch
    TestHooks hooks;
};

LayerState& State();

// Ends the test with a message: a modal run or message box came with nothing to answer it.
[[noreturn]] void TestModeFailure(const char* what);

}  // namespace platform::detail
