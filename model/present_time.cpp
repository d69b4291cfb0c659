#include "model/present_time.h"

#include "model/year_calendar.h"

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
