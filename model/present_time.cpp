#include "model/present_time.h"

#include "model/year_calendar.h"

#include <cstdio>
#include <optional>

namespace {

std::optional<std::tm> g_fixedPresent;

}  // namespace

void SetPresentTimeForTesting(const std::tm& moment) { g_fixedPresent = moment; }

void ClearPresentTimeForTesting() { g_fixedPresent.reset(); }

std::tm CurrentLocalTime() {
    if (g_fixedPresent) return *g_fixedPresent;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string FileTimeStamp() {
    const std::tm now = CurrentLocalTime();
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                  now.tm_hour, now.tm_min, now.tm_sec);
    return text;
}
