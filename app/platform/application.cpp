#include "app/platform/dc.h"
#include "app/platform/dialog.h"
#include "app/platform/state.h"
#include "app/platform/termination.h"

#include <QApplication>
#include <QFont>

int AfxWinMain(int argc, char** argv) {
    QApplication application(argc, argv);
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
