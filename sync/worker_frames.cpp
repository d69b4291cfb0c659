#include "sync/worker_frames.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace memosync {
namespace {

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a worker that died must not end the calendar with SIGPIPE.
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool ReadExactly(int fd, char* into, std::size_t count) {
    while (count > 0) {
        const ssize_t got = ::read(fd, into, count);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        into += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

bool SendFrame(int fd, std::string_view tag, std::string_view bytes) {
    const std::string header = std::string(tag) + " " + std::to_string(bytes.size()) + "\n";
    return SendAll(fd, header) && SendAll(fd, bytes);
}

bool ReadFrame(int fd, std::string& tag, std::string& bytes) {
    // The header is short: read a byte at a time so that nothing of the body is read with it.
    std::string header;
    char c = 0;
    while (header.size() < 64) {
        if (!ReadExactly(fd, &c, 1)) return false;
        if (c == '\n') break;
        header += c;
    }
    const std::size_t space = header.find(' ');
    if (c != '\n' || space == std::string::npos || space == 0) return false;
    std::size_t length = 0;
    const char* end = header.data() + header.size();
    const auto [stop, problem] = std::from_chars(header.data() + space + 1, end, length);
    if (problem != std::errc() || stop != end || length > kMaxFrameBytes) return false;
    tag = header.substr(0, space);
    bytes.assign(length, '\0');
    return ReadExactly(fd, bytes.data(), length);
}

}  // namespace memosync
