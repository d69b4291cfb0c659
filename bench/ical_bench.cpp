// velmora-cal's iCalendar export and import on 100,000 memos, and the reading of a large file of
// small events and of one very long line, with the process's peak memory.
#include "ical/ics_reading.h"
#include "ical/ics_text.h"
#include "ical/memo_merge.h"
#include "model/data_files.h"
#include "model/model_state.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/code_page.h"
#include "velmora-cal/ical_export.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kMemos = 100000;

// A store of `count` memos on the days of ten years, a third of them two lines long, with holiday
// files of the built-in tables in a fresh data folder made the current directory.
std::string FolderWithMemos(int count) {
    ResetModelState();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("velmora-ical-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    WriteTextFile(kStaticHolidayFile, g_strStaticHoliday);
    WriteTextFile(kDynamicHolidayFile, g_strDynamicHoliday);
    ResetModelState();

    const std::string first = platform::Cp932FromUtf8("10:00 歯医者（駅前）、保険証を忘れずに; 会計 3,000円");
    const std::string second = platform::Cp932FromUtf8("\r\n帰りにスーパーで買い物: 牛乳, パン, 卵");
    std::string store;
    store.reserve(static_cast<std::size_t>(count) * 100);
    for (int i = 0; i < count; ++i) {
        const int year = 117 + i % 10;
        const int month = (i / 10) % 12;
        const int day = 1 + (i / 120) % 28;
        store += MakeMemoRecord(year, month, day, first + std::to_string(i) + (i % 3 == 0 ? second : ""));
    }
    return store;
}

void BM_Export(benchmark::State& state) {
    const std::string store = FolderWithMemos(static_cast<int>(state.range(0)));
    std::tm today{};
    today.tm_year = 126;
    std::size_t bytes = 0;
    for (auto _ : state) {
        cal::ExportCounts counts;
        const std::string ics = cal::ExportCalendar(store, cal::ExportOptions{}, 0, today, counts);
        bytes = ics.size();
        benchmark::DoNotOptimize(ics.data());
    }
    state.counters["ics_MB"] = static_cast<double>(bytes) / 1e6;
    ResetModelState();
}
BENCHMARK(BM_Export)->Arg(kMemos)->Unit(benchmark::kMillisecond);

// The import of such an export into an empty folder: libical's parse, the events read, the merge.
void BM_ReadAndMerge(benchmark::State& state) {
    const std::string store = FolderWithMemos(static_cast<int>(state.range(0)));
    std::tm today{};
    today.tm_year = 126;
    cal::ExportCounts counts;
    cal::ExportOptions options;
    options.holidays = false;
    const std::string ics = cal::ExportCalendar(store, options, 0, today, counts);
    ics::ImportWindow window;
    window.fromYear = 2026;
    window.toYear = 2027;
    for (auto _ : state) {
        const ics::IcsReading reading = ics::ReadIcsEvents(ics, window);
        std::string merged;
        const ics::MergeResult result = ics::MergeEvents(merged, reading.events);
        benchmark::DoNotOptimize(result.added);
    }
    ResetModelState();
}
BENCHMARK(BM_ReadAndMerge)->Arg(kMemos)->Unit(benchmark::kMillisecond);

// 100,000 one-line events of one day merged into an empty store: the day's memo grows to 100,000 lines.
void BM_MergeOneDay(benchmark::State& state) {
    std::vector<ics::IcsEvent> events(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < events.size(); ++i) {
        events[i].year = 2026;
        events[i].monthIndex = 11;
        events[i].day = 8;
        events[i].minuteOfDay = static_cast<int>(i % 1440);
        events[i].text = "毎分の予定 " + std::to_string(i);
        events[i].uid = "minutely@bench";
        events[i].line = 2;
        events[i].number = 1;
    }
    for (auto _ : state) {
        std::string store;
        ics::ImportedEvents imported;
        const ics::MergeResult result = ics::MergeEvents(store, events, &imported);
        benchmark::DoNotOptimize(result.added);
    }
}
BENCHMARK(BM_MergeOneDay)->Arg(kMemos)->Unit(benchmark::kMillisecond);

// The same events imported again into the store the first import made: every one already there.
void BM_MergeOneDayAgain(benchmark::State& state) {
    std::vector<ics::IcsEvent> events(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < events.size(); ++i) {
        events[i].year = 2026;
        events[i].monthIndex = 11;
        events[i].day = 8;
        events[i].text = "毎分の予定 " + std::to_string(i);
        events[i].uid = "minutely@bench";
    }
    std::string first;
    ics::ImportedEvents imported;
    ics::MergeEvents(first, events, &imported);
    for (auto _ : state) {
        std::string store = first;
        ics::ImportedEvents again = imported;
        const ics::MergeResult result = ics::MergeEvents(store, events, &again);
        benchmark::DoNotOptimize(result.alreadyPresent);
    }
}
BENCHMARK(BM_MergeOneDayAgain)->Arg(kMemos)->Unit(benchmark::kMillisecond);

// 10,000 events spread over the days of 2026 merged into a store of 100,000 memos.
void BM_MergeIntoBigStore(benchmark::State& state) {
    const std::string big = FolderWithMemos(static_cast<int>(state.range(0)));
    std::vector<ics::IcsEvent> events(10000);
    for (std::size_t i = 0; i < events.size(); ++i) {
        events[i].year = 2026;
        events[i].monthIndex = static_cast<int>(i % 12);
        events[i].day = 1 + static_cast<int>(i / 12) % 28;
        events[i].minuteOfDay = static_cast<int>(i % 1440);
        events[i].text = "予定 " + std::to_string(i);
        events[i].uid = "event-" + std::to_string(i) + "@bench";
    }
    for (auto _ : state) {
        std::string store = big;
        ics::ImportedEvents imported;
        const ics::MergeResult result = ics::MergeEvents(store, events, &imported);
        benchmark::DoNotOptimize(result.added);
    }
    state.counters["store_MB"] = static_cast<double>(big.size()) / 1e6;
    ResetModelState();
}
BENCHMARK(BM_MergeIntoBigStore)->Arg(kMemos)->Unit(benchmark::kMillisecond);

// The process's peak resident memory so far, in MB: run one benchmark alone to see its own.
double PeakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A file of `count` small timed events (some 115 bytes each) on the days of 2026.
std::string SmallEvents(int count) {
    std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n";
    ics.reserve(static_cast<std::size_t>(count) * 120);
    char event[256];
    for (int i = 0; i < count; ++i) {
        std::snprintf(event, sizeof event,
                      "BEGIN:VEVENT\r\nUID:e%d@b\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:2026%02d%02dT%02d%02d00Z\r\n"
                      "SUMMARY:会議 %d\r\nEND:VEVENT\r\n",
                      i, 1 + i % 12, 1 + (i / 12) % 28, (i / 336) % 24, i % 60, i);
        ics += event;
    }
    return ics + "END:VCALENDAR\r\n";
}

void BM_ReadSmallEvents(benchmark::State& state) {
    const std::string ics = SmallEvents(static_cast<int>(state.range(0)));
    ics::ImportWindow window;
    window.fromYear = 2026;
    window.toYear = 2027;
    std::size_t events = 0;
    for (auto _ : state) {
        const ics::IcsReading reading = ics::ReadIcsEvents(ics, window);
        events = reading.events.size();
        benchmark::DoNotOptimize(events);
    }
    state.counters["file_MB"] = static_cast<double>(ics.size()) / 1e6;
    state.counters["events"] = static_cast<double>(events);
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_ReadSmallEvents)->Arg(540000)->Unit(benchmark::kMillisecond)->Iterations(1);

// One event whose description is a single line of the given MB, unfolded, or folded at 75 octets.
void BM_ReadLongLine(benchmark::State& state) {
    const std::size_t length = static_cast<std::size_t>(state.range(0)) * 1000 * 1000;
    const bool folded = state.range(1) != 0;
    std::string line = "DESCRIPTION:";
    for (std::size_t i = 0; line.size() < length; ++i) line += i % 8 == 7 ? ' ' : 'x';
    if (folded)
        line = ics::FoldContentLine(line);
    else
        line += "\r\n";
    const std::string ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:long\r\n"
        "DTSTART;VALUE=DATE:20261208\r\nSUMMARY:long\r\n" +
        line + "END:VEVENT\r\nEND:VCALENDAR\r\n";
    line = std::string();
    ics::ImportWindow window;
    window.fromYear = 2026;
    window.toYear = 2027;
    for (auto _ : state) {
        const ics::IcsReading reading = ics::ReadIcsEvents(ics, window);
        benchmark::DoNotOptimize(reading.events.size());
    }
    state.counters["file_MB"] = static_cast<double>(ics.size()) / 1e6;
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_ReadLongLine)->ArgsProduct({{4, 8, 16, 30}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
