#include "model/data_files.h"
#include "model/memo_store.h"
#include "model/model_state.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/year_calendar.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

// Returns the offset of the first memo record of the day (numbers as the record stores them) in
// the store, or std::nullopt: the walk of a day's lookup, without the take-out's copy of the store.
std::optional<std::size_t> FindMemoRecord(std::string_view store, int year, int month, int day) {
    std::string_view rest = store;
    while (!rest.empty()) {
        const std::size_t offset = store.size() - rest.size();
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        if (fields.year == year && fields.month == month && fields.day == day) return offset;
    }
    return std::nullopt;
}

// A memo store of `count` records of about 100 bytes each, spread over the days of many years.
std::string MakeMemoStore(int count) {
    // 会議 and 円 in code page 932, so that the scan meets double-byte characters.
    const std::string text = std::string("\x89\xef\x8b\x63 ") + "weekly meeting in room 4, bring the budget (" +
                             "\x89\x7e" + ") and the notes of last time\r\n";
    std::string store;
    store.reserve(static_cast<std::size_t>(count) * 110);
    for (int i = 0; i < count; ++i)
        store += MakeMemoRecord(100 + i / 372, i / 31 % 12, i % 31 + 1, text + std::to_string(i));
    return store;
}

void CutEveryRecord(benchmark::State& state) {
    const std::string store = MakeMemoStore(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string_view rest = store;
        std::size_t records = 0;
        while (!rest.empty()) {
            benchmark::DoNotOptimize(CutRecord(rest));
            ++records;
        }
        benchmark::DoNotOptimize(records);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(store.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(CutEveryRecord)->Arg(1'000)->Arg(10'000)->Arg(100'000);

void CutAndSplitEveryRecord(benchmark::State& state) {
    const std::string store = MakeMemoStore(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string_view rest = store;
        while (!rest.empty()) {
            const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
            benchmark::DoNotOptimize(fields);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(CutAndSplitEveryRecord)->Arg(1'000)->Arg(10'000)->Arg(100'000);

// The day sought is that of the last record, so the whole store is walked.
void FindOneDaysRecord(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string store = MakeMemoStore(count);
    const int last = count - 1;
    for (auto _ : state) {
        const std::optional<std::size_t> offset =
            FindMemoRecord(store, 100 + last / 372, last / 31 % 12, last % 31 + 1);
        if (!offset) state.SkipWithError("record not found");
        benchmark::DoNotOptimize(offset);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FindOneDaysRecord)->Arg(1'000)->Arg(10'000)->Arg(100'000);

// A full build of 2026 with 1,000 holiday records of every kind spread over the three files.
void BuildWithThousandHolidays(benchmark::State& state) {
    const std::filesystem::path oldDirectory = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("cannot make a temporary directory");
        return;
    }
    std::filesystem::current_path(pattern);

    const int kinds[] = {0, 0, 0, 1, 2, 3, 4, 5, 10, 11};
    std::string fixed;
    std::string rule;
    std::string oneYear;
    for (int i = 0; i < 1000; ++i) {
        const int kind = kinds[i % 10];
        const std::string record = std::to_string(i % 12 + 1) + "^" + std::to_string(i % 31 + 1) + "^" +
                                   "\x8f\x74\x95\xaa\x82\xcc\x93\xfa" + std::to_string(i) + "^" + std::to_string(kind) +
                                   "~";
        if (i % 3 == 0)
            oneYear += record;
        else if (kind == 0)
            fixed += record;
        else
            rule += record;
    }
    g_YearCalendar.year = 126;
    WriteTextFile(kStaticHolidayFile, fixed);
    WriteTextFile(kDynamicHolidayFile, rule);
    WriteTextFile(YearHolidayFileName(126), oneYear);

    for (auto _ : state) {
        g_YearCalendar.Build();
        benchmark::DoNotOptimize(g_YearCalendar.cells[0][0].flag);
    }

    std::filesystem::current_path(oldDirectory);
    std::filesystem::remove_all(pattern);
}
BENCHMARK(BuildWithThousandHolidays)->Unit(benchmark::kMicrosecond);

// A registration's save at once with a memo store of range(0) records (about 110 bytes each:
// 104,500 make a 10 MB file): the check that the store changed, then the atomic save with its
// flushes. Wall time, since most of a save is waiting for the disk.
void SaveMemoStoreAtOnce(benchmark::State& state) {
    const std::filesystem::path oldDirectory = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("cannot make a temporary directory");
        return;
    }
    std::filesystem::current_path(pattern);
    ResetModelState();  // the data folder is the current directory of the first save after it
    g_strMemoData = MakeMemoStore(static_cast<int>(state.range(0)));
    if (SaveMemoData() != 1) state.SkipWithError("the first save failed");
    const std::string base = g_strMemoData;
    int registration = 0;
    for (auto _ : state) {
        g_strMemoData = base;
        AppendMemoRecord(g_strMemoData, 126, 11, 8, "registered " + std::to_string(++registration));
        if (SaveMemoDataIfChanged() != 1) state.SkipWithError("the save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(base.size()));
    state.counters["file_bytes"] = static_cast<double>(base.size());
    std::filesystem::current_path(oldDirectory);
    std::filesystem::remove_all(pattern);
}
BENCHMARK(SaveMemoStoreAtOnce)->Arg(10'450)->Arg(104'500)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
