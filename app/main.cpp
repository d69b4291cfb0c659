#include "app/platform/dialog.h"
#include "app/platform/termination.h"

#include <cstdio>

int main(int argc, char** argv) {
    // Qt aborts when no window system can be reached; say so plainly instead.
    if (!platform::DisplayAvailable()) {
        std::fprintf(stderr, "velmora: no display (DISPLAY and WAYLAND_DISPLAY are unset); start it on a desktop or under xvfb-run.\n");
        return 1;
    }
    return AfxWinMain(argc, argv);
}
