#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The WebDAV and CalDAV XML a calendar client sends, and the multistatus answers it reads.
namespace memosync {

// One <response> of a multistatus, with the properties that came with status 200.
struct DavResponse {
    std::string href;  // as the server wrote it
    int status = 0;    // the response's own status, else that of its 200 propstat, else of its first
    std::string etag;
    std::string displayName;
    std::string syncToken;
    bool isCollection = false;
    bool isCalendar = false;
    std::vector<std::string> components;  // supported-calendar-component-set: "VEVENT", ...
    std::string calendarData;
    std::string currentUserPrincipal;  // an href
    std::vector<std::string> calendarHomeSet;
};

struct Multistatus {
    std::vector<DavResponse> responses;
    std::string syncToken;  // the <sync-token> of a sync-collection answer
};

// Returns the multistatus in `xml`, or nullopt with `error` set when it is not one (not XML, a DTD,
// nested too deep, another root element).
std::optional<Multistatus> ParseMultistatus(std::string_view xml, std::string& error);
// Returns the local name of the first element inside a DAV:error body ("valid-sync-token"), "" if none.
std::string ErrorCondition(std::string_view xml);
// Returns the HTTP status code of a status line such as "HTTP/1.1 404 Not Found", 0 if none.
int StatusCodeOf(std::string_view statusLine);

// PROPFIND bodies.
std::string PropfindPrincipalBody();  // current-user-principal, calendar-home-set, resourcetype
std::string PropfindCalendarsBody();  // displayname, resourcetype, supported-calendar-component-set
std::string PropfindEtagsBody();      // getetag, resourcetype, sync-token
// REPORT sync-collection from `token` ("" for the whole collection), asking for getetag.
std::string SyncCollectionBody(const std::string& token);
// REPORT calendar-multiget of `hrefs`, asking for getetag and calendar-data.
std::string MultigetBody(const std::vector<std::string>& hrefs);
// MKCALENDAR named `displayName`, holding events.
std::string MkcalendarBody(const std::string& displayName);
// Returns `text` with &, <, >, " escaped for XML.
std::string XmlEscape(std::string_view text);

}  // namespace memosync
