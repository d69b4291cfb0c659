// The holiday update on a data folder as the first start leaves it, and again on an updated one.
#include "model/data_files.h"
#include "model/holiday_update.h"
#include "model/model_state.h"
#include "model/record.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string OfficialList() {
    std::ifstream in(VELMORA_OFFICIAL_LIST, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A fresh data folder under `root` holding the built-in tables, made the current directory.
void FreshFolder(const std::filesystem::path& root) {
    ResetModelState();
    std::filesystem::current_path(root.parent_path());
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    std::filesystem::current_path(root);
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    WriteTextFile(kStaticHolidayFile, g_strStaticHoliday);
    WriteTextFile(kDynamicHolidayFile, g_strDynamicHoliday);
    ResetModelState();
}

std::filesystem::path BenchFolder() {
    return std::filesystem::temp_directory_path() / ("velmora-holiday-bench-" + std::to_string(::getpid()));
}

// First update: 147 files written, each flushed to disk.
void BM_UpdateFromBuiltInTables(benchmark::State& state) {
    const std::string list = OfficialList();
    const std::filesystem::path root = BenchFolder();
    for (auto _ : state) {
        state.PauseTiming();
        FreshFolder(root);
        state.ResumeTiming();
        const HolidayUpdateResult result = UpdateOfficialHolidays(list);
        if (!result.ok) state.SkipWithError(result.error.c_str());
        benchmark::DoNotOptimize(result.filesWritten);
    }
    std::filesystem::current_path(root.parent_path());
    std::filesystem::remove_all(root);
    ResetModelState();
}
BENCHMARK(BM_UpdateFromBuiltInTables)->Unit(benchmark::kMillisecond)->Iterations(10);

// A second update: every file read and compared, none written.
void BM_UpdateAlreadyUpToDate(benchmark::State& state) {
    const std::string list = OfficialList();
    const std::filesystem::path root = BenchFolder();
    FreshFolder(root);
    UpdateOfficialHolidays(list);
    for (auto _ : state) {
        const HolidayUpdateResult result = UpdateOfficialHolidays(list);
        if (!result.ok || result.filesWritten != 0) state.SkipWithError("the second update wrote files");
    }
    std::filesystem::current_path(root.parent_path());
    std::filesystem::remove_all(root);
    ResetModelState();
}
BENCHMARK(BM_UpdateAlreadyUpToDate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
