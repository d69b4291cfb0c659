#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "model/memo_store.h"
#include "sync/caldav.h"
#include "sync/event_lines.h"
#include "sync/text.h"
#include "sync/webdav_xml.h"
#include "tests/sync/fake_collection.h"

namespace {

using namespace memosync;

// A helper script of tests/sync run as a child; its first line of output is the URL it serves.
class Helper {
public:
    explicit Helper(const std::vector<std::string>& args) {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        std::vector<std::string> owned{"/usr/bin/python3"};
        owned.insert(owned.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : owned) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        FILE* output = fdopen(out[0], "r");
        char line[256] = {};
        if (output != nullptr && fgets(line, sizeof line, output) != nullptr)
            url = std::string(line, strcspn(line, "\n"));
        if (output != nullptr) fclose(output);
    }
    // Closing its standard input ends the script, which stops what it started; SIGTERM if it hangs.
    ~Helper() {
        if (pid_ <= 0) return;
        close(stdin_);
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            usleep(50000);
        }
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    std::string url;

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
};

std::string Script(const char* name) { return std::string(VELMORA_SYNC_TEST_DIR) + "/" + name; }

std::string Event(const std::string& uid, const std::string& summary) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Velmora//JA\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20261209T000000Z\r\nDTSTART;VALUE=DATE:20261209\r\nDTEND;VALUE=DATE:20261210\r\nSUMMARY:" +
           summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

HttpOptions Login(const std::string& password = "secret") {
    HttpOptions options;
    options.user = "velmora";
    options.password = password;
    return options;
}

class CalDavServer : public testing::TestWithParam<const char*> {};

// The whole life of a collection against each real server: discovery makes the calendar, every
// write is conditional, changes come by token, and a token the server refuses falls back to a listing.
TEST_P(CalDavServer, DiscoversWritesConditionallyAndFollowsChanges) {
    const Helper server({Script("servers.py"), GetParam()});
    ASSERT_FALSE(server.url.empty());
    HttpClient http(Login());
    std::string error;
    const auto made = DiscoverCalendar(http, server.url, "Velmora", error);
    ASSERT_TRUE(made) << error;
    EXPECT_TRUE(made->created);
    const auto again = DiscoverCalendar(http, server.url, "Velmora", error);
    ASSERT_TRUE(again) << error;
    EXPECT_FALSE(again->created);
    EXPECT_EQ(again->calendarUrl, made->calendarUrl);

    CalDavCollection calendar(http, made->calendarUrl, 10);
    const auto empty = calendar.Changes("", error);
    ASSERT_TRUE(empty) << error;
    EXPECT_TRUE(empty->changedHrefs.empty());
    const std::string href = calendar.HrefFor("velmora-day-20261209");
    const PutResult first = calendar.Put(href, Event("velmora-day-20261209", "歯医者 〜 ❤"), "");
    ASSERT_EQ(first.outcome, PutOutcome::Stored) << first.error;
    EXPECT_FALSE(first.etag.empty());
    EXPECT_EQ(calendar.Put(href, Event("velmora-day-20261209", "again"), "").outcome, PutOutcome::PreconditionFailed);
    const PutResult second = calendar.Put(href, Event("velmora-day-20261209", "二"), first.etag);
    ASSERT_EQ(second.outcome, PutOutcome::Stored) << second.error;
    EXPECT_EQ(calendar.Put(href, Event("velmora-day-20261209", "stale"), first.etag).outcome,
              PutOutcome::PreconditionFailed);

    const auto changed = calendar.Changes(empty->newToken, error);
    ASSERT_TRUE(changed) << error;
    EXPECT_EQ(changed->changedHrefs, std::vector<std::string>{href});
    EXPECT_EQ(changed->etags.at(href), second.etag);
    const int asked = http.RequestCount();
    const auto unchanged = calendar.Changes(changed->newToken, error);
    ASSERT_TRUE(unchanged) << error;
    EXPECT_EQ(http.RequestCount() - asked, 1);
    EXPECT_TRUE(unchanged->changedHrefs.empty() && unchanged->removedHrefs.empty());

    // 25 more items come back in three multigets of at most 10, each with its exact characters.
    std::vector<std::string> hrefs{href};
    for (int i = 0; i < 25; ++i) {
        hrefs.push_back(calendar.HrefFor("phone-" + std::to_string(i) + "@example.org"));
        ASSERT_EQ(calendar.Put(hrefs.back(), Event("phone-" + std::to_string(i) + "@example.org", "x"), "").outcome,
                  PutOutcome::Stored);
    }
    const int before = http.RequestCount();
    const auto items = calendar.Fetch(hrefs, error);
    ASSERT_TRUE(items) << error;
    EXPECT_EQ(http.RequestCount() - before, 3);
    ASSERT_EQ(items->size(), hrefs.size());
    const auto day =
        std::find_if(items->begin(), items->end(), [&](const RemoteItem& item) { return item.href == href; });
    ASSERT_NE(day, items->end());
    EXPECT_NE(day->ical.find("SUMMARY:二"), std::string::npos);

    std::string deleteError;
    EXPECT_EQ(calendar.Delete(href, first.etag, deleteError), PutOutcome::PreconditionFailed);
    EXPECT_EQ(calendar.Delete(href, day->etag, deleteError), PutOutcome::Stored) << deleteError;
    const auto removed = calendar.Changes(unchanged->newToken, error);
    ASSERT_TRUE(removed) << error;
    EXPECT_FALSE(removed->full);
    EXPECT_EQ(removed->removedHrefs, std::vector<std::string>{href});
    const auto refused = calendar.Changes(unchanged->newToken + "-unknown", error);
    ASSERT_TRUE(refused) << error;
    EXPECT_TRUE(refused->full);
    EXPECT_EQ(refused->changedHrefs.size(), 25U);

    // A calendar deleted on the server is said to be gone, not taken for an emptied one.
    ASSERT_EQ(http.Send({"DELETE", calendar.Url(), {}, {}}).status / 100, 2);
    EXPECT_FALSE(calendar.Changes(refused->newToken, error));
    EXPECT_NE(error.find("not on the server (404)"), std::string::npos) << error;
}

// A phone's event as a line of the day's memo, through the pass and each real server: the phone's
// edit changes the line, an edit of the line here moves and retitles the event, its deletion
// deletes it, and no pass in between sends anything again.
TEST_P(CalDavServer, AnEventMadeElsewhereIsALineOfItsDay) {
    const Helper server({Script("servers.py"), GetParam()});
    ASSERT_FALSE(server.url.empty());
    HttpClient http(Login());
    std::string error;
    const auto made = DiscoverCalendar(http, server.url, "Velmora", error);
    ASSERT_TRUE(made) << error;
    CalDavCollection calendar(http, made->calendarUrl);
    const std::string href = calendar.HrefFor("phone-1");
    const auto phoneEvent = [](const std::string& start, const std::string& summary) {
        return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:phone-1\r\n"
               "DTSTAMP:20261201T000000Z\r\nDTSTART:" +
               start + "\r\nDTEND:20261209T120000\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    };
    ASSERT_EQ(calendar.Put(href, phoneEvent("20261209T100000", "歯医者"), "").outcome, PutOutcome::Stored);
    FakeDevice desk;
    AppendMemoRecord(desk.store, 126, 11, 9, MemoOfServerText("買い物"));
    const auto memo = [&] { return ServerTextOfMemo(FindMonthMemos(desk.store, 126, 11)[8].value_or(""), ""); };
    const auto phoneLines = [&] {
        const auto items = calendar.Fetch({href}, error);
        if (!items || items->empty()) return std::string("none");
        return ReadEventLines(items->front().ical, 2026, 2026)->lines.at(0).text;
    };
    auto result = desk.Sync(calendar);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(memo(), "買い物\n10:00 歯医者");

    const auto items = calendar.Fetch({href}, error);
    ASSERT_TRUE(items && items->size() == 1) << error;
    ASSERT_EQ(calendar.Put(href, phoneEvent("20261209T100000", "歯医者 再診"), items->front().etag).outcome,
              PutOutcome::Stored);
    ASSERT_TRUE(desk.Sync(calendar).ok);
    EXPECT_EQ(memo(), "買い物\n10:00 歯医者 再診");

    desk.store.clear();
    AppendMemoRecord(desk.store, 126, 11, 9, MemoOfServerText("買い物\n11:30 歯科"));
    result = desk.Sync(calendar);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.eventsUp, 1);
    EXPECT_EQ(phoneLines(), "11:30 歯科");
    result = desk.Sync(calendar);
    EXPECT_EQ(result.puts + result.deletes, 0);
    EXPECT_EQ(memo(), "買い物\n11:30 歯科");

    desk.store.clear();
    AppendMemoRecord(desk.store, 126, 11, 9, MemoOfServerText("買い物"));
    result = desk.Sync(calendar);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.eventsDeleted, 1);
    EXPECT_EQ(phoneLines(), "none");
}

INSTANTIATE_TEST_SUITE_P(RealServers, CalDavServer, testing::Values("radicale", "xandikos"));

TEST(CalDavErrors, WrongPasswordAndNoCalDavServerAreOneLineEach) {
    const Helper server({Script("servers.py"), "radicale"});
    HttpClient wrong(Login("wrong"));
    std::string error;
    EXPECT_FALSE(DiscoverCalendar(wrong, server.url, "Velmora", error));
    EXPECT_NE(error.find("refused the user name or password"), std::string::npos) << error;
    const Helper web({Script("servers.py"), "plain"});
    HttpClient http(Login());
    EXPECT_FALSE(DiscoverCalendar(http, web.url, "Velmora", error));
    EXPECT_NE(error.find("is not a CalDAV server"), std::string::npos) << error;
}

// TLS is always verified: a private server's certificate is refused until it is given as the CA.
TEST(CalDavErrors, TlsIsVerifiedAndAPrivateCaTrusted) {
    const Helper server({Script("servers.py"), "radicale-tls"});
    const auto space = server.url.find(' ');
    ASSERT_NE(space, std::string::npos) << server.url;
    const std::string url = server.url.substr(0, space);
    HttpClient unknown(Login());
    std::string error;
    EXPECT_FALSE(DiscoverCalendar(unknown, url, "Velmora", error));
    EXPECT_NE(error.find("certificate"), std::string::npos) << error;
    HttpOptions withCa = Login();
    withCa.caFile = server.url.substr(space + 1);
    HttpClient trusted(withCa);
    EXPECT_TRUE(DiscoverCalendar(trusted, url, "Velmora", error)) << error;
}

struct Fault {
    const char* name;
    const char* kind;
    const char* method;
    PutOutcome put;         // what a first PUT of a new item gives
    const char* errorText;  // for a REPORT fault: what the error says, "" when the report succeeds
    // The requests it hits: libcurl sends a request again, once, when a kept-alive connection died under it.
    int count = 2;
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class CalDavFault : public testing::TestWithParam<Fault> {};

// Each fault of the proxy on the request it hits, against Radicale behind it.
TEST_P(CalDavFault, IsAnsweredSafely) {
    const Fault& fault = GetParam();
    const Helper server({Script("servers.py"), "radicale"});
    const Helper proxy({Script("fault_proxy.py"), server.url});
    HttpOptions options = Login();
    options.totalSeconds = 2;
    options.maxBody = std::size_t{1} << 20;
    HttpClient http(options);
    std::string error;
    const auto found = DiscoverCalendar(http, proxy.url, "Velmora", error);
    ASSERT_TRUE(found) << error;
    CalDavCollection calendar(http, found->calendarUrl);
    http.Send({"GET",
               proxy.url + "__fault__?count=" + std::to_string(fault.count) + "&kind=" + fault.kind +
                   "&method=" + fault.method,
               {},
               {}});
    const auto start = std::chrono::steady_clock::now();
    const std::string href = calendar.HrefFor("velmora-day-20261209");
    if (std::string(fault.method) == "REPORT") {
        error.clear();
        EXPECT_EQ(calendar.Changes("", error).has_value(), std::string(fault.errorText).empty()) << error;
        EXPECT_NE(error.find(fault.errorText), std::string::npos) << error;
    } else {
        const PutResult put = calendar.Put(href, Event("velmora-day-20261209", "一"), "");
        EXPECT_EQ(put.outcome, fault.put) << put.error;
        // Whatever the answer said, the item's real state is what the next conditional write meets.
        const auto listed = calendar.Changes("", error);
        ASSERT_TRUE(listed) << error;
        const bool stored = !listed->changedHrefs.empty();
        if (put.outcome == PutOutcome::Stored) {
            EXPECT_EQ(put.etag, listed->etags.at(href));
        }
        http.Send({"GET", proxy.url + "__fault__/reset", {}, {}});
        EXPECT_EQ(calendar.Put(href, Event("velmora-day-20261209", "二"), "").outcome,
                  stored ? PutOutcome::PreconditionFailed : PutOutcome::Stored);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(
    Proxy, CalDavFault,
    testing::Values(Fault{"Injected412", "412", "PUT", PutOutcome::PreconditionFailed, ""},
                    Fault{"ServerErrorAfterStoring", "500-after", "PUT", PutOutcome::Failed, ""},
                    Fault{"NoEtagIsReadBack", "no-etag", "PUT", PutOutcome::Stored, ""},
                    Fault{"StatusInsideMultistatus", "multistatus", "PUT", PutOutcome::Stored, ""},
                    Fault{"CutConnection", "cut", "PUT", PutOutcome::Failed, ""},
                    Fault{"SlowAnswer", "slow", "REPORT", PutOutcome::Failed, "no whole answer in time"},
                    Fault{"GarbageXml", "garbage", "REPORT", PutOutcome::Failed, "not XML"},
                    Fault{"EndlessAnswer", "huge", "REPORT", PutOutcome::Failed, "larger than 1 MiB"},
                    Fault{"RedirectsFollowed", "redirect", "REPORT", PutOutcome::Failed, "", 5},
                    Fault{"RedirectLoopStopped", "redirect", "REPORT", PutOutcome::Failed, "more than 5 redirects", 6}),
    [](const testing::TestParamInfo<Fault>& row) { return row.param.name; });

struct XmlRow {
    const char* name;
    std::string xml;
    const char* error;  // "" when it is read
};

void PrintTo(const XmlRow& row, std::ostream* out) { *out << row.name; }

class MultistatusReading : public testing::TestWithParam<XmlRow> {};

TEST_P(MultistatusReading, RefusesWhatIsNoMultistatus) {
    std::string error;
    const auto read = ParseMultistatus(GetParam().xml, error);
    EXPECT_EQ(read.has_value(), std::string(GetParam().error).empty()) << error;
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MultistatusReading,
    testing::Values(
        XmlRow{"EntityExpansion",
               "<!DOCTYPE m [<!ENTITY a 'aaaaaaaa'><!ENTITY b '&a;&a;&a;&a;'>]><m xmlns='DAV:'>&b;</m>", "DTD"},
        XmlRow{"DeepNesting",
               [] {
                   std::string xml = "<a/>";
                   for (int i = 0; i < 40; ++i) xml = "<a>" + xml + "</a>";
                   return xml;
               }(),
               "too deep"},
        XmlRow{"OtherRoot", "<error xmlns='DAV:'/>", "not a WebDAV multistatus"},
        XmlRow{"Read", "<multistatus xmlns='DAV:'><response><href>/c/a.ics</href></response></multistatus>", ""}),
    [](const testing::TestParamInfo<XmlRow>& row) { return row.param.name; });

TEST(CanonicalHref, OneSpellingPerItem) {
    EXPECT_EQ(CanonicalHref("http://h:1/c/a%40b.ics"), "/c/a@b.ics");
    EXPECT_EQ(CanonicalHref("/c/%e6%ad%af.ics"), CanonicalHref("/c/歯.ics"));
    EXPECT_EQ(CanonicalHref("/c/a%2Fb.ics"), "/c/a%2Fb.ics");
}

}  // namespace
