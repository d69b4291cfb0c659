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

// Returns true when `uid` is the UID MemoUid gives a memo of `date` (YYYYMMDD).
bool IsMemoUid(std::string_view uid, std::string_view date);

// The property that tells a reader the memo's line breaks are bare LF, as a memo file written by
// hand holds them; without it they are CR LF.
inline constexpr std::string_view kBareLineFeedsProperty = "X-VELMORA-LINE-BREAKS";

// The property that carries the spaces and tabs at the ends of a memo, which readers drop from a
// value: "s" for a space and "t" for a tab, those in front, "/", those at the end ("ss/t").
inline constexpr std::string_view kBlankEndsProperty = "X-VELMORA-BLANK-ENDS";

// Returns `text` with the blanks that a kBlankEndsProperty value names put back at its ends, or
// unchanged when `value` is no such value or the text has blanks at its ends already.
std::string WithBlankEnds(std::string text, std::string_view value);

// One all-day event as an export writes it.
struct DayEvent {
    std::string uid;
    std::string stamp;     // DTSTAMP, as 20261208T093000Z
    std::string date;      // YYYYMMDD
    std::string nextDate;  // the same, "" for none
    std::string_view summary;
    std::string_view description;  // "" for none; spaces and tabs at its ends are kept
    bool holiday = false;          // transparent and of the category 祝日
    bool bareLineFeeds = false;    // the memo's breaks are bare LF
};

// Appends the event as one VEVENT to `out`.
void AppendDayEvent(std::string& out, const DayEvent& event);

}  // namespace ics
