// The reminders of a 10 MB memo store: what a change of the store or of the memo file costs (one
// walk, FindReminders), and what a tick costs while nothing changed (one stat of the file).
#include "model/record.h"
#include "reminders/reminder_clock.h"
#include "reminders/reminder_list.h"
#include "reminders/reminder_source.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr std::size_t kStoreBytes = 10u << 20;

// Memos of many days, each with a timed line among plain ones, up to 10 MB.
const std::string& Store() {
    static const std::string store = [] {
        std::string out;
        for (int i = 0; out.size() < kStoreBytes; ++i) {
            const std::string text = std::to_string(i % 24) + ":" + std::to_string(10 + i % 50) +
                                     " meeting\r\nbring the papers\r\nno 10:00 here #" + std::to_string(i);
            out += MakeMemoRecord(90 + (i / 365) % 74, (i / 28) % 12, 1 + i % 28, text);
        }
        return out;
    }();
    return store;
}

// A change: the store's reminders found and put in order, as after a dialog closed.
void StoreChanged(benchmark::State& state) {
    ReminderSource source("/nonexistent");
    Store();
    std::size_t found = 0;
    for (auto _ : state) {
        source.StoreChanged(Store());
        found = source.Reminders().size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["reminders"] = static_cast<double>(found);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Store().size()));
}
BENCHMARK(StoreChanged)->Unit(benchmark::kMillisecond);

// A tick: the file's status looked at, the clock looked at over every reminder.
void TickWithNothingChanged(benchmark::State& state) {
    const std::string file = "/tmp/velmora-reminders-bench-" + std::to_string(::getpid());
    std::ofstream(file, std::ios::binary) << Store();
    ReminderSource source(file);
    source.StoreChanged(Store());
    source.LookAtFile();
    ReminderMemory memory;
    const std::time_t now = ReminderMoment({1990, 1, 1, 0, 0, ""});
    for (auto _ : state) {
        benchmark::DoNotOptimize(source.LookAtFile());
        benchmark::DoNotOptimize(LookAtClock(source.Reminders(), "/d", {}, memory, now, now - 1));
    }
    std::remove(file.c_str());
}
BENCHMARK(TickWithNothingChanged)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
