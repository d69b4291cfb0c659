#include "model/local_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace local_socket {
namespace {

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

sockaddr* AsAddress(sockaddr_un& address) {
    return reinterpret_cast<sockaddr*>(&address);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

int NewSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

bool WaitFor(int descriptor, short events, int timeoutMs) {
    pollfd entry{descriptor, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
        if (ready >= 0) return ready > 0;
        if (errno != EINTR) return false;
    }
}

}  // namespace

int Listen(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (!MakeAddress(path, address)) {
        error = "the path is too long for a socket";
        return -1;
    }
    const int descriptor = NewSocket();
    if (descriptor < 0) {
        error = std::strerror(errno);
        return -1;
    }
    ::unlink(path.c_str());
    // The socket file is made with the umask's mode; the folder around it is private already, and
    // the file is narrowed to this user before anyone is listened to.
    if (::bind(descriptor, AsAddress(address), sizeof address) != 0 || ::chmod(path.c_str(), 0600) != 0 ||
        ::listen(descriptor, SOMAXCONN) != 0) {
        error = std::strerror(errno);
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

int Accept(int listener) {
    for (;;) {
        const int descriptor = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor >= 0 || errno != EINTR) return descriptor;
    }
}

int Connect(const std::string& path, int timeoutMs) {
    sockaddr_un address{};
    if (!MakeAddress(path, address)) return -1;
    const int descriptor = NewSocket();
    if (descriptor < 0) return -1;
    if (::connect(descriptor, AsAddress(address), sizeof address) == 0) return descriptor;
    // A listener whose queue is full makes the connection wait.
    if ((errno == EAGAIN || errno == EINPROGRESS) && WaitFor(descriptor, POLLOUT, timeoutMs)) {
        int failure = 0;
        socklen_t size = sizeof failure;
        if (::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &failure, &size) == 0 && failure == 0) return descriptor;
    }
    ::close(descriptor);
    return -1;
}

bool PeerIsThisUser(int descriptor) {
    // The kernel records the peer's credentials at connect (or listen) time, so no peer can claim
    // another user's id.
    if (descriptor < 0) return false;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
    return credentials.uid == ::geteuid();
}

ssize_t ReadSome(int descriptor, std::string& into, std::size_t limit) {
    char buffer[256];
    const std::size_t wanted = limit < sizeof buffer ? limit : sizeof buffer;
    for (;;) {
        const ssize_t count = ::recv(descriptor, buffer, wanted, 0);
        if (count > 0) into.append(buffer, static_cast<std::size_t>(count));
        if (count >= 0) return count;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
        if (errno != EINTR) return -2;
    }
}

bool SendAll(int descriptor, const std::string& text, int timeoutMs) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t count = ::send(descriptor, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(descriptor, POLLOUT, timeoutMs)) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool WaitReadable(int descriptor, int timeoutMs) { return WaitFor(descriptor, POLLIN, timeoutMs); }

}  // namespace local_socket
