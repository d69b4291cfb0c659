// A full Build of an arbitrary year with arbitrary bytes in each of the three holiday files: the
// days and weekdays are right, and no mark falls outside the month's days.
#include "fuzz/fuzz_support.h"
#include "model/data_files.h"
#include "model/holiday_table.h"
#include "model/record.h"
#include "model/text_file_format.h"
#include "model/year_calendar.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <set>
#include <string>
#include <utility>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseMemoryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const int year = provider.ConsumeIntegral<int>();
    const int shownMonth = provider.ConsumeIntegralInRange<int>(0, 11);
    const std::string fixed = provider.ConsumeRandomLengthString(4096);
    const std::string rules = provider.ConsumeRandomLengthString(4096);
    const std::string oneYear = provider.ConsumeRemainingBytesAsString();

    fuzz::UseMemoryFiles();
    fuzz::PutFile(kStaticHolidayFile, fixed);
    fuzz::PutFile(kDynamicHolidayFile, rules);
    fuzz::PutFile(YearHolidayFileName(year), oneYear);

    // Cells of an earlier build must not survive into this one.
    for (auto& month : g_YearCalendar.cells) {
        for (CDayCell& cell : month) {
            cell.flag = 1;
            cell.text = "stale";
        }
    }
    g_YearCalendar.year = year;
    g_YearCalendar.month = shownMonth;
    g_YearCalendar.Build();

    fuzz::Check(g_YearCalendar.year == year && g_YearCalendar.month == shownMonth, "Build moved the shown month");
    fuzz::Check(g_strStaticHoliday == DecodeTextFile(fixed), "the fixed-date store is not the file's");
    fuzz::Check(g_strDynamicHoliday == DecodeTextFile(rules), "the rule-based store is not the file's");
    fuzz::Check(g_strYearHoliday == DecodeTextFile(oneYear), "the one-year store is not the file's");

    for (int month = 0; month < 12; ++month) {
        const int days = fuzz::DaysInMonth(year, month);
        const int first = fuzz::WeekdayOfFirst(year, month);
        for (int index = 0; index < 31; ++index) {
            const CDayCell& cell = g_YearCalendar.cells[month][index];
            fuzz::Check(cell.flag == 0 || cell.flag == 1, "a flag is neither 0 nor 1");
            if (index >= days) {
                fuzz::Check(cell.day == 0, "a day past the month's end");
                fuzz::Check(cell.flag == 0, "a mark outside the month's days");
                fuzz::Check(cell.text.empty(), "a holiday name outside the month's days");
                continue;
            }
            fuzz::Check(cell.day == index + 1, "a cell holds the wrong day");
            fuzz::Check(cell.weekday == (first + index) % 7, "a cell holds the wrong weekday");
            fuzz::Check(cell.weekRow == (first + index) / 7 + 1, "a cell lies in the wrong week row");
            if (!cell.text.empty()) fuzz::Check(cell.flag == 1, "a named day is not marked");
        }
    }

    // The holiday list: sorting the three stores keeps every record, closed, and orders them by
    // (month, day).
    const std::string joined = JoinHolidayStores(g_strStaticHoliday, g_strDynamicHoliday, g_strYearHoliday);
    const std::string sorted = SortHolidayRecords(joined);
    std::multiset<std::string> before;
    std::multiset<std::string> after;
    for (std::string_view rest = joined; !rest.empty();) before.insert(CloseRecord(CutRecord(rest)));
    std::pair<int, int> previous{INT_MIN, INT_MIN};
    for (std::string_view rest = sorted; !rest.empty();) {
        const std::string_view record = CutRecord(rest);
        fuzz::Check(fuzz::FindDelimiter(record, "~") == record.size() - 1, "a sorted record is not closed", record);
        const HolidayRecordFields fields = SplitHolidayRecord(record);
        const std::pair date(fields.month, fields.day);
        fuzz::Check(date >= previous, "the holiday list is out of date order", sorted);
        previous = date;
        after.insert(std::string(record));
    }
    fuzz::Check(before == after, "sorting lost, added or changed records", joined);
    return 0;
}
