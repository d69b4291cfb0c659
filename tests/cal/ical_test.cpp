// iCalendar export and import: the text an export writes (read back with libical), the events an
// import takes from real-world files, the merge into the memo store, and the program run on a folder.
#include "ical/ics_reading.h"
#include "ical/ics_text.h"
#include "ical/imported_events.h"
#include "ical/memo_merge.h"
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/model_state.h"
#include "model/record.h"
#include "model/text_file_format.h"
#include "model/year_calendar.h"
#include "platform/code_page.h"
#include "tests/cal/cal_run.h"
#include "velmora-cal/ical_export.h"
#include "velmora-cal/input_file.h"
#include "velmora-cal/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libical/ical.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Fixture(const std::string& name) { return Bytes(fs::path(VELMORA_ICS_DIR) / name); }

// A memo record of a calendar date (2026-12-08 as 2026, 12, 8) with UTF-8 text.
std::string Memo(int year, int month, int day, const std::string& utf8) {
    return MakeMemoRecord(year - 1900, month - 1, day, platform::Cp932FromUtf8(utf8));
}

// The record without its closing "~", as a file cut short leaves the last one.
std::string Unterminated(std::string record) {
    record.pop_back();
    return record;
}

// The memos of a store as "YYYY-MM-DD text" lines (UTF-8, line breaks as "|"), in store order.
std::vector<std::string> MemoLines(const std::string& store) {
    std::vector<std::string> lines;
    for (std::string_view rest = store; !rest.empty();) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        std::string text = platform::Utf8FromCp932(fields.text);
        std::string shown;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
            shown += text[i] == '\n' ? '|' : text[i];
        }
        char date[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d ", fields.year + 1900, fields.month + 1, fields.day);
        lines.push_back(date + shown);
    }
    return lines;
}

// Every test runs with the local zone of Japan and in a data folder of its own.
class IcalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "Asia/Tokyo", 1);
        ::tzset();
        m_folder = fs::path(::testing::TempDir()) / ("velmora-ical-" + std::to_string(::getpid()) + "-" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "data");
        m_previous = fs::current_path();
        fs::current_path(m_folder / "data");
        ResetModelState();
    }
    void TearDown() override {
        ResetModelState();
        fs::current_path(m_previous);
        fs::remove_all(m_folder);
    }

    fs::path Data() const { return m_folder / "data"; }

    fs::path m_folder;
    fs::path m_previous;
};

// ---- The text of an export ----

TEST(IcalText, EscapesWhatATextValueMayNotHold) {
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"plain 歯医者", "plain 歯医者"},
        {"a,b;c\\d", "a\\,b\\;c\\\\d"},
        {"one\r\ntwo\nthree\rfour", "one\\ntwo\\nthree\\nfour"},
        {"tab\tstays, bell\a goes", "tab\tstays\\, bell  goes"},
        {"\\n is not a break", "\\\\n is not a break"},
    };
    for (const auto& row : rows) EXPECT_EQ(ics::EscapeIcalText(row.in), row.out) << row.in;
}

TEST(IcalText, FoldsAt75OctetsNeverInsideACharacter) {
    // Kanji are three octets: each prefix length puts the fold at another place of a character.
    for (const std::string prefix : {"", "A", "AB", "ABC"}) {
        std::string line = "DESCRIPTION:" + prefix;
        for (int i = 0; i < 80; ++i) line += i % 2 == 0 ? "漢" : "字";
        const std::string folded = ics::FoldContentLine(line);
        ASSERT_TRUE(folded.ends_with("\r\n"));
        std::string unfolded;
        std::size_t start = 0;
        int pieces = 0;
        while (start < folded.size()) {
            const std::size_t end = folded.find("\r\n", start);
            ASSERT_NE(end, std::string::npos);
            std::string piece = folded.substr(start, end - start);
            EXPECT_LE(piece.size(), 75U) << prefix << " piece " << pieces;
            if (pieces > 0) {
                ASSERT_EQ(piece[0], ' ');
                piece.erase(0, 1);
            }
            // Each piece is whole characters: it neither starts nor ends inside one.
            EXPECT_NE(static_cast<unsigned char>(piece.front()) & 0xC0, 0x80) << prefix << " piece " << pieces;
            const auto last = static_cast<unsigned char>(piece.back());
            EXPECT_TRUE(last < 0x80 || (last & 0xC0) == 0x80) << prefix << " piece " << pieces;
            if (pieces > 0 && end + 2 < folded.size()) {
                EXPECT_GE(piece.size() + 1, 73U) << "a fold came too early";
            }
            unfolded += piece;
            start = end + 2;
            ++pieces;
        }
        EXPECT_EQ(unfolded, line);
        EXPECT_GE(pieces, 4);
    }
    EXPECT_EQ(ics::FoldContentLine(std::string(75, 'x')), std::string(75, 'x') + "\r\n");
    EXPECT_EQ(ics::FoldContentLine(std::string(76, 'x')), std::string(75, 'x') + "\r\n x\r\n");
}

// Returns an export's text without its DTSTAMP lines, the one part two exports of the same memos differ in.
std::string WithoutStamps(const std::string& text) {
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.starts_with("DTSTAMP:")) kept += line + "\n";
    return kept;
}

// The VEVENTs of an export as libical reads them back, by UID.
struct ParsedEvent {
    std::string summary;
    std::string description;
    std::string start;  // YYYYMMDD
    std::string end;
    bool startIsDate = false;
    std::string categories;
    bool transparent = false;
};

std::map<std::string, ParsedEvent> ParseBack(const std::string& ics) {
    std::map<std::string, ParsedEvent> events;
    icalcomponent* calendar = icalparser_parse_string(ics.c_str());
    EXPECT_NE(calendar, nullptr);
    if (calendar == nullptr) return events;
    EXPECT_EQ(icalcomponent_isa(calendar), ICAL_VCALENDAR_COMPONENT);
    EXPECT_EQ(icalcomponent_count_errors(calendar), 0);
    icalproperty* version = icalcomponent_get_first_property(calendar, ICAL_VERSION_PROPERTY);
    EXPECT_TRUE(version != nullptr && std::string(icalproperty_get_version(version)) == "2.0");
    EXPECT_NE(icalcomponent_get_first_property(calendar, ICAL_PRODID_PROPERTY), nullptr);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e != nullptr;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        ParsedEvent event;
        const char* summary = icalcomponent_get_summary(e);
        const char* description = icalcomponent_get_description(e);
        event.summary = summary != nullptr ? summary : "";
        event.description = description != nullptr ? description : "";
        const icaltimetype start = icalcomponent_get_dtstart(e);
        const icaltimetype end = icalcomponent_get_dtend(e);
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02d%02d", start.year, start.month, start.day);
        event.start = text;
        std::snprintf(text, sizeof text, "%04d%02d%02d", end.year, end.month, end.day);
        event.end = text;
        event.startIsDate = start.is_date != 0;
        icalproperty* categories = icalcomponent_get_first_property(e, ICAL_CATEGORIES_PROPERTY);
        if (categories != nullptr) event.categories = icalproperty_get_categories(categories);
        icalproperty* transp = icalcomponent_get_first_property(e, ICAL_TRANSP_PROPERTY);
        event.transparent = transp != nullptr && icalproperty_get_transp(transp) == ICAL_TRANSP_TRANSPARENT;
        EXPECT_NE(icalcomponent_get_first_property(e, ICAL_DTSTAMP_PROPERTY), nullptr);
        events[icalcomponent_get_uid(e)] = event;
    }
    icalcomponent_free(calendar);
    return events;
}

cal::ExportOptions Years(std::optional<int> from, std::optional<int> to, bool holidays) {
    cal::ExportOptions options;
    options.fromYear = from;
    options.toYear = to;
    options.holidays = holidays;
    return options;
}

ics::ImportWindow Window(int from, int to, bool bounded = false) {
    ics::ImportWindow window;
    window.fromYear = from;
    window.toYear = to;
    window.boundsSingleEvents = bounded;
    return window;
}

std::tm Today2026() {
    std::tm today{};
    today.tm_year = 126;
    today.tm_mon = 11;
    today.tm_mday = 8;
    return today;
}

TEST_F(IcalTest, ExportIsReadBackWholeByLibical) {
    const std::string longLine(100, 'x');
    const std::string store = Memo(2026, 12, 8, "歯医者") + Memo(2026, 12, 31, "大掃除\r\n窓, 床; 台所\\換気扇") +
                              Memo(2027, 2, 28, longLine + "漢字\r\n2行目") + Memo(2026, 2, 30, "ない日") +
                              Memo(2026, 13, 1, "ない月");
    cal::ExportCounts counts;
    const std::string ics =
        cal::ExportCalendar(store, Years(std::nullopt, std::nullopt, false), 0, Today2026(), counts);
    EXPECT_EQ(counts.memos, 3);
    EXPECT_EQ(counts.skippedRecords, 2);
    EXPECT_EQ(counts.holidays, 0);
    EXPECT_TRUE(ics.starts_with("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:"));
    EXPECT_TRUE(ics.ends_with("END:VCALENDAR\r\n"));
    // Every line break is CR LF and no line is longer than 75 octets.
    for (std::size_t i = 0; i < ics.size(); ++i)
        if (ics[i] == '\n') {
            ASSERT_TRUE(i > 0 && ics[i - 1] == '\r') << "bare LF at " << i;
        }
    std::istringstream lines(ics);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 76U) << line;

    const auto events = ParseBack(ics);
    ASSERT_EQ(events.size(), 3U);
    std::map<std::string, ParsedEvent> byStart;
    for (const auto& [uid, event] : events) {
        EXPECT_TRUE(uid.starts_with("memo-" + event.start + "-") && uid.ends_with("@velmora")) << uid;
        byStart[event.start] = event;
    }
    EXPECT_EQ(byStart["20261208"].summary, "歯医者");
    EXPECT_EQ(byStart["20261208"].description, "歯医者");
    EXPECT_EQ(byStart["20261208"].end, "20261209");
    EXPECT_TRUE(byStart["20261208"].startIsDate);
    EXPECT_EQ(byStart["20261231"].summary, "大掃除");
    EXPECT_EQ(byStart["20261231"].description, "大掃除\n窓, 床; 台所\\換気扇");
    EXPECT_EQ(byStart["20261231"].end, "20270101");
    EXPECT_EQ(byStart["20270228"].summary, longLine + "漢字");
    EXPECT_EQ(byStart["20270228"].description, longLine + "漢字\n2行目");
    EXPECT_EQ(byStart["20270228"].end, "20270301");
    EXPECT_FALSE(byStart["20261208"].transparent);
}

TEST_F(IcalTest, UidsStayTheSameAcrossExportsAndTellTwinMemosApart) {
    const std::string store = Memo(2026, 12, 8, "会議") + Memo(2026, 12, 8, "会議") + Memo(2026, 12, 9, "会議");
    cal::ExportCounts counts;
    const auto first =
        ParseBack(cal::ExportCalendar(store, Years(std::nullopt, std::nullopt, false), 0, Today2026(), counts));
    const auto second = ParseBack(cal::ExportCalendar(
        Memo(2026, 1, 1, "元日の予定") + store, Years(std::nullopt, std::nullopt, false), 86400, Today2026(), counts));
    EXPECT_EQ(first.size(), 3U);
    for (const auto& [uid, event] : first) EXPECT_TRUE(second.contains(uid)) << uid;
    // A memo's UID does not depend on how its breaks are held.
    const auto crlf = ParseBack(cal::ExportCalendar(Memo(2026, 12, 8, "会議\r\n資料"),
                                                    Years(std::nullopt, std::nullopt, false), 0, Today2026(), counts));
    const auto lf = ParseBack(cal::ExportCalendar(Memo(2026, 12, 8, "会議\n資料"),
                                                  Years(std::nullopt, std::nullopt, false), 0, Today2026(), counts));
    ASSERT_EQ(crlf.size(), 1U);
    EXPECT_TRUE(lf.contains(crlf.begin()->first));
}

TEST_F(IcalTest, ExportsTheHolidaysOfTheHolidayPassForTheChosenYears) {
    SetDefaultStaticHolidays();
    SetDefaultDynamicHolidays();
    g_YearCalendar.year = 126;
    ASSERT_EQ(SaveHolidayData(), 1);
    ResetModelState();

    cal::ExportCounts counts;
    const std::string store = Memo(2026, 12, 8, "歯医者");
    const auto events =
        ParseBack(cal::ExportCalendar(store, Years(std::nullopt, std::nullopt, true), 0, Today2026(), counts));
    // Each holiday is what the holiday pass marks: compare with the pass itself.
    g_YearCalendar.year = 126;
    g_YearCalendar.Build();
    int marked = 0;
    for (int m = 0; m < 12; ++m)
        for (int d = 1; d <= 31; ++d) {
            const CDayCell& cell = *g_YearCalendar.Cell(m, d);
            if (cell.day == 0 || cell.flag == 0) continue;
            ++marked;
            char uid[64];
            std::snprintf(uid, sizeof uid, "holiday-2026%02d%02d@velmora", m + 1, d);
            ASSERT_TRUE(events.contains(uid)) << uid;
            const ParsedEvent& event = events.at(uid);
            EXPECT_EQ(event.summary, cell.text.empty() ? "休日" : platform::Utf8FromCp932(cell.text)) << uid;
            EXPECT_EQ(event.categories, "祝日");
            EXPECT_TRUE(event.transparent);
            EXPECT_TRUE(event.startIsDate);
        }
    EXPECT_GT(marked, 10);
    EXPECT_EQ(counts.holidays, marked);
    EXPECT_EQ(counts.firstYear, 2026);
    EXPECT_EQ(counts.lastYear, 2026);
    EXPECT_TRUE(events.contains("holiday-20260101@velmora"));
    EXPECT_EQ(events.size(), static_cast<std::size_t>(marked) + 1);

    // Years given: memos outside them are left out, the holidays of each year are in.
    const auto ranged = ParseBack(cal::ExportCalendar(store, Years(2027, 2028, true), 0, Today2026(), counts));
    EXPECT_EQ(counts.memos, 0);
    EXPECT_TRUE(ranged.contains("holiday-20270101@velmora"));
    EXPECT_TRUE(ranged.contains("holiday-20280101@velmora"));
    EXPECT_FALSE(ranged.contains("holiday-20260101@velmora"));
}

// ---- Events read from real-world files ----

struct ReadCase {
    const char* file;
    int fromYear;
    int toYear;
    bool bounded;
    std::vector<std::string> events;        // "YYYY-MM-DD text", text lines joined by "|"
    std::vector<std::size_t> skippedLines;  // each skipped event's BEGIN line
    std::vector<std::string> leftOut = {};  // "RRULE@4": a property left out of the event at line 4
    const char* encoding = "UTF-8";
    std::size_t undecodableLine = 0;
    std::size_t exhaustedLine = 0;  // the event at which the budget ran out (and no events are kept)
};

std::vector<std::string> Shown(const std::vector<ics::IcsEvent>& events) {
    std::vector<std::string> shown;
    for (const ics::IcsEvent& event : events) {
        char date[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d ", event.year, event.monthIndex + 1, event.day);
        std::string text = event.text;
        for (char& c : text)
            if (c == '\n') c = '|';
        shown.push_back(date + text);
    }
    return shown;
}

TEST_F(IcalTest, ReadsTheShapesRealCalendarsWrite) {
    const ReadCase cases[] = {
        // An all-day event and a timed event in UTC (10:00 in Japan), with an alarm inside.
        {"google_export.ics",
         2026,
         2027,
         false,
         {"2026-12-08 結婚記念日", "2026-12-08 10:00 歯医者|保険証を持っていく"},
         {}},
        // A weekly rule with an end and one date taken out.
        {"weekly_exdate.ics",
         2026,
         2027,
         false,
         {"2026-12-01 19:00 英会話", "2026-12-08 19:00 英会話", "2026-12-15 19:00 英会話", "2026-12-29 19:00 英会話",
          "2027-01-05 19:00 英会話"},
         {}},
        // Times in a zone the file describes: both sides of its summer time.
        {"tzid_vtimezone.ics",
         2026,
         2027,
         false,
         {"2026-12-09 10:00 Call with New York", "2026-07-02 09:00 Summer call"},
         {}},
        // A zone with a Windows name in quotes, an empty description, and a yearly all-day rule from 1990.
        {"outlook_yearly.ics",
         2026,
         2027,
         false,
         {"2026-12-15 15:00 打ち合わせ", "2026-02-14 母の誕生日", "2027-02-14 母の誕生日"},
         {}},
        // A zone named by the system's zone database, with no VTIMEZONE in the file.
        {"tzid_system.ics", 2026, 2027, false, {"2026-12-08 17:00 Meeting in Berlin"}, {}},
        // Long folded lines, one of them folded inside a character.
        {"folded.ics",
         2026,
         2027,
         false,
         {"2026-12-20 年末の大掃除：窓、床、台所、換気扇、風呂、玄関、ベランダ、押し入れ、本棚、冷蔵庫の中まで全部"},
         {}},
        // Broken events are skipped with their line; the rest goes in.
        {"broken_event.ics", 2026, 2027, false, {"2026-12-10 ちゃんとした予定", "2026-12-12 後の予定"}, {10, 16}},
        // Unreadable properties the memo does not need cost nothing: an empty summary falls back to the
        // description, and a malformed RDATE leaves the rest of the series.
        {"harmless_errors.ics",
         2026,
         2026,
         false,
         {"2026-12-03 09:00 朝会", "2026-12-04 忘年会の下見", "2026-12-07 19:00 ヨガ", "2026-12-14 19:00 ヨガ",
          "2026-12-21 19:00 ヨガ", "2026-12-30 19:00 ヨガ"},
         {}},
        // An event longer than a day shows on each day it touches (DTEND exclusive), the later days
        // marked as its continuation; one ending at midnight stays on its day.
        {"multi_day.ics",
         2026,
         2026,
         false,
         {"2026-08-03 北海道旅行|札幌から函館まで", "2026-08-04 （続き）北海道旅行", "2026-08-05 （続き）北海道旅行",
          "2026-08-06 （続き）北海道旅行", "2026-08-07 （続き）北海道旅行", "2026-08-31 22:30 夜行バス",
          "2026-09-01 （続き）夜行バス", "2026-09-10 20:00 夜の部"},
         {}},
        // A monthly rule with a moved and a cancelled instance; a holiday event is left out.
        {"overrides.ics",
         2026,
         2026,
         true,
         {"2026-10-05 09:30 定例会", "2026-11-06 14:00 定例会（延期）", "2026-12-07 09:30 定例会"},
         {}},
        // The window bounds a daily rule without end, and a bounded import leaves out what is outside it.
        {"daily_forever.ics", 2027, 2027, true, {}, {}},
        // A cut definition of a well-known zone gives way to the system's, also in the later years of
        // a series that began where the two agree; a vendor's prefix and a Windows name resolve; an
        // unknown zone is local time.
        {"zones_named_oddly.ics",
         2026,
         2026,
         false,
         {"2026-03-21 09:00 March call", "2026-07-02 09:00 July call", "2026-12-08 17:00 Berlin (old Thunderbird)",
          "2026-12-10 17:00 Berlin (Outlook)", "2026-12-11 09:00 Somewhere", "2026-03-21 09:00 Yearly call"},
         {}},
        // A description in HTML is read as its text; one that only holds "<" and "&" is kept as it is.
        {"google_html.ics",
         2026,
         2026,
         false,
         {"2026-12-05 遠足|持ち物|水筒&タオル、帽子|地図 (https://example.com/map)|https://meet.example.com/abc",
          "2026-12-06 比較|a<b かつ c>d &amp; e"},
         {}},
        // Years after 3000, as dates, as times and as the start of a rule libical cannot repeat there.
        {"far_years.ics",
         5001,
         9999,
         false,
         {"5001-06-15 五千年の祭り", "5001-06-16 （続き）五千年の祭り", "5001-06-17 （続き）五千年の祭り",
          "9999-12-31 19:00 最後の夜", "5001-01-01 毎年"},
         {},
         {"RRULE@17"}},
        // A zone defined after the event that names it, and a second calendar in the same file.
        {"zone_after_events.ics",
         2026,
         2027,
         false,
         {"2026-12-08 14:00 Zone defined later", "2026-12-09 10:00 Second calendar"},
         {}},
        // Rules no date satisfies are left out; one of minutes on leap days only is walked day by day.
        {"never_matches.ics",
         2026,
         2028,
         false,
         {"2026-12-01 18:00 Never", "2026-12-01 18:00 Never either", "2026-12-01 09:00 Leap", "2028-02-29 09:01 Leap",
          "2028-02-29 09:02 Leap"},
         {},
         {"RRULE@4", "RRULE@11"}},
        // A zone whose rules change every second keeps its offsets without them.
        {"restless_zone.ics", 2026, 2027, false, {"2026-12-08 18:00 Restless"}, {}},
        // One event of a hundred rules of every second spends the whole reading's budget: nothing is kept.
        {"many_rules.ics", 2026, 2027, false, {}, {}, {}, "UTF-8", 0, 10},
        // Text not in UTF-8: code page 932, Latin-1, a CHARSET named, and bytes no character set reads.
        {"shift_jis.ics", 2026, 2027, false, {"2026-12-25 忘年会|駅前の居酒屋ｶﾝﾊﾟｲ"}, {}, {}, "CP932"},
        {"latin1.ics", 2026, 2027, false, {"2026-12-10 Två dagar i Malmö"}, {}, {}, "WINDOWS-1252"},
        {"charset_param.ics", 2026, 2027, false, {"2026-12-11 Встреча"}, {}, {}, "KOI8-R"},
        {"undecodable.ics", 2026, 2027, false, {}, {}, {}, "", 9},
    };
    for (const ReadCase& row : cases) {
        const ics::IcsReading reading =
            ics::ReadIcsEvents(Fixture(row.file), Window(row.fromYear, row.toYear, row.bounded));
        ASSERT_TRUE(reading.isCalendar) << row.file;
        if (std::string(row.file) == "daily_forever.ics") {
            // One a day in 2027 only.
            EXPECT_EQ(reading.events.size(), 365U);
            EXPECT_EQ(Shown(reading.events).front(), "2027-01-01 08:00 散歩");
            EXPECT_EQ(Shown(reading.events).back(), "2027-12-31 08:00 散歩");
            continue;
        }
        std::vector<std::string> got = Shown(reading.events);
        std::vector<std::string> want = row.events;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << row.file;
        ASSERT_EQ(reading.skipped.size(), row.skippedLines.size()) << row.file;
        for (std::size_t i = 0; i < row.skippedLines.size(); ++i)
            EXPECT_EQ(reading.skipped[i].line, row.skippedLines[i]) << row.file;
        std::vector<std::string> leftOut;
        for (const ics::IgnoredProperty& ignored : reading.ignoredDates)
            if (ignored.property == "RRULE") leftOut.push_back("RRULE@" + std::to_string(ignored.line));
        EXPECT_EQ(leftOut, row.leftOut) << row.file;
        EXPECT_EQ(reading.encoding, row.encoding) << row.file;
        EXPECT_EQ(reading.undecodableLine, row.undecodableLine) << row.file;
        EXPECT_EQ(reading.exhaustedBudget, row.exhaustedLine != 0) << row.file;
        EXPECT_EQ(reading.exhaustedAt.line, row.exhaustedLine) << row.file;
    }
    EXPECT_EQ(ics::ReadIcsEvents(Fixture("restless_zone.ics"), Window(2026, 2027)).droppedZoneRules, 2);
    const ics::IcsReading overrides = ics::ReadIcsEvents(Fixture("overrides.ics"), Window(2026, 2026, true));
    EXPECT_EQ(overrides.holidays, 1);
    EXPECT_EQ(overrides.cancelled, 1);
    const ics::IcsReading harmless = ics::ReadIcsEvents(Fixture("harmless_errors.ics"), Window(2026, 2026));
    EXPECT_EQ(harmless.ignoredProperties, 9);
    ASSERT_EQ(harmless.ignoredDates.size(), 2U);
    EXPECT_EQ(harmless.ignoredDates[0].property, "DTEND");
    EXPECT_EQ(harmless.ignoredDates[1].property, "RDATE");
    EXPECT_EQ(harmless.ignoredDates[1].line, 24U);
    const ics::IcsReading zones = ics::ReadIcsEvents(Fixture("zones_named_oddly.ics"), Window(2026, 2026));
    ASSERT_EQ(zones.unknownZones.size(), 1U);
    EXPECT_EQ(zones.unknownZones[0].zone, "Custom Zone");
    EXPECT_EQ(zones.unknownZones[0].line, 45U);
    ASSERT_EQ(zones.systemZones.size(), 1U);
    EXPECT_EQ(zones.systemZones[0].zone, "America/New_York");
    EXPECT_EQ(zones.systemZones[0].times, 1);
    EXPECT_EQ(zones.todos, 1);
}

TEST_F(IcalTest, RecognisesWhatIsNotICalendar) {
    for (const std::string& text :
         {Fixture("not_calendar.txt"), Fixture("contact.vcf"), std::string(),
          std::string("BEGIN:VCALENDAR\r\n\0\r\nEND:VCALENDAR\r\n", 35), std::string("\x89PNG\r\n\x1a\n")}) {
        EXPECT_FALSE(ics::ReadIcsEvents(text, Window(2026, 2027)).isCalendar) << text;
    }
    // A byte-order mark and lower-case names are still iCalendar.
    const ics::IcsReading marked = ics::ReadIcsEvents(
        "\xEF\xBB\xBF"
        "begin:vcalendar\r\nversion:2.0\r\nbegin:vevent\r\nuid:x\r\ndtstart;value=date:20261208\r\n"
        "summary:印\r\nend:vevent\r\nend:vcalendar\r\n",
        Window(2026, 2027));
    EXPECT_TRUE(marked.isCalendar);
    EXPECT_EQ(Shown(marked.events), std::vector<std::string>{"2026-12-08 印"});
}

// ---- The merge into the memo store ----

// An event as the reader gives it: a text starting "HH:MM " is a timed event's.
ics::IcsEvent Event(int year, int month, int day, const std::string& text, const std::string& uid = "") {
    ics::IcsEvent event;
    event.year = year;
    event.monthIndex = month - 1;
    event.day = day;
    event.text = text;
    if (text.size() > 5 && text[2] == ':' && text[5] == ' ')
        event.minuteOfDay = std::stoi(text.substr(0, 2)) * 60 + std::stoi(text.substr(3, 2));
    event.uid = uid;
    return event;
}

// An event that is a memo as Velmora exports it.
ics::IcsEvent WholeMemo(int year, int month, int day, const std::string& text, const std::string& uid,
                        bool bareLineFeeds = false) {
    ics::IcsEvent event = Event(year, month, day, text);
    event.wholeMemo = true;
    event.uid = uid;
    event.bareLineFeeds = bareLineFeeds;
    return event;
}

TEST(IcalMerge, AppendsToTheFirstRecordOfTheDayAndAddsNothingTwice) {
    const struct {
        const char* name;
        std::string store;
        std::vector<ics::IcsEvent> events;
        std::vector<std::string> memos;
        int added;
        int present;
    } rows[] = {
        {"new day", "", {Event(2026, 12, 8, "10:00 歯医者")}, {"2026-12-08 10:00 歯医者"}, 1, 0},
        {"appended on a new line",
         Memo(2026, 12, 8, "買い物"),
         {Event(2026, 12, 8, "10:00 歯医者")},
         {"2026-12-08 買い物|10:00 歯医者"},
         1,
         0},
        {"only the first record of the day",
         Memo(2026, 12, 8, "一つ目") + Memo(2026, 12, 1, "他の日") + Memo(2026, 12, 8, "二つ目"),
         {Event(2026, 12, 8, "予定")},
         {"2026-12-08 一つ目|予定", "2026-12-01 他の日", "2026-12-08 二つ目"},
         1,
         0},
        {"a line already there",
         Memo(2026, 12, 8, "買い物\r\n10:00 歯医者\r\nメモ"),
         {Event(2026, 12, 8, "10:00 歯医者")},
         {"2026-12-08 買い物|10:00 歯医者|メモ"},
         0,
         1},
        {"part of a line is not the line",
         Memo(2026, 12, 8, "10:00 歯医者の予約"),
         {Event(2026, 12, 8, "10:00 歯医者")},
         {"2026-12-08 10:00 歯医者の予約|10:00 歯医者"},
         1,
         0},
        {"the same event twice in one file",
         "",
         {Event(2026, 12, 8, "会議|資料"), Event(2026, 12, 8, "会議|資料")},
         {"2026-12-08 会議|資料"},
         1,
         1},
        {"several lines already there",
         Memo(2026, 12, 8, "会議\r\n資料"),
         {Event(2026, 12, 8, "会議\n資料")},
         {"2026-12-08 会議|資料"},
         0,
         1},
        {"delimiters become full width", "", {Event(2026, 12, 8, "a^b~c")}, {"2026-12-08 a＾b～c"}, 1, 0},
        {"by time, all-day first, the lines already there in place",
         Memo(2026, 12, 8, "買い物\r\n12:00 昼食\r\n弁当"),
         {Event(2026, 12, 8, "15:00 会議"), Event(2026, 12, 8, "誕生日"), Event(2026, 12, 8, "09:00 朝会|資料"),
          Event(2026, 12, 8, "（続き）旅行")},
         {"2026-12-08 買い物|誕生日|（続き）旅行|09:00 朝会|資料|12:00 昼食|弁当|15:00 会議"},
         4,
         0},
        {"an exported memo of bare LF breaks joins a memo of CR LF breaks in its form",
         Memo(2026, 12, 8, "買い物"),
         {WholeMemo(2026, 12, 8, "会議|資料", "a", true)},
         {"2026-12-08 買い物|会議|資料"},
         1,
         0},
        {"an exported memo held by a later record of its day",
         Memo(2026, 12, 8, "一つ目") + Memo(2026, 12, 8, "二つ目"),
         {WholeMemo(2026, 12, 8, "二つ目", "a"), WholeMemo(2026, 12, 8, "三つ目", "b")},
         {"2026-12-08 一つ目|三つ目", "2026-12-08 二つ目"},
         1,
         1},
        {"an unterminated last record stays a record",
         Unterminated(Memo(2026, 12, 1, "途中")),
         {Event(2026, 12, 2, "次")},
         {"2026-12-01 途中", "2026-12-02 次"},
         1,
         0},
    };
    // A memo of bare LF breaks gets its additions with LF breaks.
    std::string bare = Memo(2026, 12, 8, "買い物\nメモ");
    ics::MergeEvents(bare, {Event(2026, 12, 8, "会議\n資料")});
    EXPECT_EQ(bare, Memo(2026, 12, 8, "買い物\nメモ\n会議\n資料"));
    for (const auto& row : rows) {
        std::string store = row.store;
        std::vector<ics::IcsEvent> events = row.events;
        for (ics::IcsEvent& event : events)
            for (char& c : event.text)
                if (c == '|') c = '\n';
        const ics::MergeResult result = ics::MergeEvents(store, events);
        EXPECT_EQ(MemoLines(store), row.memos) << row.name;
        // No row's store holds both kinds of break.
        bool bareLineFeed = false;
        for (std::size_t i = 0; i < store.size(); ++i)
            bareLineFeed |= store[i] == '\n' && (i == 0 || store[i - 1] != '\r');
        EXPECT_FALSE(bareLineFeed && store.find("\r\n") != std::string::npos) << row.name;
        EXPECT_EQ(result.added, row.added) << row.name;
        EXPECT_EQ(result.alreadyPresent, row.present) << row.name;
        // A second merge of the same events changes nothing.
        const std::string once = store;
        const ics::MergeResult again = ics::MergeEvents(store, events);
        EXPECT_EQ(again.added, 0) << row.name;
        EXPECT_EQ(store, once) << row.name;
    }
}

TEST(IcalMerge, AnEventImportedAgainReplacesWhatItAddedUnlessTheUserChangedIt) {
    ics::ImportedEvents imported;
    std::string store = Memo(2026, 12, 8, "買い物");
    const auto merge = [&store, &imported](std::vector<ics::IcsEvent> events) {
        const ics::MergeResult result = ics::MergeEvents(store, events, &imported);
        // What the record says survives its file.
        EXPECT_EQ(ics::ParseImportedEvents(ics::FormatImportedEvents(imported)), imported);
        return result;
    };
    EXPECT_EQ(
        merge({Event(2026, 12, 8, "10:00 歯医者", "a@x"), Event(2026, 12, 8, "10:00 歯医者", "b\t\xE4\xBA\x88")}).added,
        1);
    EXPECT_EQ(merge({Event(2026, 12, 8, "11:00 歯医者\n保険証", "a@x")}).replaced, 1);
    EXPECT_EQ(MemoLines(store), std::vector<std::string>{"2026-12-08 買い物|11:00 歯医者|保険証"});
    // Moved to another day; an event of another UID on the old day is left alone.
    EXPECT_EQ(merge({Event(2026, 12, 9, "11:00 歯医者\n保険証", "a@x")}).replaced, 1);
    EXPECT_EQ(MemoLines(store), (std::vector<std::string>{"2026-12-08 買い物", "2026-12-09 11:00 歯医者|保険証"}));
    // A day whose memo held only the event's lines loses its record when the event moves on.
    merge({Event(2026, 12, 10, "11:00 歯医者\n保険証", "a@x")});
    EXPECT_EQ(MemoLines(store), (std::vector<std::string>{"2026-12-08 買い物", "2026-12-10 11:00 歯医者|保険証"}));

    // The user's edit since is kept, beside the event's new text.
    store = Memo(2026, 12, 8, "買い物") + Memo(2026, 12, 10, "11:00 歯医者（駅前）\r\n保険証");
    const ics::MergeResult edited = merge({Event(2026, 12, 10, "11:30 歯医者", "a@x")});
    EXPECT_EQ(edited.keptEdited, 1);
    EXPECT_EQ(MemoLines(store),
              (std::vector<std::string>{"2026-12-08 買い物", "2026-12-10 11:00 歯医者（駅前）|保険証|11:30 歯医者"}));
    ASSERT_EQ(imported.at("a@x").size(), 1U);
    EXPECT_EQ(imported.at("a@x")[0].text, platform::Cp932FromUtf8("11:30 歯医者"));
    EXPECT_FALSE(ics::ParseImportedEvents("velmora imported events 1\na\t2026-13-01\tx\n"));

    // An event that would add more lines than allowed is left out whole, and named.
    std::vector<ics::IcsEvent> flood;
    for (int day = 1; day <= 3; ++day) {
        flood.push_back(Event(2026, 11, day, "毎日", "flood"));
        flood.back().line = 7;
        flood.back().number = 2;
    }
    std::string empty;
    ics::MergeOptions options;
    options.maxLinesPerEvent = 2;
    const ics::MergeResult left = ics::MergeEvents(empty, flood, &imported, options);
    EXPECT_EQ(empty, "");
    ASSERT_EQ(left.oversized.size(), 1U);
    EXPECT_EQ(left.oversized[0].line, 7U);
    EXPECT_EQ(left.oversized[0].lines, 3U);
    EXPECT_FALSE(imported.contains("flood"));
}

TEST(IcalMerge, CountsTheCharactersCodePage932Lacks) {
    std::string store;
    const ics::MergeResult result =
        ics::MergeEvents(store, {Event(2026, 12, 8, "誕生日🎂🎉 ①"), Event(2026, 12, 9, "普通")});
    EXPECT_EQ(result.replacedCharacters, 2U);
    EXPECT_EQ(MemoLines(store), (std::vector<std::string>{"2026-12-08 誕生日〓〓 ①", "2026-12-09 普通"}));
}

// ---- The program on a data folder ----

class IcalCommandTest : public IcalTest {
protected:
    // Runs velmora-cal with `arguments` (shell words) from the test's folder, in Japan's zone.
    CalRun Cal(const std::string& arguments) const {
        return RunCal(m_folder, "LANG=C TZ=Asia/Tokyo", arguments, m_folder);
    }

    // Every file of the data folder with its bytes, the lock file apart.
    std::map<std::string, std::string> DataFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Data()))
            if (entry.is_regular_file() && entry.path().filename() != ".velmora.lock")
                files[entry.path().lexically_relative(Data()).string()] = Bytes(entry.path());
        return files;
    }

    void WriteMemos(const std::string& store) { WriteBytes(Data() / "MemoData.txt", EncodeTextFile(store)); }
    std::string ReadMemos() const { return DecodeTextFile(Bytes(Data() / "MemoData.txt")); }
};

TEST_F(IcalCommandTest, RoundTripIntoAnEmptyFolderGivesTheSameMemos) {
    // Memos in the order an import writes them (by day), whose text readers of iCalendar would
    // change: blank lines and blanks at the ends, both kinds of break, several memos on one day,
    // the first and the last year the calendar holds; the export carries the holidays as well.
    const std::string store = Memo(1, 1, 1, "元日") + Memo(1999, 5, 5, std::string(120, 'a') + "端午") +
                              Memo(2026, 12, 8, "\r\n会議\r\n資料") + Memo(2026, 12, 9, "  字下げ\t\r\n\t次の行  ") +
                              Memo(2026, 12, 10, "LFだけ\n二行目\n") + Memo(2026, 12, 13, " \t") +
                              Memo(2026, 12, 24, "クリスマス\r\n買い物, パン; ケーキ\\ ＾～") +
                              Memo(2026, 12, 24, "二つ目") +
                              Memo(2026, 12, 24, "クリスマス\r\n買い物, パン; ケーキ\\ ＾～") +
                              Memo(5001, 6, 15, "五千年") + Memo(9999, 12, 31, "大晦日");
    WriteMemos(store);
    const CalRun exported = Cal("--dir data export cal.ics");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("11 memos"), std::string::npos) << exported.out;
    const std::string first = Bytes(m_folder / "cal.ics");
    EXPECT_NE(first.find("SUMMARY:会議\r\n"), std::string::npos);

    fs::create_directories(m_folder / "empty");
    const CalRun imported = Cal("--dir empty import cal.ics");
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_TRUE(imported.err.empty()) << imported.err.substr(0, 300);
    EXPECT_NE(imported.out.find("MemoData.txt is new"), std::string::npos) << imported.out;
    EXPECT_EQ(DecodeTextFile(Bytes(m_folder / "empty" / "MemoData.txt")), store);
    // The same file again adds nothing, and the second export is the first.
    const CalRun again = Cal("--dir empty import cal.ics");
    EXPECT_NE(again.out.find("0 events added"), std::string::npos) << again.out;
    EXPECT_EQ(DecodeTextFile(Bytes(m_folder / "empty" / "MemoData.txt")), store);
    ASSERT_EQ(Cal("--dir empty export again.ics").status, 0);
    EXPECT_EQ(WithoutStamps(Bytes(m_folder / "again.ics")), WithoutStamps(first));
}

TEST_F(IcalCommandTest, ExportsTheBuiltInHolidaysOfAFolderWithoutHolidayFilesAndWritesNothingThere) {
    WriteMemos(Memo(2026, 12, 8, "歯医者"));
    const auto before = DataFiles();
    const CalRun run = Cal("--dir data export -");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto events = ParseBack(run.out);
    ASSERT_TRUE(events.contains("holiday-20260101@velmora"));
    EXPECT_EQ(events.at("holiday-20260101@velmora").categories, "祝日");
    EXPECT_GT(events.size(), 10U);
    EXPECT_EQ(DataFiles(), before);
}

TEST_F(IcalCommandTest, ImportingTwiceIsImportingOnce) {
    WriteMemos(Memo(2026, 12, 8, "買い物"));
    const CalRun first = Cal("--dir data import '" VELMORA_ICS_DIR "/google_export.ics'");
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("2 events added"), std::string::npos) << first.out;
    const auto once = DataFiles();
    EXPECT_EQ(MemoLines(ReadMemos()),
              std::vector<std::string>{"2026-12-08 買い物|結婚記念日|10:00 歯医者|保険証を持っていく"});

    const CalRun second = Cal("--dir data import '" VELMORA_ICS_DIR "/google_export.ics'");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("0 events added"), std::string::npos) << second.out;
    EXPECT_NE(second.out.find("2 already present"), std::string::npos) << second.out;
    EXPECT_EQ(DataFiles(), once);
}

TEST_F(IcalCommandTest, UndoPutsBackTheFileTheLastImportReplaced) {
    const std::string original = EncodeTextFile(Memo(2026, 12, 8, "買い物"));
    WriteBytes(Data() / "MemoData.txt", original);
    const CalRun first = Cal("--dir data import '" VELMORA_ICS_DIR "/google_export.ics'");
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("(velmora-cal import --undo puts it back)"), std::string::npos) << first.out;
    const auto imported = DataFiles();
    // A flood is left out and named, unless asked for.
    std::string flood =
        "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:f\r\nDTSTART:20261201T000000\r\n"
        "RRULE:FREQ=MINUTELY;COUNT=1001\r\nSUMMARY:x\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    WriteBytes(m_folder / "flood.ics", flood);
    const CalRun left = Cal("--dir data import --from 2026 --to 2026 flood.ics");
    EXPECT_EQ(left.status, 0) << left.err;
    EXPECT_NE(left.err.find("flood.ics: line 2: would add 1001 lines (event skipped; --all takes it)"),
              std::string::npos)
        << left.err;
    EXPECT_EQ(DataFiles(), imported);
    const CalRun all = Cal("--dir data import --all --from 2026 --to 2026 flood.ics");
    EXPECT_NE(all.out.find("1001 events added"), std::string::npos) << all.out;

    // Each undo takes back one import, newest first, and then there is none.
    EXPECT_EQ(Cal("--dir data import --undo").status, 0);
    EXPECT_EQ(DataFiles(), imported);
    const CalRun undone = Cal("--dir data import --undo");
    EXPECT_EQ(undone.status, 0) << undone.err;
    EXPECT_EQ(Bytes(Data() / "MemoData.txt"), original);
    EXPECT_EQ(DataFiles().size(), 1U);
    EXPECT_EQ(Cal("--dir data import --undo").status, 2);

    // Not over a change made since.
    ASSERT_EQ(Cal("--dir data import '" VELMORA_ICS_DIR "/google_export.ics'").status, 0);
    const std::string edited = EncodeTextFile(Memo(2026, 12, 8, "手で書いた"));
    WriteBytes(Data() / "MemoData.txt", edited);
    const CalRun refused = Cal("--dir data import --undo");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("has changed since the last import"), std::string::npos) << refused.err;
    EXPECT_EQ(Bytes(Data() / "MemoData.txt"), edited);

    // Only the ten newest copies are kept.
    for (int day = 1; day <= 12; ++day) {
        WriteBytes(m_folder / "one.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:202601" +
                                             std::string(day < 10 ? "0" : "") + std::to_string(day) +
                                             "\r\nSUMMARY:x\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        ASSERT_EQ(Cal("--dir data import one.ics").status, 0);
    }
    int copies = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Data()))
        copies += entry.path().filename().string().starts_with("import-backup-") ? 1 : 0;
    EXPECT_EQ(copies, 10);
}

TEST_F(IcalCommandTest, RefusesWithNothingChanged) {
    WriteMemos(Memo(2026, 12, 8, "買い物"));
    const auto before = DataFiles();

    // A copy of the calendar holds the folder.
    const int lock = ::open((Data() / ".velmora.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    const CalRun locked = Cal("--dir data import '" VELMORA_ICS_DIR "/google_export.ics'");
    EXPECT_EQ(locked.status, 2);
    EXPECT_NE(locked.err.find("running"), std::string::npos) << locked.err;
    EXPECT_EQ(std::count(locked.err.begin(), locked.err.end(), '\n'), 1) << locked.err;
    EXPECT_EQ(DataFiles(), before);
    // Another velmora-cal, named by its note, holds it.
    WriteBytes(Data() / ".velmora.holder", "velmora-cal\n" + std::to_string(::getpid()) + "\n");
    const CalRun held = Cal("--dir data import '" VELMORA_ICS_DIR "/google_export.ics'");
    EXPECT_NE(held.err.find("another velmora-cal (process " + std::to_string(::getpid()) + ")"), std::string::npos)
        << held.err;
    fs::remove(Data() / ".velmora.holder");
    ::close(lock);

    // Files that are not iCalendar, no file at all, text in no character set, a file that asks for
    // more repetitions than an import walks.
    for (const char* file : {"not_calendar.txt", "contact.vcf", "missing.ics", "undecodable.ics", "many_rules.ics"}) {
        const CalRun run = Cal(std::string("--dir data import '" VELMORA_ICS_DIR "/") + file + "'");
        EXPECT_EQ(run.status, 2) << file;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << file << ": " << run.err;
        EXPECT_EQ(DataFiles(), before) << file;
    }

    // A dry run tells what would be added and writes nothing.
    const CalRun dry = Cal("--dir data import --dry-run '" VELMORA_ICS_DIR "/google_export.ics'");
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("2 events would be added"), std::string::npos) << dry.out;
    EXPECT_EQ(DataFiles(), before);
    const CalRun sjis = Cal("--dir data import --dry-run '" VELMORA_ICS_DIR "/shift_jis.ics'");
    EXPECT_NE(sjis.out.find("read as code page 932"), std::string::npos) << sjis.out;

    // A broken event is reported with its line; the rest goes in.
    const CalRun broken = Cal("--dir data import '" VELMORA_ICS_DIR "/broken_event.ics'");
    EXPECT_EQ(broken.status, 0) << broken.err;
    EXPECT_NE(broken.err.find("broken_event.ics: line 10:"), std::string::npos) << broken.err;
    EXPECT_NE(broken.err.find("broken_event.ics: line 16:"), std::string::npos) << broken.err;
    EXPECT_NE(broken.out.find("2 events added"), std::string::npos) << broken.out;

    // Unreadable properties are counted, one that bears on the days is named.
    const CalRun harmless =
        Cal("--dir data import --dry-run --from 2026 --to 2026 '" VELMORA_ICS_DIR "/harmless_errors.ics'");
    EXPECT_EQ(harmless.status, 0) << harmless.err;
    EXPECT_NE(harmless.out.find("6 events would be added"), std::string::npos) << harmless.out;
    EXPECT_NE(harmless.out.find("9 unreadable properties ignored"), std::string::npos) << harmless.out;
    EXPECT_NE(harmless.err.find("harmless_errors.ics: line 24: RDATE left out"), std::string::npos) << harmless.err;

    // A zone nothing resolves is named with its event, one the system corrects with its count; to-dos are counted.
    const CalRun zones = Cal("--dir data import --dry-run '" VELMORA_ICS_DIR "/zones_named_oddly.ics'");
    EXPECT_EQ(zones.status, 0) << zones.err;
    EXPECT_NE(zones.out.find("1 to-do not imported"), std::string::npos) << zones.out;
    EXPECT_NE(zones.err.find("zones_named_oddly.ics: line 45: unknown time zone \"Custom Zone\""), std::string::npos)
        << zones.err;
    EXPECT_NE(zones.err.find("\"America/New_York\" disagrees with the system's zone data; 1 time was read"),
              std::string::npos)
        << zones.err;
}

TEST_F(IcalCommandTest, UsageErrors) {
    for (const char* arguments : {"export", "export a.ics b.ics", "export a.ics --from", "export a.ics --from 20x6",
                                  "export a.ics --from 2027 --to 2026", "export a.ics --bogus", "import",
                                  "import a.ics --to", "import a.ics --from 0", "import a.ics --bogus"}) {
        const CalRun run = Cal(std::string("--dir data ") + arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_FALSE(run.err.empty()) << arguments;
        EXPECT_TRUE(DataFiles().empty()) << arguments;
    }
}

TEST_F(IcalCommandTest, ExportWritesAtomicallyOrToTheOutput) {
    WriteMemos(Memo(2026, 12, 8, "歯医者"));
    // An existing file is replaced whole and keeps its permission bits.
    WriteBytes(m_folder / "cal.ics", "old");
    fs::permissions(m_folder / "cal.ics", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const CalRun toFile = Cal("--dir data export cal.ics --no-holidays");
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    const std::string written = Bytes(m_folder / "cal.ics");
    EXPECT_TRUE(written.starts_with("BEGIN:VCALENDAR\r\n"));
    EXPECT_EQ(fs::status(m_folder / "cal.ics").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (const auto& entry : fs::directory_iterator(m_folder))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".cal.ics")) << "temporary file left";

    const CalRun toOutput = Cal("--dir data export - --no-holidays");
    ASSERT_EQ(toOutput.status, 0) << toOutput.err;
    EXPECT_EQ(ParseBack(toOutput.out).size(), 1U);
    // The two differ only in their DTSTAMP lines.
    EXPECT_EQ(WithoutStamps(toOutput.out), WithoutStamps(written));

    // The calendar's own files are never overwritten, whatever name leads to them.
    SetDefaultStaticHolidays();
    g_YearCalendar.year = 126;
    ASSERT_EQ(SaveHolidayData(), 1);
    fs::create_symlink(Data() / "MemoData.txt", m_folder / "link.ics");
    const auto before = DataFiles();
    for (const char* name : {"data/MemoData.txt", "link.ics", "data/Static_holi.txt", "data/126_holi.txt"}) {
        const CalRun refused = Cal(std::string("--dir data export ") + name);
        EXPECT_EQ(refused.status, 2) << name;
        EXPECT_NE(refused.err.find("data file"), std::string::npos) << name << ": " << refused.err;
        EXPECT_EQ(DataFiles(), before) << name;
    }

    // A folder that cannot take the file: nothing is written, the failure is told.
    const CalRun failed = Cal("--dir data export no/such/folder/cal.ics");
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(failed.err.empty());
}

TEST_F(IcalTest, FilesReadAndWrittenGoThroughTheFileSystemCallsThatTestsFail) {
    WriteBytes(Data() / "in.ics", "BEGIN:VCALENDAR");
    WriteBytes(Data() / "out.ics", "old");
    FileSystemCalls calls = RealFileSystemCalls();
    calls.readFile = [](int, void*, std::size_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    calls.writeFile = [](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    SetFileSystemCallsForTesting(calls);
    std::string readError;
    const std::optional<std::string> read = cal::ReadInputFile("in.ics", 1000, readError);
    std::string writeError;
    const cal::WriteResult written = cal::WriteFileAtomically(
        "out.ics", "new", [](const struct stat&, const std::string&, const struct stat*) { return std::string(); },
        writeError);
    ResetFileSystemCalls();
    EXPECT_FALSE(read);
    EXPECT_NE(readError.find("cannot read in.ics"), std::string::npos) << readError;
    EXPECT_EQ(written, cal::WriteResult::Failed);
    EXPECT_NE(writeError.find("cannot write"), std::string::npos) << writeError;
    EXPECT_EQ(Bytes(Data() / "out.ics"), "old");
    for (const auto& entry : fs::directory_iterator(Data()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".out.ics")) << "temporary file left";
}

}  // namespace
