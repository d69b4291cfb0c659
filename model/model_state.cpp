#include "model/model_state.h"

#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/present_time.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/year_calendar.h"

void ResetModelState() {
    for (std::string* store : {&g_strMemoData, &g_strStaticHoliday, &g_strDynamicHoliday, &g_strYearHoliday})
        store->clear();
    g_YearCalendar = CYearCalendar{};
    ForgetDataFiles();
    ForgetHolidayFileStates();
    ForgetMemoFileState();
    ResetFileSystemCalls();
    ClearPresentTimeForTesting();
}
