#include "ical/ics_input.h"

#include "model/utf8_lead.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <optional>

namespace ics {
namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
           });
}

// Returns the offset of the first byte that does not belong to a well-formed UTF-8 character
// (overlong forms and surrogates included), or npos.
std::size_t FirstNonUtf8(std::string_view text) {
    const auto* bytes =
        reinterpret_cast<const unsigned char*>(text.data());  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const Utf8Lead shape = Utf8LeadOf(lead);
        if (shape.length == 0) return i;
        const auto length = static_cast<std::size_t>(shape.length);
        const unsigned char low = shape.low;
        const unsigned char high = shape.high;
        // A fold may fall inside a character (writers fold at 75 octets): the character goes on
        // after the line break and its space.
        std::size_t at = i + 1;
        for (std::size_t k = 1; k < length; ++k) {
            if (at < size && (bytes[at] == '\r' || bytes[at] == '\n')) {
                const std::size_t afterBreak =
                    at + (bytes[at] == '\r' && at + 1 < size && bytes[at + 1] == '\n' ? 2 : 1);
                if (afterBreak < size && (bytes[afterBreak] == ' ' || bytes[afterBreak] == '\t')) at = afterBreak + 1;
            }
            if (at >= size) return i;
            if (bytes[at] < (k == 1 ? low : 0x80) || bytes[at] > (k == 1 ? high : 0xBF)) return i;
            ++at;
        }
        i = at;
    }
    return std::string_view::npos;
}

// Returns the text converted from `charset` to UTF-8, or nothing when iconv does not know the
// character set or meets a byte sequence it does not define.
std::optional<std::string> ConvertExactly(std::string_view text, const std::string& charset) {
    const iconv_t cd = iconv_open("UTF-8", charset.c_str());
    // iconv_open reports failure as the pointer value -1.
    const iconv_t failed = reinterpret_cast<iconv_t>(-1);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    if (cd == failed) return std::nullopt;
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    // iconv takes its input through a non-const pointer but never writes through it.
    char* in = const_cast<char*>(text.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    std::size_t inLeft = text.size();
    std::array<char, 65536> buffer{};
    bool exact = true;
    while (inLeft > 0) {
        char* dst = buffer.data();
        std::size_t dstLeft = buffer.size();
        const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer.data(), buffer.size() - dstLeft);
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno != E2BIG) {
            exact = false;
            break;
        }
    }
    iconv_close(cd);
    if (!exact || inLeft != 0) return std::nullopt;
    return out;
}

// Returns the character set the first CHARSET parameter of the text names, or "".
std::string NamedCharset(std::string_view text) {
    constexpr std::string_view kParameter = ";CHARSET=";
    for (std::size_t at = text.find(';'); at != std::string_view::npos; at = text.find(';', at + 1)) {
        if (!StartsWithIgnoringCase(text.substr(at), kParameter)) continue;
        std::string_view value = text.substr(at + kParameter.size());
        value = value.substr(0, value.find_first_of(":;,\r\n"));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        std::string name(value);
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }
    return "";
}

// Windows-1252 reads any byte; it is taken only for text that looks like Latin letters with their
// accents: no control characters, and most bytes above ASCII accented letters.
bool LooksLikeWindows1252(std::string_view text) {
    std::size_t high = 0;
    std::size_t letters = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') return false;
        if (byte < 0x80) continue;
        ++high;
        if (byte >= 0xC0 && byte != 0xD7 && byte != 0xF7) ++letters;
    }
    return letters * 2 >= high;
}

// Walks the content lines of a text, each unfolded (a line break followed by a space or a tab
// joins the lines), in one pass.
class ContentLines {
public:
    ContentLines(std::string_view text, std::size_t from, std::size_t to, std::size_t firstLine)
        : m_text(text.substr(0, to)), m_next(from), m_nextNumber(firstLine) {}

    // Moves to the next content line; false at the end.
    bool Next() {
        if (m_next >= m_text.size()) return false;
        m_begin = m_next;
        m_number = m_nextNumber;
        std::string_view piece = Physical();
        bool folded = false;
        while (m_next < m_text.size() && (m_text[m_next] == ' ' || m_text[m_next] == '\t')) {
            if (!folded) m_buffer.assign(piece);
            folded = true;
            m_buffer.append(Physical().substr(1));
        }
        m_line = folded ? std::string_view{m_buffer} : piece;
        return true;
    }

    std::string_view Line() const { return m_line; }
    std::size_t Begin() const { return m_begin; }
    std::size_t End() const { return m_next; }
    std::size_t Number() const { return m_number; }

private:
    // Returns the physical line at m_next without its break, and moves past it.
    std::string_view Physical() {
        const std::size_t end = m_text.find('\n', m_next);
        std::string_view line =
            m_text.substr(m_next, end == std::string_view::npos ? std::string_view::npos : end - m_next);
        m_next = end == std::string_view::npos ? m_text.size() : end + 1;
        ++m_nextNumber;
        if (line.ends_with('\r')) line.remove_suffix(1);
        return line;
    }

    std::string_view m_text;
    std::size_t m_next;
    std::size_t m_nextNumber;
    std::size_t m_begin = 0;
    std::size_t m_number = 0;
    std::string_view m_line;
    std::string m_buffer;
};

// Returns the component name of a BEGIN or END line, upper case, or "" for another line.
std::string ComponentName(std::string_view line, std::string_view keyword) {
    if (!StartsWithIgnoringCase(line, keyword)) return "";
    std::string_view name = line.substr(keyword.size());
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

}  // namespace

DecodedText DecodeIcsText(std::string_view bytes) {
    DecodedText decoded;
    const std::size_t bad = FirstNonUtf8(bytes);
    if (bad == std::string_view::npos) {
        decoded.encoding = "UTF-8";
        return decoded;
    }
    std::vector<std::string> tried;
    const std::string named = NamedCharset(bytes);
    if (!named.empty() && named != "UTF-8" && named != "UTF8") tried.push_back(named);
    tried.emplace_back("CP932");
    if (LooksLikeWindows1252(bytes)) tried.emplace_back("WINDOWS-1252");
    for (const std::string& charset : tried) {
        if (std::optional<std::string> text = ConvertExactly(bytes, charset)) {
            decoded.utf8 = std::move(*text);
            decoded.encoding = charset;
            return decoded;
        }
    }
    decoded.badLine =
        1 + static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bad), '\n'));
    return decoded;
}

std::vector<CalendarSpans> SplitCalendars(std::string_view text) {
    std::vector<CalendarSpans> calendars;
    std::vector<std::string> open;  // the names of the components the line is in, outermost first
    ComponentSpan current;
    bool inCalendar = false;
    ContentLines lines(text, 0, text.size(), 1);
    while (lines.Next()) {
        const std::string_view line = lines.Line();
        if (std::string name = ComponentName(line, "BEGIN:"); !name.empty()) {
            if (open.empty()) inCalendar = name == "VCALENDAR";
            if (open.empty() && inCalendar) calendars.emplace_back();
            if (open.size() == 1 && inCalendar && name == "VTODO") ++calendars.back().todos;
            if (open.size() == 1 && inCalendar && (name == "VEVENT" || name == "VTIMEZONE")) {
                current = ComponentSpan{};
                current.begin = lines.Begin();
                current.line = lines.Number();
            }
            open.push_back(std::move(name));
            continue;
        }
        if (std::string name = ComponentName(line, "END:"); !name.empty()) {
            const auto match = std::find(open.rbegin(), open.rend(), name);
            if (match == open.rend()) continue;
            open.erase(std::prev(match.base()), open.end());
            if (open.size() == 1 && inCalendar && (name == "VEVENT" || name == "VTIMEZONE")) {
                current.end = lines.End();
                (name == "VEVENT" ? calendars.back().events : calendars.back().timezones).push_back(current);
            }
            continue;
        }
        if (open.size() == 2 && inCalendar && open[1] == "VEVENT" && StartsWithIgnoringCase(line, "RECURRENCE-ID") &&
            line.size() > 13 && (line[13] == ';' || line[13] == ':'))
            current.overrides = true;
    }
    // A component the text cuts short is read as far as it goes.
    if (open.size() >= 2 && inCalendar && (open[1] == "VEVENT" || open[1] == "VTIMEZONE")) {
        current.end = text.size();
        (open[1] == "VEVENT" ? calendars.back().events : calendars.back().timezones).push_back(current);
    }
    return calendars;
}

icalcomponent* ParseComponent(std::string_view text, const ComponentSpan& span) {
    // libical is given unfolded lines: its own line reader costs the square of a long line's length.
    icalparser* parser = icalparser_new();
    icalcomponent* component = nullptr;
    std::string buffer;
    ContentLines lines(text, span.begin, span.end, span.line);
    while (component == nullptr && lines.Next()) {
        if (lines.Line().empty()) continue;
        buffer.assign(lines.Line());
        component = icalparser_add_line(parser, buffer.data());
    }
    if (component == nullptr) component = icalparser_clean(parser);
    icalparser_free(parser);
    return component;
}

}  // namespace ics
