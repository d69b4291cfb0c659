#include "model/record.h"

#include <charconv>
#include <climits>

std::string g_strMemoData;
std::string g_strStaticHoliday;
std::string g_strDynamicHoliday;
std::string g_strYearHoliday;

namespace {

// Every walk over a store goes through here: CutRecord looks for "~", CutField for "^" or "~".
template <typename IsDelimiter>
std::size_t FindSingleByte(std::string_view text, IsDelimiter isDelimiter) {
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(byte)) {
            // A lead byte takes its second byte with it; as the last byte it stands alone.
            i += 2;
            continue;
        }
        if (isDelimiter(byte)) return i;
        ++i;
    }
    return std::string_view::npos;
}

std::size_t FindFieldEnd(std::string_view text) {
    return FindSingleByte(text, [](unsigned char byte) { return byte == '^' || byte == '~'; });
}

std::size_t FindRecordEnd(std::string_view text) {
    return FindSingleByte(text, [](unsigned char byte) { return byte == '~'; });
}

// Cuts the next field off `rest` and reads it as a number.
int CutNumber(std::string_view& rest) {
    std::string_view field;
    CutField(rest, field);
    return ReadNumber(field);
}

}  // namespace

void CutField(std::string_view& source, std::string_view& field) {
    const std::size_t at = FindFieldEnd(source);
    if (at == std::string_view::npos) {
        field = source;
        source = source.substr(source.size());
        return;
    }
    field = source.substr(0, at);
    source.remove_prefix(at + 1);
}

void CutField(std::string& source, std::string& field) {
    const std::size_t at = FindFieldEnd(source);
    if (at == std::string::npos) {
        field = std::move(source);
        source.clear();
        return;
    }
    field.assign(source, 0, at);
    source.erase(0, at + 1);
}

std::string_view CutRecord(std::string_view& rest) {
    const std::size_t at = FindRecordEnd(rest);
    // An unterminated rest is the last record, so every loop that cuts until empty ends.
    const std::size_t length = at == std::string_view::npos ? rest.size() : at + 1;
    const std::string_view record = rest.substr(0, length);
    rest.remove_prefix(length);
    return record;
}

std::string CutRecord(std::string& store) {
    const std::size_t at = FindRecordEnd(store);
    if (at == std::string::npos) {
        std::string record = std::move(store);
        store.clear();
        return record;
    }
    std::string record = store.substr(0, at + 1);
    store.erase(0, at + 1);
    return record;
}

std::string CloseRecord(std::string_view record) {
    // Where the last character starts, stepping over double-byte characters as the walks do.
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < record.size(); i += IsCp932LeadByte(static_cast<unsigned char>(record[i])) ? 2 : 1)
        last = i;
    const bool endsInSingleByte = last != std::string_view::npos && last + 1 == record.size();
    std::string closed(record);
    if (endsInSingleByte && record[last] == '~') return closed;
    if (endsInSingleByte && IsCp932LeadByte(static_cast<unsigned char>(record[last]))) closed += '~';
    closed += '~';
    return closed;
}

std::string MakeMemoRecord(int year, int month, int day, std::string_view text) {
    std::string record;
    constexpr std::size_t kNumbersRoom = 36;  // three ints of up to 11 characters, each with its "^"
    record.reserve(kNumbersRoom + text.size() + 1);
    char digits[16];
    for (const int number : {year, month, day}) {
        const auto result = std::to_chars(digits, digits + sizeof digits, number);
        record.append(digits, result.ptr);
        record += '^';
    }
    record += text;
    record += '~';
    return record;
}

int ReadNumber(std::string_view field) {
    std::size_t i = 0;
    // The white space that atoi skips in the C locale.
    while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    // Accumulate towards the sign so that INT_MIN is reachable; stop growing once past the range.
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (field[i] - '0');
    }
    if (negative) return magnitude >= kLimit ? INT_MIN : static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

MemoRecordFields SplitMemoRecord(std::string_view record) {
    MemoRecordFields fields;
    fields.year = CutNumber(record);
    fields.month = CutNumber(record);
    fields.day = CutNumber(record);
    CutField(record, fields.text);
    return fields;
}

HolidayRecordFields SplitHolidayRecord(std::string_view record) {
    HolidayRecordFields fields;
    fields.month = CutNumber(record);
    fields.day = CutNumber(record);
    CutField(record, fields.name);
    fields.kind = CutNumber(record);
    return fields;
}

void ParseMemoRecord(std::string_view record, int& year, int& month, int& day, std::string& text) {
    const MemoRecordFields fields = SplitMemoRecord(record);
    year = fields.year;
    month = fields.month;
    day = fields.day;
    text.assign(fields.text);
}

void ParseHolidayRecord(std::string_view record, int& month, int& day, std::string& name, int& kind) {
    const HolidayRecordFields fields = SplitHolidayRecord(record);
    month = fields.month;
    day = fields.day;
    name.assign(fields.name);
    kind = fields.kind;
}
