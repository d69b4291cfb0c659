// Faults that the fuzz targets found, kept as plain cases.
#include "model/memo_store.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "tests/model/model_test_support.h"

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class FuzzFindingsTest : public ModelTest {};

std::vector<std::string> RecordsOf(std::string_view store) {
    std::vector<std::string> records;
    while (!store.empty()) records.emplace_back(CutRecord(store));
    return records;
}

TEST_F(FuzzFindingsTest, DamagedTailEndingInALeadByteStaysApartFromTheNextAppendedRecord) {
    const struct {
        const char* name;
        std::string store;
    } cases[] = {
        {"lead byte alone at the end", "126^11^8^abc\x81"s},
        {"lead byte after a double-byte character", "126^11^8^\x89\x7e\x82"s},
        {"nothing but a lead byte", "\xe0"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string store = c.store;
        EXPECT_FALSE(TakeMemoRecord(store, 126, 11, 7).has_value());
        AppendMemoRecord(store, 126, 11, 7, "new");

        const std::vector<std::string> records = RecordsOf(store);
        ASSERT_EQ(records.size(), 2u) << HexBytes(store);
        EXPECT_EQ(records[1], "126^11^7^new~");
        EXPECT_EQ(TakeMemoRecord(store, 126, 11, 7), "new");
    }
}

TEST_F(FuzzFindingsTest, BuildOfAShorterFebruaryClearsTheMarkOfTheTwentyNinth) {
    // 2024 has a one-year holiday on 29 February; 2025 has no such day.
    PutFileBytes("124_holi.txt", "2^29^leap day^100~\0"s);
    g_YearCalendar.year = 124;
    g_YearCalendar.Build();
    ASSERT_EQ(g_YearCalendar.cells[1][28].flag, 1);

    g_YearCalendar.year = 125;
    g_YearCalendar.Build();
    const CDayCell& cell = g_YearCalendar.cells[1][28];
    EXPECT_EQ(cell.day, 0);
    EXPECT_EQ(cell.flag, 0);
    EXPECT_EQ(cell.text, "");
}

}  // namespace
