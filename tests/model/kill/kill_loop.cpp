// Kills a process that saves the four data files in a loop with SIGKILL, again and again, and
// checks after every kill that each file holds one complete store that a save wrote.
//
//   velmora_kill_loop [--kills N] [--max-delay-us U] [--seed S] [--dir DIR]
#include "model/data_files.h"
#include "model/record.h"
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
constexpr long long kVersionsPerChild = 1000000;

struct Stores {
    std::string memo;
    std::string fixed;
    std::string dynamic;
    std::string oneYear;
};

// The stores of save number `version`: a marker record with the version first, then a number of
// records that varies a lot, so that saves take very different times.
Stores StoresOf(long long version) {
    std::mt19937_64 random(static_cast<unsigned long long>(version) * 0x9E3779B97F4A7C15ull);
    const auto marker = [version](const char* what) {
        return "0^0^" + std::string(what) + "^" + std::to_string(version) + "~";
    };
    Stores stores;
    stores.memo = marker("memo");
    const int memoRecords = random() % 8 == 0 ? 20000 : static_cast<int>(random() % 400);
    for (int i = 0; i < memoRecords; ++i) {
        const std::string text = "memo " + std::to_string(version) + " " + std::to_string(random() % 1000000) +
                                 (i % 5 == 0 ? "\r\nsecond line" : "");
        stores.memo += MakeMemoRecord(kYear, i % 12, i % 31 + 1, text);
    }
    stores.fixed = marker("fixed");
    stores.dynamic = marker("dynamic");
    stores.oneYear = marker("year");
    for (int i = 0; i < static_cast<int>(random() % 60); ++i) {
        stores.fixed +=
            std::to_string(i % 12 + 1) + "^" + std::to_string(i % 28 + 1) + "^fixed " + std::to_string(version) + "^0~";
        stores.dynamic +=
            std::to_string(i % 12 + 1) + "^" + std::to_string(i % 5 + 1) + "^rule^" + std::to_string(i % 5 + 1) + "~";
        stores.oneYear += std::to_string(i % 12 + 1) + "^" + std::to_string(i % 28 + 1) + "^once^100~";
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

// Returns the version of the complete store that the file holds, or -1 after printing why not.
long long CheckFile(const std::string& name, std::string Stores::*member) {
    const std::string raw = RawBytes(name);
    const std::string store = ReadTextFile(name);
    // The marker record: 0 ^ 0 ^ what ^ version ~
    std::string_view rest = store;
    std::string_view fields = CutRecord(rest);
    std::string_view field;
    for (int i = 0; i < 3; ++i) CutField(fields, field);
    CutField(fields, field);
    if (field.empty() || field.find_first_not_of("0123456789") != std::string_view::npos) {
        std::fprintf(stderr, "%s: no version marker; %zu bytes\n", name.c_str(), raw.size());
        return -1;
    }
    const long long version = std::atoll(std::string(field).c_str());
    const std::string expected = StoresOf(version).*member;
    if (store != expected || raw != EncodeTextFile(expected)) {
        std::fprintf(stderr, "%s: version %lld is not complete: %zu bytes read, %zu expected\n", name.c_str(), version,
                     raw.size(), EncodeTextFile(expected).size());
        return -1;
    }
    return version;
}

// Removes the temporary files that a killed save left behind; returns how many there were.
int RemoveLeftovers() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name[0] == '.' && name.ends_with(".tmp")) {
            std::filesystem::remove(entry.path());
            ++count;
        }
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
            SaveForEver(kill * kVersionsPerChild, ready[1]);
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
        if (RemoveLeftovers() > 0) ++killedMidSave;

        long long versions[4];
        bool anyChange = false;
        for (int f = 0; f < 4; ++f) {
            versions[f] = CheckFile(files[f], members[f]);
            if (versions[f] < 0) {
                std::fprintf(stderr, "kill %d: %s is no complete store\n", kill, files[f].c_str());
                ++failures;
                continue;
            }
            if (versions[f] < previous[f]) {
                std::fprintf(stderr, "kill %d: %s went back from version %lld to %lld\n", kill, files[f].c_str(),
                             previous[f], versions[f]);
                ++failures;
            }
            anyChange = anyChange || versions[f] != previous[f];
            previous[f] = versions[f];
        }
        // The memo file is saved first and the holiday files in order, so later files never run ahead.
        for (int f = 1; f < 4; ++f) {
            if (versions[f] >= 0 && versions[f - 1] >= 0 && versions[f] > versions[f - 1]) {
                std::fprintf(stderr, "kill %d: %s is newer than %s\n", kill, files[f].c_str(), files[f - 1].c_str());
                ++failures;
            }
        }
        if (anyChange) ++changed;
    }
    if (ownDirectory) {
        if (::chdir("/") == 0) std::filesystem::remove_all(directory);
    }
    std::printf(
        "kills: %d; after each, all 4 files were checked: %d failures; kills that left a temporary file "
        "(mid-save): %d; kills after which a file had changed: %d\n",
        kills, failures, killedMidSave, changed);
    return failures == 0 ? 0 : 1;
}
