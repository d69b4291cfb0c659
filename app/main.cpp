#include "app/resources/resources.h"
#include "platform/dialog.h"
#include "platform/display.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // The toolkit aborts with a long message when no window system can be reached; say it plainly.
    const std::string problem = platform::DisplayProblem();
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    platform::InstallResources(resources::VelmoraResources());
    // The desktop entry's name: a Wayland desktop finds the program's name and icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
    return AfxWinMain(argc, argv);
}
