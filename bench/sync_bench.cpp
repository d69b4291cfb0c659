// The sync against a Radicale of the benchmark's own on 127.0.0.1: ten years of memos uploaded
// into an empty calendar and downloaded into an empty folder, a pass with nothing changed, and one
// with a memo changed on each side. Each pass runs as velmora-cal runs it: memosync::Sync over a
// CalDavCollection, the memo file and the state written to disk. The counters are the requests our
// side sent, by method, per pass.
#include "model/data_files.h"
#include "model/memo_store.h"
#include "model/model_state.h"
#include "model/record.h"
#include "model/text_file_format.h"
#include "sync/caldav.h"
#include "sync/engine.h"
#include "sync/http.h"
#include "sync/mapping.h"
#include "sync/state.h"
#include "sync/text.h"

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using memosync::CalDavCollection;
using memosync::HttpClient;

constexpr int kDays = 3650;
const char* const kUser = "velmora";
const char* const kPassword = "secret";

// servers.py as a child: its first line is the server's URL; closing its standard input stops it.
class Radicale {
public:
    Radicale() {
        int in[2];
        int out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            ::execl("/usr/bin/python3", "python3", VELMORA_SYNC_SERVERS, "radicale", kUser, kPassword, nullptr);
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        FILE* output = ::fdopen(out[0], "r");
        char line[512] = {};
        if (output != nullptr && std::fgets(line, sizeof line, output) != nullptr)
            url = std::string(line, std::strcspn(line, "\n"));
        if (output != nullptr) std::fclose(output);
    }
    ~Radicale() {
        if (pid_ <= 0) return;
        ::close(stdin_);
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            ::usleep(50000);
        }
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Radicale(const Radicale&) = delete;
    Radicale& operator=(const Radicale&) = delete;
    std::string url;

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
};

memosync::HttpOptions Login() {
    memosync::HttpOptions options;
    options.user = kUser;
    options.password = kPassword;
    return options;
}

// The collection as the pass uses it, counting the REPORTs that its fetches send: the multigets.
class CountedCollection final : public memosync::Collection {
public:
    CountedCollection(HttpClient& http, const std::string& url) : http_(http), inner_(http, url) {}
    int multigets = 0;

    std::optional<memosync::ChangeSet> Changes(const std::string& token, std::string& error) override {
        return inner_.Changes(token, error);
    }
    std::optional<std::vector<memosync::RemoteItem>> Fetch(const std::vector<std::string>& hrefs,
                                                           std::string& error) override {
        const int before = http_.RequestCount("REPORT");
        auto items = inner_.Fetch(hrefs, error);
        multigets += http_.RequestCount("REPORT") - before;
        return items;
    }
    memosync::PutResult Put(const std::string& href, const std::string& ical, const std::string& ifMatch) override {
        return inner_.Put(href, ical, ifMatch);
    }
    memosync::PutOutcome Delete(const std::string& href, const std::string& ifMatch, std::string& error) override {
        return inner_.Delete(href, ifMatch, error);
    }
    [[nodiscard]] std::string HrefFor(const std::string& uid) const override { return inner_.HrefFor(uid); }

private:
    HttpClient& http_;
    CalDavCollection inner_;
};

// One device: a data folder with its memo file, and the collection's state beside it, written as
// velmora-cal writes them.
class Device final : public memosync::SyncSink {
public:
    explicit Device(const fs::path& folder) : folder_(folder) {
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "data");
    }
    ~Device() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    std::string store;  // the memo file's form: code page 932, CR LF breaks
    memosync::SyncState state;

    bool WriteStore(const std::string& bytes, std::string& error) override {
        // The model writes in one data folder, the one current at its first write, as velmora-cal
        // has it: another device's folder is taken afresh.
        static int modelDevice = 0;
        if (modelDevice != id_) {
            ResetModelState();
            fs::current_path(folder_ / "data");
            modelDevice = id_;
        }
        g_strMemoData = DecodeTextFile(bytes);
        if (SaveMemoData() == 0) {
            error = std::string("cannot write ") + kMemoFile;
            return false;
        }
        store = bytes;
        return true;
    }
    bool SaveState(const memosync::SyncState& saved, std::string& error) override {
        if (memosync::SaveSyncState((folder_ / "state").string(), saved)) return true;
        error = "cannot write the state";
        return false;
    }

    // One pass against the calendar at `url` with a client of its own; the requests it sent go to
    // `counted` (by method) and `multigets`.
    memosync::SyncResult Sync(const std::string& url, HttpClient& http, int& multigets) {
        CountedCollection collection(http, url);
        memosync::SyncInput input;
        input.store = store;
        input.now = "2026-12-09 10:00";
        const memosync::SyncResult result = memosync::Sync(input, collection, state, *this);
        multigets += collection.multigets;
        return result;
    }

private:
    fs::path folder_;
    int id_ = ++devices_;
    static inline int devices_ = 0;
};

// Ten years of memos of one to four lines, Japanese and not, ending on 2026-12-08: the memo file's
// store, and the same days as one VCALENDAR of their events.
struct TenYears {
    std::string store;
    std::string calendar;
};

TenYears TenYearsOfMemos() {
    static const char* const lines[] = {
        "10:00 歯医者",     "買い物: 牛乳、卵、パン",   "15:00 会議 (第二会議室)",
        "ジムで1時間",      "Call Tanaka re: Q3",       "レポート提出〆切",
        "雨。傘を忘れずに", "19:30 夕食 with 佐藤さん", "読書: 坂の上の雲 3巻",
        "pay rent",         "燃えるゴミの日",           "12:00 ランチ 駅前のそば屋",
        "定期券の更新",     "誕生日プレゼントを買う",   "TODO: backup the NAS",
        "散歩 5km",
    };
    std::mt19937 random(20261209);
    TenYears out;
    out.calendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Velmora//bench//JA\r\n";
    const std::chrono::sys_days last =
        std::chrono::year_month_day{std::chrono::year{2026}, std::chrono::month{12}, std::chrono::day{8}};
    for (int i = kDays - 1; i >= 0; --i) {
        const std::chrono::year_month_day date{last - std::chrono::days{i}};
        std::string text;
        const auto count = 1 + random() % 4;
        for (unsigned line = 0; line < count; ++line) {
            if (line > 0) text += '\n';
            text += lines[random() % std::size(lines)];
        }
        const int year = static_cast<int>(date.year());
        const int month = static_cast<int>(unsigned{date.month()});
        const int day = static_cast<int>(unsigned{date.day()});
        AppendMemoRecord(out.store, year - 1900, month - 1, day, memosync::MemoOfServerText(text));
        char ymd[16];
        std::snprintf(ymd, sizeof ymd, "%04d%02d%02d", year, month, day);
        const std::string one = memosync::DayCalendar(ymd, text, "20261209T000000Z");
        const auto begin = one.find("BEGIN:VEVENT");
        const auto end = one.find("END:VCALENDAR");
        out.calendar += one.substr(begin, end - begin);
    }
    out.calendar += "END:VCALENDAR\r\n";
    return out;
}

// What the benchmarks share: the server, and a calendar that holds the ten years once the first
// upload has run.
struct Bench {
    Radicale server;
    TenYears memos = TenYearsOfMemos();
    fs::path root = fs::temp_directory_path() / ("velmora-sync-bench-" + std::to_string(::getpid()));
    std::string calendar;  // "" until uploaded
    int calendars = 0;

    // Makes an empty calendar of a new name; "" and `error` set when the server would not.
    std::string NewCalendar(std::string& error) {
        HttpClient http(Login());
        const auto found = memosync::DiscoverCalendar(http, server.url, "Bench" + std::to_string(++calendars), error);
        return found ? found->calendarUrl : std::string();
    }
};

Bench& Shared() {
    static Bench bench;
    return bench;
}

void Report(benchmark::State& state, const HttpClient& http, int multigets, const memosync::SyncResult& result) {
    const auto perPass = benchmark::Counter::kAvgIterations;
    state.counters["requests"] = benchmark::Counter(http.RequestCount(), perPass);
    for (const char* method : {"REPORT", "PROPFIND", "PUT", "DELETE", "GET", "HEAD"})
        state.counters[method] = benchmark::Counter(http.RequestCount(method), perPass);
    state.counters["multigets"] = benchmark::Counter(multigets, perPass);
    state.counters["up"] = result.up;
    state.counters["down"] = result.down;
}

bool Failed(benchmark::State& state, const memosync::SyncResult& result) {
    if (result.ok) return false;
    state.SkipWithError(("the pass failed: " + result.error).c_str());
    return true;
}

// An empty calendar of a new name and a device holding the ten years, ready for a first upload;
// std::nullopt and the benchmark skipped when the server would not make the calendar.
struct FreshUpload {
    std::string url;
    std::unique_ptr<Device> device;
};

std::optional<FreshUpload> PrepareUpload(benchmark::State& state) {
    Bench& bench = Shared();
    std::string error;
    FreshUpload upload{bench.NewCalendar(error), std::make_unique<Device>(bench.root / "upload")};
    if (upload.url.empty()) {
        state.SkipWithError(error.c_str());
        return std::nullopt;
    }
    upload.device->store = bench.memos.store;
    return upload;
}

bool ServerUp(benchmark::State& state) {
    if (!Shared().server.url.empty()) return true;
    state.SkipWithError("Radicale did not start");
    return false;
}

void BM_FirstUploadOfTenYears(benchmark::State& state) {
    if (!ServerUp(state)) return;
    HttpClient http(Login());
    int multigets = 0;
    memosync::SyncResult result;
    for (auto _ : state) {
        state.PauseTiming();
        const std::optional<FreshUpload> upload = PrepareUpload(state);
        if (!upload) return;
        state.ResumeTiming();
        result = upload->device->Sync(upload->url, http, multigets);
        if (Failed(state, result)) return;
        // The last calendar uploaded is the one the benchmarks below read.
        Shared().calendar = upload->url;
    }
    Report(state, http, multigets, result);
}
BENCHMARK(BM_FirstUploadOfTenYears)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// The calendar of ten years; when the upload benchmark did not run, a new one filled by a single
// PUT of the whole collection (Radicale takes that; a PUT per item costs it minutes), untimed,
// before the benchmark's loop. "" on failure.
std::string Uploaded(benchmark::State& state) {
    Bench& bench = Shared();
    if (!ServerUp(state)) return {};
    if (bench.calendar.empty()) {
        std::string error;
        const std::string url = bench.NewCalendar(error);
        memosync::HttpOptions slow = Login();
        slow.totalSeconds = 600;  // Radicale checks each of the 3,650 items as it stores them
        HttpClient http(slow);
        const memosync::HttpResponse put =
            url.empty()
                ? memosync::HttpResponse{}
                : http.Send({"PUT", url, {{"Content-Type", "text/calendar; charset=utf-8"}}, bench.memos.calendar});
        if (put.status / 100 != 2) {
            state.SkipWithError(("the calendar could not be filled: " + error + put.error).c_str());
            return {};
        }
        bench.calendar = url;
    }
    return bench.calendar;
}

void BM_FirstDownloadOfTenYears(benchmark::State& state) {
    const std::string url = Uploaded(state);
    if (url.empty()) return;
    HttpClient http(Login());
    int multigets = 0;
    memosync::SyncResult result;
    for (auto _ : state) {
        state.PauseTiming();
        auto device = std::make_unique<Device>(Shared().root / "download");
        state.ResumeTiming();
        result = device->Sync(url, http, multigets);
        if (Failed(state, result)) return;
        if (result.down != kDays) state.SkipWithError("the download did not bring every memo");
    }
    Report(state, http, multigets, result);
}
BENCHMARK(BM_FirstDownloadOfTenYears)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

// A device that holds the ten years in sync with the calendar, its first pass after them done.
std::unique_ptr<Device> InSync(benchmark::State& state, const std::string& url, const char* name) {
    auto device = std::make_unique<Device>(Shared().root / name);
    HttpClient http(Login());
    int multigets = 0;
    for (int pass = 0; pass < 2; ++pass) {
        if (Failed(state, device->Sync(url, http, multigets))) return nullptr;
    }
    return device;
}

void BM_SyncWithNothingChanged(benchmark::State& state) {
    const std::string url = Uploaded(state);
    if (url.empty()) return;
    const auto device = InSync(state, url, "unchanged");
    if (!device) return;
    HttpClient http(Login());
    int multigets = 0;
    memosync::SyncResult result;
    for (auto _ : state) {
        result = device->Sync(url, http, multigets);
        if (Failed(state, result)) return;
    }
    Report(state, http, multigets, result);
}
BENCHMARK(BM_SyncWithNothingChanged)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

// Each pass: one memo edited here, another edited on the server by a second client (the phone).
void BM_SyncWithOneMemoChangedOnEachSide(benchmark::State& state) {
    const std::string url = Uploaded(state);
    if (url.empty()) return;
    const auto device = InSync(state, url, "changed");
    if (!device) return;
    HttpClient phone(Login());
    CalDavCollection phoneSide(phone, url);
    HttpClient http(Login());
    int multigets = 0;
    memosync::SyncResult result;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        // Here: the memo of 2026-11-<round % 28 + 1> gets a line.
        const int day = round % 28 + 1;
        std::optional<std::string> memo = TakeMemoRecord(device->store, 126, 10, day);
        AppendMemoRecord(device->store, 126, 10, day,
                         memo.value_or("") + memosync::MemoOfServerText("\n追記 " + std::to_string(round)));
        // There: the memo of 2025-<round % 12 + 1>-15 edited by the phone.
        char date[9];
        std::snprintf(date, sizeof date, "2025%02d15", round % 12 + 1);
        const auto known = device->state.days.find(date);
        if (known == device->state.days.end()) {
            state.SkipWithError("the phone's day is not in the state");
            return;
        }
        const memosync::PutResult put = phoneSide.Put(
            known->second.href,
            memosync::DayCalendar(date, known->second.base + "\nphone " + std::to_string(round), memosync::StampNow()),
            known->second.etag);
        if (put.outcome != memosync::PutOutcome::Stored) {
            state.SkipWithError(("the phone's edit was not stored: " + put.error).c_str());
            return;
        }
        state.ResumeTiming();
        result = device->Sync(url, http, multigets);
        if (Failed(state, result)) return;
        if (result.up != 1 || result.down != 1) state.SkipWithError("the pass did not move one memo each way");
    }
    Report(state, http, multigets, result);
}
BENCHMARK(BM_SyncWithOneMemoChangedOnEachSide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
