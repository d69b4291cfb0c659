#include "model/official_holidays.h"

#include "model/calendar_math.h"
#include "model/record.h"
#include "model/text_file_format.h"

#include <charconv>

namespace {

// 国民の祝日・休日月日,国民の祝日・休日名称
constexpr std::string_view kHeader =
    "\x8d\x91\x96\xaf\x82\xcc\x8f\x6a\x93\xfa\x81\x45\x8b\x78\x93\xfa\x8c\x8e\x93\xfa,"
    "\x8d\x91\x96\xaf\x82\xcc\x8f\x6a\x93\xfa\x81\x45\x8b\x78\x93\xfa\x96\xbc\x8f\xcc";

bool IsCp932TrailByte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

// Returns true when every character of `text` is code page 932 and none is a control character.
bool IsCp932Text(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(byte)) {
            if (i + 1 >= text.size() || !IsCp932TrailByte(static_cast<unsigned char>(text[i + 1]))) return false;
            ++i;
        } else if (byte < 0x20 || byte == 0x7F || byte == 0x80 || byte == 0xA0 || byte >= 0xFD) {
            return false;
        }
    }
    return true;
}

// Returns true when a single-byte character of the name would cut a data file record or a CSV
// field: "^", "~" or ",". Second bytes of double-byte characters are not characters of their own.
bool HoldsDelimiter(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (IsCp932LeadByte(byte)) {
            ++i;
        } else if (byte == '^' || byte == '~' || byte == ',') {
            return true;
        }
    }
    return false;
}

bool ReadDecimal(std::string_view text, std::size_t minDigits, std::size_t maxDigits, int& value) {
    if (text.size() < minDigits || text.size() > maxDigits) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc{};
}

OfficialListParse Fault(OfficialListFault fault, int line, std::string error) {
    OfficialListParse parse;
    parse.fault = fault;
    parse.line = line;
    parse.error = line > 0 ? "line " + std::to_string(line) + ": " + error : error;
    return parse;
}

bool Before(const DatedHoliday& a, const DatedHoliday& b) {
    if (a.year != b.year) return a.year < b.year;
    if (a.month != b.month) return a.month < b.month;
    return a.day < b.day;
}

}  // namespace

OfficialListParse ParseOfficialList(std::string_view csv) {
    if (csv.size() > kMaxOfficialListBytes)
        return Fault(OfficialListFault::TooLarge, 0,
                     "the file is larger than " + std::to_string(kMaxOfficialListBytes) + " bytes");
    if (csv.find_first_not_of("\r\n \t") == std::string_view::npos)
        return Fault(OfficialListFault::Empty, 0, "the file is empty");

    OfficialListParse parse;
    int lineNumber = 0;
    bool blankSeen = false;
    while (!csv.empty()) {
        const std::size_t end = csv.find('\n');
        std::string_view line = csv.substr(0, end);
        csv.remove_prefix(end == std::string_view::npos ? csv.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (lineNumber == 1) {
            if (LooksForeign(line))
                return Fault(OfficialListFault::Encoding, 1, "the file is not code page 932 text (UTF-8?)");
            if (line != kHeader)
                return Fault(OfficialListFault::Header, 1,
                             "not the header of the official holiday list (in code page 932)");
            continue;
        }
        // Blank lines may only close the file.
        if (line.empty()) {
            blankSeen = true;
            continue;
        }
        if (blankSeen) return Fault(OfficialListFault::Syntax, lineNumber - 1, "a blank line inside the list");
        if (LooksForeign(line))
            return Fault(OfficialListFault::Encoding, lineNumber, "UTF-8 text; the official list is code page 932");
        if (!IsCp932Text(line)) return Fault(OfficialListFault::Encoding, lineNumber, "not code page 932 text");

        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            return Fault(OfficialListFault::Syntax, lineNumber, "not \"YYYY/M/D,name\"");
        const std::string_view date = line.substr(0, comma);
        const std::string_view name = line.substr(comma + 1);
        const std::size_t slash1 = date.find('/');
        const std::size_t slash2 = slash1 == std::string_view::npos ? slash1 : date.find('/', slash1 + 1);
        DatedHoliday day;
        if (slash2 == std::string_view::npos || !ReadDecimal(date.substr(0, slash1), 4, 4, day.year) ||
            !ReadDecimal(date.substr(slash1 + 1, slash2 - slash1 - 1), 1, 2, day.month) ||
            !ReadDecimal(date.substr(slash2 + 1), 1, 2, day.day) || name.empty() || HoldsDelimiter(name))
            return Fault(OfficialListFault::Syntax, lineNumber, "not \"YYYY/M/D,name\"");
        if (day.month < 1 || day.month > 12 || day.day < 1 || day.day > DaysInMonth(day.year, day.month - 1))
            return Fault(OfficialListFault::NoSuchDate, lineNumber,
                         "the date " + std::string(date) + " does not exist");
        if (day.year < kFirstOfficialYear || day.year > kLastLawYear)
            return Fault(OfficialListFault::Years, lineNumber,
                         "the year " + std::to_string(day.year) + " is outside " + std::to_string(kFirstOfficialYear) +
                             ".." + std::to_string(kLastLawYear));
        if (!parse.list.days.empty()) {
            const DatedHoliday& last = parse.list.days.back();
            if (!Before(last, day))
                return Fault(OfficialListFault::Order, lineNumber,
                             "the date " + std::string(date) + " is not after the line before");
            if (day.year > last.year + 1)
                return Fault(OfficialListFault::Years, lineNumber,
                             "the list has no day in " + std::to_string(last.year + 1));
        } else if (day.year != kFirstOfficialYear) {
            return Fault(OfficialListFault::Years, lineNumber,
                         "the list does not start in " + std::to_string(kFirstOfficialYear));
        }
        day.name = name;
        parse.list.days.push_back(std::move(day));
    }
    if (parse.list.days.empty()) return Fault(OfficialListFault::Empty, 0, "the file holds no day after its header");
    parse.list.firstYear = parse.list.days.front().year;
    parse.list.lastYear = parse.list.days.back().year;
    if (parse.list.lastYear < kLeastLastOfficialYear)
        return Fault(OfficialListFault::Years, 0,
                     "the list ends in " + std::to_string(parse.list.lastYear) + "; it must reach " +
                         std::to_string(kLeastLastOfficialYear));
    parse.ok = true;
    return parse;
}
