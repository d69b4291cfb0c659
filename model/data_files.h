#pragma once

#include <string>
#include <string_view>

// Names of the data files, relative to the current directory.
inline constexpr const char* kMemoFile = "MemoData.txt";
inline constexpr const char* kStaticHolidayFile = "Static_holi.txt";
inline constexpr const char* kDynamicHolidayFile = "Dynamic_holi.txt";
// Returns "%d_holi.txt" of the year as years since 1900 ("126_holi.txt" for 2026).
std::string YearHolidayFileName(int year);

// Replaces the file `name` (through the symbolic links it had when read, keeping owner, group and
// permission bits) with `text` in the file layout, atomically; returns 1 on success, 0 on failure,
// leaving the old file as it was. Replaces only the file last read or written under that name:
// - fails with 0 for a file whose last read failed, a file or directory without write bits;
// - refuses (0, nothing written, a SaveRefused notice) when the name now leads through other
//   links or through a link of another user, to anything but a regular file, or to another
//   user's file that is not the one read;
// - keeps the file of another program (changed since read, or standing where none was read) as
//   "<name>.conflict-YYYYMMDD-HHMMSS" beside it, then writes (1, a ConflictKept notice);
// - keeps a file read that did not look like ours as "<name>.orig-YYYYMMDD-HHMMSS" before its
//   first change (an OriginalKept notice);
// - writes a file with several hard links in place, after copying its old content to
//   ".<name>.bak" beside it, so that no link is split.
// A name written before any read takes what stands there as the file read.
int WriteTextFile(const std::string& name, std::string_view text);
// Returns true when WriteTextFile would go on to write `name` now (the checks above, and that the
// folder takes a new file, which a sticky folder refuses in place of another user's), without
// writing anything or telling the user.
bool CanWriteTextFile(const std::string& name);
// Returns the store that the file `name` holds, or "" when it is missing or cannot be read, and
// remembers which file it was (through which links); a file that exists but cannot be read, and a
// name that leads through a symbolic link of another user than this one or root, is remembered as
// unreadable until a later read succeeds. Names are relative to the data folder,
// the current directory at the first read or write after ForgetDataFiles. A file that does not
// look like ours adds a ForeignFileRead notice.
std::string ReadTextFile(const std::string& name);
// Returns true when the last read of `name` found a file it could not read.
bool IsUnreadableFile(const std::string& name);
// Forgets the data folder, every file read or written and every notice, as at start-up;
// ResetModelState calls it.
void ForgetDataFiles();

// Writes g_strMemoData to "MemoData.txt" (whether it changed or not); returns 1 on success, else 0.
int SaveMemoData();
// Writes the fixed-date, rule-based and shown year's one-year stores, and any store an earlier save
// could not write: first the files that gain records, the fixed-date one last of those, then the
// rest, stopping at the first failure; a store not written stands in for its file until written.
// Returns 1 when all were written, else 0.
int SaveHolidayData();
// Reads g_strMemoData from "MemoData.txt"; returns 1 when the store is then non-empty.
int LoadMemoData();
// Reads the three holiday stores, the one-year store from the shown year's file; returns 1 when
// all three are then non-empty.
int LoadHolidayData();
