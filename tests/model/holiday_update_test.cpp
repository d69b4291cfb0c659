#include "model/holiday_update.h"
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/holiday_law.h"
#include "model/model_state.h"
#include "model/official_holidays.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using HolidayUpdateTest = ModelTest;

struct Mark {
    int month;
    int day;
    std::string name;

    bool operator==(const Mark&) const = default;
    bool operator<(const Mark& other) const {
        return std::tie(month, day, name) < std::tie(other.month, other.day, other.name);
    }
};

std::ostream& operator<<(std::ostream& out, const Mark& mark) {
    return out << mark.month << "/" << mark.day << " [" << HexBytes(mark.name) << "]";
}

std::string OfficialListBytes() { return FileBytes(VELMORA_OFFICIAL_LIST); }

// The official list read line by line here, apart from the parser under test: year -> its days.
std::map<int, std::vector<Mark>> OfficialDays() {
    std::map<int, std::vector<Mark>> years;
    const std::string bytes = OfficialListBytes();
    std::size_t start = bytes.find('\n') + 1;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        int year = 0, month = 0, day = 0, used = 0;
        if (std::sscanf(line.c_str(), "%d/%d/%d,%n", &year, &month, &day, &used) != 3) continue;
        years[year].push_back({month, day, line.substr(static_cast<std::size_t>(used))});
    }
    return years;
}

// Every day that the holiday pass marks in `calendarYear`, with the name it shows.
std::vector<Mark> PassMarks(int calendarYear) {
    g_YearCalendar.year = calendarYear - 1900;
    g_YearCalendar.Build();
    std::vector<Mark> marks;
    for (int m = 0; m < 12; ++m) {
        for (int d = 1; d <= 31; ++d) {
            const CDayCell& cell = g_YearCalendar.cells[m][d - 1];
            if (cell.day != 0 && cell.flag == 1) marks.push_back({m + 1, d, cell.text});
        }
    }
    return marks;
}

// The files as the first start writes them: the built-in tables.
void WriteFirstStartFiles() {
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    ASSERT_EQ(WriteTextFile(kStaticHolidayFile, g_strStaticHoliday), 1);
    ASSERT_EQ(WriteTextFile(kDynamicHolidayFile, g_strDynamicHoliday), 1);
    g_strStaticHoliday.clear();
    g_strDynamicHoliday.clear();
}

// Every regular file of the current folder and its subfolders with its bytes.
std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator("."))
        if (entry.is_regular_file()) files[entry.path().string()] = FileBytes(entry.path().string());
    return files;
}

TEST_F(HolidayUpdateTest, PassShowsExactlyTheOfficialDaysThenTheLaw) {
    WriteFirstStartFiles();
    const HolidayUpdateResult result = UpdateOfficialHolidays(OfficialListBytes());
    ASSERT_TRUE(result.ok) << result.error;
    const std::map<int, std::vector<Mark>> official = OfficialDays();
    ASSERT_EQ(official.begin()->first, 1955);
    ASSERT_EQ(official.rbegin()->first, 2027);
    for (int year = 1955; year <= 2099; ++year) {
        const std::vector<Mark> marks = PassMarks(year);
        std::vector<Mark> wanted;
        if (year <= 2027) {
            wanted = official.at(year);
        } else {
            for (const DatedHoliday& day : LawHolidays(year)) wanted.push_back({day.month, day.day, day.name});
        }
        if (year >= 1974) {
            EXPECT_EQ(marks, wanted) << year;
        } else {
            // Before substitute days existed, the Sunday rule may add the Monday; nothing may miss.
            const std::set<Mark> shown(marks.begin(), marks.end());
            for (const Mark& day : wanted) EXPECT_TRUE(shown.contains(day)) << year << " " << day;
        }
    }
}

TEST_F(HolidayUpdateTest, May2026ShowsThirdToSixthAndTheNewDates) {
    WriteFirstStartFiles();
    ASSERT_TRUE(UpdateOfficialHolidays(OfficialListBytes()).ok);
    const std::vector<Mark> marks = PassMarks(2026);
    const std::set<Mark> shown(marks.begin(), marks.end());
    for (const Mark& day : std::vector<Mark>{{5, 3, Sjis("憲法記念日")},
                                             {5, 4, Sjis("みどりの日")},
                                             {5, 5, Sjis("こどもの日")},
                                             {5, 6, Sjis("休日")},
                                             {2, 23, Sjis("天皇誕生日")},
                                             {4, 29, Sjis("昭和の日")},
                                             {7, 20, Sjis("海の日")},
                                             {8, 11, Sjis("山の日")},
                                             {9, 22, Sjis("休日")}})
        EXPECT_TRUE(shown.contains(day)) << day;
    for (const Mark& marked : marks) EXPECT_FALSE(marked.month == 12 && marked.day == 23) << marked;
}

TEST_F(HolidayUpdateTest, KeepsUserRecordsByteForByteAndReplacesTheBuiltInOnes) {
    WriteFirstStartFiles();
    // A user's fixed holiday, a rule holiday, and one-year records, the last one unterminated.
    const std::string userFixed = "6^1^" + Sjis("創立記念日") + "^0~";
    const std::string userRule = "3^1^" + Sjis("月曜会") + "^1~";
    const std::string userOneYear = "8^14^" + Sjis("夏休み") + "^100~" + "12^28^" + Sjis("仕事納め") + "^100";
    ASSERT_EQ(WriteTextFile(kStaticHolidayFile,
                            [] {
                                g_strStaticHoliday.clear();
                                SetDefaultStaticHolidays();
                                return g_strStaticHoliday;
                            }() +
                                userFixed),
              1);
    g_strStaticHoliday.clear();
    SetDefaultDynamicHolidays();
    ASSERT_EQ(WriteTextFile(kDynamicHolidayFile, userRule + g_strDynamicHoliday), 1);
    g_strDynamicHoliday.clear();
    ASSERT_EQ(WriteTextFile(YearHolidayFileName(126), userOneYear), 1);
    const std::string otherYear = "1^2^" + Sjis("初売り") + "^100~";
    ASSERT_EQ(WriteTextFile(YearHolidayFileName(300), otherYear), 1);

    const HolidayUpdateResult result = UpdateOfficialHolidays(OfficialListBytes());
    ASSERT_TRUE(result.ok) << result.error;
    ResetModelState();  // read the files afresh

    const std::string fixedStore = ReadTextFile(kStaticHolidayFile);
    const std::string ruleStore = ReadTextFile(kDynamicHolidayFile);
    const std::string yearStore = ReadTextFile(YearHolidayFileName(126));
    EXPECT_TRUE(fixedStore.starts_with(userFixed)) << fixedStore;
    EXPECT_TRUE(ruleStore.starts_with(userRule)) << ruleStore;
    EXPECT_TRUE(yearStore.starts_with(userOneYear + "~")) << yearStore;
    EXPECT_EQ(ReadTextFile(YearHolidayFileName(300)), otherYear);
    // No built-in record is left: 12/23 and the old names are gone from the tables.
    for (const char* gone : {"元旦", "緑の日", "建国記念日", "天皇誕生日", "体育の日", "子供の日"}) {
        EXPECT_EQ(fixedStore.find(Sjis(gone)), std::string::npos) << gone;
        EXPECT_EQ(ruleStore.find(Sjis(gone)), std::string::npos) << gone;
    }

    const std::vector<Mark> marks = PassMarks(2026);
    const std::set<Mark> shown(marks.begin(), marks.end());
    for (const Mark& day : std::vector<Mark>{
             {6, 1, Sjis("創立記念日")}, {3, 2, Sjis("月曜会")}, {8, 14, Sjis("夏休み")}, {12, 28, Sjis("仕事納め")}})
        EXPECT_TRUE(shown.contains(day)) << day;
}

TEST_F(HolidayUpdateTest, TwiceIsOnce) {
    WriteFirstStartFiles();
    const HolidayUpdateResult first = UpdateOfficialHolidays(OfficialListBytes());
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.filesWritten, 147);  // 145 years and the two tables
    EXPECT_EQ(first.changedFiles.size(), 147u);
    EXPECT_FALSE(first.backupFolder.empty());
    const auto after = Snapshot();

    ResetModelState();
    const HolidayUpdateResult second = UpdateOfficialHolidays(OfficialListBytes());
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.filesWritten, 0);
    EXPECT_EQ(second.recordsWritten, 0);
    EXPECT_EQ(second.backupFolder, "");
    EXPECT_EQ(Snapshot(), after);
}

TEST_F(HolidayUpdateTest, BacksUpTheOldFilesFirst) {
    WriteFirstStartFiles();
    const std::string userYear = "5^1^" + Sjis("メーデー") + "^100~";
    ASSERT_EQ(WriteTextFile(YearHolidayFileName(126), userYear), 1);
    const auto before = Snapshot();
    const HolidayUpdateResult result = UpdateOfficialHolidays(OfficialListBytes());
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.backupFolder.starts_with("holidays-backup-")) << result.backupFolder;
    for (const char* name : {kStaticHolidayFile, kDynamicHolidayFile, "126_holi.txt"})
        EXPECT_EQ(FileBytes(result.backupFolder + "/" + name), before.at(std::string("./") + name)) << name;
    // Year files the update made had nothing to keep.
    EXPECT_EQ(FileBytes(result.backupFolder + "/127_holi.txt"), "<missing>");
}

TEST_F(HolidayUpdateTest, ReloadsTheStoresOfTheShownYear) {
    WriteFirstStartFiles();
    g_YearCalendar.year = 126;
    ASSERT_TRUE(UpdateOfficialHolidays(OfficialListBytes()).ok);
    EXPECT_NE(g_strYearHoliday.find(Sjis("山の日")), std::string::npos) << g_strYearHoliday;
    EXPECT_NE(g_strStaticHoliday.find(Sjis("元日")), std::string::npos);
    EXPECT_NE(g_strDynamicHoliday.find(Sjis("成人の日")), std::string::npos);
}

struct BadListRow {
    const char* name;
    std::string csv;
    OfficialListFault fault;
    int line;
};

std::string Header() { return Sjis("国民の祝日・休日月日,国民の祝日・休日名称") + "\r\n"; }

std::vector<BadListRow> BadLists() {
    const std::string good = FileBytes(VELMORA_OFFICIAL_LIST);
    const std::string body = good.substr(good.find('\n') + 1);
    return {
        {"empty", "", OfficialListFault::Empty, 0},
        {"blank_lines_only", "\r\n\r\n", OfficialListFault::Empty, 0},
        {"header_only", Header(), OfficialListFault::Empty, 0},
        {"wrong_header", "date,name\r\n" + body, OfficialListFault::Header, 1},
        {"utf8", "国民の祝日・休日月日,国民の祝日・休日名称\r\n1955/1/1,元日\r\n", OfficialListFault::Encoding, 1},
        {"utf8_with_mark", "\xEF\xBB\xBF" + Header(), OfficialListFault::Encoding, 1},
        {"utf8_body", Header() + "1955/1/1,元日\r\n", OfficialListFault::Encoding, 2},
        {"no_such_date", Header() + "1955/1/1," + Sjis("元日") + "\r\n1955/2/30," + Sjis("休日") + "\r\n",
         OfficialListFault::NoSuchDate, 3},
        {"month_13", Header() + "1955/13/1," + Sjis("元日") + "\r\n", OfficialListFault::NoSuchDate, 2},
        {"no_comma", Header() + "1955/1/1\r\n", OfficialListFault::Syntax, 2},
        {"letters_in_date", Header() + "1955/1/x," + Sjis("元日") + "\r\n", OfficialListFault::Syntax, 2},
        {"caret_in_name", Header() + "1955/1/1,a^b\r\n", OfficialListFault::Syntax, 2},
        {"out_of_order", Header() + "1955/1/15,a\r\n1955/1/1,b\r\n", OfficialListFault::Order, 3},
        {"duplicate", Header() + "1955/1/1,a\r\n1955/1/1,b\r\n", OfficialListFault::Order, 3},
        {"starts_late", Header() + "1956/1/1,a\r\n", OfficialListFault::Years, 2},
        {"skips_a_year", Header() + "1955/1/1,a\r\n1957/1/1,b\r\n", OfficialListFault::Years, 3},
        {"ends_too_early", Header() + "1955/1/1,a\r\n", OfficialListFault::Years, 0},
        {"blank_line_inside", Header() + "1955/1/1,a\r\n\r\n1956/1/1,b\r\n", OfficialListFault::Syntax, 3},
        {"too_large", Header() + body + std::string(kMaxOfficialListBytes, '\n'), OfficialListFault::TooLarge, 0},
    };
}

class BadListTest : public ModelTest, public ::testing::WithParamInterface<BadListRow> {};

TEST_P(BadListTest, IsRefusedNamingTheLineAndChangesNothing) {
    const BadListRow& row = GetParam();
    const OfficialListParse parse = ParseOfficialList(row.csv);
    EXPECT_FALSE(parse.ok);
    EXPECT_EQ(parse.fault, row.fault) << parse.error;
    EXPECT_EQ(parse.line, row.line) << parse.error;
    if (row.line > 0) {
        EXPECT_TRUE(parse.error.starts_with("line " + std::to_string(row.line) + ": ")) << parse.error;
    }

    WriteFirstStartFiles();
    const auto before = Snapshot();
    const HolidayUpdateResult result = UpdateOfficialHolidays(row.csv);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorKind, HolidayUpdateError::BadList);
    EXPECT_EQ(result.errorLine, row.line);
    EXPECT_EQ(result.filesWritten, 0);
    EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, BadListTest, ::testing::ValuesIn(BadLists()), RowName());

TEST(OfficialListTest, ReadsTheCarriedList) {
    const OfficialListParse parse = ParseOfficialList(OfficialListBytes());
    ASSERT_TRUE(parse.ok) << parse.error;
    EXPECT_EQ(parse.list.firstYear, 1955);
    EXPECT_EQ(parse.list.lastYear, 2027);
    EXPECT_EQ(parse.list.days.size(), 1067u);
    EXPECT_EQ(parse.list.days.front(), (DatedHoliday{1955, 1, 1, Sjis("元日")}));
    EXPECT_EQ(parse.list.days.back(), (DatedHoliday{2027, 11, 23, Sjis("勤労感謝の日")}));
    // LF alone and no line end after the last line read the same.
    std::string lf = OfficialListBytes();
    std::erase(lf, '\r');
    lf.pop_back();
    const OfficialListParse parsedLf = ParseOfficialList(lf);
    ASSERT_TRUE(parsedLf.ok) << parsedLf.error;
    EXPECT_EQ(parsedLf.list.days, parse.list.days);
}

// Fails the n-th call of one kind during the update and checks that every file is old or new.
struct FaultInjection {
    static inline int failAt = 0;
    static inline int count = 0;
    static inline bool failRename = true;
    static int RenameAt(int fromDirectory, const char* from, int toDirectory, const char* to) {
        if (failRename && ++count == failAt) {
            errno = EIO;
            return -1;
        }
        return ::renameat(fromDirectory, from, toDirectory, to);
    }
    static ssize_t Write(int fd, const void* buffer, std::size_t size) {
        if (!failRename && ++count == failAt) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, buffer, size);
    }
    static int MkdirAt(int directory, const char* path, mode_t mode) {
        if (failAt == 0) {
            errno = EROFS;
            return -1;
        }
        return ::mkdirat(directory, path, mode);
    }
};

// Goes back as the README says: the backup's copies put back, the files it lists as made by the
// update deleted, nothing else touched; returns the data files then.
std::map<std::string, std::string> GoBack(const std::string& backup) {
    for (const auto& entry : std::filesystem::directory_iterator(backup)) {
        const std::string name = entry.path().filename().string();
        if (name != kCreatedList) {
            std::filesystem::copy_file(entry, name, std::filesystem::copy_options::overwrite_existing);
            continue;
        }
        std::istringstream made(FileBytes(entry.path().string()));
        for (std::string line; std::getline(made, line);) std::filesystem::remove(line);
    }
    std::map<std::string, std::string> back = Snapshot();
    std::erase_if(back, [](const auto& file) { return file.first.starts_with("./holidays-backup-"); });
    return back;
}

TEST_F(HolidayUpdateTest, AFailingSaveAtEachStepLeavesOldOrNewFilesOnly) {
    WriteFirstStartFiles();
    const std::string userYear = "5^1^" + Sjis("メーデー") + "^100~";
    ASSERT_EQ(WriteTextFile(YearHolidayFileName(126), userYear), 1);
    const auto old = Snapshot();
    const HolidayUpdateResult done = UpdateOfficialHolidays(OfficialListBytes());
    ASSERT_TRUE(done.ok) << done.error;
    std::map<std::string, std::string> fresh = Snapshot();
    std::erase_if(fresh, [](const auto& file) { return file.first.starts_with("./holidays-backup-"); });
    const auto restore = [&] {
        ResetModelState();
        for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry);
        for (const auto& [name, bytes] : old) PutFileBytes(name, bytes);
    };

    // Renames: 147 data files; writes: the backup's three copies, its list of the files the
    // update makes, the mark of an update not yet done, then the data files; a write step 0 fails
    // the making of the backup folder instead.
    struct Step {
        bool rename;
        int at;
    };
    // The update from the old files with the step's call failing.
    const auto failingUpdate = [&](Step step) {
        restore();
        FaultInjection::failAt = step.at;
        FaultInjection::count = 0;
        FaultInjection::failRename = step.rename;
        FileSystemCalls calls = RealFileSystemCalls();
        calls.renameAt = &FaultInjection::RenameAt;
        calls.writeFile = &FaultInjection::Write;
        calls.mkdirAt = &FaultInjection::MkdirAt;
        SetFileSystemCallsForTesting(calls);
        const HolidayUpdateResult result = UpdateOfficialHolidays(OfficialListBytes());
        ResetFileSystemCalls();
        return result;
    };
    for (const Step step :
         {Step{true, 1}, Step{true, 2}, Step{true, 72}, Step{true, 146}, Step{true, 147}, Step{false, 1},
          Step{false, 3}, Step{false, 4}, Step{false, 5}, Step{false, 6}, Step{false, 100}, Step{false, 150},
          Step{false, 0}}) {
        const HolidayUpdateResult result = failingUpdate(step);
        const std::string where =
            step.at == 0 ? "mkdir of the backup" : (step.rename ? "rename " : "write ") + std::to_string(step.at);
        EXPECT_FALSE(result.ok) << where;
        EXPECT_NE(result.error, "") << where;
        if (!step.rename && step.at <= 5) {
            EXPECT_EQ(result.errorKind, HolidayUpdateError::BackupFailed) << where;
            EXPECT_EQ(Snapshot(), old) << where;
        } else {
            EXPECT_EQ(result.errorKind, HolidayUpdateError::WriteFailed) << where;
        }
        for (const auto& [name, bytes] : Snapshot()) {
            if (name.starts_with("./holidays-backup-") || name == "./.holidays-update") continue;
            const auto before = old.find(name);
            const bool isOld = before != old.end() && before->second == bytes;
            EXPECT_TRUE(isOld || fresh.at(name) == bytes) << where << " " << name;
        }
        for (const auto& [name, bytes] : old) EXPECT_NE(FileBytes(name), "<missing>") << where << " " << name;
        // What is left is completed by a second update.
        ResetModelState();
        const HolidayUpdateResult again = UpdateOfficialHolidays(OfficialListBytes());
        EXPECT_TRUE(again.ok) << where << " " << again.error;
        std::map<std::string, std::string> now = Snapshot();
        std::erase_if(now, [](const auto& file) { return file.first.starts_with("./holidays-backup-"); });
        EXPECT_EQ(now, fresh) << where;
        // The one backup of both runs leads back to the files before the first.
        if (result.errorKind == HolidayUpdateError::WriteFailed) {
            EXPECT_EQ(again.backupFolder, result.backupFolder) << where;
        }
        EXPECT_EQ(GoBack(again.backupFolder), old) << where;
    }

    // A file that the stopped run had not reached yet, changed before the rerun, comes back as it
    // was changed.
    const HolidayUpdateResult stopped = failingUpdate({true, 100});
    ASSERT_EQ(stopped.errorKind, HolidayUpdateError::WriteFailed);
    ASSERT_EQ(WriteTextFile(kStaticHolidayFile, ReadTextFile(kStaticHolidayFile) + "6^1^mine^0~"), 1);
    std::map<std::string, std::string> changed = old;
    changed["./Static_holi.txt"] = FileBytes(kStaticHolidayFile);
    ASSERT_TRUE(UpdateOfficialHolidays(OfficialListBytes()).ok);
    EXPECT_EQ(GoBack(stopped.backupFolder), changed);
}

TEST_F(HolidayUpdateTest, AnUnreadableFileStopsTheUpdateBeforeAnyWrite) {
    WriteFirstStartFiles();
    ASSERT_EQ(::mkdir("130_holi.txt", 0700), 0);  // a folder where a year file belongs
    const auto before = Snapshot();
    const HolidayUpdateResult result = UpdateOfficialHolidays(OfficialListBytes());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorKind, HolidayUpdateError::UnreadableFile);
    EXPECT_EQ(result.failedFile, "130_holi.txt");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(HolidayUpdateTest, AFirstStartWritesTheUpdateAndACutShortOneIsCompletedByTheNext) {
    ASSERT_EQ(UpdateOfficialHolidays(OfficialListBytes()).filesWritten, 147);
    std::map<std::string, std::string> update = Snapshot();
    std::erase_if(update, [](const auto& file) { return file.first.starts_with("./holidays-backup-"); });
    for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry);
    ResetModelState();

    // An empty folder gets exactly what the update writes there, and no backup of nothing.
    ASSERT_EQ(PutInFirstStartHolidays(VELMORA_OFFICIAL_LIST), FirstStartHolidays::Official);
    const std::map<std::string, std::string> fresh = Snapshot();
    EXPECT_EQ(fresh, update);
    // A start cut short after any file (the rename that puts each in place fails, as a kill
    // before it leaves things) finds the fixed-date file empty and completes the files.
    for (const int at : {1, 2, 73, 145, 146, 147}) {
        for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry);
        ResetModelState();
        FaultInjection::failAt = at;
        FaultInjection::count = 0;
        FaultInjection::failRename = true;
        FileSystemCalls calls = RealFileSystemCalls();
        calls.renameAt = &FaultInjection::RenameAt;
        SetFileSystemCallsForTesting(calls);
        EXPECT_EQ(PutInFirstStartHolidays(VELMORA_OFFICIAL_LIST), FirstStartHolidays::Incomplete) << at;
        ResetFileSystemCalls();
        RemoveLeftoverTempFiles();
        EXPECT_EQ(Snapshot().size(), static_cast<std::size_t>(at - 1)) << at;
        ResetModelState();
        LoadHolidayData();
        ASSERT_EQ(g_strStaticHoliday, "") << at;
        EXPECT_EQ(PutInFirstStartHolidays(VELMORA_OFFICIAL_LIST), FirstStartHolidays::Official) << at;
        EXPECT_EQ(Snapshot(), fresh) << at;
    }

    // Without the list, the built-in tables; a holiday file of the user's is never changed.
    for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry);
    ResetModelState();
    EXPECT_EQ(PutInFirstStartHolidays(""), FirstStartHolidays::BuiltIn);
    const std::map<std::string, std::string> builtIn = Snapshot();
    std::filesystem::remove(kStaticHolidayFile);
    std::filesystem::remove(kDynamicHolidayFile);
    WriteFirstStartFiles();
    EXPECT_EQ(Snapshot(), builtIn);
    std::filesystem::remove(kStaticHolidayFile);
    std::filesystem::remove(kDynamicHolidayFile);
    ResetModelState();
    const std::string userYear = "5^1^" + Sjis("メーデー") + "^100~";
    ASSERT_EQ(WriteTextFile(YearHolidayFileName(126), userYear), 1);
    const std::string userYearBytes = FileBytes(YearHolidayFileName(126));
    EXPECT_EQ(PutInFirstStartHolidays(VELMORA_OFFICIAL_LIST), FirstStartHolidays::BuiltIn);
    std::map<std::string, std::string> withUsers = builtIn;
    withUsers["./" + YearHolidayFileName(126)] = userYearBytes;
    EXPECT_EQ(Snapshot(), withUsers);
}

TEST(InstalledHolidayListTest, FoundInShareBesideTheProgramFolderOnly) {
    const std::string root = ::testing::TempDir() + "velmora-installed-list";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/bin");
    PutFileBytes(root + "/bin/velmora", "");
    EXPECT_EQ(InstalledHolidayListPath((root + "/bin/velmora").c_str()), "");
    std::filesystem::create_directories(root + "/share/velmora/holidays");
    PutFileBytes(root + "/share/velmora/holidays/syukujitsu.csv", "x");
    EXPECT_EQ(InstalledHolidayListPath((root + "/bin/velmora").c_str()),
              std::filesystem::canonical(root + "/share/velmora/holidays/syukujitsu.csv").string());
    std::filesystem::remove_all(root);
}

}  // namespace
