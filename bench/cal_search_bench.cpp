// velmora-cal's memo search over a memo store of 100,000 records: each record converted to UTF-8,
// folded and matched, then the hits sorted newest first.
#include "model/record.h"
#include "platform/code_page.h"
#include "velmora-cal/search.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kMemoCount = 100000;

// A memo store of `count` records spread over the days of 1990..2063, in code page 932, with
// Japanese text, full-width and half-width forms and several lines, as a long-used folder holds.
const std::string& Store() {
    static const std::string store = [] {
        const char* texts[] = {
            "10:00 歯医者\n保険証を持つ", "会議 ＰＲＯＪＥＣＴ Velmora 進捗",
            "ｶﾗｵｹ 19:00～ 駅前",          "買い物: 牛乳、卵、パン\nクリーニングを受け取る\n銀行",
            "誕生日 プレゼントを買う",    "Meeting with Tanaka-san at 15:00",
        };
        std::string utf8;
        for (int i = 0; i < kMemoCount; ++i) {
            const int year = 90 + (i / 365) % 74;
            const int month = (i / 28) % 12;
            const int day = 1 + i % 28;
            utf8 += MakeMemoRecord(year, month, day, std::string(texts[i % 6]) + " #" + std::to_string(i));
        }
        return platform::Cp932FromUtf8(utf8);
    }();
    return store;
}

void Search(benchmark::State& state, std::vector<std::string> arguments) {
    const std::string& store = Store();
    const std::vector<std::string> words = cal::SearchWords(arguments);
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto found = cal::SearchMemos(store, words, std::nullopt);
        hits = found.size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["memos"] = kMemoCount;
}

// One word in a sixth of the memos (in half-width form there, full-width typed).
void BM_SearchOneWord(benchmark::State& state) { Search(state, {"カラオケ"}); }
// Two words that meet in one memo.
void BM_SearchTwoWords(benchmark::State& state) { Search(state, {"ｐｒｏｊｅｃｔ", "#99997"}); }
// A word no memo holds: every memo read, nothing kept.
void BM_SearchNoMatch(benchmark::State& state) { Search(state, {"見つからない"}); }

BENCHMARK(BM_SearchOneWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchTwoWords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchNoMatch)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
