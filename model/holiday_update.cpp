#include "model/holiday_update.h"

#include "model/calendar_math.h"
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/holiday_law.h"
#include "model/official_holidays.h"
#include "model/present_time.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/whole_file.h"
#include "model/year_calendar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <set>
#include <utility>

namespace {

constexpr int kSunday = 0;
constexpr int kMonday = 1;
// Before this year the law knew no substitute days: the pass's Sunday rule may mark days the list
// does not have, but none of the list's days may be missing.
constexpr int kFirstExactYear = 1974;
constexpr int kYearCount = kLastUpdatedYear - kFirstUpdatedYear + 1;
constexpr int kMaxBackupNameTries = 100;
// In the data folder while an update has not yet written every file: the name of its backup
// folder, which a later run goes on using.
constexpr const char* kUnfinishedMark = ".holidays-update";

struct Date {
    int month;
    int day;
    bool operator==(const Date&) const = default;
    bool operator<(const Date& other) const { return month != other.month ? month < other.month : day < other.day; }
};

struct TableRecord {
    Date date;  // for a rule record, the date it stands on up to 1999
    std::string name;
    int kind;
};

using YearDays = std::vector<DatedHoliday>;

// The date that a record of `kind` 1..5 stands on in `year`, as the holiday pass places it: its own
// date up to 1999, the n-th Monday of its month from 2000.
Date RuleDate(const TableRecord& record, int year) {
    if (year < 2000) return record.date;
    const int firstWeekday = WeekdayOf(year, record.date.month - 1, 1);
    const int firstMonday = 1 + (kMonday - firstWeekday + 7) % 7;
    return {record.date.month, firstMonday + (record.kind - 1) * 7};
}

// The day after a Sunday that the pass marks as well: the next day of the month, or the 1st of the
// next month after a 31st; nothing for the last day of a shorter month or after 31 December.
std::optional<Date> SundayRuleDay(int year, Date date) {
    if (WeekdayOf(year, date.month - 1, date.day) != kSunday) return std::nullopt;
    if (date.day < 31) {
        if (date.day + 1 > DaysInMonth(year, date.month - 1)) return std::nullopt;
        return Date{date.month, date.day + 1};
    }
    if (date.month == 12) return std::nullopt;
    return Date{date.month + 1, 1};
}

std::string MakeRecord(Date date, std::string_view name, int kind) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "^" + std::to_string().
    std::string record = std::to_string(date.month);
    record += '^';
    record += std::to_string(date.day);
    record += '^';
    record += name;
    record += '^';
    record += std::to_string(kind);
    record += '^';
    record += kOfficialRecordMark;
    record += '~';
    return record;
}

// The records of the update: the fixed-date and rule-based ones, and each year's one-year ones.
struct UpdateRecords {
    std::vector<TableRecord> fixed;
    std::vector<TableRecord> rules;
    std::vector<std::vector<std::pair<Date, std::string>>> oneYear;  // by year from kFirstUpdatedYear
    std::string fault;                                               // a day the pass could not show
};

const DatedHoliday* FindDay(const YearDays& days, Date date) {
    for (const DatedHoliday& day : days) {
        if (day.month == date.month && day.day == date.day) return &day;
    }
    return nullptr;
}

// Keeps in the tables only the first year's days that every year holds on the same date (or by
// the same n-th Monday rule) under the same name: a table record stands in every year, and the
// pass can only add days. Every other day becomes a one-year record of its year.
UpdateRecords ChooseRecords(const std::vector<YearDays>& years) {
    UpdateRecords records;
    const auto everyYear = [&](const TableRecord& candidate) {
        for (int i = 0; i < kYearCount; ++i) {
            const int year = kFirstUpdatedYear + i;
            const Date date = candidate.kind == kFixedDateKind ? candidate.date : RuleDate(candidate, year);
            const DatedHoliday* day = FindDay(years[static_cast<std::size_t>(i)], date);
            if (day == nullptr || day->name != candidate.name) return false;
        }
        return true;
    };
    for (const DatedHoliday& day : years.front()) {
        TableRecord candidate{{day.month, day.day}, day.name, kFixedDateKind};
        if (everyYear(candidate)) {
            records.fixed.push_back(candidate);
            continue;
        }
        for (int nth = 1; nth <= 4; ++nth) {
            candidate.kind = nth;
            if (everyYear(candidate)) {
                records.rules.push_back(candidate);
                break;
            }
        }
    }

    records.oneYear.resize(years.size());
    for (int i = 0; i < kYearCount && records.fault.empty(); ++i) {
        const int year = kFirstUpdatedYear + i;
        std::set<Date> tableDates;
        for (const TableRecord& record : records.fixed) tableDates.insert(record.date);
        for (const TableRecord& record : records.rules) tableDates.insert(RuleDate(record, year));
        std::set<Date> marked;
        const auto mark = [&](Date date) {
            marked.insert(date);
            if (const std::optional<Date> next = SundayRuleDay(year, date)) marked.insert(*next);
        };
        for (const Date& date : tableDates) mark(date);
        std::set<Date> wanted;
        for (const DatedHoliday& day : years[static_cast<std::size_t>(i)]) {
            const Date date{day.month, day.day};
            wanted.insert(date);
            if (tableDates.contains(date)) continue;
            records.oneYear[static_cast<std::size_t>(i)].emplace_back(date, day.name);
            mark(date);
        }
        // Check what the pass will show: from 1974 exactly the year's days, before that all of them.
        for (const Date& date : marked) {
            if (year >= kFirstExactYear && !wanted.contains(date)) {
                records.fault = "the calendar would show " + std::to_string(year) + "/" + std::to_string(date.month) +
                                "/" + std::to_string(date.day) +
                                " as a holiday after a Sunday holiday, but the list has no day off there";
                break;
            }
        }
    }
    return records;
}

std::vector<YearDays> TargetYears(const OfficialList& list) {
    std::vector<YearDays> years(kYearCount);
    for (const DatedHoliday& day : list.days)
        years[static_cast<std::size_t>(day.year - kFirstUpdatedYear)].push_back(day);
    for (int year = list.lastYear + 1; year <= kLastUpdatedYear; ++year)
        years[static_cast<std::size_t>(year - kFirstUpdatedYear)] = LawHolidays(year);
    return years;
}

// The fifteen records the first start writes, exactly as it writes them.
std::vector<std::string> BuiltInRecords() {
    std::vector<std::string> records;
    for (auto [store, fill] : {std::pair{&g_strStaticHoliday, &SetDefaultStaticHolidays},
                               std::pair{&g_strDynamicHoliday, &SetDefaultDynamicHolidays}}) {
        std::string kept = std::exchange(*store, std::string());
        fill();
        std::string_view rest = *store;
        while (!rest.empty()) records.emplace_back(CutRecord(rest));
        *store = std::move(kept);
    }
    return records;
}

bool IsBuiltIn(std::string_view record, const std::vector<std::string>& builtIns) {
    // The pass reads a number over leading blanks, so a built-in record after a line break is
    // still the built-in record.
    const std::size_t start = record.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    const std::string closed = CloseRecord(record.substr(start));
    return std::find(builtIns.begin(), builtIns.end(), closed) != builtIns.end();
}

bool IsOurs(std::string_view record) {
    std::string_view rest = record;
    std::string_view field;
    for (int i = 0; i < 5; ++i) CutField(rest, field);
    return field == kOfficialRecordMark && rest.empty() && (record.ends_with('~') || record.ends_with(field));
}

bool HoldsOnlyOurs(std::string_view store) {
    while (!store.empty()) {
        if (!IsOurs(CutRecord(store))) return false;
    }
    return true;
}

// Returns the store with the built-in and earlier update records replaced by `ours`, every other
// record kept where it was; the store itself when it holds exactly `ours` already.
std::string ReplaceRecords(const std::string& store, const std::vector<std::string>& ours,
                           const std::vector<std::string>& builtIns) {
    std::string kept;
    std::vector<std::string_view> found;
    bool hasBuiltIn = false;
    std::string_view rest = store;
    while (!rest.empty()) {
        const std::string_view record = CutRecord(rest);
        if (IsOurs(record)) {
            found.push_back(record);
        } else if (IsBuiltIn(record, builtIns)) {
            hasBuiltIn = true;
        } else {
            // An unterminated last record is closed, so that the records after it stay records.
            kept += rest.empty() ? CloseRecord(record) : std::string(record);
        }
    }
    if (!hasBuiltIn && std::equal(found.begin(), found.end(), ours.begin(), ours.end())) return store;
    for (const std::string& record : ours) kept += record;
    return kept;
}

// Reads a whole regular file; with `ownOnly`, only a file of this user that is no link.
std::optional<std::string> ReadRawFile(const std::string& path, bool ownOnly = false) {
    return ReadWholeFile(AT_FDCWD, path, {.noFollow = ownOnly, .ownOnly = ownOnly});
}

bool WriteNewRawFile(const std::string& path, std::string_view bytes) {
    return WriteNewFile(AT_FDCWD, path, bytes, 0600);
}

// Returns the lines of a text, each without its line break.
std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end > start) lines.insert(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Returns the backup folder of an update that was stopped before it had written every file, as
// its mark in the data folder names it, when that is a folder of this user's; else "".
std::string UnfinishedBackup(const FileSystemCalls& fs) {
    const std::optional<std::string> mark = ReadRawFile(kUnfinishedMark, true);
    if (!mark) return {};
    const std::string folder = mark->substr(0, mark->find('\n'));
    struct stat status {};
    if (!folder.starts_with("holidays-backup-") || folder.find('/') != std::string::npos ||
        fs.statAt(AT_FDCWD, folder.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != fs.effectiveUserId())
        return {};
    return folder;
}

// Copies each existing file of `names` byte for byte into the backup folder, and lists in its
// kCreatedList the names that the update is about to make, so that going back deletes only
// those. `folder` is the backup of an unfinished update, whose copies of the files that update
// had not yet written stay, or "" for a new folder "holidays-backup-YYYYMMDD-HHMMSS" of the data
// folder. Returns the folder, or "" after removing what it added when any step fails.
std::string BackUp(const std::vector<std::string>& names, std::string folder) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    const bool reused = !folder.empty();
    const std::string stem = "holidays-backup-" + FileTimeStamp();
    for (int attempt = 1; attempt <= kMaxBackupNameTries && folder.empty(); ++attempt) {
        const std::string name = attempt == 1 ? stem : stem + "-" + std::to_string(attempt);
        if (fs.mkdirAt(AT_FDCWD, name.c_str(), 0700) == 0) {
            folder = name;
        } else if (errno != EEXIST) {
            return {};
        }
    }
    if (folder.empty()) return {};
    const std::string listPath = folder + "/" + kCreatedList;
    std::set<std::string> created;
    if (reused) created = Lines(ReadRawFile(listPath, true).value_or(""));
    std::vector<std::string> copies;  // the copies this run added
    bool ok = true;
    for (const std::string& name : names) {
        const std::string copy = folder + "/" + name;
        struct stat status {};
        const bool held = fs.statAt(AT_FDCWD, copy.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (fs.statAt(AT_FDCWD, name.c_str(), &status, 0) != 0 && errno == ENOENT) {
            if (!held) created.insert(name);
            continue;
        }
        // What stands there now is kept, and never deleted on the way back, unless the backup
        // already holds the same bytes: a file the unfinished run had not reached yet may have
        // been changed since, or one it made may hold records added since.
        created.erase(name);
        const std::optional<std::string> bytes = ReadRawFile(name);
        if (held && bytes && ReadRawFile(copy, true) == bytes) continue;
        const std::string temp = folder + "/." + name + ".tmp";
        fs.unlinkAt(AT_FDCWD, temp.c_str(), 0);
        ok = bytes && WriteNewRawFile(temp, *bytes) && fs.renameFile(temp.c_str(), copy.c_str()) == 0;
        if (!ok) {
            fs.unlinkAt(AT_FDCWD, temp.c_str(), 0);
            break;
        }
        if (!held) copies.push_back(copy);
    }
    // The list is replaced whole, so that a kill leaves the old list or the new one.
    std::string list;
    for (const std::string& name : created) list += name + "\n";
    const std::string listTemp = folder + "/." + kCreatedList + ".tmp";
    fs.unlinkAt(AT_FDCWD, listTemp.c_str(), 0);
    ok = ok && WriteNewRawFile(listTemp, list) && fs.renameFile(listTemp.c_str(), listPath.c_str()) == 0;
    const int folderFd = ok ? fs.openFile(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0) : -1;
    ok = folderFd >= 0 && fs.syncFile(folderFd) == 0 && ok;
    if (folderFd >= 0) fs.closeFile(folderFd);
    // Until every file is written, the mark names this folder for a run that completes the update.
    if (ok && !reused) {
        fs.unlinkAt(AT_FDCWD, kUnfinishedMark, 0);
        ok = WriteNewRawFile(kUnfinishedMark, folder + "\n");
    }
    if (ok) return folder;
    fs.unlinkAt(AT_FDCWD, listTemp.c_str(), 0);
    for (const std::string& copy : copies) fs.unlinkAt(AT_FDCWD, copy.c_str(), 0);
    if (!reused) {
        fs.unlinkAt(AT_FDCWD, listPath.c_str(), 0);
        fs.unlinkAt(AT_FDCWD, folder.c_str(), AT_REMOVEDIR);
    }
    return {};
}

struct PlannedFile {
    std::string name;
    std::string store;              // what the file is to hold
    std::vector<std::string> ours;  // the update's records in it
};

// Flushes what was written to the data folder's file system to the disk: once for all files, as a
// flush each costs a wait for the disk.
bool FlushFolder(const FileSystemCalls& fs) {
    const int folder = fs.openFile(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    const bool ok = folder >= 0 && ::syncfs(folder) == 0 && fs.syncFile(folder) == 0;
    if (folder >= 0) fs.closeFile(folder);
    return ok;
}

HolidayUpdateResult Failure(HolidayUpdateError kind, std::string error, std::string file = {}) {
    HolidayUpdateResult result;
    result.errorKind = kind;
    result.error = std::move(error);
    result.failedFile = std::move(file);
    return result;
}

}  // namespace

namespace {

// What an update would write: the files whose stores change, in the order they are to be
// written, or the fault that stops it before any write.
struct UpdatePlan {
    std::optional<HolidayUpdateResult> fault;
    std::vector<PlannedFile> changed;
};

UpdatePlan PlanUpdate(std::string_view csvCp932, HolidayUpdateMode mode) {
    const OfficialListParse parse = ParseOfficialList(csvCp932);
    if (!parse.ok) {
        HolidayUpdateResult result = Failure(HolidayUpdateError::BadList, parse.error);
        result.errorLine = parse.line;
        return {result, {}};
    }
    const UpdateRecords records = ChooseRecords(TargetYears(parse.list));
    if (!records.fault.empty()) return {Failure(HolidayUpdateError::BadList, records.fault), {}};
    // A store that an earlier save could not write stands in for its file; writing the file under
    // it would be undone by the next save, or would drop the user's edit.
    if (const std::vector<std::string> unsaved = UnsavedHolidayFiles(); !unsaved.empty())
        return {
            Failure(HolidayUpdateError::UnsavedChanges,
                    "holiday changes not yet saved to " + unsaved.front() + " must be saved first", unsaved.front()),
            {}};

    const std::vector<std::string> builtIns = BuiltInRecords();
    std::vector<PlannedFile> files;
    // Files that gain records first, the tables last: a write cut short leaves a moved holiday in
    // both places rather than in none.
    for (int i = 0; i < kYearCount; ++i) {
        PlannedFile file{YearHolidayFileName(kFirstUpdatedYear + i - 1900), {}, {}};
        for (const auto& [date, name] : records.oneYear[static_cast<std::size_t>(i)])
            file.ours.push_back(MakeRecord(date, name, kOneYearKind));
        files.push_back(std::move(file));
    }
    PlannedFile rules{kDynamicHolidayFile, {}, {}};
    for (const TableRecord& record : records.rules)
        rules.ours.push_back(MakeRecord(record.date, record.name, record.kind));
    files.push_back(std::move(rules));
    PlannedFile fixed{kStaticHolidayFile, {}, {}};
    for (const TableRecord& record : records.fixed)
        fixed.ours.push_back(MakeRecord(record.date, record.name, kFixedDateKind));
    files.push_back(std::move(fixed));

    std::vector<PlannedFile> changed;
    for (PlannedFile& file : files) {
        const std::string now = ReadTextFile(file.name);
        if (IsUnreadableFile(file.name))
            return {Failure(HolidayUpdateError::UnreadableFile, file.name + " cannot be read", file.name), {}};
        // A first start completes only its own writes: a record the user has is left to the user's update.
        if (mode == HolidayUpdateMode::FirstStart && !HoldsOnlyOurs(now))
            return {Failure(HolidayUpdateError::NotNewFolder, file.name + " holds holidays the update did not write",
                            file.name),
                    {}};
        file.store = ReplaceRecords(now, file.ours, builtIns);
        if (file.store != now) changed.push_back(std::move(file));
    }

    return {std::nullopt, std::move(changed)};
}

}  // namespace

HolidayUpdateResult UpdateOfficialHolidays(std::string_view csvCp932, HolidayUpdateMode mode) {
    UpdatePlan plan = PlanUpdate(csvCp932, mode);
    if (plan.fault) return *plan.fault;
    std::vector<PlannedFile>& changed = plan.changed;

    HolidayUpdateResult result;
    const bool userAsked = mode == HolidayUpdateMode::UserAsked;
    if (changed.empty()) {
        // An earlier run that was stopped after its last write has nothing left to finish.
        if (userAsked) CurrentFileSystemCalls().unlinkAt(AT_FDCWD, kUnfinishedMark, 0);
    } else {
        // Every file is checked before the first is written, so that a file the update may not
        // replace stops it with nothing changed rather than half-way.
        for (const PlannedFile& file : changed) {
            if (!CanWriteTextFile(file.name)) {
                LoadHolidayData();
                return Failure(HolidayUpdateError::CannotReplace,
                               file.name +
                                   " cannot be replaced (no write permission, or another user's file in a folder "
                                   "that lets only its owner replace it); nothing was changed",
                               file.name);
            }
        }
        std::vector<std::string> names;
        for (const PlannedFile& file : changed) names.push_back(file.name);
        // A first start replaces no file of the user's, so a backup would hold nothing to go back to.
        if (userAsked) result.backupFolder = BackUp(names, UnfinishedBackup(CurrentFileSystemCalls()));
        if (userAsked && result.backupFolder.empty()) {
            LoadHolidayData();
            return Failure(HolidayUpdateError::BackupFailed,
                           "the old holiday files could not be copied to a backup folder; nothing was changed");
        }
    }
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    for (const PlannedFile& file : changed) {
        // A first start flushes its files together before it writes the fixed-date file, whose
        // absence makes the next start go on: one wait for the disk instead of two a file.
        const bool last = &file == &changed.back();
        const bool flushed = userAsked || !last || FlushFolder(fs);
        std::optional<UnflushedWrites> unflushed;
        if (!userAsked && !last) unflushed.emplace();
        if (!flushed || !WriteTextFile(file.name, file.store)) {
            result.errorKind = HolidayUpdateError::WriteFailed;
            result.failedFile = file.name;
            result.error = file.name + " could not be written; " + std::to_string(result.filesWritten) +
                           " files before it hold the new holidays, it and the rest are as they were (backup in " +
                           result.backupFolder + ")";
            break;
        }
        result.changedFiles.push_back(file.name);
        ++result.filesWritten;
        if (file.name != kStaticHolidayFile && file.name != kDynamicHolidayFile)
            result.recordsWritten += static_cast<int>(file.ours.size());
    }
    if (userAsked && result.errorKind == HolidayUpdateError::None)
        CurrentFileSystemCalls().unlinkAt(AT_FDCWD, kUnfinishedMark, 0);
    LoadHolidayData();
    result.ok = result.errorKind == HolidayUpdateError::None;
    return result;
}

std::string InstalledHolidayListPath(const char* argv0OrExe) {
    const std::string given = argv0OrExe != nullptr ? argv0OrExe : "";
    const std::string exe = given.find('/') != std::string::npos ? given : "/proc/self/exe";
    char* resolved = ::realpath(exe.c_str(), nullptr);
    if (resolved == nullptr) return {};
    std::string path = resolved;
    std::free(resolved);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    // The program lives in bin/ (or app/, velmora-cal/ of the build tree), the list in share/ beside it.
    std::string list = path.substr(0, slash) + "/../share/velmora/holidays/syukujitsu.csv";
    char* listPath = ::realpath(list.c_str(), nullptr);
    if (listPath == nullptr) return {};
    list = listPath;
    std::free(listPath);
    struct stat status {};
    return ::stat(list.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? list : std::string();
}

FirstStartHolidays PutInFirstStartHolidays(const std::string& listPath) {
    const std::optional<std::string> list =
        listPath.empty() ? std::nullopt : ReadWholeFile(AT_FDCWD, listPath, {.maxBytes = kMaxOfficialListBytes});
    if (list) {
        const HolidayUpdateResult result = UpdateOfficialHolidays(*list, HolidayUpdateMode::FirstStart);
        if (result.ok) return FirstStartHolidays::Official;
        // The built-in tables over year files of the update would show two eras at once; the
        // fixed-date file is written last, so the next start finds it empty and goes on.
        if (result.errorKind == HolidayUpdateError::WriteFailed) return FirstStartHolidays::Incomplete;
    }
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    SaveHolidayData();
    return FirstStartHolidays::BuiltIn;
}

bool StandInFirstStartHolidays(const std::string& listPath) {
    const std::optional<std::string> list =
        listPath.empty() ? std::nullopt : ReadWholeFile(AT_FDCWD, listPath, {.maxBytes = kMaxOfficialListBytes});
    if (!list) return false;
    const UpdatePlan plan = PlanUpdate(*list, HolidayUpdateMode::FirstStart);
    if (plan.fault) return false;
    for (const PlannedFile& file : plan.changed) StandInForHolidayFile(file.name, file.store);
    LoadHolidayData();
    return true;
}
