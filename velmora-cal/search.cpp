#include "velmora-cal/search.h"

#include "model/calendar_math.h"
#include "model/record.h"
#include "platform/code_page.h"

#include <algorithm>
#include <cstdio>

namespace cal {
namespace {

// Full-width katakana and punctuation of the half-width forms U+FF61..U+FF9F, in order.
constexpr char32_t kHalfWidthKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5,
    0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,
    0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC,
    0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4,
    0x30E6, 0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
};
constexpr char32_t kHalfVoicedMark = 0xFF9E;      // ﾞ
constexpr char32_t kHalfSemiVoicedMark = 0xFF9F;  // ﾟ

// Returns the katakana with the voiced sound mark (ガ for カ), or 0 when it takes none.
char32_t Voiced(char32_t kana) {
    const bool kaToTo = kana >= 0x30AB && kana <= 0x30C8 && kana != 0x30C3 &&
                        (kana <= 0x30C2 ? (kana - 0x30AB) % 2 == 0 : (kana - 0x30C4) % 2 == 0);
    const bool haRow = kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0;
    if (kaToTo || haRow) return kana + 1;
    if (kana == 0x30A6) return 0x30F4;  // ヴ
    if (kana == 0x30EF) return 0x30F7;  // ヷ
    if (kana == 0x30F2) return 0x30FA;  // ヺ
    return 0;
}

// Returns the katakana with the semi-voiced sound mark (パ for ハ), or 0 when it takes none.
char32_t SemiVoiced(char32_t kana) {
    const bool haRow = kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0;
    return haRow ? kana + 2 : 0;
}

// Reads one character of UTF-8 at `at`; returns its length, or 0 when the bytes are no character.
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& out) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    if (lead < 0x80) {
        out = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        out = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        out = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        out = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        out = (out << 6) | (byte(i) & 0x3Fu);
    }
    return length;
}

// The one form that a character is matched in (before the sound marks are joined).
char32_t FoldCharacter(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
    if (c == 0x3000) c = ' ';
    // The code page's wave dash and minus sign read back as the full-width tilde and hyphen-minus,
    // while a terminal's input method types these.
    if (c == 0x301C) c = '~';
    if (c == 0x2212) c = '-';
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return c;
}

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string FoldForSearch(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    char32_t last = 0;       // the last katakana written from a half-width form, or 0
    std::size_t lastAt = 0;  // where it starts in `out`
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(utf8, at, c);
        if (length == 0) {
            out += utf8[at++];
            last = 0;
            continue;
        }
        at += length;
        if (c < 0x80) {
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            last = 0;
            continue;
        }
        if (c == kHalfVoicedMark || c == kHalfSemiVoicedMark) {
            const char32_t joined = last == 0 ? 0 : (c == kHalfVoicedMark ? Voiced(last) : SemiVoiced(last));
            if (joined != 0) {
                out.resize(lastAt);
                platform::AppendUtf8(out, joined);
                last = 0;
                continue;
            }
        }
        if (c >= 0xFF61 && c <= 0xFF9F) {
            lastAt = out.size();
            last = kHalfWidthKana[c - 0xFF61];
            platform::AppendUtf8(out, last);
            continue;
        }
        last = 0;
        platform::AppendUtf8(out, FoldCharacter(c));
    }
    return out;
}

std::vector<std::string> SearchWords(const std::vector<std::string>& arguments) {
    std::vector<std::string> words;
    for (const std::string& argument : arguments) {
        const std::string folded = FoldForSearch(argument);
        std::size_t at = 0;
        while (at < folded.size()) {
            while (at < folded.size() && IsSpace(static_cast<unsigned char>(folded[at]))) ++at;
            std::size_t end = at;
            while (end < folded.size() && !IsSpace(static_cast<unsigned char>(folded[end]))) ++end;
            if (end > at) words.push_back(folded.substr(at, end - at));
            at = end;
        }
    }
    return words;
}

std::vector<SearchHit> SearchMemos(std::string_view store, const std::vector<std::string>& words,
                                   std::optional<long long> year) {
    std::vector<SearchHit> hits;
    std::string_view rest = store;
    while (!rest.empty()) {
        const MemoRecordFields record = SplitMemoRecord(CutRecord(rest));
        const long long calendarYear = static_cast<long long>(record.year) + 1900;
        if (year && *year != calendarYear) continue;
        if (record.month < 0 || record.month > 11 || record.day < 1 ||
            record.day > DaysInMonth(calendarYear, record.month))
            continue;
        std::string text = platform::Utf8FromCp932(record.text);
        const std::string folded = FoldForSearch(text);
        const bool all = std::all_of(words.begin(), words.end(),
                                     [&](const std::string& word) { return folded.find(word) != std::string::npos; });
        if (!all) continue;
        hits.push_back({calendarYear, record.month + 1, record.day, WeekdayOf(calendarYear, record.month, record.day),
                        std::move(text)});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const SearchHit& a, const SearchHit& b) {
        if (a.calendarYear != b.calendarYear) return a.calendarYear > b.calendarYear;
        if (a.month != b.month) return a.month > b.month;
        return a.day > b.day;
    });
    return hits;
}

std::string DateLabel(long long calendarYear, int month, int day, int weekday) {
    static constexpr const char* kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    char date[64];
    std::snprintf(date, sizeof date, "%04lld-%02d-%02d (%s)", calendarYear, month, day,
                  weekday >= 0 && weekday <= 6 ? kWeekdays[weekday] : "?");
    return date;
}

std::string SearchHitLine(const SearchHit& hit) {
    const std::size_t lineEnd = hit.text.find_first_of("\r\n");
    std::string line =
        DateLabel(hit.calendarYear, hit.month, hit.day, hit.weekday) + "  " + hit.text.substr(0, lineEnd);
    if (lineEnd != std::string::npos && hit.text.find_first_not_of("\r\n", lineEnd) != std::string::npos) line += "…";
    return line;
}

}  // namespace cal
