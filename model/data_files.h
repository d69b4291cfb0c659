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
int WriteTextFile(const std::string& name, std::string_view text);
// Returns the store that the file `name` holds, or "" when it is missing or cannot be read.
std::string ReadTextFile(const std::string& name);

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
