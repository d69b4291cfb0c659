#pragma once

#include <string>
#include <string_view>

// Returns the code page 932 text with each single-byte "^" replaced by "＾" and each "~" by "～",
// so that typed text can never split or cut the record it is stored in. The second byte of a
// double-byte character is never taken for either; a lead byte that ends the text becomes "〓".
std::string ReplaceRecordDelimiters(std::string_view text);
