#include "velmora-cal/messages.h"

#include "velmora-cal/exit_status.h"

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

std::string Quoted(const std::string& text) { return Tr("\"", "「") + text + Tr("\"", "」"); }

std::string Counted(long long count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

void Complain(const std::string& message) { std::fprintf(stderr, "velmora-cal: %s\n", message.c_str()); }

int UsageProblem(const std::string& message, const std::string& command) {
    const std::string help = "velmora-cal " + (command.empty() ? "" : command + " ") + "--help";
    Complain(message + Tr(" (see ", "（詳しくは ") + help + Tr(")", "）"));
    return kExitRefused;
}

}  // namespace cal
