#pragma once

#include <functional>

namespace platform {

// Calls `handler` on the GUI thread when the process gets SIGTERM, SIGINT or SIGHUP, or the
// desktop session ends; an empty handler stops that.
void SetTerminationHandler(std::function<void()> handler);
// Returns TRUE when a display can be opened (or Qt is told which platform to use).
bool DisplayAvailable();

}  // namespace platform
