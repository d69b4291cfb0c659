#include "ical/ics_text.h"

#include <cinttypes>
#include <cstdio>

namespace ics {
namespace {

constexpr std::size_t kFoldOctets = 75;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

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

void AppendDayEvent(std::string& out, const std::string& uid, const std::string& stamp, const std::string& date,
                    const std::string& nextDate, std::string_view summary, std::string_view description, bool holiday) {
    out += "BEGIN:VEVENT\r\n";
    out += FoldContentLine("UID:" + uid);
    out += FoldContentLine("DTSTAMP:" + stamp);
    out += FoldContentLine("DTSTART;VALUE=DATE:" + date);
    if (!nextDate.empty()) out += FoldContentLine("DTEND;VALUE=DATE:" + nextDate);
    out += FoldContentLine("SUMMARY:" + EscapeIcalText(summary));
    if (!description.empty()) out += FoldContentLine("DESCRIPTION:" + EscapeIcalText(description));
    if (holiday) {
        out += "TRANSP:TRANSPARENT\r\n";
        out += FoldContentLine("CATEGORIES:祝日");
    }
    out += "END:VEVENT\r\n";
}

}  // namespace ics
