#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The calendar and its sync worker (velmora-sync-pass, one process a pass) talk over one stream
// socket in frames: "TAG LENGTH\n" and LENGTH bytes. The calendar sends "store" (the memo store);
// the worker sends "write" for each store its pass writes and waits for "ok" or "no" (the refusal
// as its bytes); its last frame is "result" (the pass's answer line).
namespace memosync {

// The largest frame either side accepts: a memo store is far smaller.
inline constexpr std::size_t kMaxFrameBytes = std::size_t{256} << 20;

// Sends one frame on the socket `fd`; false when the peer is gone.
bool SendFrame(int fd, std::string_view tag, std::string_view bytes);
// Reads one frame from `fd` into `tag` and `bytes`; false at the end of the stream or on a frame
// that is malformed or larger than kMaxFrameBytes.
bool ReadFrame(int fd, std::string& tag, std::string& bytes);

}  // namespace memosync
