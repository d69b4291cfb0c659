#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <libical/ical.h>

// The front of an iCalendar reading: the file's bytes as UTF-8 text, and that text cut into the
// components libical is given one at a time.
namespace ics {

// A file's text in UTF-8 and the character set it was read in.
struct DecodedText {
    std::string utf8;         // empty when badLine is set
    std::string encoding;     // "UTF-8", or the character set assumed, as iconv names it
    std::size_t badLine = 0;  // not 0: the first line that no character set tried could read
};

// Returns `bytes` as UTF-8: valid UTF-8 is left as it is (nothing copied), else read in the CHARSET a property names,
// else as code page 932 when it is valid code page 932, else as Windows-1252 when it looks like text in it.
DecodedText DecodeIcsText(std::string_view bytes);

// One component in the text: from the start of its BEGIN line to the end of its END line.
struct ComponentSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t line = 0;    // the physical line of its BEGIN, from 1
    bool overrides = false;  // it has a RECURRENCE-ID of its own
};

// The components of one VCALENDAR that a reading uses.
struct CalendarSpans {
    std::vector<ComponentSpan> timezones;
    std::vector<ComponentSpan> events;
    int todos = 0;  // VTODOs, which a reading counts and leaves out
};

// Returns the VCALENDARs of the text with their VTIMEZONEs and VEVENTs (and a count of VTODOs), in the order of the
// text; one pass over the text, whatever its lines' lengths.
std::vector<CalendarSpans> SplitCalendars(std::string_view text);

// Returns the component of `span` parsed by libical from its unfolded lines (nullptr if none).
icalcomponent* ParseComponent(std::string_view text, const ComponentSpan& span);

}  // namespace ics
