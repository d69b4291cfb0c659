#include "velmora-cal/holiday_stand_in.h"

#include "model/data_files.h"
#include "model/record.h"
#include "model/stores.h"

namespace cal {

HolidayStandIn::HolidayStandIn() {
    LoadHolidayData();
    // As the calendar's first start does, before its save.
    if (!g_strStaticHoliday.empty()) return;
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    StandInForTableFiles();
}

HolidayStandIn::~HolidayStandIn() { ForgetHolidayFileStates(); }

}  // namespace cal
