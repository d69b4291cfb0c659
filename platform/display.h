#pragma once

#include <string>

namespace platform {

// Returns, in one line, why no window can be opened with the window system the environment
// names (QT_QPA_PLATFORM, WAYLAND_DISPLAY, DISPLAY), or an empty string when its server answers.
std::string DisplayProblem();
// Returns the path of the socket that the Wayland display `name` names: `name` itself when it is
// absolute, else inside `runtimeDir`; an empty string when it cannot be known.
std::string WaylandSocketPath(const char* name, const char* runtimeDir);

}  // namespace platform
