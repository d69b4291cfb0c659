#include "platform/display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Sets environment variables for the test's life and puts the old values back.
class ScopedEnvironment {
public:
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    void Set(const char* name, const char* value) {
        if (m_saved.count(name) == 0) {
            const char* old = std::getenv(name);
            m_saved[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

// A listening local socket at `path`, standing in for a display server.
class Listener {
public:
    explicit Listener(const std::string& path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        auto* any = reinterpret_cast<sockaddr*>(&address);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
        EXPECT_EQ(::bind(m_fd, any, sizeof address), 0);
        EXPECT_EQ(::listen(m_fd, 4), 0);
    }
    ~Listener() { ::close(m_fd); }

private:
    int m_fd = -1;
};

TEST(DisplayProblem, WaylandSocketPaths) {
    EXPECT_EQ(platform::WaylandSocketPath("wayland-1", "/run/user/7"), "/run/user/7/wayland-1");
    EXPECT_EQ(platform::WaylandSocketPath("/tmp/w", nullptr), "/tmp/w") << "an absolute name is the path";
    EXPECT_EQ(platform::WaylandSocketPath("wayland-1", nullptr), "") << "no runtime folder, no path";
}

TEST(DisplayProblem, SaysInOneLineWhenTheNamedWindowSystemDoesNotAnswer) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velmora-display-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    ScopedEnvironment env;
    env.Set("XDG_RUNTIME_DIR", dir.c_str());
    env.Set("DISPLAY", nullptr);

    env.Set("QT_QPA_PLATFORM", "wayland");
    env.Set("WAYLAND_DISPLAY", "absent");
    const std::string noCompositor = platform::DisplayProblem();
    EXPECT_NE(noCompositor.find("Wayland"), std::string::npos) << noCompositor;
    EXPECT_EQ(noCompositor.find('\n'), std::string::npos);
    {
        const Listener compositor((dir / "absent").string());
        EXPECT_EQ(platform::DisplayProblem(), "") << "a compositor listens";
    }
    std::filesystem::remove(dir / "absent");

    env.Set("QT_QPA_PLATFORM", "offscreen");
    EXPECT_EQ(platform::DisplayProblem(), "") << "a platform without a server";

    env.Set("QT_QPA_PLATFORM", nullptr);
    env.Set("WAYLAND_DISPLAY", nullptr);
    EXPECT_NE(platform::DisplayProblem().find("no display"), std::string::npos);
    env.Set("DISPLAY", ":987");
    EXPECT_EQ(platform::DisplayProblem(), "")
        << "an X display is left to the toolkit, which is never sent a test connection";
    std::filesystem::remove_all(dir);
}

}  // namespace
