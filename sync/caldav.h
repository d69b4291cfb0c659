#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "sync/collection.h"
#include "sync/http.h"

// A calendar collection on a CalDAV server, and the way from a server's address to it.
namespace memosync {

// Returns the path of `href` (an absolute URL or a path) with its percent-escapes in one form, so
// that two spellings of one item compare equal.
std::string CanonicalHref(const std::string& href);

class CalDavCollection final : public Collection {
public:
    // `collectionUrl`: the calendar's absolute URL; requests go through `http`, which outlives this;
    // a fetch asks for at most `multigetBatch` items a request.
    CalDavCollection(HttpClient& http, const std::string& collectionUrl, std::size_t multigetBatch = 100);

    std::optional<ChangeSet> Changes(const std::string& token, std::string& error) override;
    std::optional<std::vector<RemoteItem>> Fetch(const std::vector<std::string>& hrefs, std::string& error) override;
    PutResult Put(const std::string& href, const std::string& ical, const std::string& ifMatch) override;
    PutOutcome Delete(const std::string& href, const std::string& ifMatch, std::string& error) override;
    [[nodiscard]] std::string HrefFor(const std::string& uid) const override;

    // Returns the collection's absolute URL, ending in "/".
    [[nodiscard]] const std::string& Url() const { return url_; }

private:
    std::optional<ChangeSet> SyncReport(const std::string& token, std::string& error, bool& refused);
    std::optional<ChangeSet> ListEtags(std::string& error);
    std::optional<std::vector<RemoteItem>> FetchBatch(const std::vector<std::string>& hrefs, std::string& error);
    [[nodiscard]] std::string UrlOf(const std::string& href) const;
    std::string ReadBackEtag(const std::string& href);

    HttpClient& http_;
    std::string url_;
    std::string origin_;
    std::string path_;
    std::size_t batch_;
};

struct CalendarInfo {
    std::string url;
    std::string displayName;
};

struct Discovery {
    std::string principalUrl;
    std::string homeSetUrl;
    std::vector<CalendarInfo> calendars;  // the user's calendars that hold events
    std::string calendarUrl;              // the one chosen
    bool created = false;                 // made by MKCALENDAR just now
};

// Finds the user's calendars from `url` (its /.well-known/caldav, then the URL itself), their
// principal and calendar home, and the calendar named `name`, made when missing; nullopt and a
// one-line `error` when the server is none or refuses.
std::optional<Discovery> DiscoverCalendar(HttpClient& http, const std::string& url, const std::string& name,
                                          std::string& error);

}  // namespace memosync
