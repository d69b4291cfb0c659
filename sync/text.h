#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A memo between the memo file (code page 932, CR LF breaks) and the server (UTF-8, LF breaks).
namespace memosync {

// Returns the server form of a memo: UTF-8 with LF breaks, where each line the memo holds as the
// code page 932 form of a line of `base` (the text both sides last agreed on) is that line of
// `base` with the server's exact characters, and every other line, edited here, is converted.
std::string ServerTextOfMemo(std::string_view memoCp932, std::string_view base);

// Returns the memo form of a server text: code page 932 with CR LF breaks; `replaced`, when given,
// is raised by the characters the code page lacks (each becomes 〓).
std::string MemoOfServerText(std::string_view utf8, std::size_t* replaced = nullptr);

}  // namespace memosync
