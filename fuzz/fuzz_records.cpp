// The record functions on arbitrary bytes: cut every record of a store, split each as a memo and
// as a holiday, and rebuild memo records from what was split.
#include "fuzz/fuzz_support.h"
#include "model/record.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// atoi's reading with the result clamped to the int range, from the C library.
int ReferenceNumber(std::string_view field) {
    const std::string copy(field);  // strtoll stops at an embedded NUL as ReadNumber stops at it
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool HasDelimiter(std::string_view text) { return fuzz::FindDelimiter(text, "^~") != std::string_view::npos; }

void CheckFields(std::string_view record) {
    std::string_view rest = record;
    std::string_view field;
    int fields = 0;
    while (!rest.empty()) {
        const std::size_t before = rest.size();
        CutField(rest, field);
        fuzz::Check(rest.size() < before, "CutField did not shorten its source", record);
        fuzz::Check(!HasDelimiter(field), "a field holds a delimiter", record);
        fuzz::Check(ReadNumber(field) == ReferenceNumber(field), "ReadNumber differs from strtoll", field);
        ++fields;
    }
    fuzz::Check(fields <= static_cast<int>(record.size()), "more fields than bytes", record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view store(reinterpret_cast<const char*>(data), size);

    std::string_view rest = store;
    std::string owned(store);
    std::string rejoined;
    std::size_t records = 0;
    while (!rest.empty()) {
        const std::size_t before = rest.size();
        const std::string_view record = CutRecord(rest);
        fuzz::Check(rest.size() < before, "CutRecord did not shorten the store", store);
        fuzz::Check(record.size() + rest.size() == before, "CutRecord lost or added bytes", store);
        ++records;

        // Each record ends at its first "~"; only the last may lack one.
        const std::size_t tilde = fuzz::FindDelimiter(record, "~");
        if (!rest.empty())
            fuzz::Check(tilde == record.size() - 1, "a record does not end at its first tilde", record);
        else
            fuzz::Check(tilde == record.size() - 1 || tilde == std::string_view::npos,
                        "the last record runs past a tilde", record);

        // The copying overload cuts the same record.
        const std::string ownedRecord = CutRecord(owned);
        fuzz::Check(ownedRecord == record, "the two CutRecord overloads differ", store);
        rejoined += record;

        // Closing a record leaves a record that has its "~" as it is, and makes any other one
        // record that ends at its first "~".
        const std::string closed = CloseRecord(record);
        fuzz::Check(closed.starts_with(record) && fuzz::FindDelimiter(closed, "~") == closed.size() - 1,
                    "a closed record is not one record", record);
        if (tilde != std::string_view::npos) fuzz::Check(closed == record, "closing changed a closed record", record);

        CheckFields(record);

        const MemoRecordFields memo = SplitMemoRecord(record);
        const std::string_view text = memo.text;
        fuzz::Check(!HasDelimiter(text), "a memo text holds a delimiter", record);

        // A record made from what was split splits back the same, and is one record.
        const std::string made = MakeMemoRecord(memo.year, memo.month, memo.day, text);
        const MemoRecordFields remade = SplitMemoRecord(made);
        fuzz::Check(remade.year == memo.year && remade.month == memo.month && remade.day == memo.day,
                    "memo numbers do not survive a rebuild", made);
        const bool endsWithLoneLead = [text] {
            // A text whose last byte is a lead byte standing alone takes the closing "~" with it.
            std::size_t i = 0;
            bool lone = false;
            while (i < text.size()) {
                const unsigned char byte = static_cast<unsigned char>(text[i]);
                const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
                lone = lead && i + 1 == text.size();
                i += lead ? 2 : 1;
            }
            return lone;
        }();
        if (!endsWithLoneLead) {
            fuzz::Check(remade.text == text, "a memo text does not survive a rebuild", made);
            fuzz::Check(fuzz::FindDelimiter(made, "~") == made.size() - 1, "a made record is not one record", made);
        }

        const HolidayRecordFields holiday = SplitHolidayRecord(record);
        fuzz::Check(!HasDelimiter(holiday.name), "a holiday name holds a delimiter", record);
        fuzz::Check(holiday.month == memo.year && holiday.day == memo.month,
                    "the first two numbers read differently as memo and holiday", record);
    }
    fuzz::Check(owned.empty(), "the copying CutRecord left a rest", store);
    fuzz::Check(rejoined == store, "the records do not make up the store", store);
    fuzz::Check(records <= store.size(), "more records than bytes", store);
    return 0;
}
