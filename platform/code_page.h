#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one place where code page 932 (the data files, the program's window texts) meets UTF-8 (Qt,
// the terminal, iCalendar), with iconv. Free of Qt, so that the command-line program uses it too.
namespace platform {

// Returns the UTF-8 form of code page 932 bytes; each byte that starts no character becomes U+FFFD.
std::string Utf8FromCp932(std::string_view cp932);

// Returns the code page 932 form of UTF-8 text; each character the code page lacks (and each byte
// that is not UTF-8) becomes "〓", and `replaced`, when given, is raised by the number of them.
std::string Cp932FromUtf8(std::string_view utf8, std::size_t* replaced = nullptr);

// Appends the UTF-8 form of one code point (below U+110000) to `out`.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace platform
