#pragma once

#include <string>
#include <string_view>

// The text of iCalendar files as Velmora writes them.
namespace ics {

// Returns `text` (UTF-8) as an iCalendar TEXT value: "\" ";" "," escaped with a backslash, each
// line break (CR LF, LF or CR) as "\n", and any other control character but tab as a space.
std::string EscapeIcalText(std::string_view text);

// Returns one content line (UTF-8, without its line break) folded as iCalendar files carry it:
// pieces of at most 75 octets, each continuation starting with one space that counts among them,
// never cut inside a character, each piece ended by CR LF.
std::string FoldContentLine(std::string_view line);

// Returns `text` with each line break (CR LF, LF or a lone CR) as CR LF.
std::string CrLfBreaks(std::string_view text);

// Returns the UID of a memo: the same date, text (code page 932) and occurrence number among the
// day's memos of that text give the same UID in every export, however the text holds its breaks.
std::string MemoUid(const std::string& date, std::string_view memo, int occurrence);

// Appends one all-day VEVENT (dates as YYYYMMDD, `nextDate` "" for none) to `out`; a holiday is
// transparent and of the category 祝日.
void AppendDayEvent(std::string& out, const std::string& uid, const std::string& stamp, const std::string& date,
                    const std::string& nextDate, std::string_view summary, std::string_view description, bool holiday);

}  // namespace ics
