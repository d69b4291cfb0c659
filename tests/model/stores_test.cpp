#include "model/stores.h"
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/model_state.h"
#include "model/present_time.h"
#include "model/record.h"
#include "model/recovery.h"
#include "model/text_file_format.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace std::string_literals;

class StoresTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        g_YearCalendar.year = 126;
        std::tm moment{};
        moment.tm_year = 126;
        moment.tm_mon = 11;
        moment.tm_mday = 9;
        moment.tm_hour = 1;
        moment.tm_min = 2;
        moment.tm_sec = 3;
        SetPresentTimeForTesting(moment);
    }
};

// Renames succeed until `g_renamesLeft` reaches zero; every later one fails as a kill would leave it:
// the file keeps its old bytes.
int g_renamesLeft = 0;

FileSystemCalls RenamesThatStop(int allowed) {
    g_renamesLeft = allowed;
    FileSystemCalls calls = RealFileSystemCalls();
    calls.renameAt = [](int fromDirectory, const char* from, int toDirectory, const char* to) {
        if (g_renamesLeft-- <= 0) {
            errno = EIO;
            return -1;
        }
        return ::renameat(fromDirectory, from, toDirectory, to);
    };
    calls.renameFile = [](const char* from, const char* to) {
        if (g_renamesLeft-- <= 0) {
            errno = EIO;
            return -1;
        }
        return ::rename(from, to);
    };
    return calls;
}

std::string AllHolidayFiles() {
    return FileBytes(kStaticHolidayFile) + FileBytes(kDynamicHolidayFile) + FileBytes("126_holi.txt");
}

TEST_F(StoresTest, AnUnsavedHolidayStoreStandsInForItsFileUntilASaveSucceeds) {
    PutFileBytes(kStaticHolidayFile, "1^1^old^0~\0"s);
    PutFileBytes(kDynamicHolidayFile, "1^2^rule^2~\0"s);
    LoadHolidayData();
    ASSERT_EQ(::chmod(kStaticHolidayFile, 0444), 0);
    g_strStaticHoliday += "12^9^new^0~";

    EXPECT_EQ(SaveHolidayData(), 0);
    EXPECT_EQ(UnsavedHolidayFiles(), std::vector<std::string>{kStaticHolidayFile});
    // A rebuild reads the holidays again: the edit stays, the old file does not come back.
    g_YearCalendar.month = 11;
    g_YearCalendar.Build();
    EXPECT_EQ(g_strStaticHoliday, "1^1^old^0~12^9^new^0~");
    EXPECT_EQ(g_YearCalendar.Cell(11, 9)->flag, 1);

    ASSERT_EQ(::chmod(kStaticHolidayFile, 0644), 0);
    EXPECT_EQ(SaveHolidayData(), 1);
    EXPECT_EQ(FileBytes(kStaticHolidayFile), "1^1^old^0~12^9^new^0~\0"s);
    EXPECT_TRUE(UnsavedHolidayFiles().empty());
}

TEST_F(StoresTest, TableStoresStandingInForTheirFilesAreReadByTheHolidayPassAndNeverWritten) {
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    StandInForTableFiles();
    g_strStaticHoliday.clear();
    g_YearCalendar.Build();
    EXPECT_EQ(g_YearCalendar.Cell(0, 1)->flag, 1) << "元旦 from the built-in table";
    EXPECT_EQ(g_YearCalendar.Cell(0, 12)->flag, 1) << "the second Monday of January 2026";
    std::vector<std::string> names = DirectoryNames();
    names.erase(std::remove(names.begin(), names.end(), ".state"), names.end());
    EXPECT_TRUE(names.empty()) << names.front();
}

TEST_F(StoresTest, AnUnsavedOneYearStoreOfAnotherYearIsWrittenByALaterSave) {
    PutFileBytes("126_holi.txt", "\0"s);
    LoadHolidayData();
    ASSERT_EQ(::chmod("126_holi.txt", 0444), 0);
    g_strYearHoliday = "5^6^once^100~";
    EXPECT_EQ(SaveHolidayData(), 0);

    ASSERT_EQ(::chmod("126_holi.txt", 0644), 0);
    g_YearCalendar.year = 127;
    LoadHolidayData();
    EXPECT_EQ(SaveHolidayData(), 1);
    EXPECT_EQ(FileBytes("126_holi.txt"), "5^6^once^100~\0"s);
    EXPECT_EQ(FileBytes("127_holi.txt"), "\0"s);
}

struct MoveCase {
    const char* name;
    std::string fixedBefore, dynamicBefore, yearBefore;
    std::string fixedAfter, dynamicAfter, yearAfter;
    std::string moved;  // the record's name, found in some file whatever the kill
};

class HolidayMoveTest : public StoresTest, public ::testing::WithParamInterface<MoveCase> {};

// A change of kind takes a record out of one file and puts it in another; a kill after any file of
// the save must leave it in at least one.
TEST_P(HolidayMoveTest, AKillAfterAnyFileLeavesTheMovedRecordInSomeFile) {
    const MoveCase& c = GetParam();
    for (int renames = 0; renames <= 3; ++renames) {
        SCOPED_TRACE("files written before the kill: " + std::to_string(renames));
        PutFileBytes(kStaticHolidayFile, EncodeTextFile(c.fixedBefore));
        PutFileBytes(kDynamicHolidayFile, EncodeTextFile(c.dynamicBefore));
        PutFileBytes("126_holi.txt", EncodeTextFile(c.yearBefore));
        ResetModelState();
        g_YearCalendar.year = 126;
        LoadHolidayData();
        g_strStaticHoliday = c.fixedAfter;
        g_strDynamicHoliday = c.dynamicAfter;
        g_strYearHoliday = c.yearAfter;
        SetFileSystemCallsForTesting(RenamesThatStop(renames));
        EXPECT_EQ(SaveHolidayData(), renames == 3 ? 1 : 0);
        ResetFileSystemCalls();
        EXPECT_NE(AllHolidayFiles().find("^" + c.moved + "^"), std::string::npos) << AllHolidayFiles();
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, HolidayMoveTest,
                         ::testing::Values(MoveCase{"fixed date to rule", "1^1^a^0~2^11^b^0~", "1^2^c^2~", "",
                                                    "1^1^a^0~", "1^2^c^2~2^2^b^2~", "", "b"},
                                           MoveCase{"rule to fixed date", "1^1^a^0~", "1^2^c^2~9^3^d^3~", "",
                                                    "1^1^a^0~9^3^d^0~", "1^2^c^2~", "", "d"},
                                           MoveCase{"one year to fixed date", "1^1^a^0~", "1^2^c^2~", "5^6^e^100~",
                                                    "1^1^a^0~5^6^e^0~", "1^2^c^2~", "", "e"},
                                           MoveCase{"fixed date to one year", "1^1^a^0~5^6^e^0~", "1^2^c^2~", "",
                                                    "1^1^a^0~", "1^2^c^2~", "5^6^e^100~", "e"}),
                         RowName());

// The start as the main window does it: read the stores, and fill in the built-in table when the
// fixed-date file is empty.
void Start() {
    ResetModelState();
    g_YearCalendar.year = 126;
    LoadMemoData();
    LoadHolidayData();
    if (g_strStaticHoliday.empty()) {
        SetDefaultStaticHolidays();
        SetDefaultDynamicHolidays();
        SaveHolidayData();
    }
}

std::vector<std::string> Records(std::string_view store) {
    std::vector<std::string> records;
    while (!store.empty()) records.emplace_back(CutRecord(store));
    std::sort(records.begin(), records.end());
    return records;
}

TEST_F(StoresTest, AFirstStartKilledAfterAnyFileIsCompletedAtTheNextStart) {
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    const std::vector<std::string> builtIn = Records(g_strStaticHoliday + g_strDynamicHoliday);
    for (int renames = 0; renames <= 3; ++renames) {
        SCOPED_TRACE("files written before the kill: " + std::to_string(renames));
        for (const char* name : {kStaticHolidayFile, kDynamicHolidayFile, "126_holi.txt"}) ::unlink(name);
        SetFileSystemCallsForTesting(RenamesThatStop(renames));
        Start();
        ResetFileSystemCalls();

        Start();
        EXPECT_EQ(Records(ReadTextFile(kStaticHolidayFile) + ReadTextFile(kDynamicHolidayFile)), builtIn);
    }
}

TEST_F(StoresTest, AnUnchangedMemoStoreIsNotWrittenAndAFailedSaveIsToldOnceUntilOneSucceeds) {
    LoadMemoData();
    EXPECT_EQ(SaveMemoDataIfChanged(), 1);
    EXPECT_EQ(FileBytes(kMemoFile), "<missing>") << "nothing changed since the read";
    SetFileSystemCallsForTesting(RenamesThatStop(0));
    g_strMemoData = "126^11^7^a~";
    EXPECT_EQ(SaveMemoDataIfChanged(), 0);
    EXPECT_TRUE(TakeFirstMemoSaveFailure());
    g_strMemoData += "126^11^8^b~";
    EXPECT_EQ(SaveMemoDataIfChanged(), 0);
    EXPECT_FALSE(TakeFirstMemoSaveFailure()) << "not again while the saves keep failing";
    ResetFileSystemCalls();
    EXPECT_EQ(SaveMemoDataIfChanged(), 1);
    EXPECT_EQ(FileBytes(kMemoFile), "126^11^7^a~126^11^8^b~\0"s);
    const auto written = std::filesystem::last_write_time(kMemoFile);
    EXPECT_EQ(SaveMemoDataIfChanged(), 1);
    EXPECT_EQ(std::filesystem::last_write_time(kMemoFile), written) << "an unchanged store leaves the file alone";
    SetFileSystemCallsForTesting(RenamesThatStop(0));
    g_strMemoData += "126^11^9^c~";
    EXPECT_EQ(SaveMemoDataIfChanged(), 0);
    EXPECT_TRUE(TakeFirstMemoSaveFailure()) << "a failure after a success is told again";
}

TEST_F(StoresTest, RemovesOnlyTheTemporaryFilesOfOurOwnSaves) {
    const std::vector<std::string> leftovers = {".MemoData.txt.4242-1.tmp",  ".Static_holi.txt.7-12.tmp",
                                                ".Dynamic_holi.txt.7-3.tmp", ".126_holi.txt.99-1.tmp",
                                                ".-1_holi.txt.99-2.tmp",     "..MemoData.txt.bak.4242-2.tmp",
                                                "..126_holi.txt.bak.7-1.tmp"};
    const std::vector<std::string> kept = {
        ".MemoData.txt.bak",       ".MemoData.txt.tmp",       ".notes.txt.1-1.tmp",          ".MemoData.txt.x-1.tmp",
        "MemoData.txt.4242-1.tmp", "..notes.txt.bak.1-1.tmp", "...MemoData.txt.bak.1-1.tmp", "MemoData.txt"};
    for (const std::string& name : leftovers) PutFileBytes(name, "x");
    for (const std::string& name : kept) PutFileBytes(name, "x");
    ASSERT_EQ(::mkdir(".Static_holi.txt.1-1.tmp", 0700), 0);
    ASSERT_EQ(::symlink("MemoData.txt", ".Dynamic_holi.txt.1-1.tmp"), 0);

    EXPECT_EQ(RemoveLeftoverTempFiles(), static_cast<int>(leftovers.size()));
    std::vector<std::string> expected = kept;
    expected.push_back(".Static_holi.txt.1-1.tmp");
    expected.push_back(".Dynamic_holi.txt.1-1.tmp");
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> names = DirectoryNames();
    names.erase(std::remove(names.begin(), names.end(), ".state"), names.end());
    EXPECT_EQ(names, expected);
}

TEST_F(StoresTest, AnotherUsersFileNamedLikeOursStays) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a file as another user";
    const passwd* other = ::getpwnam("nobody");
    ASSERT_NE(other, nullptr);
    PutFileBytes(".MemoData.txt.1-1.tmp", "theirs");
    ASSERT_EQ(::chown(".MemoData.txt.1-1.tmp", other->pw_uid, other->pw_gid), 0);
    EXPECT_EQ(RemoveLeftoverTempFiles(), 0);
    EXPECT_EQ(FileBytes(".MemoData.txt.1-1.tmp"), "theirs");
}

std::vector<std::string> RecoveryCopies() {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(RecoveryFolder(), ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(StoresTest, StoresThatCannotBeSavedAreKeptAsRecoveryCopiesAndToldOfOnce) {
    const std::string folder = std::filesystem::current_path().string();
    std::string escaped;
    for (const char c : folder + "/") escaped += c == '/' ? "%2F"s : std::string(1, c);
    PutFileBytes(kMemoFile, "\0"s);
    PutFileBytes(kStaticHolidayFile, "\0"s);
    LoadMemoData();
    LoadHolidayData();
    g_strMemoData = MakeMemoRecord(126, 11, 9, Sjis("会議"));
    g_strStaticHoliday = "1^1^a^0~";
    ASSERT_EQ(::chmod(kMemoFile, 0444), 0);
    ASSERT_EQ(::chmod(kStaticHolidayFile, 0444), 0);

    EXPECT_EQ(SaveMemoDataOrRecover(), 0);
    EXPECT_EQ(SaveHolidayDataOrRecover(), 0);

    const std::string memoCopy = escaped + "MemoData.txt.20261209-010203";
    const std::string fixedCopy = escaped + "Static_holi.txt.20261209-010203";
    EXPECT_EQ(RecoveryCopies(), (std::vector<std::string>{memoCopy, fixedCopy, ".untold"}));
    EXPECT_EQ(FileBytes(RecoveryFolder() + "/" + memoCopy), EncodeTextFile(g_strMemoData));
    EXPECT_EQ(FileBytes(RecoveryFolder() + "/" + fixedCopy), "1^1^a^0~\0"s);
    struct stat status {};
    ASSERT_EQ(::stat(RecoveryFolder().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    EXPECT_EQ(TakeUntoldRecoveryCopies(),
              (std::vector<std::string>{RecoveryFolder() + "/" + memoCopy, RecoveryFolder() + "/" + fixedCopy}));
    EXPECT_TRUE(TakeUntoldRecoveryCopies().empty());

    // A second failure in the same second gets a name of its own.
    EXPECT_EQ(SaveMemoDataOrRecover(), 0);
    EXPECT_EQ(TakeUntoldRecoveryCopies(), std::vector<std::string>{RecoveryFolder() + "/" + memoCopy + "-2"});
}

TEST_F(StoresTest, TheRecoveryFolderFollowsXdgStateHomeOrHome) {
    ::setenv("XDG_STATE_HOME", "/somewhere/state", 1);
    EXPECT_EQ(RecoveryFolder(), "/somewhere/state/velmora/recovery");
    ::setenv("XDG_STATE_HOME", "relative/is/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(RecoveryFolder(), "/home/someone/.local/state/velmora/recovery");
}

// Where the recovery folder cannot be had, or another user could take copies out of it, a copy
// goes beside the file, else into the home folder, and the next start tells of it there.
TEST_F(StoresTest, ARecoveryCopyGoesWhereOnlyTheUserMayTakeItAndIsToldOf) {
    const std::string here = std::filesystem::current_path().string();
    const std::string stamp = "20261209-010203";
    std::string homeCopy = here + "/home/velmora-recovery-";
    for (const char c : here + "/shared/MemoData.txt") homeCopy += c == '/' ? "%2F"s : std::string(1, c);
    PutFileBytes("not-a-folder", "x");
    ASSERT_EQ(std::system("mkdir -m 700 home && mkdir -m 777 shared && mkdir theirs"), 0);
    const passwd* other = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    if (other != nullptr) {
        ASSERT_EQ(::chown("theirs", other->pw_uid, other->pw_gid), 0);
    }
    const struct {
        const char* name;
        std::string state;
        const char* dataFolder;
        bool home;
        std::string copy;
    } rows[] = {
        {"a state folder that cannot be made", here + "/not-a-folder", ".", true,
         here + "/MemoData.txt.recovery-" + stamp},
        {"a state folder inside another user's folder", here + "/theirs/state", ".", true,
         here + "/MemoData.txt.recovery-" + stamp},
        {"a data folder others may write", here + "/not-a-folder", "shared", true, homeCopy + "." + stamp},
        {"no place at all", here + "/not-a-folder", "shared", false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (other == nullptr && row.state.ends_with("/theirs/state")) continue;  // needs root to give it away
        ::setenv("XDG_STATE_HOME", row.state.c_str(), 1);
        row.home ? ::setenv("HOME", (here + "/home").c_str(), 1) : ::unsetenv("HOME");
        ASSERT_EQ(::chdir(row.dataFolder), 0);
        const std::string copy = WriteRecoveryCopy(kMemoFile, "126^11^9^x~");
        EXPECT_EQ(copy, row.copy);
        if (!copy.empty()) {
            EXPECT_EQ(FileBytes(copy), "126^11^9^x~\0"s);
            EXPECT_EQ(TakeUntoldRecoveryCopies(), std::vector<std::string>{copy});
            std::filesystem::remove(copy);
        }
        ASSERT_EQ(::chdir(here.c_str()), 0);
    }
}

TEST_F(StoresTest, ARecoveryCopyOfAFolderWithALongPathStillFitsInAName) {
    std::string folder = std::filesystem::current_path().string();
    const std::string deep = std::string(240 - std::min<std::size_t>(folder.size(), 200), 'd');
    for (const char* last : {"1", "2"}) {
        ASSERT_TRUE(std::filesystem::create_directories(folder + "/" + deep + last));
        ASSERT_EQ(::chdir((folder + "/" + deep + last).c_str()), 0);
        const std::string copy = WriteRecoveryCopy(kMemoFile, "126^11^9^x~");
        ASSERT_NE(copy, "");
        const std::string name = copy.substr(copy.rfind('/') + 1);
        EXPECT_LE(name.size(), 255u) << name;
        EXPECT_TRUE(name.ends_with("%2FMemoData.txt.20261209-010203")) << name;
        EXPECT_EQ(FileBytes(copy), "126^11^9^x~\0"s);
        EXPECT_EQ(TakeUntoldRecoveryCopies(), std::vector<std::string>{copy});
        ASSERT_EQ(::chdir(folder.c_str()), 0);
    }
    // The two folders differ only at the end, which the shortened names keep apart by the hash.
    EXPECT_EQ(RecoveryCopies().size(), 2u);
}

}  // namespace
