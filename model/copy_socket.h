#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Where the calendar running in a data folder listens for its later copies and for velmora-cal,
// and the one-line requests and answers they exchange there.
namespace copy_socket {

// A later copy asks the running one to show its window; it answers kShowAnswer.
inline constexpr const char* kShowRequest = "show\n";
inline constexpr const char* kShowAnswer = "ok\n";
// velmora-cal asks the running calendar for a sync pass (with the emptied side mirrored); the
// answer is the pass's result, one line, or kNotSyncingAnswer.
inline constexpr const char* kSyncRequest = "sync\n";
inline constexpr const char* kSyncAcceptEmptyRequest = "sync accept-empty\n";
inline constexpr const char* kNotSyncingAnswer = "not-syncing\n";
// The longest a calendar keeps a peer waiting for the pass it asked for.
inline constexpr int kPassWaitMs = 15 * 60 * 1000;

// Returns the socket's name for a directory: "velmora-" and 16 hex digits of a 64-bit FNV-1a hash
// of its real path (of its absolute path, cleaned, when it has none).
std::string SocketName(const std::string& directory);
// Returns the folder that holds the sockets: $XDG_RUNTIME_DIR when it is a folder of ours with
// mode 0700, else "velmora-<uid>" in $TMPDIR (or in /tmp when $TMPDIR is unset or its path too
// long for a socket), made with mode 0700 when missing; returns "" with `problem` set (the folder
// and why) when neither is a private folder of ours.
std::string SocketFolder(std::string& problem);
// Returns the full path of the socket for `directory`, or "" with `problem` set as SocketFolder sets it.
std::string SocketPath(const std::string& directory, std::string& problem);

// Connects to the copy listening at `socketPath`, retrying while it starts up, checks that it runs
// as this user and sends `request`, all within `timeoutMs`; returns the connected descriptor (the
// caller closes it), or -1.
int SendRequest(const std::string& socketPath, const std::string& request, int timeoutMs);
// Reads one answer line from `descriptor` within `timeoutMs`; returns it with its newline, or
// std::nullopt when the other end closed, fell silent or sent more than `maxBytes` without one.
std::optional<std::string> ReadAnswer(int descriptor, std::size_t maxBytes, int timeoutMs);

}  // namespace copy_socket
