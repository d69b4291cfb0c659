#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Files held in memory behind the model's file system calls, so that a fuzz run reads and writes
// data files without touching the disk. Reads return chunks of the sizes set, an interrupted read
// for each size 0.
namespace fuzz {

// Puts the in-memory file system in place of the real calls, empty.
void UseMemoryFiles();
// Replaces a file's bytes.
void PutFile(const std::string& path, std::string_view bytes);
// Returns whether the file exists, and its bytes in `bytes`.
bool GetFile(const std::string& path, std::string& bytes);
// Returns the names of all files held.
std::vector<std::string> FileNames();
// Sets the sizes of successive reads (cycled); an empty list reads as much as asked.
void SetReadChunks(std::vector<std::size_t> sizes);

// Stops the run with a message: an invariant did not hold.
[[noreturn]] void Fail(const char* what, std::string_view detail = {});
// Stops the run when `condition` is false.
inline void Check(bool condition, const char* what, std::string_view detail = {}) {
    if (!condition) Fail(what, detail);
}

// Returns the offset of the first single-byte character of `delimiters` in the code page 932 text,
// or std::string_view::npos; second bytes of double-byte characters never match. A walk of its
// own, apart from the model's, so that the checks do not take the model's word for it.
std::size_t FindDelimiter(std::string_view text, std::string_view delimiters);

// Returns the number of days of month 0..11 of the year given as years since 1900.
int DaysInMonth(long long yearSince1900, int month);
// Returns the weekday (0 = Sunday) of the first of month 0..11, computed from the civil day count.
int WeekdayOfFirst(long long yearSince1900, int month);

}  // namespace fuzz
