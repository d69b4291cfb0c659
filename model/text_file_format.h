#pragma once

#include <string>
#include <string_view>

// The byte layout of a data file, apart from any storage.

// Returns the file bytes of a store: every LF written as CR LF, then one NUL.
std::string EncodeTextFile(std::string_view store);
// Returns the store that file bytes hold: CR LF read as LF, ended by 0x1A or by the first NUL.
std::string DecodeTextFile(std::string_view bytes);
