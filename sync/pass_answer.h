#pragma once

#include "sync/engine.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The result of a pass the running calendar made for velmora-cal, as one line on the socket
// between them.
namespace memosync {

// The longest answer line, its newline included.
inline constexpr std::size_t kMaxPassAnswerBytes = std::size_t{64} << 10;

// What the line carries: what velmora-cal reports of a pass.
struct PassAnswer {
    SyncResult result;       // ok, error, the counts, refusedEmpty and the skipped items
    int skippedLeftOff = 0;  // skipped items that did not fit in the line
};

// Returns `result` as one line ending in a newline, at most kMaxPassAnswerBytes: tabs between
// "key=value" fields, backslash escapes in the values; long texts are cut, and skipped items that
// do not fit are counted instead.
std::string EncodePassAnswer(const SyncResult& result);
// Returns what an answer line (its newline optional) carries, or std::nullopt when it is no such line.
std::optional<PassAnswer> DecodePassAnswer(std::string_view line);

}  // namespace memosync
