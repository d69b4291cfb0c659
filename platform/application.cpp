#include "platform/accessible_sheet.h"
#include "platform/dc.h"
#include "platform/dialog.h"
#include "platform/resources.h"
#include "platform/state.h"
#include "platform/style_icons.h"
#include "platform/termination.h"
#include "platform/text_codec.h"

#include <QApplication>
#include <QCursor>
#include <QFont>

#include <cstdio>
#include <cstdlib>
#include <utility>

using platform::detail::State;

namespace {

// While the toolkit starts: a window system it cannot open ends the program with one plain line
// instead of the toolkit's abort.
// While the toolkit starts, its messages wait: when it cannot open the window system, the
// program ends with one line of its own instead of the toolkit's lines and abort.
void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "velmora: cannot open a window: no window system answers (DISPLAY=%s)\n",
                     display != nullptr ? display : "");
        std::_Exit(1);
    }
    State().startUpMessages.push_back({type, QString::fromUtf8(context.category), message});
}

}  // namespace

int AfxWinMain(int argc, char** argv) {
    State().defaultMessageHandler = qInstallMessageHandler(StartUpMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(State().defaultMessageHandler);
    // The window system opened: what the toolkit said meanwhile is said now.
    for (const auto& held : std::exchange(State().startUpMessages, {})) {
        const QByteArray category = held.category.toUtf8();
        if (State().defaultMessageHandler != nullptr) {
            State().defaultMessageHandler(held.type, QMessageLogContext(nullptr, 0, nullptr, category.constData()),
                                          held.text);
        }
    }
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    // Qt asks a factory only when it was installed after the application object was made.
    platform::InstallAccessibleSheets();
    platform::DeferStyleIcons();
    // Windows hide instead of closing; only the program's own exit ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    // A SIGTERM during start-up waits for the main window, which saves and ends.
    platform::CatchTerminationSignals();
    for (const QString& face : {QStringLiteral("ＭＳ 明朝"), QStringLiteral("ＭＳ Ｐゴシック"),
                                QStringLiteral("ＭＳ ゴシック"), QStringLiteral("ＭＳ Ｐ明朝")}) {
        QFont::insertSubstitution(face, platform::ResolveFontFace(face));
    }
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    app->InitInstance();
    return app->ExitInstance();
}

CWinApp::CWinApp() { State().application = this; }

CWinApp::~CWinApp() {
    if (State().application == this) State().application = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return State().quitCode; }

CWinApp* AfxGetApp() { return State().application; }

BOOL AfxSocketInit() { return TRUE; }

int AfxMessageBox(UINT stringId, UINT type) {
    CWnd owner;
    return owner.MessageBox(Cp932(platform::FindStringResource(stringId)), Cp932("Velmora"), type);
}

void PostQuitMessage(int exitCode) {
    auto& state = State();
    state.quitPosted = true;
    state.quitCode = exitCode;
    for (QEventLoop* loop : state.loops) loop->exit(-1);
}

BOOL IsQuitPosted() { return State().quitPosted ? TRUE : FALSE; }

short GetKeyState(int virtualKey) {
    const auto& forced = State().hooks.keyboardModifiers;
    const Qt::KeyboardModifiers held = forced ? *forced : QGuiApplication::queryKeyboardModifiers();
    const Qt::KeyboardModifier modifier = virtualKey == static_cast<int>(VK_SHIFT)     ? Qt::ShiftModifier
                                          : virtualKey == static_cast<int>(VK_CONTROL) ? Qt::ControlModifier
                                          : virtualKey == static_cast<int>(VK_MENU)    ? Qt::AltModifier
                                                                                       : Qt::NoModifier;
    return modifier != Qt::NoModifier && held.testFlag(modifier) ? static_cast<short>(-0x8000) : 0;
}

CPoint GetCursorPos() {
    if (State().hooks.cursorPos) return *State().hooks.cursorPos;
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}
