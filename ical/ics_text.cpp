#include "ical/ics_text.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace ics {
namespace {

constexpr std::size_t kFoldOctets = 75;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Returns the blanks that letters of a kBlankEndsProperty value name, or the reverse.
std::string Blanks(std::string_view letters) {
    std::string out;
    for (const char c : letters) out += c == 's' ? ' ' : '\t';
    return out;
}
std::string Letters(std::string_view blanks) {
    std::string out;
    for (const char c : blanks) out += c == ' ' ? 's' : 't';
    return out;
}

// Returns the kBlankEndsProperty value of a text, "" when no blank stands at its ends.
std::string BlankEndsValue(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return text.empty() ? "" : Letters(text) + "/";
    const std::size_t last = text.find_last_not_of(" \t");
    if (first == 0 && last + 1 == text.size()) return "";
    return Letters(text.substr(0, first)) + "/" + Letters(text.substr(last + 1));
}

// FNV-1a: a fixed hash, so that the same memo gets the same UID in every export.
std::uint64_t StableHash(std::string_view bytes) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

}  // namespace

std::string EscapeIcalText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
        case ';':
        case ',':
            out += '\\';
            out += c;
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\\n";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            // Control characters other than tab may not stand in a TEXT value.
            out += (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7f' ? ' ' : c;
        }
    }
    return out;
}

std::string FoldContentLine(std::string_view line) {
    std::string out;
    out.reserve(line.size() + line.size() / 64 * 3 + 2);
    std::size_t room = kFoldOctets;
    while (line.size() > room) {
        std::size_t cut = room;
        // Back up to the start of the character that would be cut in two.
        while (cut > 0 && IsContinuationByte(line[cut])) --cut;
        if (cut == 0) cut = room;  // not UTF-8 at all: no character to keep whole
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        room = kFoldOctets - 1;  // the leading space of a continuation counts
    }
    out.append(line);
    out += "\r\n";
    return out;
}

std::string CrLfBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string MemoUid(const std::string& date, std::string_view memo, int occurrence) {
    std::string key = date;
    key += '\0';
    // A memo written elsewhere holds bare LF breaks: the same text must keep its UID either way.
    key += CrLfBreaks(memo);
    key += '\0';
    key += std::to_string(occurrence);
    char uid[80];
    std::snprintf(uid, sizeof uid, "memo-%s-%016" PRIx64 "@velmora", date.c_str(), StableHash(key));
    return uid;
}

std::string WithBlankEnds(std::string text, std::string_view value) {
    const std::size_t slash = value.find('/');
    if (slash == std::string_view::npos || value.find_first_not_of("st/") != std::string_view::npos ||
        value.find('/', slash + 1) != std::string_view::npos)
        return text;
    if (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back()))) return text;
    std::string out = Blanks(value.substr(0, slash));
    out += text;
    out += Blanks(value.substr(slash + 1));
    return out;
}

bool IsMemoUid(std::string_view uid, std::string_view date) {
    constexpr std::string_view kSuffix = "@velmora";
    constexpr std::size_t kHashDigits = 16;
    if (!uid.starts_with("memo-") || !uid.ends_with(kSuffix)) return false;
    uid.remove_prefix(5);
    uid.remove_suffix(kSuffix.size());
    if (!uid.starts_with(date) || uid.size() != date.size() + 1 + kHashDigits || uid[date.size()] != '-') return false;
    return std::all_of(uid.begin() + static_cast<std::ptrdiff_t>(date.size()) + 1, uid.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

void AppendDayEvent(std::string& out, const DayEvent& event) {
    out += "BEGIN:VEVENT\r\n";
    out += FoldContentLine("UID:" + event.uid);
    out += FoldContentLine("DTSTAMP:" + event.stamp);
    out += FoldContentLine("DTSTART;VALUE=DATE:" + event.date);
    if (!event.nextDate.empty()) out += FoldContentLine("DTEND;VALUE=DATE:" + event.nextDate);
    out += FoldContentLine("SUMMARY:" + EscapeIcalText(event.summary));
    if (!event.description.empty()) out += FoldContentLine("DESCRIPTION:" + EscapeIcalText(event.description));
    if (event.bareLineFeeds) out += std::string(kBareLineFeedsProperty) + ":LF\r\n";
    if (const std::string ends = BlankEndsValue(event.description); !ends.empty())
        out += FoldContentLine(std::string(kBlankEndsProperty) + ":" + ends);
    if (event.holiday) {
        out += "TRANSP:TRANSPARENT\r\n";
        out += FoldContentLine("CATEGORIES:祝日");
    }
    out += "END:VEVENT\r\n";
}

}  // namespace ics
