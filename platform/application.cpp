#include "platform/dc.h"
#include "platform/dialog.h"
#include "platform/state.h"
#include "platform/termination.h"

#include <QApplication>
#include <QFont>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler g_defaultMessages = nullptr;

// While the toolkit starts: a window system it cannot open ends the program with one plain line
// instead of the toolkit's abort.
void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "velmora: cannot open a window: %s\n",
                     qPrintable(message.section(QLatin1Char('\n'), 0, 0)));
        std::_Exit(1);
    }
    if (g_defaultMessages != nullptr) g_defaultMessages(type, context, message);
}

}  // namespace

int AfxWinMain(int argc, char** argv) {
    g_defaultMessages = qInstallMessageHandler(StartUpMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(g_defaultMessages);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
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
