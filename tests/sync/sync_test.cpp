#include "model/memo_store.h"
#include "platform/code_page.h"
#include "sync/event_lines.h"
#include "sync/mapping.h"
#include "sync/merge.h"
#include "sync/pass_answer.h"
#include "sync/text.h"
#include "tests/sync/fake_collection.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace {

using memosync::MergeLines;

const std::string kMarker = memosync::ConflictMarker("2026-12-09 10:12");
const std::string kHref = "/cal/velmora-day-20261209.ics";

// Returns the store with the memo (UTF-8, LF breaks) as 2026-12-`day`'s record.
std::string WithMemo(std::string store, int day, const std::string& utf8) {
    AppendMemoRecord(store, 126, 11, day, memosync::MemoOfServerText(utf8));
    return store;
}

// Returns the day's memo of December 2026 (UTF-8, LF breaks), "" when there is none.
std::string MemoOf(const FakeDevice& device, int day) {
    const auto memo = FindMonthMemos(device.store, 126, 11)[static_cast<std::size_t>(day - 1)];
    return memo ? memosync::ServerTextOfMemo(*memo, "") : "";
}

// Returns the text the server holds for the day's memo, "" when it holds none.
std::string ServerText(const FakeCollection& server, const std::string& href = kHref) {
    const auto it = server.items.find(href);
    return it == server.items.end() ? "" : memosync::ReadServerItem(it->second.ical).text;
}

// Returns an event as a phone writes it: floating local times, `rule` an RRULE or "".
std::string PhoneEvent(const std::string& uid, const std::string& start, const std::string& summary,
                       const std::string& rule = "") {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20261201T000000Z\r\nDTSTART:" + start + "\r\nDURATION:PT1H\r\nSUMMARY:" + summary + "\r\n" +
           (rule.empty() ? "" : "RRULE:" + rule + "\r\n") + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Returns the lines the server's event at `href` shows, one text per line, "" when it holds none.
std::string EventLinesOf(const FakeCollection& server, const std::string& href) {
    const auto it = server.items.find(href);
    if (it == server.items.end()) return "";
    std::string out;
    const auto event = memosync::ReadEventLines(it->second.ical, 2025, 2027);
    for (const auto& line : event->lines) out += line.date + " " + line.text + ";";
    return out;
}

struct MergeRow {
    const char* name;
    const char* base;
    const char* ours;
    const char* theirs;
    std::string merged;
    bool conflict;
};

TEST(SyncMerge, MergesLineByLine) {
    const MergeRow rows[] = {
        {"a line added on each side at either end", "b\nc", "a\nb\nc", "b\nc\nd", "a\nb\nc\nd", false},
        {"the same line edited alike on both sides", "a\nb", "a\nB", "a\nB", "a\nB", false},
        {"different lines edited on each side", "a\nb\nc", "A\nb\nc", "a\nb\nC", "A\nb\nC", false},
        {"one line edited differently on each side", "a\nb\nc", "a\nmine\nc", "a\ntheirs\nc",
         "a\nmine\n" + kMarker + "\ntheirs\nc", true},
        {"a line removed here and edited there keeps the edit", "a\nb\nc", "a\nc", "a\nB\nc", "a\nB\nc", false},
        {"a first sync of one day made on both sides keeps both", "", "10:00 歯医者", "買い物",
         "10:00 歯医者\n" + kMarker + "\n買い物", true},
        {"a first sync of the same text keeps one", "", "同じ", "同じ", "同じ", false},
    };
    for (const MergeRow& row : rows) {
        const auto merged = MergeLines(row.base, row.ours, row.theirs, kMarker);
        EXPECT_EQ(merged.text, row.merged) << row.name;
        EXPECT_EQ(merged.conflict, row.conflict) << row.name;
    }
}

TEST(SyncText, KeepsTheServersCharactersOnLinesNotEditedHere) {
    // WAVE DASH comes back from the code page as FULLWIDTH TILDE, an emoji as 〓, "~" as "～".
    const std::string base = "10:00 会議\u301C昼\nmeet \U0001F600\n1 \u2212 2 ~ 3\n古い行";
    const std::string memo = memosync::MemoOfServerText(base);
    EXPECT_NE(memo.find(platform::Cp932FromUtf8("会議\uFF5E昼\r\nmeet 〓\r\n")), std::string::npos);
    EXPECT_EQ(memosync::ServerTextOfMemo(memo, base), base);
    std::string edited = memo;
    edited.replace(edited.rfind("\r\n") + 2, std::string::npos, platform::Cp932FromUtf8("新しい行 〓"));
    // The day's event gives back the memo exactly, or every pass would push it again.
    for (const std::string& text : {std::string("a, b; c\\d"), std::string("  blank ends \t\n\nsecond  "),
                                    std::string("first\n"), "長い行 " + std::string(200, 'x')}) {
        EXPECT_EQ(memosync::ReadServerItem(memosync::DayCalendar("20261209", text, "20261209T000000Z")).text, text);
    }
    EXPECT_EQ(memosync::ServerTextOfMemo(edited, base),
              "10:00 会議\u301C昼\nmeet \U0001F600\n1 \u2212 2 ~ 3\n新しい行 〓");
}

TEST(SyncState, SurvivesItsFileAndRefusesOthers) {
    memosync::SyncState state;
    state.token = "http://radicale.org/ns/sync/1";
    state.days["20261209"] = {"/cal/a b.ics", "\"x\\y\"", "tab\there\nline \U0001F600\\"};
    state.pending["20261210"] = {platform::Cp932FromUtf8("表\r\n"), "表", "\"e\"", "/cal/c.ics"};  // 表 ends in 0x5C
    state.others["/cal/phone.ics"] = "\"p\"";
    state.events["/cal/a.ics"] = {"\"a\"", true, {{"20261209", "10:00 歯医者\t\\"}, {"20261216", "10:00 歯医者"}}};
    state.pendingEvents["/cal/b.ics"] = {true, {"\"b\"", false, {}}};
    const auto back = memosync::ParseSyncState(memosync::FormatSyncState(state));
    ASSERT_TRUE(back);
    EXPECT_EQ(memosync::FormatSyncState(*back), memosync::FormatSyncState(state));
    EXPECT_EQ(back->days.at("20261209").base, state.days["20261209"].base);
    EXPECT_EQ(back->pending.at("20261210").merged, state.pending["20261210"].merged);
    EXPECT_EQ(back->events.at("/cal/a.ics").lines[0].text, "10:00 歯医者\t\\");
    EXPECT_TRUE(back->pendingEvents.at("/cal/b.ics").gone);
    const std::string text = memosync::FormatSyncState(state);
    EXPECT_FALSE(memosync::ParseSyncState(text.substr(0, text.size() - 3)));  // cut off mid-line
    EXPECT_FALSE(memosync::ParseSyncState("day\t20261209\n"));

    const std::string home = testing::TempDir() + "/velmora-sync-state";
    std::filesystem::remove_all(home);
    ::setenv("XDG_STATE_HOME", home.c_str(), 1);
    const std::string folder = memosync::StateFolder("/data", "https://dav.example/cal/");
    EXPECT_NE(folder, memosync::StateFolder("/data", "https://dav.example/other/"));
    EXPECT_EQ(memosync::LoadSyncState(folder)->days.size(), 0U);
    ASSERT_TRUE(memosync::SaveSyncState(folder, state));
    struct stat file {};
    struct stat dir {};
    ASSERT_EQ(::stat((folder + "/state.txt").c_str(), &file), 0);
    ASSERT_EQ(::stat(folder.c_str(), &dir), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600U);
    EXPECT_EQ(dir.st_mode & 0777, 0700U);
    EXPECT_EQ(memosync::FormatSyncState(*memosync::LoadSyncState(folder)), memosync::FormatSyncState(state));
}

TEST(SyncPass, TwoDevicesMergeAndNeverDouble) {
    FakeCollection server;
    FakeDevice desk;
    FakeDevice laptop;
    desk.store = WithMemo(WithMemo("", 9, "会議\n買い物"), 10, "休み");
    auto result = desk.Sync(server);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.up, 2);
    EXPECT_EQ(ServerText(server), "会議\n買い物");

    // The second device starts empty and takes both; a pass with nothing changed sends only Changes.
    result = laptop.Sync(server);
    EXPECT_EQ(result.down, 2);
    EXPECT_EQ(MemoOf(laptop, 9), "会議\n買い物");
    const int before = server.requests;
    result = laptop.Sync(server);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(server.requests - before, 1);
    EXPECT_EQ(result.puts + result.deletes, 0);

    // Both edit the same line of the 9th, each edits other lines too: one item, both versions kept
    // under the marker, the same on both devices after they meet again.
    desk.store = WithMemo(WithMemo("", 9, "会議 10時\n買い物"), 10, "休み");
    laptop.store = WithMemo(WithMemo("", 9, "会議 11時\n買い物\n牛乳"), 10, "休み");
    ASSERT_TRUE(desk.Sync(server).ok);
    result = laptop.Sync(server);
    EXPECT_EQ(result.keptBoth, 1);
    const std::string both = "会議 11時\n" + kMarker + "\n会議 10時\n買い物\n牛乳";
    EXPECT_EQ(MemoOf(laptop, 9), both);
    EXPECT_EQ(ServerText(server), both);
    desk.Sync(server);
    EXPECT_EQ(MemoOf(desk, 9), both);

    // Deleted on the desk, edited on the laptop: the edit wins on both.
    desk.store = WithMemo("", 9, both);
    laptop.store = WithMemo(WithMemo("", 9, both), 10, "休み 一日");
    ASSERT_TRUE(desk.Sync(server).ok);
    EXPECT_EQ(server.items.size(), 1U);
    ASSERT_TRUE(laptop.Sync(server).ok);
    ASSERT_TRUE(desk.Sync(server).ok);
    EXPECT_EQ(MemoOf(desk, 10), "休み 一日");
    EXPECT_EQ(server.items.size(), 2U);
}

TEST(SyncPass, EventsMadeElsewhereAreLinesOfTheirDays) {
    FakeCollection server;
    FakeDevice desk;
    server.Store("/cal/dentist.ics", PhoneEvent("phone-1", "20261209T100000", "歯医者"));
    server.Store("/cal/standup.ics", PhoneEvent("phone-2", "20261207T090000", "朝会", "FREQ=WEEKLY;COUNT=3"));
    // The memo holds the dentist's line already, as an import wrote it: it becomes the event's line.
    desk.store = WithMemo("", 9, "10:00 歯医者\n買い物");
    auto result = desk.Sync(server);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(MemoOf(desk, 9), "買い物\n10:00 歯医者");
    EXPECT_EQ(MemoOf(desk, 14), "09:00 朝会");
    EXPECT_EQ(MemoOf(desk, 21), "09:00 朝会");
    // The day's own item holds only its own lines; a day of event lines only has none.
    EXPECT_EQ(ServerText(server), "買い物");
    EXPECT_EQ(server.items.size(), 3U);
    EXPECT_EQ(desk.Sync(server).puts, 0);

    // Edited on the phone: the line follows.
    server.Store("/cal/dentist.ics", PhoneEvent("phone-1", "20261209T100000", "歯医者 再診"));
    ASSERT_TRUE(desk.Sync(server).ok);
    EXPECT_EQ(MemoOf(desk, 9), "買い物\n10:00 歯医者 再診");

    // Edited here, its time too: the event moves and is retitled, and nothing is sent again.
    desk.store = WithMemo(WithMemo(WithMemo("", 9, "買い物\n11:30 歯科"), 14, "09:00 朝会 休む"), 21, "");
    result = desk.Sync(server);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.eventsUp, 1);
    EXPECT_EQ(EventLinesOf(server, "/cal/dentist.ics"), "20261209 11:30 歯科;");
    EXPECT_EQ(ServerText(server), "買い物");
    // A line of a repeating event edited or deleted here leaves the event alone: the edit stays as
    // the day's own line and the event's line comes back.
    EXPECT_EQ(EventLinesOf(server, "/cal/standup.ics"), "20261207 09:00 朝会;20261214 09:00 朝会;20261221 09:00 朝会;");
    EXPECT_EQ(MemoOf(desk, 14), "09:00 朝会 休む\n09:00 朝会");
    EXPECT_EQ(ServerText(server, "/cal/velmora-day-20261214.ics"), "09:00 朝会 休む");
    EXPECT_EQ(MemoOf(desk, 21), "09:00 朝会");
    const std::string settled = desk.store;
    result = desk.Sync(server);
    EXPECT_EQ(result.puts + result.deletes, 0);
    EXPECT_EQ(desk.store, settled);

    // Deleted here: the event is deleted. Deleted on the phone: its lines go, the own line stays.
    desk.store =
        WithMemo(WithMemo(WithMemo(WithMemo("", 7, "09:00 朝会"), 9, "買い物"), 14, "09:00 朝会 休む\n09:00 朝会"), 21,
                 "09:00 朝会");
    result = desk.Sync(server);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.eventsDeleted, 1);
    EXPECT_FALSE(server.items.contains("/cal/dentist.ics"));
    std::string error;
    server.Delete("/cal/standup.ics", "", error);
    ASSERT_TRUE(desk.Sync(server).ok);
    EXPECT_EQ(MemoOf(desk, 7), "");
    EXPECT_EQ(MemoOf(desk, 14), "09:00 朝会 休む");
    EXPECT_EQ(MemoOf(desk, 9), "買い物");
    EXPECT_EQ(desk.Sync(server).puts, 0);

    // A yearly event shows in the years synced; when they move on, it shows in the new ones too.
    server.Store("/cal/birthday.ics", PhoneEvent("phone-3", "20261209T000000", "誕生日", "FREQ=YEARLY"));
    ASSERT_TRUE(desk.Sync(server).ok);
    EXPECT_FALSE(FindMonthMemos(desk.store, 128, 11)[8]);
    desk.toYear = 2028;
    ASSERT_TRUE(desk.Sync(server).ok);
    EXPECT_EQ(FindMonthMemos(desk.store, 128, 11)[8].value_or(""), platform::Cp932FromUtf8("00:00 誕生日"));
}

TEST(SyncPass, AKillAnywhereLosesAndDoublesNothing) {
    // Both sides changed two days (one line on both) and each made a new one; the phone made an
    // event (an emoji in its title, 〓 in the memo) and a repeating one, and the desk retimed the
    // line of an event; the pass is killed at each request and each write in turn, then runs again
    // to its end.
    std::map<bool, int> killed;
    for (int kill = 0; kill < 30; ++kill) {
        for (const bool inRequest : {true, false}) {
            FakeCollection server;
            server.offersToken = kill % 2 == 0;
            FakeDevice desk;
            desk.store = WithMemo(WithMemo("", 9, "a\nb\nc"), 12, "x");
            server.Store("/cal/dentist.ics", PhoneEvent("phone-1", "20261210T100000", "歯医者"));
            ASSERT_TRUE(desk.Sync(server).ok);
            server.Store("/cal/gym.ics", PhoneEvent("phone-2", "20261211T080000", "ジム \U0001F4AA"));
            server.Store("/cal/walk.ics", PhoneEvent("phone-3", "20261211T070000", "散歩", "FREQ=DAILY;COUNT=2"));
            server.Store("/cal/velmora-day-20261212.ics",
                         memosync::DayCalendar("20261212", "x theirs", "20261209T000000Z"));
            server.Store(kHref, memosync::DayCalendar("20261209", "a\nb\nC", "20261209T000000Z"));
            server.Store("/cal/velmora-day-20261211.ics",
                         memosync::DayCalendar("20261211", "phone", "20261209T000000Z"));
            desk.store = WithMemo(WithMemo(WithMemo("", 9, "A\nb\nc"), 10, "desk\n10:30 歯医者"), 12, "x mine");
            (inRequest ? server.killAt : desk.killAt) = (inRequest ? server.requests : desk.writes) + kill;
            try {
                desk.Sync(server);
            } catch (const Killed&) {
                ++killed[inRequest];
            }
            server.killAt = desk.killAt = -1;
            const auto result = desk.Sync(server);
            const std::string at = (inRequest ? "request " : "write ") + std::to_string(kill);
            ASSERT_TRUE(result.ok) << at << ": " << result.error;
            EXPECT_EQ(server.items.size(), 7U) << at;
            const std::map<int, std::string> own = {
                {9, "A\nb\nC"}, {10, "desk"}, {11, "phone"}, {12, "x mine\n" + kMarker + "\nx theirs"}};
            for (const auto& [day, text] : own) {
                const std::string href = "/cal/velmora-day-202612" + std::to_string(day + 100).substr(1) + ".ics";
                EXPECT_EQ(ServerText(server, href), text) << at << ", day " << day;
            }
            EXPECT_EQ(MemoOf(desk, 9), "A\nb\nC") << at;
            EXPECT_EQ(MemoOf(desk, 10), "desk\n10:30 歯医者") << at;
            EXPECT_EQ(MemoOf(desk, 11), "phone\n07:00 散歩\n08:00 ジム 〓") << at;
            EXPECT_EQ(MemoOf(desk, 12), "x mine\n" + kMarker + "\nx theirs\n07:00 散歩") << at;
            EXPECT_EQ(EventLinesOf(server, "/cal/dentist.ics"), "20261210 10:30 歯医者;") << at;
            EXPECT_EQ(desk.Sync(server).puts, 0) << at;
        }
    }
    // Each kind of kill point was met, and the last ones lay past the pass's end.
    EXPECT_GT(killed[true], 3);
    EXPECT_GT(killed[false], 3);
    EXPECT_LT(killed[true] + killed[false], 60);
}

TEST(SyncPass, ServerFaultsAndBadItems) {
    FakeCollection server;
    FakeDevice desk;
    desk.store = WithMemo("", 9, "a\nb");
    // A 500 after the server stored the item: the pass fails, the next one finds it stored.
    server.storeThenFail = true;
    EXPECT_FALSE(desk.Sync(server).ok);
    auto result = desk.Sync(server);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(server.items.size(), 1U);
    EXPECT_EQ(desk.Sync(server).puts, 0);

    // A 412: another device wrote the item between Changes and the PUT.
    desk.store = WithMemo("", 9, "a\nb\nmine");
    server.beforePut = [](FakeCollection& s) {
        s.Store(kHref, memosync::DayCalendar("20261209", "theirs\na\nb", "20261209T000000Z"));
    };
    result = desk.Sync(server);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ServerText(server), "theirs\na\nb\nmine");
    EXPECT_EQ(MemoOf(desk, 9), "theirs\na\nb\nmine");

    // A title edited on a phone that shows only the title replaces the first line.
    std::string ical = memosync::DayCalendar("20261209", "theirs\na\nb\nmine", "20261209T000000Z");
    ical.replace(ical.find("SUMMARY:theirs"), 14, "SUMMARY:title");
    server.Store(kHref, ical);
    desk.Sync(server);
    EXPECT_EQ(MemoOf(desk, 9), "title\na\nb\nmine");

    // A phone retitles an event while the line's edit here is on its way (412): the next pass shows
    // the phone's title and keeps the edit made here as a line of the day's own.
    server.Store("/cal/p.ics", PhoneEvent("p", "20261210T100000", "歯医者"));
    desk.Sync(server);
    desk.store = WithMemo(WithMemo("", 9, "title\na\nb\nmine"), 10, "10:00 歯医者 再診");
    server.beforePut = [](FakeCollection& s) { s.Store("/cal/p.ics", PhoneEvent("p", "20261210T100000", "歯科")); };
    EXPECT_EQ(desk.Sync(server).eventsUp, 0);
    ASSERT_TRUE(desk.Sync(server).ok);
    EXPECT_EQ(MemoOf(desk, 10), "10:00 歯医者 再診\n10:00 歯科");
    EXPECT_EQ(ServerText(server, "/cal/velmora-day-20261210.ics"), "10:00 歯医者 再診");

    // An item libical cannot read is named, left on the server, and its day left alone.
    const std::string before = desk.store;
    server.Store(kHref, "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:2026");
    result = desk.Sync(server);
    ASSERT_EQ(result.skipped.size(), 1U);
    EXPECT_EQ(result.skipped[0].href, kHref);
    EXPECT_EQ(desk.store, before);
    EXPECT_EQ(server.deletes, 0);
}

TEST(SyncPass, AnEmptiedSideIsNotMirroredUnasked) {
    FakeCollection server;
    FakeDevice desk;
    desk.store = WithMemo(WithMemo("", 9, "a"), 10, "b");
    desk.Sync(server);
    const auto items = server.items;
    desk.store.clear();
    auto result = desk.Sync(server);
    EXPECT_TRUE(result.refusedEmpty);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(server.deletes, 0);
    result = desk.Sync(server, true);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.deletedUp, 2);
    EXPECT_TRUE(server.items.empty());

    // The server emptied: the memos stay until the user says so.
    desk.store = WithMemo(WithMemo("", 9, "a"), 10, "b");
    desk.Sync(server);
    std::string error;
    for (const auto& [href, item] : FakeCollection(server).items) server.Delete(href, "", error);
    EXPECT_TRUE(desk.Sync(server).refusedEmpty);
    EXPECT_EQ(MemoOf(desk, 9), "a");

    // A memo file emptied that showed only events' lines deletes no event unasked.
    FakeCollection phone;
    FakeDevice laptop;
    phone.Store("/cal/a.ics", PhoneEvent("a", "20261209T100000", "歯医者"));
    phone.Store("/cal/b.ics", PhoneEvent("b", "20261210T100000", "会議"));
    ASSERT_TRUE(laptop.Sync(phone).ok);
    laptop.store.clear();
    EXPECT_TRUE(laptop.Sync(phone).refusedEmpty);
    EXPECT_EQ(phone.deletes, 0);
}

// What the calendar answers velmora-cal for a pass, back as it was sent: any error text, within the cap.
TEST(SyncPassAnswer, CarriesWhatVelmoraCalReports) {
    using memosync::SyncResult;
    const auto result = [](bool ok, std::vector<int> counts, std::string error, bool refusedEmpty,
                           std::vector<memosync::SkippedItem> skipped) {
        SyncResult r;
        r.ok = ok;
        r.up = counts[0], r.down = counts[1], r.merged = counts[2], r.keptBoth = counts[3];
        r.deletedUp = counts[4], r.deletedDown = counts[5];
        r.error = std::move(error), r.refusedEmpty = refusedEmpty, r.skipped = std::move(skipped);
        return r;
    };
    const struct {
        const char* name;
        SyncResult sent;
    } rows[] = {
        {"a pass that moved each kind", result(true, {3, 2, 1, 1, 4, 5}, "", false, {})},
        {"a failure after moving some, its error with every separator",
         result(false, {1, 0, 0, 0, 0, 0}, "line one\nline\ttwo \\n not an escape\r\n\xE6\x97\xA5", false, {})},
        {"an emptied side refused", result(false, {0, 0, 0, 0, 0, 0}, "every memo is gone from the server", true, {})},
        {"items left alone",
         result(true, {0, 1, 0, 0, 0, 0}, "", false, {{"/cal/a b.ics", "no VEVENT"}, {"/x\t", ""}})},
    };
    for (const auto& row : rows) {
        const std::string line = memosync::EncodePassAnswer(row.sent);
        EXPECT_EQ(line.find('\n'), line.size() - 1) << row.name << ": not one line";
        const auto back = memosync::DecodePassAnswer(line);
        ASSERT_TRUE(back) << row.name << ": " << line;
        const SyncResult& got = back->result;
        EXPECT_EQ(std::vector<int>({got.up, got.down, got.merged, got.keptBoth, got.deletedUp, got.deletedDown}),
                  std::vector<int>({row.sent.up, row.sent.down, row.sent.merged, row.sent.keptBoth, row.sent.deletedUp,
                                    row.sent.deletedDown}))
            << row.name;
        EXPECT_EQ(std::tie(got.ok, got.refusedEmpty, got.error),
                  std::tie(row.sent.ok, row.sent.refusedEmpty, row.sent.error))
            << row.name;
        ASSERT_EQ(got.skipped.size(), row.sent.skipped.size()) << row.name;
        for (std::size_t i = 0; i < got.skipped.size(); ++i)
            EXPECT_EQ(std::tie(got.skipped[i].href, got.skipped[i].reason),
                      std::tie(row.sent.skipped[i].href, row.sent.skipped[i].reason))
                << row.name;
    }
    // A server full of unreadable items and an endless error still give one line within the cap.
    const std::vector<memosync::SkippedItem> many(5000, {"/cal/" + std::string(100, 'h') + ".ics", "no VEVENT"});
    const std::string big =
        memosync::EncodePassAnswer(result(false, {0, 0, 0, 0, 0, 0}, std::string(1 << 20, '\n'), false, many));
    EXPECT_LE(big.size(), memosync::kMaxPassAnswerBytes);
    const auto cut = memosync::DecodePassAnswer(big);
    ASSERT_TRUE(cut);
    EXPECT_GT(cut->result.skipped.size(), 100U);
    EXPECT_EQ(cut->result.skipped.size() + static_cast<std::size_t>(cut->skippedLeftOff), many.size());
    for (const char* garbage : {"", "ok\n", "not-syncing\n", "pass\tup=1\n", "pass\tok=1\tup=-1\n",
                                "pass\tok=1\terror=\\q\n", "pass\tok=1\tskipped=/a\n", "pass\tok=1\n\tup=2\n"})
        EXPECT_FALSE(memosync::DecodePassAnswer(garbage)) << ::testing::PrintToString(std::string(garbage));
}

}  // namespace
