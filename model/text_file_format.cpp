#include "model/text_file_format.h"

#include "model/utf8_lead.h"

#include <algorithm>

namespace {

constexpr char kEndOfData = '\x1a';

}  // namespace

std::string EncodeTextFile(std::string_view store) {
    std::string bytes;
    bytes.reserve(store.size() + store.size() / 32 + 1);
    for (const char c : store) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    bytes += '\0';
    return bytes;
}

std::string DecodeTextFile(std::string_view bytes) {
    std::string store;
    store.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\0' || c == kEndOfData) break;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;  // the LF that follows is taken on the next turn
        store += c;
    }
    return store;
}

namespace {

// Returns the length of the longest multi-byte sequence when `text` is valid UTF-8 (no overlong
// forms, no surrogates, nothing above U+10FFFF) holding at least one, else 0.
int LongestUtf8Sequence(std::string_view text) {
    int longest = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        const auto [length, low, high] = Utf8LeadOf(byte);
        if (length == 0) return 0;
        if (i + static_cast<std::size_t>(length) > text.size()) return 0;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 0;
        }
        longest = std::max(longest, length);
        i += static_cast<std::size_t>(length);
    }
    return longest;
}

// Returns true when every character of `text` is a code page 932 character: ASCII, half-width
// katakana, or a lead byte followed by a valid second byte.
bool IsWellFormedCp932(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF)) continue;
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        if (!lead || i + 1 >= text.size()) return false;
        const auto trail = static_cast<unsigned char>(text[++i]);
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    }
    return true;
}

}  // namespace

bool LooksForeign(std::string_view bytes) {
    for (const std::string_view mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
        if (bytes.starts_with(mark)) return true;
    const std::size_t end = bytes.find_first_of(std::string_view("\0\x1a", 2));
    if (end != std::string_view::npos && end + 1 < bytes.size()) return true;
    const std::string_view text = bytes.substr(0, end);
    // Kana and kanji in code page 932 start with bytes that UTF-8 only allows inside a sequence, so
    // Japanese text of ours is almost never valid UTF-8. What is valid UTF-8 still counts as ours
    // when it reads as code page 932 and uses only two-byte sequences (half-width katakana pairs).
    const int longest = LongestUtf8Sequence(text);
    return longest > 2 || (longest == 2 && !IsWellFormedCp932(text));
}
