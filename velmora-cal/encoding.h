#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Code page 932 (the data files) <-> UTF-8 (the terminal, iCalendar) for velmora-cal, with iconv.
namespace cal {

// Returns the UTF-8 form of code page 932 bytes; each byte that starts no character becomes U+FFFD.
std::string Utf8FromCp932(std::string_view cp932);

// Returns the code page 932 form of UTF-8 text; each character the code page lacks (and each byte
// that is not UTF-8) becomes "〓", and `replaced`, when given, is raised by the number of them.
std::string Cp932FromUtf8(std::string_view utf8, std::size_t* replaced = nullptr);

}  // namespace cal
