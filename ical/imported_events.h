#pragma once

#include "ical/memo_merge.h"

#include <optional>
#include <string>
#include <string_view>

// The data folder's record of which memo lines came from which event's UID, as text.
namespace ics {

// The file beside the memo file that holds the record; the memo file itself never does.
inline constexpr const char* kImportedEventsFile = ".velmora-imported.txt";

// Returns the record as the file holds it: a first line naming the layout, then one line a block,
// "UID<TAB>YYYY-MM-DD<TAB>text", backslash escapes for the breaks, tabs and backslashes in the
// text and for every byte of the UID that is no printable ASCII.
std::string FormatImportedEvents(const ImportedEvents& imported);

// Returns the record that `text` holds ("" is an empty one), or std::nullopt when it is no such record.
std::optional<ImportedEvents> ParseImportedEvents(std::string_view text);

}  // namespace ics
