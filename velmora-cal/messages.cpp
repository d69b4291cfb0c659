#include "velmora-cal/messages.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace cal {

bool JapaneseMessages() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::string_view(value).starts_with("ja");
    }
    return false;
}

const char* Tr(const char* english, const char* japanese) { return JapaneseMessages() ? japanese : english; }

void Complain(const std::string& message) { std::fprintf(stderr, "velmora-cal: %s\n", message.c_str()); }

}  // namespace cal
