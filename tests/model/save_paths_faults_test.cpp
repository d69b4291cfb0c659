// Fails each call of a save in turn on the paths beyond a plain replace (through a link, in place
// of a hard-linked file, with a conflict copy, with a copy of a foreign file, for another user's
// file) and checks that the data file holds its old or its new bytes, and every copy theirs; and
// that the drafts and the recovery copies go through the same calls, telling each failure.
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/memo_draft_file.h"
#include "model/recovery.h"
#include "model/text_file_format.h"
#include "tests/model/model_test_support.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Counts every call and fails the chosen one with EIO.
struct Injector {
    int failAt = 0;  // 1-based; 0 = none
    int count = 0;
    bool Fails() { return ++count == failAt; }
};

Injector g_injector;

template <typename Result>
Result Failed() {
    errno = EIO;
    return static_cast<Result>(-1);
}

FileSystemCalls CountingCalls() {
    FileSystemCalls calls = RealFileSystemCalls();
    calls.openFile = [](const char* path, int flags, mode_t mode) {
        return g_injector.Fails() ? Failed<int>() : ::open(path, flags, mode);
    };
    calls.readFile = [](int fd, void* buffer, std::size_t count) {
        return g_injector.Fails() ? Failed<ssize_t>() : ::read(fd, buffer, count);
    };
    calls.writeFile = [](int fd, const void* buffer, std::size_t count) {
        return g_injector.Fails() ? Failed<ssize_t>() : ::write(fd, buffer, count);
    };
    calls.syncFile = [](int fd) { return g_injector.Fails() ? Failed<int>() : ::fsync(fd); };
    calls.chmodFile = [](int fd, mode_t mode) { return g_injector.Fails() ? Failed<int>() : ::fchmod(fd, mode); };
    calls.closeFile = [](int fd) {
        // The descriptor is released either way, as close(2) does even when it reports an error.
        const int result = ::close(fd);
        return g_injector.Fails() ? Failed<int>() : result;
    };
    calls.statFile = [](int fd, struct stat* status) {
        return g_injector.Fails() ? Failed<int>() : ::fstat(fd, status);
    };
    calls.openAt = [](int directory, const char* path, int flags, mode_t mode) {
        return g_injector.Fails() ? Failed<int>() : ::openat(directory, path, flags, mode);
    };
    calls.statAt = [](int directory, const char* path, struct stat* status, int flags) {
        return g_injector.Fails() ? Failed<int>() : ::fstatat(directory, path, status, flags);
    };
    calls.readLinkAt = [](int directory, const char* path, char* buffer, std::size_t size) {
        return g_injector.Fails() ? Failed<ssize_t>() : ::readlinkat(directory, path, buffer, size);
    };
    calls.renameAt = [](int fromDirectory, const char* from, int toDirectory, const char* to) {
        return g_injector.Fails() ? Failed<int>() : ::renameat(fromDirectory, from, toDirectory, to);
    };
    calls.linkAt = [](int fromDirectory, const char* from, int toDirectory, const char* to, int flags) {
        return g_injector.Fails() ? Failed<int>() : ::linkat(fromDirectory, from, toDirectory, to, flags);
    };
    calls.unlinkAt = [](int directory, const char* path, int flags) {
        return g_injector.Fails() ? Failed<int>() : ::unlinkat(directory, path, flags);
    };
    calls.accessAt = [](int directory, const char* path, int mode, int flags) {
        return g_injector.Fails() ? Failed<int>() : ::faccessat(directory, path, mode, flags);
    };
    calls.chownFile = [](int fd, uid_t owner, gid_t group) {
        return g_injector.Fails() ? Failed<int>() : ::fchown(fd, owner, group);
    };
    calls.truncateFile = [](int fd, off_t length) {
        return g_injector.Fails() ? Failed<int>() : ::ftruncate(fd, length);
    };
    return calls;
}

const std::string kOld = "126^11^7^old~\0a longer old tail"s;
const std::string kTheirs = "126^11^7^theirs, saved meanwhile~\0"s;
const std::string kNewStore = "126^11^7^new~";

struct PathCase {
    const char* name;
    std::string file;                 // where the data file's bytes lie
    std::string otherName;            // a second hard link to it, or ""
    std::function<void()> prepare;    // before the read
    std::function<void()> meanwhile;  // between the read and the save
    std::string before;               // the file's bytes just before the save
    bool needsRoot;
};
void PrintTo(const PathCase& row, std::ostream* out) { *out << row.name; }

uid_t SomeOtherUser() {
    for (const char* name : {"velmora-other", "velmora-e2e", "nobody"})
        if (const passwd* user = ::getpwnam(name)) return user->pw_uid;
    return 65534;
}

const PathCase kPathCases[] = {
    {"through the user's link", "data/memo.txt", "",
     [] {
         ASSERT_EQ(::mkdir("data", 0755), 0);
         PutFileBytes("data/memo.txt", kOld);
         ASSERT_EQ(::symlink("data/memo.txt", kMemoFile), 0);
     },
     [] {}, kOld, false},
    {"hard-linked file written in place", kMemoFile, "second-name.txt",
     [] {
         PutFileBytes(kMemoFile, kOld);
         ASSERT_EQ(::link(kMemoFile, "second-name.txt"), 0);
     },
     [] {}, kOld, false},
    {"changed meanwhile, theirs kept", kMemoFile, "", [] { PutFileBytes(kMemoFile, kOld); },
     [] {
         PutFileBytes("theirs.tmp", kTheirs);
         ASSERT_EQ(::rename("theirs.tmp", kMemoFile), 0);
     },
     kTheirs, false},
    {"hard-linked file changed meanwhile", kMemoFile, "second-name.txt",
     [] {
         PutFileBytes(kMemoFile, kOld);
         ASSERT_EQ(::link(kMemoFile, "second-name.txt"), 0);
     },
     [] { PutFileBytes("second-name.txt", kTheirs); }, kTheirs, false},
    {"foreign file, original kept", kMemoFile, "",
     [] {
         PutFileBytes(kMemoFile,
                      "\xFF\xFE"
                      "1\0^\0"
                      "2\0~\0"s);
     },
     [] {},
     "\xFF\xFE"
     "1\0^\0"
     "2\0~\0"s,
     false},
    {"another user's file, owner kept", kMemoFile, "",
     [] {
         PutFileBytes(kMemoFile, kOld);
         ASSERT_EQ(::chown(kMemoFile, SomeOtherUser(), SomeOtherUser()), 0);
     },
     [] {}, kOld, true},
};

class SavePathFaultTest : public ModelTest, public ::testing::WithParamInterface<PathCase> {
protected:
    void Prepare() {
        for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry.path());
        ForgetDataFiles();
        GetParam().prepare();
        ReadTextFile(kMemoFile);
        GetParam().meanwhile();
        ASSERT_EQ(FileBytes(GetParam().file), GetParam().before);
    }

    int SaveFailingAt(int n) {
        g_injector = Injector{};
        g_injector.failAt = n;
        SetFileSystemCallsForTesting(CountingCalls());
        const int result = WriteTextFile(kMemoFile, kNewStore);
        ResetFileSystemCalls();
        return result;
    }
};

TEST_P(SavePathFaultTest, EachFailingCallLeavesTheOldBytesOrTheNewAndEveryCopyTheirs) {
    const PathCase& c = GetParam();
    if (c.needsRoot && ::geteuid() != 0) GTEST_SKIP() << "needs root, to give the file to another user";
    Prepare();
    ASSERT_EQ(SaveFailingAt(0), 1);
    const int total = g_injector.count;
    const uid_t owner = ::geteuid() == 0 ? [&] {
        struct stat status {};
        ::stat(c.file.c_str(), &status);
        return status.st_uid;
    }() : ::geteuid();
    ASSERT_GE(total, 8);
    const std::string newBytes = EncodeTextFile(kNewStore);

    int failures = 0;
    for (int n = 1; n <= total; ++n) {
        SCOPED_TRACE("call " + std::to_string(n) + " of " + std::to_string(total));
        Prepare();
        const int result = SaveFailingAt(n);
        failures += result == 0 ? 1 : 0;

        const std::string bytes = FileBytes(c.file);
        EXPECT_EQ(HexBytes(bytes), HexBytes(result == 1 ? newBytes : c.before));
        if (!c.otherName.empty()) {
            EXPECT_EQ(FileBytes(c.otherName), bytes) << "the hard link was split";
        }
        struct stat status {};
        ASSERT_EQ(::stat(c.file.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, owner);
        // Whatever copy a save made holds the bytes that stood there before it.
        for (const std::string folder : {".", "data"}) {
            if (!std::filesystem::is_directory(folder)) continue;
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                const std::string name = entry.path().filename().string();
                EXPECT_FALSE(name.ends_with(".tmp")) << "temporary file left: " << name;
                if (name.find(".conflict-") != std::string::npos || name.find(".orig-") != std::string::npos ||
                    name.ends_with(".bak")) {
                    EXPECT_EQ(HexBytes(FileBytes(entry.path().string())), HexBytes(c.before)) << name;
                }
            }
        }
    }
    // Most calls of a save are needed for it; a sweep where none mattered tested nothing.
    EXPECT_GT(failures, total / 2);
}

INSTANTIATE_TEST_SUITE_P(Rows, SavePathFaultTest, ::testing::ValuesIn(kPathCases), RowName());

int g_failedCalls = 0;

// The calls with every read, or every write, failing with EIO, as on a disk that has died.
FileSystemCalls FailingEvery(bool reads) {
    g_failedCalls = 0;
    FileSystemCalls calls = RealFileSystemCalls();
    if (reads) {
        calls.readFile = [](int, void*, std::size_t) { return ++g_failedCalls, Failed<ssize_t>(); };
    } else {
        calls.writeFile = [](int, const void*, std::size_t) { return ++g_failedCalls, Failed<ssize_t>(); };
    }
    return calls;
}

struct SeamCase {
    const char* name;
    bool reads;                     // reads fail, else writes
    std::function<void()> prepare;  // with the real calls
    std::function<bool()> run;      // returns whether it reported success
    std::function<void()> after;    // with the real calls again
};
void PrintTo(const SeamCase& row, std::ostream* out) { *out << row.name; }

const SeamCase kSeamCases[] = {
    {"memo draft written", false, [] {}, [] { return WriteMemoDraft(126, 11, 7, "typed"); },
     [] {
         EXPECT_FALSE(ReadMemoDraft());
         EXPECT_TRUE(std::filesystem::is_empty(DraftFolder())) << "a temporary file was left";
     }},
    {"memo draft read", true, [] { ASSERT_TRUE(WriteMemoDraft(126, 11, 7, "typed")); },
     [] { return ReadMemoDraft().has_value(); },
     [] {
         const std::optional<MemoDraft> draft = ReadMemoDraft();
         ASSERT_TRUE(draft);
         EXPECT_EQ(draft->text, "typed");
     }},
    {"recovery copy written", false, [] {}, [] { return !WriteRecoveryCopy(kMemoFile, "126^11^7^x~").empty(); },
     [] {
         EXPECT_TRUE(TakeUntoldRecoveryCopies().empty());
         for (const auto& entry : std::filesystem::recursive_directory_iterator("."))
             EXPECT_FALSE(entry.is_regular_file()) << "left behind: " << entry.path();
     }},
    {"list of untold recovery copies read", true, [] { ASSERT_NE(WriteRecoveryCopy(kMemoFile, "126^11^7^x~"), ""); },
     [] { return !TakeUntoldRecoveryCopies().empty(); },
     // The list that could not be read stays, to be told at a later start.
     [] { EXPECT_EQ(TakeUntoldRecoveryCopies().size(), 1u); }},
};

class SeamFaultTest : public ModelTest, public ::testing::WithParamInterface<SeamCase> {};

TEST_P(SeamFaultTest, EveryFailingCallGoesThroughTheSeamAndIsToldAsAFailure) {
    const SeamCase& c = GetParam();
    c.prepare();
    SetFileSystemCallsForTesting(FailingEvery(c.reads));
    const bool succeeded = c.run();
    ResetFileSystemCalls();
    EXPECT_GT(g_failedCalls, 0) << "no call went through the seam";
    EXPECT_FALSE(succeeded);
    c.after();
}

INSTANTIATE_TEST_SUITE_P(Rows, SeamFaultTest, ::testing::ValuesIn(kSeamCases), RowName());

}  // namespace
