#include "model/copy_socket.h"

#include "model/local_socket.h"
#include "model/stable_hash.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace copy_socket {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kSocketNameLength = 8 + 16;  // "velmora-" and the hash

// What makes `path` unfit to hold our sockets, or an empty string when it is a folder of ours
// that no one else may enter.
std::string PrivateFolderProblem(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISLNK(info.st_mode)) return "it is a symbolic link";
    if (!S_ISDIR(info.st_mode)) return "it is not a folder";
    if (info.st_uid != ::geteuid()) return "it belongs to user id " + std::to_string(info.st_uid);
    if ((info.st_mode & 0777) != 0700) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return std::string("its mode is ") + mode + ", not 0700";
    }
    return {};
}

// Whether a socket fits in `folder`: the kernel's socket addresses are short.
bool SocketFits(const std::string& folder) {
    return folder.size() + 1 + kSocketNameLength < sizeof(sockaddr_un::sun_path);
}

// The path a directory is known by: its real one, or for one that is not there (yet) its
// absolute path without dot segments, so that both spellings of one folder meet on one socket.
std::string KnownPath(const std::string& directory) {
    if (char* real = ::realpath(directory.empty() ? "." : directory.c_str(), nullptr)) {
        std::string path = real;
        std::free(real);  // NOLINT(cppcoreguidelines-no-malloc): realpath's buffer is malloc'ed
        return path;
    }
    std::error_code error;
    std::string path = std::filesystem::absolute(directory, error).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

}  // namespace

std::string SocketName(const std::string& directory) {
    // The name only has to be the same for every process of this build that looks for the folder;
    // it is never stored.
    return "velmora-" + StableHashHex(KnownPath(directory));
}

std::string SocketFolder(std::string& problem) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && SocketFits(runtime) && PrivateFolderProblem(runtime).empty())
        return runtime;
    // No private runtime folder: one of our own in the temporary folder (or in /tmp when that one's
    // path is too long for a socket). Others may have made it first to catch our sockets, so it is
    // checked after making it.
    const std::string own = "/velmora-" + std::to_string(::geteuid());
    const char* temporary = std::getenv("TMPDIR");
    std::string folder = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    folder += own;
    if (!SocketFits(folder)) folder = "/tmp" + own;
    const std::string why =
        ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST ? std::strerror(errno) : PrivateFolderProblem(folder);
    if (why.empty()) return folder;
    problem = folder + " cannot hold the socket that finds a running copy (" + why + ")";
    return {};
}

std::string SocketPath(const std::string& directory, std::string& problem) {
    const std::string folder = SocketFolder(problem);
    return folder.empty() ? std::string() : folder + "/" + SocketName(directory);
}

int SendRequest(const std::string& socketPath, const std::string& request, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int descriptor = local_socket::Connect(socketPath, std::min(500, RemainingMs(deadline)));
        if (descriptor >= 0) {
            // Whoever else listens at this path may answer anything: it is not asked at all.
            if (local_socket::PeerIsThisUser(descriptor) &&
                local_socket::SendAll(descriptor, request, RemainingMs(deadline)))
                return descriptor;
            ::close(descriptor);
            return -1;
        }
        if (RemainingMs(deadline) == 0) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(100, RemainingMs(deadline))));
    }
}

std::optional<std::string> ReadAnswer(int descriptor, std::size_t maxBytes, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string answer;
    while (answer.find('\n') == std::string::npos) {
        if (answer.size() >= maxBytes) return std::nullopt;
        const ssize_t count = local_socket::ReadSome(descriptor, answer, maxBytes - answer.size());
        if (count == 0 || count == -2) return std::nullopt;
        if (count == -1 && !local_socket::WaitReadable(descriptor, RemainingMs(deadline))) return std::nullopt;
    }
    // One line is the answer: what may follow it is not.
    answer.resize(answer.find('\n') + 1);
    return answer;
}

}  // namespace copy_socket
