#include "ical/imported_events.h"

#include <cstdio>

namespace ics {
namespace {

constexpr std::string_view kFirstLine = "velmora imported events 1\n";

void Escape(std::string_view text, bool asciiOnly, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || (asciiOnly && c >= 0x80)) {
            // The UID is the file's own bytes (UTF-8 or anything): kept apart from the code page 932 text.
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
        case 'n':
            out += "\r\n";
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        case 'x': {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace

std::string FormatImportedEvents(const ImportedEvents& imported) {
    std::string text(kFirstLine);
    for (const auto& [uid, blocks] : imported) {
        for (const ImportedBlock& block : blocks) {
            Escape(uid, true, text);
            char date[32];
            std::snprintf(date, sizeof date, "\t%04d-%02d-%02d\t", block.year + 1900, block.monthIndex + 1, block.day);
            text += date;
            Escape(block.text, false, text);
            text += '\n';
        }
    }
    return text;
}

std::optional<ImportedEvents> ParseImportedEvents(std::string_view text) {
    ImportedEvents imported;
    if (text.empty()) return imported;
    if (!text.starts_with(kFirstLine)) return std::nullopt;
    text.remove_prefix(kFirstLine.size());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || line.size() < tab + 12 || line[tab + 11] != '\t') return std::nullopt;
        int year = 0;
        int month = 0;
        int day = 0;
        const std::string date(line.substr(tab + 1, 10));
        char rest = 0;
        if (std::sscanf(date.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) != 3 || month < 1 || month > 12 ||
            day < 1 || day > 31)
            return std::nullopt;
        const std::optional<std::string> uid = Unescape(line.substr(0, tab));
        const std::optional<std::string> body = Unescape(line.substr(tab + 12));
        if (!uid || !body) return std::nullopt;
        imported[*uid].push_back({year - 1900, month - 1, day, *body});
    }
    return imported;
}

}  // namespace ics
