// Data files that cannot be read, cannot be written, are large, random or in another encoding: the
// stores show what can be read, and no file that could not be read is ever replaced.
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/memo_store.h"
#include "model/record.h"
#include "model/text_file_format.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

using HostileFilesTest = ModelTest;

const std::string kOldMemo = "126^11^7^keep me~\0"s;

// Which call of a read fails, and how.
struct ReadFault {
    const char* name;
    int failingCall;  // 0 open, 1 fstat, 2 the first read
    int error;
};
void PrintTo(const ReadFault& row, std::ostream* out) { *out << row.name; }

int g_readFaultCall = -1;
int g_readFaultError = 0;

FileSystemCalls FailingReadCalls() {
    FileSystemCalls calls = RealFileSystemCalls();
    calls.openAt = [](int directory, const char* path, int flags, mode_t mode) {
        if (g_readFaultCall == 0) {
            errno = g_readFaultError;
            return -1;
        }
        return ::openat(directory, path, flags, mode);
    };
    calls.statFile = [](int fd, struct stat* status) {
        if (g_readFaultCall == 1) {
            errno = g_readFaultError;
            return -1;
        }
        return ::fstat(fd, status);
    };
    calls.readFile = [](int fd, void* buffer, std::size_t count) -> ssize_t {
        if (g_readFaultCall == 2) {
            errno = g_readFaultError;
            return -1;
        }
        return ::read(fd, buffer, count);
    };
    return calls;
}

class UnreadFileTest : public ModelTest, public ::testing::WithParamInterface<ReadFault> {};

TEST_P(UnreadFileTest, FileThatCouldNotBeReadIsNeverReplaced) {
    const ReadFault& f = GetParam();
    PutFileBytes(kMemoFile, kOldMemo);
    g_readFaultCall = f.failingCall;
    g_readFaultError = f.error;
    SetFileSystemCallsForTesting(FailingReadCalls());
    EXPECT_EQ(LoadMemoData(), 0);
    ResetFileSystemCalls();
    EXPECT_EQ(g_strMemoData, "");
    EXPECT_TRUE(IsUnreadableFile(kMemoFile));

    // The user's new memo cannot take the place of the ones that could not be read.
    g_strMemoData = MakeMemoRecord(126, 11, 8, "new");
    EXPECT_EQ(SaveMemoData(), 0);
    EXPECT_EQ(FileBytes(kMemoFile), kOldMemo);
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{kMemoFile});

    // Once a read succeeds, the store holds the file again and may replace it.
    EXPECT_EQ(LoadMemoData(), 1);
    EXPECT_FALSE(IsUnreadableFile(kMemoFile));
    g_strMemoData += MakeMemoRecord(126, 11, 8, "new");
    EXPECT_EQ(SaveMemoData(), 1);
    EXPECT_EQ(ReadTextFile(kMemoFile), "126^11^7^keep me~126^11^8^new~");
}

INSTANTIATE_TEST_SUITE_P(Rows, UnreadFileTest,
                         ::testing::Values(ReadFault{"open refused (no read permission)", 0, EACCES},
                                           ReadFault{"open fails with an I/O error", 0, EIO},
                                           ReadFault{"open finds too many open files", 0, EMFILE},
                                           ReadFault{"status cannot be read", 1, EIO},
                                           ReadFault{"read fails with an I/O error", 2, EIO},
                                           ReadFault{"read finds a directory", 2, EISDIR}),
                         RowName());

TEST_F(HostileFilesTest, UnreadableHolidayFileStopsTheHolidaySaveAtThatFile) {
    PutFileBytes(kStaticHolidayFile, "1^1^s^0~\0"s);
    PutFileBytes(kDynamicHolidayFile, "1^15^d^2~\0"s);
    g_YearCalendar.year = 126;
    g_readFaultCall = 2;
    g_readFaultError = EIO;
    FileSystemCalls calls = FailingReadCalls();
    // Only the rule-based file fails to read.
    calls.readFile = [](int fd, void* buffer, std::size_t count) -> ssize_t {
        char path[64];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
        path[length > 0 ? length : 0] = '\0';
        if (std::string(path).ends_with(kDynamicHolidayFile)) {
            errno = EIO;
            return -1;
        }
        return ::read(fd, buffer, count);
    };
    SetFileSystemCallsForTesting(calls);
    LoadHolidayData();
    ResetFileSystemCalls();
    EXPECT_EQ(g_strStaticHoliday, "1^1^s^0~");
    EXPECT_EQ(g_strDynamicHoliday, "");

    g_strStaticHoliday = "2^2^s2^0~";
    EXPECT_EQ(SaveHolidayData(), 0);
    EXPECT_EQ(ReadTextFile(kStaticHolidayFile), "2^2^s2^0~");
    EXPECT_EQ(FileBytes(kDynamicHolidayFile), "1^15^d^2~\0"s);
    EXPECT_EQ(FileBytes("126_holi.txt"), "<missing>");
}

TEST_F(HostileFilesTest, OtherKindsOfFileInAFilesPlaceReadAsEmptyAndStayAsTheyAre) {
    ASSERT_EQ(::mkdir(kMemoFile, 0755), 0);
    ASSERT_EQ(::mkfifo(kStaticHolidayFile, 0644), 0);
    // A FIFO that nobody writes would block a plain open for reading for ever.
    ::alarm(20);
    g_YearCalendar.year = 126;
    EXPECT_EQ(LoadMemoData(), 0);
    EXPECT_EQ(LoadHolidayData(), 0);
    ::alarm(0);
    EXPECT_TRUE(IsUnreadableFile(kMemoFile));
    EXPECT_TRUE(IsUnreadableFile(kStaticHolidayFile));
    EXPECT_FALSE(IsUnreadableFile(kDynamicHolidayFile));

    g_strMemoData = "126^11^7^x~";
    g_strStaticHoliday = "1^1^s^0~";
    EXPECT_EQ(SaveMemoData(), 0);
    EXPECT_EQ(SaveHolidayData(), 0);
    struct stat status {};
    ASSERT_EQ(::stat(kMemoFile, &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    ASSERT_EQ(::stat(kStaticHolidayFile, &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(DirectoryNames(), (std::vector<std::string>{kMemoFile, kStaticHolidayFile}));
}

TEST_F(HostileFilesTest, ReadOnlyDirectoryIsReadButNeverWritten) {
    PutFileBytes(kMemoFile, kOldMemo);
    ASSERT_EQ(::mkdir("locked", 0755), 0);
    PutFileBytes("locked/MemoData.txt", kOldMemo);
    // No write bits on the directory: even root, whom the kernel would let write, is refused.
    ASSERT_EQ(::chmod("locked", 0555), 0);
    ASSERT_EQ(::chdir("locked"), 0);

    EXPECT_EQ(LoadMemoData(), 1);
    EXPECT_EQ(g_strMemoData, "126^11^7^keep me~");
    g_strMemoData += "126^11^8^x~";
    g_YearCalendar.year = 126;
    g_strStaticHoliday = "1^1^s^0~";
    EXPECT_EQ(SaveMemoData(), 0);
    EXPECT_EQ(SaveHolidayData(), 0);
    EXPECT_EQ(FileBytes(kMemoFile), kOldMemo);
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{kMemoFile});

    ASSERT_EQ(::chdir(".."), 0);
    ASSERT_EQ(::chmod("locked", 0755), 0);
}

TEST_F(HostileFilesTest, MissingWorkingDirectoryGivesEmptyStoresAndFailedSaves) {
    ASSERT_EQ(::mkdir("gone", 0755), 0);
    ASSERT_EQ(::chdir("gone"), 0);
    ASSERT_EQ(::rmdir("../gone"), 0);

    g_YearCalendar.year = 126;
    EXPECT_EQ(LoadMemoData(), 0);
    EXPECT_EQ(LoadHolidayData(), 0);
    g_YearCalendar.Build();
    EXPECT_EQ(g_YearCalendar.cells[0][0].day, 1);
    g_strMemoData = "126^11^7^x~";
    SetDefaultStaticHolidays();
    EXPECT_EQ(SaveMemoData(), 0);
    EXPECT_EQ(SaveHolidayData(), 0);
    ASSERT_EQ(::chdir(".."), 0);
    EXPECT_TRUE(DirectoryNames().empty());
}

// Walks a store as every reader does and returns the number of records; fails on a step that
// does not shorten the rest.
std::size_t WalkRecords(std::string_view store) {
    std::size_t records = 0;
    std::string_view rest = store;
    int year = 0;
    int month = 0;
    int day = 0;
    std::string text;
    while (!rest.empty()) {
        const std::size_t before = rest.size();
        ParseMemoRecord(CutRecord(rest), year, month, day, text);
        if (rest.size() >= before) {
            ADD_FAILURE() << "a cut did not shorten the store";
            break;
        }
        ++records;
    }
    return records;
}

// Returns the size of a file and its last `count` bytes.
std::pair<off_t, std::string> FileTail(const char* name, std::size_t count) {
    struct stat status {};
    if (::stat(name, &status) != 0) return {-1, ""};
    std::string tail(count, '\0');
    const int fd = ::open(name, O_RDONLY);
    const ssize_t got = ::pread(fd, tail.data(), count, status.st_size - static_cast<off_t>(count));
    ::close(fd);
    tail.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return {status.st_size, tail};
}

TEST_F(HostileFilesTest, MemoFileOfSeveralMegabytesIsReadWholeAndWrittenBackUnchanged) {
    // One year of memos, doubled until the file takes more than 64 reads of the reader's 64 KiB
    // buffer (about 4.5 MB), then one record that is found by its date.
    std::string store;
    for (int day = 0; day < 372; ++day) store += MakeMemoRecord(126, day / 31, day % 31 + 1, std::string(80, 'm'));
    while (store.size() < std::size_t{64} * 64 * 1024) store += store;
    const std::string last = MakeMemoRecord(127, 0, 1, "last");
    store += last;
    PutFileBytes(kMemoFile, store + '\0');

    EXPECT_EQ(LoadMemoData(), 1);
    EXPECT_EQ(g_strMemoData.size(), store.size());
    EXPECT_EQ(FindMonthMemos(g_strMemoData, 127, 0)[0], std::optional<std::string>("last"));

    EXPECT_EQ(SaveMemoData(), 1);
    const auto [size, tail] = FileTail(kMemoFile, last.size() + 1);
    EXPECT_EQ(size, static_cast<off_t>(store.size() + 1));
    EXPECT_EQ(tail, last + '\0');
}

TEST_F(HostileFilesTest, MemoFileOfRandomBytesReadsUpToItsFirstNulAndEveryWalkEnds) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string bytes(std::size_t{64} * 1024, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        PutFileBytes(kMemoFile, bytes);
        LoadMemoData();
        EXPECT_EQ(g_strMemoData, DecodeTextFile(bytes));
        WalkRecords(g_strMemoData);
        FindMonthMemos(g_strMemoData, 126, 11);

        // What was read is written back as it was read.
        EXPECT_EQ(SaveMemoData(), 1);
        const std::string read = g_strMemoData;
        EXPECT_EQ(LoadMemoData(), read.empty() ? 0 : 1);
        EXPECT_EQ(g_strMemoData, read);
    }
}

TEST_F(HostileFilesTest, Utf8FilesShowTheirNumbersAndKeepTheirBytes) {
    // UTF-8 instead of code page 932: some UTF-8 bytes are code page 932 lead bytes, so a
    // delimiter after one may be swallowed; numbers and whole files still come through.
    const std::string memo = "126^11^7^会議 10:00~126^11^8^歯医者~";
    const std::string fixed = "1^1^元日^0~5^3^憲法記念日^0~";
    PutFileBytes(kMemoFile, memo + '\0');
    PutFileBytes(kStaticHolidayFile, fixed + '\0');
    g_YearCalendar.year = 126;
    g_YearCalendar.month = 0;

    EXPECT_EQ(LoadMemoData(), 1);
    EXPECT_EQ(g_strMemoData, memo);
    EXPECT_GE(WalkRecords(g_strMemoData), 1u);
    g_YearCalendar.Build();
    EXPECT_EQ(g_YearCalendar.cells[0][0].flag, 1);
    EXPECT_EQ(g_YearCalendar.cells[0][0].text, "元日");

    EXPECT_EQ(SaveMemoData(), 1);
    EXPECT_EQ(SaveHolidayData(), 1);
    EXPECT_EQ(FileBytes(kMemoFile), memo + '\0');
    EXPECT_EQ(FileBytes(kStaticHolidayFile), fixed + '\0');
}

}  // namespace
