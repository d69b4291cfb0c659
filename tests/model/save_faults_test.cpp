// Fails every call of a save in turn and checks that each file holds its old or its new content.
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/text_file_format.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace std::string_literals;

namespace {

enum class Call { Open, Write, Sync, Chmod, Close, Rename, Stat, Access, Chown };

const char* CallName(Call call) {
    switch (call) {
    case Call::Open:
        return "open";
    case Call::Write:
        return "write";
    case Call::Sync:
        return "fsync";
    case Call::Chmod:
        return "fchmod";
    case Call::Close:
        return "close";
    case Call::Rename:
        return "rename";
    case Call::Stat:
        return "stat";
    case Call::Access:
        return "access";
    case Call::Chown:
        return "fchown";
    }
    return "?";
}

enum class Fault {
    FailOnce,        // the chosen call fails with `error`; later calls work
    FailFromThenOn,  // the chosen call and every later one fail, as on a disk that has died
    ShortWrite,      // a chosen write stores one byte; other calls work
};

struct Injected {
    Call call;
    bool onDirectory;  // the call concerned the directory flush after the rename
};

// Counts the calls of one save across all kinds and fails the chosen one.
struct Injector {
    Fault fault = Fault::FailOnce;
    int error = EIO;
    int failAt = 0;  // 1-based ordinal over all counted calls; 0 = none
    int count = 0;
    std::optional<Injected> injected;
    std::map<int, bool> fdIsDirectory;

    bool Fails(Call call, bool onDirectory) {
        ++count;
        const bool chosen = failAt != 0 && count == failAt;
        if (chosen) injected = Injected{call, onDirectory};
        if (fault == Fault::ShortWrite) return false;
        return chosen || (fault == Fault::FailFromThenOn && failAt != 0 && count > failAt);
    }
};

Injector g_injector;

bool IsDirectoryFd(int fd) {
    const auto it = g_injector.fdIsDirectory.find(fd);
    return it != g_injector.fdIsDirectory.end() && it->second;
}

FileSystemCalls InjectingCalls() {
    FileSystemCalls calls = RealFileSystemCalls();
    calls.openFile = [](const char* path, int flags, mode_t mode) {
        const bool directory = (flags & O_DIRECTORY) != 0 && (flags & O_PATH) == 0;
        if (g_injector.Fails(Call::Open, directory)) {
            errno = g_injector.error;
            return -1;
        }
        const int fd = ::open(path, flags, mode);
        if (fd >= 0) g_injector.fdIsDirectory[fd] = directory;
        return fd;
    };
    calls.writeFile = [](int fd, const void* buffer, std::size_t count) -> ssize_t {
        const bool chosen = g_injector.count + 1 == g_injector.failAt;
        if (g_injector.Fails(Call::Write, false)) {
            errno = g_injector.error;
            return -1;
        }
        if (chosen && g_injector.fault == Fault::ShortWrite && count > 1) count = 1;
        return ::write(fd, buffer, count);
    };
    calls.syncFile = [](int fd) {
        if (g_injector.Fails(Call::Sync, IsDirectoryFd(fd))) {
            errno = g_injector.error;
            return -1;
        }
        return ::fsync(fd);
    };
    calls.chmodFile = [](int fd, mode_t mode) {
        if (g_injector.Fails(Call::Chmod, false)) {
            errno = g_injector.error;
            return -1;
        }
        return ::fchmod(fd, mode);
    };
    calls.closeFile = [](int fd) {
        const bool directory = IsDirectoryFd(fd);
        g_injector.fdIsDirectory.erase(fd);
        // The descriptor is released either way, as close(2) does even when it reports an error.
        const int result = ::close(fd);
        if (g_injector.Fails(Call::Close, directory)) {
            errno = g_injector.error;
            return -1;
        }
        return result;
    };
    calls.renameFile = [](const char* from, const char* to) {
        if (g_injector.Fails(Call::Rename, false)) {
            errno = g_injector.error;
            return -1;
        }
        return ::rename(from, to);
    };
    calls.openAt = [](int directory, const char* path, int flags, mode_t mode) {
        // A readable descriptor of a folder is opened only to flush it after the rename; the
        // folder held for the files themselves is an O_PATH one.
        const bool isDirectory = (flags & O_DIRECTORY) != 0 && (flags & O_PATH) == 0;
        if (g_injector.Fails(Call::Open, isDirectory)) {
            errno = g_injector.error;
            return -1;
        }
        const int fd = ::openat(directory, path, flags, mode);
        if (fd >= 0) g_injector.fdIsDirectory[fd] = isDirectory;
        return fd;
    };
    calls.renameAt = [](int fromDirectory, const char* from, int toDirectory, const char* to) {
        if (g_injector.Fails(Call::Rename, false)) {
            errno = g_injector.error;
            return -1;
        }
        return ::renameat(fromDirectory, from, toDirectory, to);
    };
    calls.statFile = [](int fd, struct stat* status) {
        if (g_injector.Fails(Call::Stat, IsDirectoryFd(fd))) {
            errno = g_injector.error;
            return -1;
        }
        return ::fstat(fd, status);
    };
    calls.statAt = [](int directory, const char* path, struct stat* status, int flags) {
        if (g_injector.Fails(Call::Stat, false)) {
            errno = g_injector.error;
            return -1;
        }
        return ::fstatat(directory, path, status, flags);
    };
    calls.accessAt = [](int directory, const char* path, int mode, int flags) {
        if (g_injector.Fails(Call::Access, false)) {
            errno = g_injector.error;
            return -1;
        }
        return ::faccessat(directory, path, mode, flags);
    };
    calls.chownFile = [](int fd, uid_t owner, gid_t group) {
        if (g_injector.Fails(Call::Chown, false)) {
            errno = g_injector.error;
            return -1;
        }
        return ::fchown(fd, owner, group);
    };
    return calls;
}

constexpr const char* kMissing = "<missing>";

// One data file of a save: what it held before and what the save writes into it.
struct FileState {
    std::string name;
    std::string oldBytes;  // kMissing when the file does not exist before the save
    std::string newBytes;
};

struct SaveCase {
    const char* name;
    bool memo;        // SaveMemoData, else SaveHolidayData
    bool filesExist;  // the files exist before the save, with an old tail behind their NUL
};
void PrintTo(const SaveCase& row, std::ostream* out) { *out << row.name; }

class SaveFaultTest : public ModelTest {
protected:
    std::vector<FileState> Prepare(const SaveCase& c) {
        for (const std::string& name : DirectoryNames()) ::unlink(name.c_str());
        g_YearCalendar.year = 126;
        g_strMemoData = MakeMemoRecord(126, 11, 7, Sjis("会議") + "\r\n10:00") + MakeMemoRecord(126, 11, 8, "x");
        g_strStaticHoliday = Sjis("1^1^元旦^0~2^11^建国記念日^0~");
        g_strDynamicHoliday = Sjis("1^15^成人の日^2~");
        g_strYearHoliday = "5^6^one year^100~";
        std::vector<FileState> files;
        if (c.memo) {
            files.push_back({kMemoFile, "", EncodeTextFile(g_strMemoData)});
        } else {
            // In the order a save writes them: every store adds records, and the fixed-date file,
            // whose emptiness makes the next start fill in the built-in table, comes last.
            files.push_back({kDynamicHolidayFile, "", EncodeTextFile(g_strDynamicHoliday)});
            files.push_back({"126_holi.txt", "", EncodeTextFile(g_strYearHoliday)});
            files.push_back({kStaticHolidayFile, "", EncodeTextFile(g_strStaticHoliday)});
        }
        for (FileState& file : files)
            file.oldBytes = c.filesExist ? "9^9^old " + file.name + "^0~\0a longer old tail"s : kMissing;
        return files;
    }

    // Puts the old files back as another program would, and forgets them, as a new run would.
    static void Restore(const std::vector<FileState>& files) {
        ForgetDataFiles();
        ForgetHolidayFileStates();
        for (const FileState& file : files) {
            ::unlink(file.name.c_str());
            if (file.oldBytes != kMissing) {
                PutFileBytes(file.name, file.oldBytes);
                ASSERT_EQ(::chmod(file.name.c_str(), 0640), 0);
            }
        }
    }

    static int Save(const SaveCase& c) { return c.memo ? SaveMemoData() : SaveHolidayData(); }

    // Returns the names in the directory that are not data files of the save.
    static std::vector<std::string> StrayNames(const std::vector<FileState>& files) {
        std::vector<std::string> stray;
        for (const std::string& name : DirectoryNames()) {
            bool known = false;
            for (const FileState& file : files) known = known || file.name == name;
            if (!known) stray.push_back(name);
        }
        return stray;
    }

    // Runs the save once with no fault and returns how many calls it made.
    int CountCalls(const SaveCase& c, const std::vector<FileState>& files) {
        Restore(files);
        g_injector = Injector{};
        SetFileSystemCallsForTesting(InjectingCalls());
        const int result = Save(c);
        ResetFileSystemCalls();
        EXPECT_EQ(result, 1);
        return g_injector.count;
    }
};

const SaveCase kSaveCases[] = {
    {"memo file replaced", true, true},
    {"memo file created", true, false},
    {"holiday files replaced", false, true},
    {"holiday files created", false, false},
};

struct FaultCase {
    const char* name;
    Fault fault;
    int error;
};
void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }

const FaultCase kFaultCases[] = {
    {"one call fails with EIO", Fault::FailOnce, EIO},
    {"one call fails with ENOSPC", Fault::FailOnce, ENOSPC},
    {"one call is interrupted", Fault::FailOnce, EINTR},
    {"every call fails from then on", Fault::FailFromThenOn, EIO},
    {"one write stores a single byte", Fault::ShortWrite, 0},
};

class EveryCallTest : public SaveFaultTest, public ::testing::WithParamInterface<std::tuple<SaveCase, FaultCase>> {};

TEST_P(EveryCallTest, EveryFailingCallLeavesEachFileOldOrNewAndNoTemporaryFile) {
    const auto& [c, f] = GetParam();
    const std::vector<FileState> files = Prepare(c);
    const std::string memo = g_strMemoData;
    const std::string fixed = g_strStaticHoliday;
    const int total = CountCalls(c, files);
    // Each file takes at least: open, write, fsync, close, rename of its temporary file.
    ASSERT_GE(total, static_cast<int>(files.size()) * 5);

    for (int n = 1; n <= total; ++n) {
        SCOPED_TRACE("call " + std::to_string(n) + " of " + std::to_string(total));
        Restore(files);
        g_injector = Injector{};
        g_injector.fault = f.fault;
        g_injector.error = f.error;
        g_injector.failAt = n;
        SetFileSystemCallsForTesting(InjectingCalls());
        const int result = Save(c);
        ResetFileSystemCalls();

        if (!g_injector.injected.has_value()) {
            ADD_FAILURE() << "the save made fewer calls than the run without a fault";
            continue;
        }
        const Injected injected = *g_injector.injected;
        SCOPED_TRACE(std::string("failed call: ") + CallName(injected.call) +
                     (injected.onDirectory ? " of the directory" : ""));

        // The directory flush (its open, fsync and close) comes after the rename, so its failure
        // loses nothing; a retried
        // interrupted write and a short write lose nothing either.
        const bool harmless =
            f.fault == Fault::ShortWrite || injected.onDirectory || (f.error == EINTR && injected.call == Call::Write);
        if (f.fault != Fault::FailFromThenOn) {
            EXPECT_EQ(result, harmless ? 1 : 0);
        } else if (!harmless) {
            EXPECT_EQ(result, 0);
        }

        // Holiday files are written in order and the save stops at the first failure: new files,
        // then old ones.
        bool sawOld = false;
        for (const FileState& file : files) {
            const std::string bytes = FileBytes(file.name);
            const bool isNew = bytes == file.newBytes;
            EXPECT_TRUE(isNew || bytes == file.oldBytes) << file.name << ": " << HexBytes(bytes);
            if (result == 1) {
                EXPECT_TRUE(isNew) << file.name;
            }
            if (sawOld) {
                EXPECT_FALSE(isNew) << file.name << " was written after a failed file";
            }
            sawOld = sawOld || !isNew;
            if (isNew && file.oldBytes != kMissing) {
                struct stat status {};
                EXPECT_EQ(::stat(file.name.c_str(), &status), 0);
                EXPECT_EQ(status.st_mode & 07777, 0640u) << file.name;
            }
        }
        if (result == 0) {
            EXPECT_TRUE(sawOld);
        }
        EXPECT_EQ(StrayNames(files), std::vector<std::string>{});
        EXPECT_EQ(g_strMemoData, memo);
        EXPECT_EQ(g_strStaticHoliday, fixed);
    }
}

// Names each case after its save and its fault.
std::string SaveAndFaultName(const ::testing::TestParamInfo<std::tuple<SaveCase, FaultCase>>& row) {
    return TestNameOf(std::string(std::get<0>(row.param).name) + ", " + std::get<1>(row.param).name);
}

INSTANTIATE_TEST_SUITE_P(Rows, EveryCallTest,
                         ::testing::Combine(::testing::ValuesIn(kSaveCases), ::testing::ValuesIn(kFaultCases)),
                         SaveAndFaultName);

TEST_F(SaveFaultTest, FailureOfOneHolidayFileLeavesTheLaterFilesUntouched) {
    const SaveCase c{"holiday files replaced", false, true};
    const std::vector<FileState> files = Prepare(c);
    const int total = CountCalls(c, files);
    // Fail the rename of each file in turn: that file and the ones after it keep their old bytes.
    int renames = 0;
    for (int n = 1; n <= total; ++n) {
        Restore(files);
        g_injector = Injector{};
        g_injector.error = EXDEV;
        g_injector.failAt = n;
        SetFileSystemCallsForTesting(InjectingCalls());
        const int result = SaveHolidayData();
        ResetFileSystemCalls();
        if (g_injector.injected->call != Call::Rename) continue;
        SCOPED_TRACE("rename of file " + std::to_string(renames + 1));
        EXPECT_EQ(result, 0);
        for (std::size_t i = 0; i < files.size(); ++i) {
            const bool written = static_cast<int>(i) < renames;
            EXPECT_EQ(FileBytes(files[i].name), written ? files[i].newBytes : files[i].oldBytes) << files[i].name;
        }
        ++renames;
    }
    EXPECT_EQ(renames, 3);
}

}  // namespace
