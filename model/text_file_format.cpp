#include "model/text_file_format.h"

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
