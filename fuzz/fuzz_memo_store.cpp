// The day dialog's take-out and append and the month list's fill on an arbitrary memo store, for
// arbitrary dates.
#include "fuzz/fuzz_support.h"
#include "model/memo_store.h"
#include "model/record.h"
#include "model/year_calendar.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct Memo {
    int year = 0;
    int month = 0;
    int day = 0;
    std::string text;
    bool operator==(const Memo&) const = default;
};

// Every record of a store, parsed, as the readers walk it.
std::vector<Memo> Records(std::string_view store) {
    std::vector<Memo> memos;
    while (!store.empty()) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(store));
        memos.push_back({fields.year, fields.month, fields.day, std::string(fields.text)});
    }
    return memos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Builds read the holiday files; in memory there are none.
    fuzz::UseMemoryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    // Mostly dates near the store's own, sometimes any int.
    const bool anyNumbers = provider.ConsumeBool();
    const int year = anyNumbers ? provider.ConsumeIntegral<int>() : provider.ConsumeIntegralInRange<int>(120, 130);
    const int month = provider.ConsumeIntegralInRange<int>(0, 11);
    const int day = anyNumbers ? provider.ConsumeIntegral<int>() : provider.ConsumeIntegralInRange<int>(1, 31);
    const std::string typed = provider.ConsumeRandomLengthString(256);
    const std::string original = provider.ConsumeRemainingBytesAsString();

    const std::vector<Memo> records = Records(original);

    // Take-out: the first record of the day comes out; every other record stays, in order.
    std::string store = original;
    const std::optional<std::string> taken = TakeMemoRecord(store, year, month, day);
    std::vector<Memo> expected = records;
    std::optional<std::string> expectedText;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (it->year == year && it->month == month && it->day == day) {
            expectedText = it->text;
            expected.erase(it);
            break;
        }
    }
    fuzz::Check(taken == expectedText, "the take-out took the wrong text", original);
    // A damaged last record is closed; when it ends in a lead byte standing alone, that byte
    // takes one "~" as its second byte, so only its text may grow by that byte.
    const std::vector<Memo> kept = Records(store);
    fuzz::Check(kept.size() == expected.size(), "the take-out changed the number of records", original);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const Memo& a = kept[i];
        const Memo& b = expected[i];
        const bool same = a == b;
        const bool closedTail =
            i + 1 == kept.size() && a.year == b.year && a.month == b.month && a.day == b.day && a.text == b.text + "~";
        fuzz::Check(same || closedTail, "the take-out changed the other records", original);
    }

    // Closing the dialog appends the day's record: exactly one more record, and it is the day's.
    const std::string beforeAppend = store;
    AppendMemoRecord(store, year, month, day, typed);
    std::vector<Memo> appended = Records(store);
    fuzz::Check(appended.size() == kept.size() + 1, "an appended record is not one record of its own", store);
    const Memo last = appended.back();
    appended.pop_back();
    fuzz::Check(appended == kept, "an append changed the records before it", store);
    fuzz::Check(last.year == year && last.month == month && last.day == day, "the appended record has another date",
                store);
    fuzz::Check(fuzz::FindDelimiter(last.text, "^~") == std::string::npos, "an appended text holds a delimiter", store);
    if (fuzz::FindDelimiter(typed, "^~") == std::string::npos && last.text.size() == typed.size())
        fuzz::Check(last.text == typed, "an appended text changed", store);

    // Taking the day out again gives back the typed text when it was the first of that day.
    std::string again = store;
    const std::optional<std::string> retaken = TakeMemoRecord(again, year, month, day);
    fuzz::Check(retaken.has_value(), "an appended record cannot be taken out", store);

    // The month list: the first record of each day 1..31 of the month, one line per day.
    const auto memos = FindMonthMemos(original, year, month);
    for (int d = 1; d <= 31; ++d) {
        std::optional<std::string> first;
        for (const Memo& memo : records) {
            if (memo.year == year && memo.month == month && memo.day == d) {
                first = memo.text;
                break;
            }
        }
        fuzz::Check(memos[static_cast<std::size_t>(d - 1)] == first, "the month list shows another memo", original);
    }

    g_YearCalendar.year = year;
    g_YearCalendar.month = month;
    g_YearCalendar.Build();
    const std::vector<std::string> lines = MonthListLines(original, g_YearCalendar);
    const int days = fuzz::DaysInMonth(year, month);
    fuzz::Check(static_cast<int>(lines.size()) == days, "the month list does not have one line per day", original);
    const int first = fuzz::WeekdayOfFirst(year, month);
    for (int d = 1; d <= days; ++d) {
        const auto& memo = memos[static_cast<std::size_t>(d - 1)];
        const std::string line = MonthListLine(d, (first + d - 1) % 7, memo ? *memo : std::string());
        fuzz::Check(lines[static_cast<std::size_t>(d - 1)] == line, "a month list line is not its day's", original);
    }
    return 0;
}
