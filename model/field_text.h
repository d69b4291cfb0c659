#pragma once

#include <string>
#include <string_view>

// Returns the code page 932 text with each single-byte "^" replaced by "＾" and each "~" by "～",
// and each NUL or 0x1A byte by "〓", so that typed or pasted text can never split or cut the record
// it is stored in nor end the file early. The second byte of a double-byte character is never
// taken for a delimiter; a lead byte without a valid second byte becomes "〓".
std::string ReplaceRecordDelimiters(std::string_view text);
