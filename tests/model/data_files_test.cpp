#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using DataFilesTest = ModelTest;

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

bool IsSymlink(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

TEST_F(DataFilesTest, RecordIsWrittenAsItsBytesAndOneNul) {
    ASSERT_EQ(WriteTextFile("Static_holi.txt", "1^1^\x8c\xb3\x92\x55^0~"), 1);
    EXPECT_EQ(HexBytes(FileBytes("Static_holi.txt")), HexBytes("1^1^\x8c\xb3\x92\x55^0~\0"s));
    EXPECT_EQ(FileBytes("Static_holi.txt").size(), 12u);
}

TEST_F(DataFilesTest, EmptyStoreIsOneNulAndReadsBackEmpty) {
    ASSERT_EQ(WriteTextFile("126_holi.txt", ""), 1);
    EXPECT_EQ(FileBytes("126_holi.txt"), "\0"s);
    EXPECT_EQ(ReadTextFile("126_holi.txt"), "");
}

TEST_F(DataFilesTest, MemoWithCrLfLiesOnDiskAsCrCrLfAndComesBack) {
    g_strMemoData = MakeMemoRecord(126, 11, 7, "a\r\nb");
    ASSERT_EQ(SaveMemoData(), 1);
    EXPECT_EQ(FileBytes("MemoData.txt"), "126^11^7^a\r\r\nb~\0"s);
    const std::string saved = g_strMemoData;
    g_strMemoData.clear();
    EXPECT_EQ(LoadMemoData(), 1);
    EXPECT_EQ(g_strMemoData, saved);
}

TEST_F(DataFilesTest, ShorterRewriteLeavesNoOldTail) {
    ASSERT_EQ(WriteTextFile("MemoData.txt", "126^11^7^a long first version~"), 1);
    ASSERT_EQ(WriteTextFile("MemoData.txt", "1^2^3^x~"), 1);
    EXPECT_EQ(FileBytes("MemoData.txt"), "1^2^3^x~\0"s);
    EXPECT_EQ(ReadTextFile("MemoData.txt"), "1^2^3^x~");
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::string store;
};

TEST_F(DataFilesTest, ReadsTheStoreThatFileBytesHold) {
    const ReadCase cases[] = {
        {"old tail behind the NUL",
         "1^2^3^x~\0"
         "126^11^7^old tail~"s,
         "1^2^3^x~"},
        {"file of another editor without NUL", "1^2^3^x~\r\n", "1^2^3^x~\n"},
        {"0x1A ends the data",
         "1^2^3^x~\x1a"
         "4^5^6^y~",
         "1^2^3^x~"},
        {"empty file", "", ""},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        PutFileBytes("MemoData.txt", c.bytes);
        EXPECT_EQ(HexBytes(ReadTextFile("MemoData.txt")), HexBytes(c.store));
    }
}

TEST_F(DataFilesTest, LargeStoreIsReadWhole) {
    std::string store;
    for (int i = 0; store.size() < std::size_t{300} * 1024; ++i)
        store += MakeMemoRecord(126, i % 12, i % 31 + 1, "line\r\n" + std::to_string(i));
    ASSERT_EQ(WriteTextFile("MemoData.txt", store), 1);
    EXPECT_TRUE(ReadTextFile("MemoData.txt") == store);
}

TEST_F(DataFilesTest, ReadsWhatTheFileHoldsEvenWhenItGrewPastItsSize) {
    // A writer appending while we read must not cut the store at the size seen at the start.
    PutFileBytes("MemoData.txt", "1^2^3^x~");
    FileSystemCalls calls = RealFileSystemCalls();
    static bool appended;
    appended = false;
    calls.readFile = [](int fd, void* buffer, std::size_t count) -> ssize_t {
        if (!appended) {
            appended = true;
            const int appender = ::open("MemoData.txt", O_WRONLY | O_APPEND);
            EXPECT_EQ(::write(appender, "4^5^6^y~", 8), 8);
            ::close(appender);
        }
        return ::read(fd, buffer, count);
    };
    SetFileSystemCallsForTesting(calls);
    EXPECT_EQ(ReadTextFile("MemoData.txt"), "1^2^3^x~4^5^6^y~");
}

TEST_F(DataFilesTest, MissingFileAndDirectoryReadAsEmptyStores) {
    EXPECT_EQ(ReadTextFile("MemoData.txt"), "");
    ASSERT_EQ(::mkdir("Static_holi.txt", 0755), 0);
    EXPECT_EQ(ReadTextFile("Static_holi.txt"), "");
    EXPECT_EQ(WriteTextFile("Static_holi.txt", "1^1^x^0~"), 0);
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{"Static_holi.txt"});
}

TEST_F(DataFilesTest, ReadOnlyFileReadsAsItsContentButIsNotRewritten) {
    PutFileBytes("MemoData.txt", "126^11^7^keep~\0"s);
    ASSERT_EQ(::chmod("MemoData.txt", 0444), 0);

    EXPECT_EQ(ReadTextFile("MemoData.txt"), "126^11^7^keep~");
    EXPECT_EQ(WriteTextFile("MemoData.txt", "other~"), 0);
    EXPECT_EQ(FileBytes("MemoData.txt"), "126^11^7^keep~\0"s);
    EXPECT_EQ(ModeOf("MemoData.txt"), 0444u);
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{"MemoData.txt"});
}

struct ModeCase {
    const char* name;
    mode_t mode;
};
void PrintTo(const ModeCase& row, std::ostream* out) { *out << row.name; }

class RewriteModeTest : public ModelTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(RewriteModeTest, RewriteKeepsThePermissionBits) {
    const ModeCase& c = GetParam();
    PutFileBytes("MemoData.txt", "old~\0"s);
    ASSERT_EQ(::chmod("MemoData.txt", c.mode), 0);
    ASSERT_EQ(WriteTextFile("MemoData.txt", "new~"), 1);
    EXPECT_EQ(ModeOf("MemoData.txt"), c.mode);
    EXPECT_EQ(ReadTextFile("MemoData.txt"), "new~");
}

INSTANTIATE_TEST_SUITE_P(Rows, RewriteModeTest,
                         ::testing::Values(ModeCase{"owner only", 0600}, ModeCase{"group readable", 0640},
                                           ModeCase{"everyone writable", 0666}, ModeCase{"odd bits", 0604},
                                           ModeCase{"write bit for others only", 0602}),
                         RowName());

TEST_F(DataFilesTest, NewFileIsReadableAndWritableAsTheUmaskAllows) {
    const mode_t old = ::umask(022);
    const int result = WriteTextFile("MemoData.txt", "x~");
    ::umask(old);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(ModeOf("MemoData.txt"), 0644u);
}

TEST_F(DataFilesTest, SaveThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
    ASSERT_EQ(::mkdir("data", 0755), 0);
    ASSERT_EQ(::mkdir("data/inner", 0755), 0);
    PutFileBytes("data/inner/memo.txt", "old~\0"s);
    ASSERT_EQ(::chmod("data/inner/memo.txt", 0640), 0);
    // A chain of two relative links, each relative to its own directory.
    ASSERT_EQ(::symlink("inner/memo.txt", "data/link"), 0);
    ASSERT_EQ(::symlink("data/link", "MemoData.txt"), 0);

    g_strMemoData = "126^11^7^new~";
    ASSERT_EQ(SaveMemoData(), 1);

    EXPECT_TRUE(IsSymlink("MemoData.txt"));
    EXPECT_TRUE(IsSymlink("data/link"));
    EXPECT_EQ(FileBytes("data/inner/memo.txt"), "126^11^7^new~\0"s);
    EXPECT_EQ(ModeOf("data/inner/memo.txt"), 0640u);
    EXPECT_EQ(DirectoryNames(), (std::vector<std::string>{"MemoData.txt", "data"}));
}

TEST_F(DataFilesTest, SaveThroughADanglingLinkCreatesItsTarget) {
    ASSERT_EQ(::symlink("real_memo.txt", "MemoData.txt"), 0);
    ASSERT_EQ(WriteTextFile("MemoData.txt", "x~"), 1);
    EXPECT_TRUE(IsSymlink("MemoData.txt"));
    EXPECT_EQ(FileBytes("real_memo.txt"), "x~\0"s);
}

TEST_F(DataFilesTest, SaveThroughALinkLoopFailsAndLeavesNothing) {
    ASSERT_EQ(::symlink("b", "a"), 0);
    ASSERT_EQ(::symlink("a", "b"), 0);
    EXPECT_EQ(WriteTextFile("a", "x~"), 0);
    EXPECT_EQ(DirectoryNames(), (std::vector<std::string>{"a", "b"}));
}

// Fails one chosen POSIX call, counted from the start of the test, with a chosen errno.
struct FaultPlan {
    enum class Call { Open, Write, Sync, Chmod, Close, Rename } call;
    int nth;  // 1-based
};

FaultPlan g_plan;
int g_counts[6];

bool ShouldFail(FaultPlan::Call call) {
    return ++g_counts[static_cast<int>(call)] == g_plan.nth && g_plan.call == call;
}

FileSystemCalls FaultyCalls(FaultPlan plan) {
    g_plan = plan;
    for (int& count : g_counts) count = 0;
    const FileSystemCalls real = RealFileSystemCalls();
    FileSystemCalls calls = real;
    calls.openAt = [](int directory, const char* path, int flags, mode_t mode) {
        if (ShouldFail(FaultPlan::Call::Open)) {
            errno = EACCES;
            return -1;
        }
        return RealFileSystemCalls().openAt(directory, path, flags, mode);
    };
    calls.writeFile = [](int fd, const void* buffer, std::size_t count) -> ssize_t {
        if (ShouldFail(FaultPlan::Call::Write)) {
            errno = ENOSPC;
            return -1;
        }
        return RealFileSystemCalls().writeFile(fd, buffer, count);
    };
    calls.syncFile = [](int fd) {
        if (ShouldFail(FaultPlan::Call::Sync)) {
            errno = EIO;
            return -1;
        }
        return RealFileSystemCalls().syncFile(fd);
    };
    calls.chmodFile = [](int fd, mode_t mode) {
        if (ShouldFail(FaultPlan::Call::Chmod)) {
            errno = EPERM;
            return -1;
        }
        return RealFileSystemCalls().chmodFile(fd, mode);
    };
    calls.closeFile = [](int fd) {
        const int result = RealFileSystemCalls().closeFile(fd);
        if (ShouldFail(FaultPlan::Call::Close)) {
            errno = EIO;
            return -1;
        }
        return result;
    };
    calls.renameAt = [](int fromDirectory, const char* from, int toDirectory, const char* to) {
        if (ShouldFail(FaultPlan::Call::Rename)) {
            errno = EXDEV;
            return -1;
        }
        return RealFileSystemCalls().renameAt(fromDirectory, from, toDirectory, to);
    };
    return calls;
}

struct FaultCase {
    const char* name;
    FaultPlan plan;
};
void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }

class FailedSaveTest : public ModelTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FailedSaveTest, FailedSaveReturnsZeroKeepsTheOldFileAndLeavesNoTemporaryFile) {
    PutFileBytes("MemoData.txt", "126^11^7^old~\0tail"s);
    ASSERT_EQ(::chmod("MemoData.txt", 0640), 0);
    SetFileSystemCallsForTesting(FaultyCalls(GetParam().plan));
    g_strMemoData = "126^11^7^new~";

    EXPECT_EQ(SaveMemoData(), 0);

    ResetFileSystemCalls();
    EXPECT_EQ(FileBytes("MemoData.txt"), "126^11^7^old~\0tail"s);
    EXPECT_EQ(ModeOf("MemoData.txt"), 0640u);
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{"MemoData.txt"});
    EXPECT_EQ(g_strMemoData, "126^11^7^new~");
}

INSTANTIATE_TEST_SUITE_P(Rows, FailedSaveTest,
                         ::testing::Values(FaultCase{"temporary file cannot be created", {FaultPlan::Call::Open, 1}},
                                           FaultCase{"write fails", {FaultPlan::Call::Write, 1}},
                                           FaultCase{"flush to disk fails", {FaultPlan::Call::Sync, 1}},
                                           FaultCase{"permission bits cannot be set", {FaultPlan::Call::Chmod, 1}},
                                           FaultCase{"close reports an error", {FaultPlan::Call::Close, 1}},
                                           FaultCase{"rename fails", {FaultPlan::Call::Rename, 1}}),
                         RowName());

TEST_F(DataFilesTest, FailingFlushOfTheDirectoryAfterTheRenameStillCountsAsSaved) {
    // The second flush is that of the directory, after the new content is in place.
    SetFileSystemCallsForTesting(FaultyCalls({FaultPlan::Call::Sync, 2}));
    EXPECT_EQ(WriteTextFile("MemoData.txt", "x~"), 1);
    ResetFileSystemCalls();
    EXPECT_EQ(FileBytes("MemoData.txt"), "x~\0"s);
}

TEST_F(DataFilesTest, ShortAndInterruptedWritesStillWriteEverything) {
    static int calls;
    calls = 0;
    FileSystemCalls dribbling = RealFileSystemCalls();
    dribbling.writeFile = [](int fd, const void* buffer, std::size_t count) -> ssize_t {
        if (++calls % 3 == 0) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, buffer, count < 3 ? count : 3);
    };
    SetFileSystemCallsForTesting(dribbling);
    const std::string store = "126^11^7^" + Sjis("会議") + "\r\n~1^2^3^x~";
    EXPECT_EQ(WriteTextFile("MemoData.txt", store), 1);
    ResetFileSystemCalls();
    EXPECT_EQ(ReadTextFile("MemoData.txt"), store);
    EXPECT_GT(calls, 8);
}

TEST_F(DataFilesTest, WriteThatStoresNothingFailsInsteadOfLooping) {
    FileSystemCalls stuck = RealFileSystemCalls();
    stuck.writeFile = [](int, const void*, std::size_t) -> ssize_t { return 0; };
    SetFileSystemCallsForTesting(stuck);
    EXPECT_EQ(WriteTextFile("MemoData.txt", "x~"), 0);
    ResetFileSystemCalls();
    EXPECT_TRUE(DirectoryNames().empty());
}

TEST_F(DataFilesTest, FailedOrInterruptedReads) {
    PutFileBytes("MemoData.txt", "1^2^3^x~\0"s);
    FileSystemCalls failing = RealFileSystemCalls();
    failing.readFile = [](int, void*, std::size_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    SetFileSystemCallsForTesting(failing);
    EXPECT_EQ(ReadTextFile("MemoData.txt"), "");

    static bool interrupted;
    interrupted = false;
    FileSystemCalls interrupting = RealFileSystemCalls();
    interrupting.readFile = [](int fd, void* buffer, std::size_t count) -> ssize_t {
        if (!interrupted) {
            interrupted = true;
            errno = EINTR;
            return -1;
        }
        return ::read(fd, buffer, count);
    };
    SetFileSystemCallsForTesting(interrupting);
    EXPECT_EQ(ReadTextFile("MemoData.txt"), "1^2^3^x~");
}

struct YearFileCase {
    const char* name;
    int year;
    const char* yearFile;
};
void PrintTo(const YearFileCase& row, std::ostream* out) { *out << row.name; }

class YearFileTest : public ModelTest, public ::testing::WithParamInterface<YearFileCase> {};

TEST_P(YearFileTest, SaveHolidayDataWritesThreeFilesNamedAfterTheShownYear) {
    const YearFileCase& c = GetParam();
    g_YearCalendar.year = c.year;
    g_strStaticHoliday = "1^1^s^0~";
    g_strDynamicHoliday = "1^15^d^2~";
    g_strYearHoliday = "5^6^y^100~";
    ASSERT_EQ(SaveHolidayData(), 1);
    EXPECT_EQ(FileBytes("Static_holi.txt"), "1^1^s^0~\0"s);
    EXPECT_EQ(FileBytes("Dynamic_holi.txt"), "1^15^d^2~\0"s);
    EXPECT_EQ(FileBytes(c.yearFile), "5^6^y^100~\0"s);
    EXPECT_EQ(DirectoryNames().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Rows, YearFileTest,
                         ::testing::Values(YearFileCase{"2026", 126, "126_holi.txt"},
                                           YearFileCase{"2027", 127, "127_holi.txt"},
                                           YearFileCase{"1899", -1, "-1_holi.txt"}),
                         RowName());

TEST_F(DataFilesTest, SaveHolidayDataWritesTheGainingFilesThenStopsAtAReadOnlyFixedDateFile) {
    PutFileBytes("Static_holi.txt", "old~\0"s);
    ASSERT_EQ(::chmod("Static_holi.txt", 0444), 0);
    PutFileBytes("Dynamic_holi.txt", "dynamic old~\0"s);
    g_YearCalendar.year = 126;
    g_strStaticHoliday = "1^1^s^0~";
    g_strDynamicHoliday = "1^15^d^2~";
    g_strYearHoliday = "5^6^y^100~";

    EXPECT_EQ(SaveHolidayData(), 0);

    EXPECT_EQ(FileBytes("Static_holi.txt"), "old~\0"s);
    EXPECT_EQ(FileBytes("Dynamic_holi.txt"), "1^15^d^2~\0"s);
    EXPECT_EQ(FileBytes("126_holi.txt"), "5^6^y^100~\0"s);
    EXPECT_EQ(g_strStaticHoliday, "1^1^s^0~");
    EXPECT_EQ(UnsavedHolidayFiles(), std::vector<std::string>{"Static_holi.txt"});
}

TEST_F(DataFilesTest, SaveHolidayDataStopsWhenTheRuleBasedFileFails) {
    g_YearCalendar.year = 126;
    g_strStaticHoliday = "1^1^s^0~";
    g_strDynamicHoliday = "1^15^d^2~";
    g_strYearHoliday = "5^6^y^100~";
    SetFileSystemCallsForTesting(FaultyCalls({FaultPlan::Call::Rename, 1}));

    EXPECT_EQ(SaveHolidayData(), 0);

    ResetFileSystemCalls();
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{});
    EXPECT_EQ(UnsavedHolidayFiles(), (std::vector<std::string>{"126_holi.txt", "Dynamic_holi.txt", "Static_holi.txt"}));
}

TEST_F(DataFilesTest, LoadHolidayDataReadsAllThreeEvenAfterAnEmptyOne) {
    PutFileBytes("Static_holi.txt", "\0"s);
    PutFileBytes("Dynamic_holi.txt", "1^15^d^2~\0"s);
    PutFileBytes("126_holi.txt", "5^6^y^100~\0"s);
    PutFileBytes("127_holi.txt", "7^7^other^100~\0"s);
    g_YearCalendar.year = 126;
    g_strStaticHoliday = "stale~";

    EXPECT_EQ(LoadHolidayData(), 0);
    EXPECT_EQ(g_strStaticHoliday, "");
    EXPECT_EQ(g_strDynamicHoliday, "1^15^d^2~");
    EXPECT_EQ(g_strYearHoliday, "5^6^y^100~");

    PutFileBytes("Static_holi.txt", "1^1^s^0~\0"s);
    EXPECT_EQ(LoadHolidayData(), 1);
    EXPECT_EQ(g_strStaticHoliday, "1^1^s^0~");

    g_YearCalendar.year = 127;
    EXPECT_EQ(LoadHolidayData(), 1);
    EXPECT_EQ(g_strYearHoliday, "7^7^other^100~");

    g_YearCalendar.year = 128;
    EXPECT_EQ(LoadHolidayData(), 0);
    EXPECT_EQ(g_strYearHoliday, "");
}

TEST_F(DataFilesTest, LoadMemoDataReportsWhetherTheStoreIsFilled) {
    g_strMemoData = "stale~";
    EXPECT_EQ(LoadMemoData(), 0);
    EXPECT_EQ(g_strMemoData, "");
    PutFileBytes("MemoData.txt", "\0"s);
    EXPECT_EQ(LoadMemoData(), 0);
    PutFileBytes("MemoData.txt", "126^11^7^a~\0"s);
    EXPECT_EQ(LoadMemoData(), 1);
    EXPECT_EQ(g_strMemoData, "126^11^7^a~");
}

TEST_F(DataFilesTest, FirstStartCreatesTheHolidayFilesFromTheBuiltinTable) {
    g_YearCalendar.year = 126;
    EXPECT_EQ(LoadMemoData(), 0);
    EXPECT_EQ(LoadHolidayData(), 0);
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    ASSERT_EQ(SaveHolidayData(), 1);
    EXPECT_EQ(DirectoryNames(), (std::vector<std::string>{"126_holi.txt", "Dynamic_holi.txt", "Static_holi.txt"}));
    EXPECT_EQ(FileBytes("126_holi.txt"), "\0"s);
    EXPECT_EQ(ReadTextFile("Static_holi.txt"), g_strStaticHoliday);
    EXPECT_EQ(ReadTextFile("Dynamic_holi.txt"), g_strDynamicHoliday);
}

// Every double-byte character whose second byte is "\", "^" or "~".
std::vector<std::string> TroublesomeDoubleByteCharacters() {
    std::vector<std::string> characters;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (const int trail : {0x5C, 0x5E, 0x7E})
            characters.push_back(std::string{static_cast<char>(lead), static_cast<char>(trail)});
    }
    return characters;
}

TEST_F(DataFilesTest, DoubleByteCharactersWithDelimiterSecondBytesSurviveAFileRoundTrip) {
    const std::vector<std::string> characters = TroublesomeDoubleByteCharacters();
    ASSERT_EQ(characters.size(), 180u);
    std::vector<std::string> texts;
    for (const std::string& c : characters)
        texts.push_back(c + "a" + c + c);  // the character also ends the text, before the "~"
    for (std::size_t i = 0; i < texts.size(); ++i)
        g_strMemoData += MakeMemoRecord(126, static_cast<int>(i / 31 % 12), static_cast<int>(i % 31 + 1), texts[i]);

    ASSERT_EQ(SaveMemoData(), 1);
    g_strMemoData.clear();
    ASSERT_EQ(LoadMemoData(), 1);

    std::string_view rest = g_strMemoData;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(HexBytes(characters[i]));
        ASSERT_FALSE(rest.empty());
        int year = 0;
        int month = 0;
        int day = 0;
        std::string text;
        ParseMemoRecord(CutRecord(rest), year, month, day, text);
        EXPECT_EQ(year, 126);
        EXPECT_EQ(month, static_cast<int>(i / 31 % 12));
        EXPECT_EQ(day, static_cast<int>(i % 31 + 1));
        EXPECT_EQ(HexBytes(text), HexBytes(texts[i]));
    }
    EXPECT_TRUE(rest.empty());

    std::string store = g_strMemoData;
    std::size_t count = 0;
    while (!store.empty() && count <= texts.size()) {
        int year = 0;
        int month = 0;
        int day = 0;
        std::string text;
        ParseMemoRecord(CutRecord(store), year, month, day, text);
        EXPECT_EQ(HexBytes(text), HexBytes(texts[count]));
        ++count;
    }
    EXPECT_EQ(count, texts.size());
}

}  // namespace
