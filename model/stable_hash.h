#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// Returns 16 lowercase hex digits of the FNV-1a hash of `bytes`: the same on every build and
// machine, for file and socket names made from paths and for notes of what a file held.
inline std::string StableHashHex(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}
