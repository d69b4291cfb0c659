#pragma once

#include <sys/types.h>

#include <string>

// Unix stream sockets between a running calendar and its later copies and commands, on plain POSIX calls. Every
// descriptor returned is non-blocking and closed on exec; the caller closes it.
namespace local_socket {

// Binds and listens at `path` (removing whatever file is there) with the socket file readable and
// writable by this user only; returns the descriptor, or -1 with `error` set to why not.
int Listen(const std::string& path, std::string& error);
// Takes one pending connection off a listening socket; returns its descriptor, or -1 when none.
int Accept(int listener);
// Connects to the socket at `path`, waiting at most `timeoutMs`; returns the descriptor, or -1.
int Connect(const std::string& path, int timeoutMs);
// Returns TRUE when the process at the other end of a connected socket runs as this user.
bool PeerIsThisUser(int descriptor);
// Reads what is there now, at most `limit` bytes, onto `into`; returns the bytes read, 0 at the
// end of the stream, -1 when nothing is there yet (EAGAIN) and -2 on an error.
ssize_t ReadSome(int descriptor, std::string& into, std::size_t limit);
// Sends all of `text` within `timeoutMs`; returns TRUE when it went.
bool SendAll(int descriptor, const std::string& text, int timeoutMs);
// Waits at most `timeoutMs` for something to read (or the end of the stream); returns TRUE then.
bool WaitReadable(int descriptor, int timeoutMs);

}  // namespace local_socket
