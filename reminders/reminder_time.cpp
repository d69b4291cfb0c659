#include "reminders/reminder_time.h"

namespace {

constexpr unsigned char kWideLead = 0x81;       // lead byte of the full-width space and colon
constexpr unsigned char kWideSpace = 0x40;      // 0x81 0x40
constexpr unsigned char kWideColon = 0x46;      // 0x81 0x46
constexpr unsigned char kWideDigitLead = 0x82;  // full-width digits are 0x82 0x4F..0x82 0x58
constexpr unsigned char kWideZero = 0x4F;
constexpr unsigned char kWideNine = 0x58;

unsigned char ByteAt(std::string_view text, std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// Reads one digit at `at`, moving past it; -1 when none stands there.
int TakeDigit(std::string_view text, std::size_t& at) {
    const unsigned char first = ByteAt(text, at);
    if (first >= '0' && first <= '9') {
        ++at;
        return first - '0';
    }
    const unsigned char second = ByteAt(text, at + 1);
    if (first == kWideDigitLead && second >= kWideZero && second <= kWideNine) {
        at += 2;
        return second - kWideZero;
    }
    return -1;
}

bool TakeColon(std::string_view text, std::size_t& at) {
    if (ByteAt(text, at) == ':') {
        ++at;
        return true;
    }
    if (ByteAt(text, at) == kWideLead && ByteAt(text, at + 1) == kWideColon) {
        at += 2;
        return true;
    }
    return false;
}

}  // namespace

std::string_view WithoutLeadingSpaces(std::string_view line) {
    std::size_t at = 0;
    while (at < line.size()) {
        const unsigned char byte = ByteAt(line, at);
        if (byte == ' ' || byte == '\t') {
            ++at;
        } else if (byte == kWideLead && ByteAt(line, at + 1) == kWideSpace) {
            at += 2;
        } else {
            break;
        }
    }
    return line.substr(at);
}

std::optional<LineTime> ParseLineTime(std::string_view line) {
    const std::string_view text = WithoutLeadingSpaces(line);
    std::size_t at = 0;
    int hour = TakeDigit(text, at);
    if (hour < 0) return std::nullopt;
    const std::size_t afterFirst = at;
    if (const int second = TakeDigit(text, at); second >= 0) {
        hour = hour * 10 + second;
    } else {
        at = afterFirst;
    }
    if (!TakeColon(text, at)) return std::nullopt;
    const int tens = TakeDigit(text, at);
    const int units = tens < 0 ? -1 : TakeDigit(text, at);
    if (units < 0) return std::nullopt;
    std::size_t after = at;
    if (TakeDigit(text, after) >= 0) return std::nullopt;
    const int minute = tens * 10 + units;
    if (hour > 23 || minute > 59) return std::nullopt;
    return LineTime{hour, minute};
}
