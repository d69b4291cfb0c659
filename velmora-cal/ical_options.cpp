#include "velmora-cal/ical_options.h"

#include "velmora-cal/holidays_command.h"
#include "velmora-cal/messages.h"

namespace cal {

std::optional<int> ParseYear(const std::string& text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int year = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        year = year * 10 + (c - '0');
    }
    if (year < 1) return std::nullopt;
    return year;
}

std::string ResolvePath(const std::string& path, const std::string& here) {
    if (path.empty() || path == "-" || path[0] == '/' || here.empty()) return path;
    return here + "/" + path;
}

int UsageProblem(const std::string& message) {
    Complain(message + Tr(" (see velmora-cal --help)", "（velmora-cal --help を参照）"));
    return kExitRefused;
}

}  // namespace cal
