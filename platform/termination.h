#pragma once

#include <functional>

namespace platform {

// From now on SIGTERM, SIGINT and SIGHUP no longer end the process at once: they reach the
// termination handler on the GUI thread, or wait for one to be set.
void CatchTerminationSignals();
// Calls `handler` on the GUI thread when the process gets SIGTERM, SIGINT or SIGHUP, or the
// desktop session ends (at once, queued, when that happened before the handler was set); an
// empty handler stops that.
void SetTerminationHandler(std::function<void()> handler);

}  // namespace platform
