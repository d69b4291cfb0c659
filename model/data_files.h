#pragma once

#include <string>
#include <string_view>

// Names of the data files, relative to the current directory.
inline constexpr const char* kMemoFile = "MemoData.txt";
inline constexpr const char* kStaticHolidayFile = "Static_holi.txt";
inline constexpr const char* kDynamicHolidayFile = "Dynamic_holi.txt";
// Returns "%d_holi.txt" of the year as years since 1900 ("126_holi.txt" for 2026).
std::string YearHolidayFileName(int year);

// Replaces the file `name` (through any symbolic link, keeping its permission bits) with `text` in
// the file layout, atomically; returns 1 on success, 0 on failure, leaving the old file as it was.
// Fails with 0 for a file whose last read failed, a file or directory without write bits, and
// anything but a regular file.
int WriteTextFile(const std::string& name, std::string_view text);
// Returns the store that the file `name` holds, or "" when it is missing or cannot be read; a file
// that exists but cannot be read is remembered as unreadable until a later read succeeds.
std::string ReadTextFile(const std::string& name);
// Returns true when the last read of `name` (in the current directory) found a file it could not
// read.
bool IsUnreadableFile(const std::string& name);
// Forgets every file remembered as unreadable, as at start-up; ResetModelState calls it.
void ForgetUnreadableFiles();

// Writes g_strMemoData to "MemoData.txt"; returns 1 on success, else 0.
int SaveMemoData();
// Writes the fixed-date, rule-based and shown year's one-year stores in that order, stopping at
// the first failure; returns 1 when all three were written, else 0.
int SaveHolidayData();
// Reads g_strMemoData from "MemoData.txt"; returns 1 when the store is then non-empty.
int LoadMemoData();
// Reads the three holiday stores, the one-year store from the shown year's file; returns 1 when
// all three are then non-empty.
int LoadHolidayData();
