// Kills a process that saves the four data files in a loop with SIGKILL, again and again, and
// checks after every kill that each file holds one complete store that a save wrote, that every
// holiday is in at least one holiday file though each save moves one of them to another file (as a
// change of its kind does), and that the program's start-up clean-up removes every temporary file
// a killed save left.
//
//   velmora_kill_loop [--kills N] [--max-delay-us U] [--seed S] [--dir DIR]
#include "model/data_files.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/text_file_format.h"
#include "model/year_calendar.h"

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kYear = 126;
constexpr int kHolidays = 12;

struct Stores {
    std::string memo;
    std::string fixed;
    std::string dynamic;
    std::string oneYear;
};

// The holiday file that holiday `h` lives in at save number `version`, 0..2: from one save to the
// next exactly one holiday, number version % kHolidays, moves on to the next file.
int HomeOf(int h, long long version) { return static_cast<int>((h + (version + kHolidays - h) / kHolidays) % 3); }

std::string HolidayRecord(int h, int file) {
    static const char* const kinds[] = {"0", "2", "100"};
    return std::to_string(h % 12 + 1) + "^" + std::to_string(h % 4 + 1) + "^h" + std::to_string(h) + "^" + kinds[file] +
           "~";
}

// The stores of save number `version`. The memo store starts with a marker record that holds the
// version, then a number of records that varies a lot, so that saves take very different times.
// The holiday stores hold the holidays where HomeOf puts them.
Stores StoresOf(long long version, bool withMemo = true) {
    Stores stores;
    for (int h = 0; h < kHolidays; ++h) {
        const int home = HomeOf(h, version);
        (home == 0 ? stores.fixed : home == 1 ? stores.dynamic : stores.oneYear) += HolidayRecord(h, home);
    }
    if (!withMemo) return stores;
    std::mt19937_64 random(static_cast<unsigned long long>(version) * 0x9E3779B97F4A7C15ull);
    stores.memo = "0^0^memo^" + std::to_string(version) + "~";
    const int memoRecords = random() % 8 == 0 ? 20000 : static_cast<int>(random() % 400);
    for (int i = 0; i < memoRecords; ++i) {
        const std::string text = "memo " + std::to_string(version) + " " + std::to_string(random() % 1000000) +
                                 (i % 5 == 0 ? "\r\nsecond line" : "");
        stores.memo += MakeMemoRecord(kYear, i % 12, i % 31 + 1, text);
    }
    return stores;
}

void SaveVersion(long long version) {
    const Stores stores = StoresOf(version);
    g_strMemoData = stores.memo;
    g_strStaticHoliday = stores.fixed;
    g_strDynamicHoliday = stores.dynamic;
    g_strYearHoliday = stores.oneYear;
    SaveMemoData();
    SaveHolidayData();
}

// Tells the parent through `ready` that saving begins, then saves newer and newer versions until
// it is killed.
[[noreturn]] void SaveForEver(long long firstVersion, int ready) {
    // A child that is somehow not killed ends by itself.
    ::alarm(60);
    const char byte = 1;
    if (::write(ready, &byte, 1) != 1) ::_exit(3);
    for (long long version = firstVersion;; ++version) SaveVersion(version);
}

std::string RawBytes(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) return "<missing>";
    std::string bytes;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

// Returns the version that the memo file's complete store holds, or -1 after printing why not.
long long CheckMemoFile() {
    const std::string raw = RawBytes(kMemoFile);
    const std::string store = ReadTextFile(kMemoFile);
    // The marker record: 0 ^ 0 ^ memo ^ version ~
    const MemoRecordFields marker = SplitMemoRecord(std::string_view(store).substr(0, store.find('~')));
    if (marker.text.empty() || marker.text.find_first_not_of("0123456789") != std::string_view::npos) {
        std::fprintf(stderr, "%s: no version marker; %zu bytes\n", kMemoFile, raw.size());
        return -1;
    }
    const long long version = std::atoll(std::string(marker.text).c_str());
    const std::string expected = StoresOf(version).memo;
    if (store != expected || raw != EncodeTextFile(expected)) {
        std::fprintf(stderr, "%s: version %lld is not complete: %zu bytes read, %zu expected\n", kMemoFile, version,
                     raw.size(), EncodeTextFile(expected).size());
        return -1;
    }
    return version;
}

// Returns the first version from `from` to `to` whose store the holiday file holds, byte for byte,
// or -1 after printing that it holds none of them.
long long CheckHolidayFile(const std::string& name, std::string Stores::*member, long long from, long long to) {
    const std::string raw = RawBytes(name);
    for (long long version = from; version <= to; ++version) {
        if (raw == EncodeTextFile(StoresOf(version, false).*member)) return version;
    }
    std::fprintf(stderr, "%s: %zu bytes that no save from %lld to %lld wrote\n", name.c_str(), raw.size(), from, to);
    return -1;
}

// Returns how many of the holidays no holiday file holds, printing each.
int LostHolidays(const std::string (&files)[4]) {
    std::string all;
    for (int f = 1; f < 4; ++f) all += ReadTextFile(files[f]);
    int lost = 0;
    for (int h = 0; h < kHolidays; ++h) {
        if (all.find("^h" + std::to_string(h) + "^") == std::string::npos) {
            std::fprintf(stderr, "holiday h%d is in no holiday file\n", h);
            ++lost;
        }
    }
    return lost;
}

// Returns how many files whose names start with "." and end with ".tmp" the folder holds.
int CountTempFiles() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name[0] == '.' && name.ends_with(".tmp")) ++count;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    int kills = 1000;
    // About one round of saves of all four files with their flushes, so that kills land anywhere in it.
    long maxDelayMicroseconds = 100000;
    unsigned long long seed = 20261207;
    std::string directory;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--kills")
            kills = std::atoi(argv[i + 1]);
        else if (option == "--max-delay-us")
            maxDelayMicroseconds = std::atol(argv[i + 1]);
        else if (option == "--seed")
            seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (option == "--dir")
            directory = argv[i + 1];
    }
    bool ownDirectory = false;
    if (directory.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-kill-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 2;
        }
        directory = pattern;
        ownDirectory = true;
    }
    std::filesystem::create_directories(directory);
    if (::chdir(directory.c_str()) != 0) {
        std::perror("chdir");
        return 2;
    }
    g_YearCalendar.year = kYear;
    SaveVersion(0);

    std::mt19937_64 random(seed);
    const std::string files[] = {kMemoFile, kStaticHolidayFile, kDynamicHolidayFile, YearHolidayFileName(kYear)};
    std::string Stores::*const members[] = {&Stores::memo, &Stores::fixed, &Stores::dynamic, &Stores::oneYear};
    long long previous[4] = {0, 0, 0, 0};
    int failures = 0;
    int killedMidSave = 0;
    int totalLeftovers = 0;
    int changed = 0;
    for (int kill = 1; kill <= kills; ++kill) {
        int ready[2];
        if (::pipe(ready) != 0) {
            std::perror("pipe");
            return 2;
        }
        const pid_t child = ::fork();
        if (child < 0) {
            std::perror("fork");
            return 2;
        }
        if (child == 0) {
            ::close(ready[0]);
            // Each child is a new start of the program: it reads the files as the last kill left
            // them and saves the last complete memo version again, so that every save is one move
            // away from what the holiday files hold (a kill may have cut the holiday save short).
            LoadHolidayData();
            SaveForEver(previous[0], ready[1]);
        }
        ::close(ready[1]);
        char byte = 0;
        if (::read(ready[0], &byte, 1) != 1)
            std::fprintf(stderr, "kill %d: the saving process did not start saving\n", kill);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(random() % static_cast<unsigned long long>(maxDelayMicroseconds + 1)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            std::fprintf(stderr, "kill %d: the saving process ended on its own (status %d)\n", kill, status);
            ++failures;
        }
        // What the kill left behind stays until the program's start-up clean-up, which must clear it.
        const int leftovers = CountTempFiles();
        if (leftovers > 0) ++killedMidSave;
        totalLeftovers += leftovers;
        if (RemoveLeftoverTempFiles() != leftovers || CountTempFiles() != 0) {
            std::fprintf(stderr, "kill %d: the start-up clean-up left temporary files\n", kill);
            ++failures;
        }

        bool anyChange = false;
        const long long memoVersion = CheckMemoFile();
        if (memoVersion < 0) {
            std::fprintf(stderr, "kill %d: %s is no complete store\n", kill, kMemoFile);
            ++failures;
        } else if (memoVersion < previous[0]) {
            std::fprintf(stderr, "kill %d: %s went back from version %lld to %lld\n", kill, kMemoFile, previous[0],
                         memoVersion);
            ++failures;
        } else {
            anyChange = memoVersion != previous[0];
            previous[0] = memoVersion;
        }
        // Each save writes the memo file first, so no holiday file is newer than the memo file.
        for (int f = 1; f < 4 && memoVersion >= 0; ++f) {
            const long long version = CheckHolidayFile(files[f], members[f], previous[f], memoVersion);
            if (version < 0) {
                std::fprintf(stderr, "kill %d: %s is no complete store\n", kill, files[f].c_str());
                ++failures;
                continue;
            }
            anyChange = anyChange || version != previous[f];
            previous[f] = version;
        }
        if (LostHolidays(files) > 0) {
            std::fprintf(stderr, "kill %d: a holiday moving to another file was lost\n", kill);
            ++failures;
        }
        if (anyChange) ++changed;
    }
    if (ownDirectory) {
        if (::chdir("/") == 0) std::filesystem::remove_all(directory);
    }
    std::printf(
        "kills: %d; after each, all 4 files and every holiday were checked: %d failures; kills that left "
        "temporary files (mid-save): %d, %d files in all, each removed by the start-up clean-up; kills after "
        "which a file had changed: %d\n",
        kills, failures, killedMidSave, totalLeftovers, changed);
    return failures == 0 ? 0 : 1;
}
