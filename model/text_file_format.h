#pragma once

#include <string>
#include <string_view>

// The byte layout of a data file, apart from any storage.

// Returns the file bytes of a store: every LF written as CR LF, then one NUL.
std::string EncodeTextFile(std::string_view store);
// Returns the store that file bytes hold: CR LF read as LF, ended by 0x1A or by the first NUL.
std::string DecodeTextFile(std::string_view bytes);
// Returns true when file bytes do not look like a file this program writes, so that rewriting
// them could lose what they hold: a byte-order mark, bytes after the first NUL or 0x1A (UTF-16
// text holds NULs between its characters), or valid multi-byte UTF-8 that is not plausible code
// page 932.
bool LooksForeign(std::string_view bytes);
