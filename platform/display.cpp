#include "platform/display.h"

#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {
namespace {

// Returns true when something accepts a connection on the local socket `path`.
bool SocketAnswers(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // The socket calls take every kind of address as a sockaddr.
    const auto* any =
        reinterpret_cast<const sockaddr*>(&address);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    const bool answered = ::connect(fd, any, sizeof address) == 0;
    ::close(fd);
    return answered;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Returns the first platform of a list such as "wayland;xcb", without its options.
std::string FirstPlatform(const std::string& list) {
    const std::string first = list.substr(0, list.find(';'));
    return first.substr(0, first.find(':'));
}

std::string WaylandProblem() {
    std::string name = Environment("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    const std::string path = WaylandSocketPath(name.c_str(), std::getenv("XDG_RUNTIME_DIR"));
    if (path.empty())
        return "velmora: no Wayland compositor can be found (XDG_RUNTIME_DIR is unset); start it in a Wayland session.";
    if (SocketAnswers(path)) return {};
    return "velmora: no Wayland compositor answers at " + path +
           "; start it in a Wayland session, or without QT_QPA_PLATFORM=wayland on X11.";
}

std::string X11Problem() {
    // No connection is tried here: a test connection that closes makes a bare X server reset, and
    // the program's own connection could then be refused.
    if (!Environment("DISPLAY").empty()) return {};
    return "velmora: no display (DISPLAY and WAYLAND_DISPLAY are unset); start it on a desktop or under xvfb-run.";
}

}  // namespace

std::string WaylandSocketPath(const char* name, const char* runtimeDir) {
    if (name == nullptr || *name == '\0') return {};
    if (name[0] == '/') return name;
    if (runtimeDir == nullptr || *runtimeDir == '\0') return {};
    return std::string(runtimeDir) + "/" + name;
}

std::string DisplayProblem() {
    const std::string platform = FirstPlatform(Environment("QT_QPA_PLATFORM"));
    if (platform.rfind("wayland", 0) == 0) return WaylandProblem();
    if (platform == "xcb") return X11Problem();
    // Any other platform named (offscreen, vnc, ...) needs no display server of ours to check.
    if (!platform.empty()) return {};
    // Left to itself the toolkit takes X11, or Wayland in a Wayland session.
    if (!Environment("WAYLAND_DISPLAY").empty() && WaylandProblem().empty()) return {};
    return X11Problem();
}

}  // namespace platform
