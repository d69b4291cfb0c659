#include "velmora-cal/holiday_stand_in.h"

#include "model/data_files.h"
#include "model/holiday_update.h"
#include "model/record.h"
#include "model/stores.h"

namespace cal {

HolidayStandIn::HolidayStandIn() {
    LoadHolidayData();
    // As the calendar's first start does, before its save: the installed official list and the
    // law, else the built-in tables.
    if (!g_strStaticHoliday.empty() || StandInFirstStartHolidays(InstalledHolidayListPath(nullptr))) return;
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    StandInForTableFiles();
}

HolidayStandIn::~HolidayStandIn() { ForgetHolidayFileStates(); }

}  // namespace cal
