#pragma once

#include <string>
#include <string_view>
#include <vector>

// The first and last calendar years whose one-year holiday files the update writes.
inline constexpr int kFirstUpdatedYear = 1955;
inline constexpr int kLastUpdatedYear = 2099;

// The fifth field that marks the holiday records the update writes, so that a later update finds
// and replaces them; the holiday pass reads four fields and never sees it.
inline constexpr std::string_view kOfficialRecordMark = "official";

// The file in each backup folder that names, one a line, the files the update made where none
// was: going back deletes those and puts the copies back, and touches no other file.
inline constexpr const char* kCreatedList = "created-by-update.txt";

enum class HolidayUpdateError {
    None,
    BadList,         // the file is not the official list (error names the line)
    UnsavedChanges,  // holiday edits that an earlier save could not write are still pending
    UnreadableFile,  // a holiday file exists but cannot be read
    CannotReplace,   // a holiday file may not or cannot be replaced; nothing was changed
    BackupFailed,    // the backup folder or a copy in it could not be written; nothing was changed
    WriteFailed,     // a holiday file could not be written; the files before it are new, the rest old
    NotNewFolder,    // at a first start, a holiday file holds records the update did not write
};

enum class HolidayUpdateMode {
    UserAsked,   // backs up the files it replaces first
    FirstStart,  // only where every holiday file is missing or holds the update's records alone
};

struct HolidayUpdateResult {
    bool ok = false;
    HolidayUpdateError errorKind = HolidayUpdateError::None;
    std::string error;       // one English line; for BadList it names the line at fault
    int errorLine = 0;       // for BadList, the line at fault (from 1), or 0
    int recordsWritten = 0;  // one-year records of the update in the files written
    int filesWritten = 0;
    std::string backupFolder;               // where the old files were copied; "" when none was made
    std::vector<std::string> changedFiles;  // the files written, in the order written
    std::string failedFile;                 // for UnreadableFile, CannotReplace and WriteFailed, the file at fault
};

// Parses the official list (code page 932 CSV bytes); on success replaces the built-in records of
// the fixed-date and rule-based tables and the update's own records of earlier runs, writes the
// one-year files 1955..2099 (keeping every other record byte for byte), backs up the old files
// first (a run after one that was stopped goes on with that run's backup), and reloads
// g_strStaticHoliday, g_strDynamicHoliday and g_strYearHoliday (the shown year
// g_YearCalendar.year) from the files. On a fault found before writing (a file it may not
// replace among them), changes nothing; on a failed write, leaves each file old or new and says
// which. At a first start it writes only where no holiday file holds a record it did not write
// (it makes no backup: nothing of the user's is replaced) and changes nothing otherwise.
HolidayUpdateResult UpdateOfficialHolidays(std::string_view csvCp932,
                                           HolidayUpdateMode mode = HolidayUpdateMode::UserAsked);

// What a start that found no fixed-date holidays put in.
enum class FirstStartHolidays {
    Official,    // the official list and the law, as the update writes them
    BuiltIn,     // the built-in tables (no list, an unusable list, or holiday files of the user's)
    Incomplete,  // a file could not be written; the next start goes on where this one stopped
};

// At a start that finds the fixed-date store empty: writes the official list at `listPath` as the
// update does when every holiday file is missing or holds only the update's records (a new
// folder, or a first start cut short), else the built-in tables, and saves them at once.
FirstStartHolidays PutInFirstStartHolidays(const std::string& listPath);

// Makes what PutInFirstStartHolidays would write from the official list at `listPath` stand in
// for the holiday files in memory (StandInForHolidayFile), writing nothing, and reloads the
// stores; returns false, with nothing changed, where that start would write the built-in tables.
bool StandInFirstStartHolidays(const std::string& listPath);

// Returns the path of the official list installed with the program (the build tree's copy when run
// from the build tree), found beside the executable `argv0OrExe` (or this process's executable
// when it names none), or "" when there is none.
std::string InstalledHolidayListPath(const char* argv0OrExe);
