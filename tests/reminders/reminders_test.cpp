// Reminders from values: which memo lines are reminders, what one look at the clock tells, what
// the memory keeps, and the memo file read again only when it changed.
#include <gtest/gtest.h>
#include <unistd.h>

#include "reminders/reminder_clock.h"
#include "reminders/reminder_list.h"
#include "reminders/reminder_memory.h"
#include "reminders/reminder_settings.h"
#include "reminders/reminder_source.h"
#include "reminders/reminder_time.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

// Code page 932 of the full-width digits and colon used below.
const std::string kWide10 = "\x82\x50\x82\x4f";  // １０
const std::string kWideColon = "\x81\x46";       // ：
const std::string kWideSpace = "\x81\x40";

TEST(LineTimeTest, OnlyALineThatBeginsWithAClockTimeIsAReminder) {
    const struct {
        const char* name;
        std::string line;
        std::optional<LineTime> time;
    } rows[] = {
        {"two-digit hour", "10:00 dentist", LineTime{10, 0}},
        {"one-digit hour", "9:05 call", LineTime{9, 5}},
        {"midnight and the last minute", "0:00", LineTime{0, 0}},
        {"the day's last minute alone", "23:59", LineTime{23, 59}},
        {"full-width digits and colon", kWide10 + kWideColon + "\x82\x4f\x82\x4f" + " x", LineTime{10, 0}},
        {"mixed widths", "1\x82\x4f:30", LineTime{10, 30}},
        {"leading spaces, tab, full-width space", "  \t" + kWideSpace + "11:15 lunch", LineTime{11, 15}},
        {"text right after the minutes", "10:00dentist", LineTime{10, 0}},
        {"hour 24", "24:00 x", std::nullopt},
        {"hour 25", "25:00 x", std::nullopt},
        {"minute 60", "10:60 x", std::nullopt},
        {"no colon", "1000 x", std::nullopt},
        {"one digit of minutes", "10:5 x", std::nullopt},
        {"three digits of minutes", "10:000 x", std::nullopt},
        {"three digits of hour", "100:00 x", std::nullopt},
        {"a time inside a sentence", "meet at 10:00", std::nullopt},
        {"a lead byte before the time", "\x82\xa0 10:00", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseLineTime(row.line), row.time);
    }
}

TEST(FindRemindersTest, EachTimedLineOfEachDayIsOneReminderWithoutItsLeadingSpaces) {
    const std::string store = "126^11^8^plain\r\n 9:00 a\r\n10:30 b\nno 11:00~126^0^1^23:00 c~126^1^30^8:00 never~x";
    const std::vector<Reminder> found = FindReminders(store);
    const std::vector<Reminder> expected = {{2026, 12, 8, 9, 0, "9:00 a"},
                                            {2026, 12, 8, 10, 30, "10:30 b"},
                                            {2026, 1, 1, 23, 0, "23:00 c"},
                                            {2026, 2, 30, 8, 0, "8:00 never"}};
    EXPECT_EQ(found, expected);
    // 30 February is no moment: it never comes due and is no agenda line.
    EXPECT_EQ(ReminderMoment(found[3]), -1);
    const std::time_t from = ReminderMoment({2026, 1, 1, 0, 0, ""});
    const std::vector<Reminder> soonest = RemindersBetween(found, from, ReminderMoment({2026, 12, 8, 10, 30, ""}));
    ASSERT_EQ(soonest.size(), 2U);
    EXPECT_EQ(soonest[0].line, "23:00 c");
    EXPECT_EQ(soonest[1].line, "9:00 a");
}

std::time_t At(int hour, int minute, int second = 0, int day = 8) {
    return ReminderMoment({2026, 12, day, hour, minute, ""}) + second;
}

TEST(LookAtClockTest, EachLookTellsWhatCameDueOnTimeOrMissedOnceOnly) {
    const std::vector<Reminder> today = {{2026, 12, 7, 20, 0, "20:00 yesterday"},
                                         {2026, 12, 8, 9, 0, "9:00 a"},
                                         {2026, 12, 8, 10, 0, "10:00 b"},
                                         {2026, 12, 8, 11, 0, "11:00 c"}};
    const auto lines = [](const std::vector<Reminder>& told) {
        std::string out;
        for (const Reminder& reminder : told) out += reminder.line + ";";
        return out;
    };
    const struct {
        const char* name;
        ReminderSettings settings;
        std::time_t now;
        std::optional<std::time_t> lastLook;
        const char* onTime;
        const char* missed;
    } rows[] = {
        {"a start tells today's passed ones as missed, not yesterday's",
         {},
         At(10, 30),
         std::nullopt,
         "",
         "9:00 a;10:00 b;"},
        {"the tick of the minute tells it on time", {}, At(10, 0), At(9, 59, 59), "10:00 b;", "9:00 a;"},
        {"a tick late by under a minute is still on time", {}, At(10, 0, 59), At(9, 59, 59), "10:00 b;", "9:00 a;"},
        {"two hours at once: missed together", {}, At(12, 0), At(10, 0, 30), "", "9:00 a;10:00 b;11:00 c;"},
        {"ten minutes before", {true, 10}, At(9, 50), At(9, 49, 59), "10:00 b;", "9:00 a;"},
        {"switched off, nothing", {false, 0}, At(12, 0), At(11, 59, 59), "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReminderMemory memory;
        const ReminderTick tick = LookAtClock(today, "/d", row.settings, memory, row.now, row.lastLook);
        EXPECT_EQ(lines(tick.onTime), row.onTime);
        EXPECT_EQ(lines(tick.missed), row.missed);
        // Told once: the same look again, or the clock set back and forward, tells nothing.
        const ReminderTick again = LookAtClock(today, "/d", row.settings, memory, row.now, row.now - 1);
        EXPECT_TRUE(again.onTime.empty() && again.missed.empty());
    }
}

TEST(LookAtClockTest, EditsBeforeTheTimeAndSnoozesCountAsTheMemoIsNow) {
    ReminderMemory memory;
    const ReminderSettings settings;
    const Reminder first{2026, 12, 8, 10, 0, "10:00 x"};
    const Reminder moved{2026, 12, 8, 10, 30, "10:30 x"};
    EXPECT_TRUE(LookAtClock({first}, "/d", settings, memory, At(9, 59), At(9, 58)).onTime.empty());
    // The line now says 10:30: nothing at 10:00, the new one at 10:30.
    EXPECT_TRUE(LookAtClock({moved}, "/d", settings, memory, At(10, 0), At(9, 59, 59)).onTime.empty());
    EXPECT_EQ(LookAtClock({moved}, "/d", settings, memory, At(10, 30), At(10, 29, 59)).onTime, std::vector{moved});
    // Snoozed to 10:40: told again then, once; a snooze of a line since deleted is dropped.
    memory.snoozes[ReminderKey("/d", moved)] = At(10, 40);
    memory.snoozes[ReminderKey("/d", first)] = At(10, 40);
    EXPECT_TRUE(LookAtClock({moved}, "/d", settings, memory, At(10, 39, 59), At(10, 39, 58)).onTime.empty());
    EXPECT_EQ(LookAtClock({moved}, "/d", settings, memory, At(10, 40), At(10, 39, 59)).onTime, std::vector{moved});
    EXPECT_TRUE(memory.snoozes.empty());
    // What a snooze carries over a restart comes back from the file's bytes whole.
    memory.snoozes[ReminderKey("/d\tx", {2026, 12, 8, 9, 0, "9:00 a\\b\tc"})] = At(11, 0);
    EXPECT_EQ(ParseReminderMemory(ReminderMemoryBytes(memory)), memory);
    ForgetToldBefore(memory, "2026-12-09");
    EXPECT_TRUE(memory.told.empty());
}

TEST(ReminderSettingsTest, UnknownOrMissingValuesKeepTheDefaults) {
    EXPECT_EQ(ParseReminderSettings(ReminderSettingsBytes({false, 15})), (ReminderSettings{false, 15}));
    EXPECT_EQ(ParseReminderSettings("enabled=maybe\nminutes-before=7\n"), ReminderSettings{});
}

TEST(ReminderSourceTest, TheMemoFileIsReadAgainOnlyWhenItChanged) {
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("velmora-reminders-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "MemoData.txt").string();
    ReminderSource source(file);
    source.StoreChanged("126^11^8^9:00 ours~");
    EXPECT_FALSE(source.LookAtFile());  // no file, as at the start
    EXPECT_EQ(source.Reminders().size(), 1U);
    std::ofstream(file, std::ios::binary) << "126^11^8^9:00 ours~126^11^8^10:00 synced~";
    EXPECT_TRUE(source.LookAtFile());
    EXPECT_FALSE(source.LookAtFile());
    ASSERT_EQ(source.Reminders().size(), 2U);
    EXPECT_EQ(source.Reminders()[1].line, "10:00 synced");
    std::filesystem::remove_all(folder);
}

}  // namespace
