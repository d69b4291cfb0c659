#include "sync/caldav.h"

#include <algorithm>
#include <cstdio>

#include "sync/webdav_xml.h"

namespace memosync {
namespace {

// A server that truncates a sync-collection answer is asked again from the token it gave; this
// bounds the rounds when a server keeps answering "more to come".
constexpr int kMaxSyncRounds = 1000;

bool IsUnreservedInPath(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '/':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
    case '@':
        return true;
    default:
        return false;
    }
}

int HrefHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentEscape(unsigned char c) {
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", c);
    return escaped;
}

// `text` percent-encoded as one path segment ("/" escaped too).
std::string SegmentEscape(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        out += IsUnreservedInPath(c) && c != '/' ? std::string(1, ch) : PercentEscape(c);
    }
    return out;
}

HttpRequest DavRequest(const std::string& method, const std::string& url, const char* depth, std::string body) {
    HttpRequest request{method, url, {}, std::move(body)};
    if (depth != nullptr) request.headers.emplace_back("Depth", depth);
    if (!request.body.empty()) request.headers.emplace_back("Content-Type", "application/xml; charset=utf-8");
    return request;
}

// One line saying what went wrong with `what`.
std::string DavFailure(const std::string& what, const HttpResponse& response) {
    if (response.status == 0) return response.error;
    switch (response.status) {
    case 401:
        return what + ": the server refused the user name or password (401)";
    case 403:
        return what + ": the server forbids it (403)";
    case 404:
        return what + ": not on the server (404)";
    default:
        return what + ": the server answered " + std::to_string(response.status);
    }
}

// The multistatus of a calendar's 207 answer; std::nullopt and a one-line `error` for any other
// answer or one that cannot be read.
std::optional<Multistatus> CalendarMultistatus(const std::string& url, const HttpResponse& response,
                                               std::string& error) {
    if (response.status != 207) {
        error = DavFailure("the calendar " + url, response);
        return std::nullopt;
    }
    auto multistatus = ParseMultistatus(response.body, error);
    if (!multistatus) error = url + ": " + error;
    return multistatus;
}

bool IsWeakEtag(const std::string& etag) { return etag.rfind("W/", 0) == 0; }

// The status the server gave `href` inside a multistatus that answers a PUT or DELETE.
int InnerStatus(const std::string& body, const std::string& href) {
    std::string error;
    const auto multistatus = ParseMultistatus(body, error);
    if (!multistatus || multistatus->responses.empty()) return 0;
    for (const auto& response : multistatus->responses) {
        if (CanonicalHref(response.href) == href) return response.status;
    }
    return multistatus->responses.front().status;
}

std::string LastHrefSegment(const std::string& path) {
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string WithTrailingSlash(std::string url) {
    if (url.empty() || url.back() != '/') url += '/';
    return url;
}

}  // namespace

std::string CanonicalHref(const std::string& href) {
    std::string path = href;
    if (path.rfind("http://", 0) == 0 || path.rfind("https://", 0) == 0) {
        const auto slash = path.find('/', path.find("//") + 2);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto c = static_cast<unsigned char>(path[i]);
        if (c == '%' && i + 2 < path.size()) {
            const int high = HrefHexDigit(path[i + 1]);
            const int low = HrefHexDigit(path[i + 2]);
            if (high >= 0 && low >= 0) {
                c = static_cast<unsigned char>(high * 16 + low);
                i += 2;
                // An escaped "/" is part of a name, not a separator: it stays escaped.
                out += IsUnreservedInPath(c) && c != '/' ? std::string(1, static_cast<char>(c)) : PercentEscape(c);
                continue;
            }
        }
        out += IsUnreservedInPath(c) ? std::string(1, static_cast<char>(c)) : PercentEscape(c);
    }
    return out;
}

CalDavCollection::CalDavCollection(HttpClient& http, const std::string& collectionUrl, std::size_t multigetBatch)
    : http_(http),
      url_(WithTrailingSlash(collectionUrl)),
      origin_(url_.substr(0, url_.find('/', url_.find("//") + 2))),
      path_(WithTrailingSlash(CanonicalHref(url_))),
      batch_(std::max<std::size_t>(multigetBatch, 1)) {}

std::string CalDavCollection::UrlOf(const std::string& href) const { return origin_ + CanonicalHref(href); }

std::string CalDavCollection::HrefFor(const std::string& uid) const { return path_ + SegmentEscape(uid) + ".ics"; }

std::optional<ChangeSet> CalDavCollection::Changes(const std::string& token, std::string& error) {
    bool refused = false;
    auto changes = SyncReport(token, error, refused);
    if (changes || !refused) return changes;
    error.clear();
    return ListEtags(error);
}

std::optional<ChangeSet> CalDavCollection::SyncReport(const std::string& token, std::string& error, bool& refused) {
    ChangeSet changes;
    changes.full = token.empty();
    std::string from = token;
    for (int round = 0; round < kMaxSyncRounds; ++round) {
        // RFC 6578 defines the report for Depth 0 alone; its sync-level says how deep it reaches.
        const HttpResponse response = http_.Send(DavRequest("REPORT", url_, "0", SyncCollectionBody(from)));
        if (response.status != 207) {
            // A token the server no longer knows, or no sync-collection at all: Radicale answers 403,
            // Xandikos 500, others 409 or 400 with valid-sync-token, or 405/501.
            const long s = response.status;
            refused = s == 400 || s == 403 || s == 405 || s == 409 || s == 415 || s == 422 || s == 500 || s == 501 ||
                      ErrorCondition(response.body) == "valid-sync-token";
            error = DavFailure("the calendar " + url_, response);
            return std::nullopt;
        }
        const auto multistatus = ParseMultistatus(response.body, error);
        if (!multistatus) {
            error = url_ + ": " + error;
            return std::nullopt;
        }
        bool truncated = false;
        for (const auto& item : multistatus->responses) {
            const std::string href = CanonicalHref(item.href);
            if (WithTrailingSlash(href) == path_) {
                truncated = truncated || item.status == 507;
                continue;
            }
            if (item.status == 404) {
                changes.removedHrefs.push_back(href);
            } else if (item.status / 100 == 2) {
                changes.changedHrefs.push_back(href);
                if (!item.etag.empty()) changes.etags[href] = item.etag;
            }
        }
        changes.newToken = multistatus->syncToken;
        if (!truncated || multistatus->syncToken.empty() || multistatus->syncToken == from) return changes;
        from = multistatus->syncToken;
    }
    error = url_ + ": the server's sync-collection answers never ended";
    return std::nullopt;
}

std::optional<ChangeSet> CalDavCollection::ListEtags(std::string& error) {
    const auto multistatus =
        CalendarMultistatus(url_, http_.Send(DavRequest("PROPFIND", url_, "1", PropfindEtagsBody())), error);
    if (!multistatus) return std::nullopt;
    ChangeSet changes;
    changes.full = true;
    for (const auto& item : multistatus->responses) {
        const std::string href = CanonicalHref(item.href);
        if (WithTrailingSlash(href) == path_) {
            changes.newToken = item.syncToken;
            continue;
        }
        if (item.isCollection || item.status / 100 != 2) continue;
        changes.changedHrefs.push_back(href);
        if (!item.etag.empty()) changes.etags[href] = item.etag;
    }
    return changes;
}

std::optional<std::vector<RemoteItem>> CalDavCollection::Fetch(const std::vector<std::string>& hrefs,
                                                               std::string& error) {
    std::vector<RemoteItem> items;
    for (std::size_t start = 0; start < hrefs.size(); start += batch_) {
        const std::vector<std::string> batch(
            hrefs.begin() + static_cast<std::ptrdiff_t>(start),
            hrefs.begin() + static_cast<std::ptrdiff_t>(std::min(hrefs.size(), start + batch_)));
        auto fetched = FetchBatch(batch, error);
        if (!fetched) return std::nullopt;
        for (auto& item : *fetched) items.push_back(std::move(item));
    }
    return items;
}

std::optional<std::vector<RemoteItem>> CalDavCollection::FetchBatch(const std::vector<std::string>& hrefs,
                                                                    std::string& error) {
    std::vector<std::string> canonical;
    canonical.reserve(hrefs.size());
    for (const auto& href : hrefs) canonical.push_back(CanonicalHref(href));
    const auto multistatus =
        CalendarMultistatus(url_, http_.Send(DavRequest("REPORT", url_, "1", MultigetBody(canonical))), error);
    if (!multistatus) return std::nullopt;
    std::vector<RemoteItem> items;
    for (const auto& item : multistatus->responses) {
        // An item deleted since the listing comes back 404; the caller sees it missing.
        if (item.status / 100 != 2 || item.calendarData.empty()) continue;
        items.push_back({CanonicalHref(item.href), item.etag, item.calendarData});
    }
    return items;
}

std::string CalDavCollection::ReadBackEtag(const std::string& href) {
    HttpResponse response = http_.Send(DavRequest("PROPFIND", UrlOf(href), "0", PropfindEtagsBody()));
    if (response.status == 207) {
        std::string error;
        if (const auto multistatus = ParseMultistatus(response.body, error)) {
            for (const auto& item : multistatus->responses) {
                if (!item.etag.empty() && !IsWeakEtag(item.etag)) return item.etag;
            }
        }
    }
    response = http_.Send({"HEAD", UrlOf(href), {}, {}});
    const std::string etag = response.status / 100 == 2 ? response.Header("etag") : std::string();
    return IsWeakEtag(etag) ? std::string() : etag;
}

PutResult CalDavCollection::Put(const std::string& href, const std::string& ical, const std::string& ifMatch) {
    const std::string canonical = CanonicalHref(href);
    HttpRequest request{"PUT", UrlOf(canonical), {{"Content-Type", "text/calendar; charset=utf-8"}}, ical};
    if (ifMatch.empty()) {
        request.headers.emplace_back("If-None-Match", "*");
    } else {
        request.headers.emplace_back("If-Match", ifMatch);
    }
    const HttpResponse response = http_.Send(request);
    int status = static_cast<int>(response.status);
    if (status == 207) status = InnerStatus(response.body, canonical);
    if (status == 412) return {PutOutcome::PreconditionFailed, {}, {}};
    if (status / 100 != 2) {
        HttpResponse shown = response;
        shown.status = status;
        return {PutOutcome::Failed, {}, DavFailure("storing " + canonical, shown)};
    }
    // A server that changed the item as it stored it gives no ETag (or a weak one, which If-Match
    // never matches): the ETag is read back so that the next write is conditional on what is there.
    std::string etag = response.status == 207 ? std::string() : response.Header("etag");
    if (etag.empty() || IsWeakEtag(etag)) etag = ReadBackEtag(canonical);
    return {PutOutcome::Stored, etag, {}};
}

PutOutcome CalDavCollection::Delete(const std::string& href, const std::string& ifMatch, std::string& error) {
    const std::string canonical = CanonicalHref(href);
    HttpRequest request{"DELETE", UrlOf(canonical), {}, {}};
    if (!ifMatch.empty()) request.headers.emplace_back("If-Match", ifMatch);
    const HttpResponse response = http_.Send(request);
    int status = static_cast<int>(response.status);
    if (status == 207) status = InnerStatus(response.body, canonical);
    if (status == 412) return PutOutcome::PreconditionFailed;
    if (status / 100 == 2 || status == 404) return PutOutcome::Stored;
    HttpResponse shown = response;
    shown.status = status;
    error = DavFailure("deleting " + canonical, shown);
    return PutOutcome::Failed;
}

std::optional<Discovery> DiscoverCalendar(HttpClient& http, const std::string& url, const std::string& name,
                                          std::string& error) {
    if (OriginOf(url).empty()) {
        error = url + ": not an http or https URL";
        return std::nullopt;
    }
    Discovery found;
    std::string lastError;
    for (const std::string& candidate : {ResolveUrl(url, "/.well-known/caldav"), url}) {
        const HttpResponse response = http.Send(DavRequest("PROPFIND", candidate, "0", PropfindPrincipalBody()));
        if (response.status == 401) {
            error = DavFailure(url, response);
            return std::nullopt;
        }
        if (response.status != 207) {
            lastError = DavFailure(candidate, response);
            continue;
        }
        const auto multistatus = ParseMultistatus(response.body, lastError);
        if (!multistatus || multistatus->responses.empty()) continue;
        const DavResponse& answer = multistatus->responses.front();
        if (!answer.currentUserPrincipal.empty())
            found.principalUrl = ResolveUrl(response.url, answer.currentUserPrincipal);
        if (!answer.calendarHomeSet.empty())
            found.homeSetUrl = ResolveUrl(response.url, answer.calendarHomeSet.front());
        if (!found.principalUrl.empty() || !found.homeSetUrl.empty()) break;
        lastError = candidate + ": the answer names no current-user-principal";
    }
    if (found.principalUrl.empty() && found.homeSetUrl.empty()) {
        error = url + " is not a CalDAV server (" + lastError + ")";
        return std::nullopt;
    }
    if (found.homeSetUrl.empty()) {
        const HttpResponse response =
            http.Send(DavRequest("PROPFIND", found.principalUrl, "0", PropfindPrincipalBody()));
        if (response.status != 207) {
            error = DavFailure(found.principalUrl, response);
            return std::nullopt;
        }
        const auto multistatus = ParseMultistatus(response.body, error);
        if (!multistatus) return std::nullopt;
        for (const auto& answer : multistatus->responses) {
            if (!answer.calendarHomeSet.empty()) {
                found.homeSetUrl = ResolveUrl(response.url, answer.calendarHomeSet.front());
                break;
            }
        }
        if (found.homeSetUrl.empty()) {
            error = found.principalUrl + ": the server names no calendar home for this user";
            return std::nullopt;
        }
    }
    found.homeSetUrl = WithTrailingSlash(found.homeSetUrl);

    const HttpResponse listing = http.Send(DavRequest("PROPFIND", found.homeSetUrl, "1", PropfindCalendarsBody()));
    if (listing.status != 207) {
        error = DavFailure(found.homeSetUrl, listing);
        return std::nullopt;
    }
    const auto calendars = ParseMultistatus(listing.body, error);
    if (!calendars) {
        error = found.homeSetUrl + ": " + error;
        return std::nullopt;
    }
    for (const auto& answer : calendars->responses) {
        if (!answer.isCalendar) continue;
        bool events = answer.components.empty();
        for (const auto& component : answer.components) events = events || component == "VEVENT";
        if (!events) continue;
        CalendarInfo info{WithTrailingSlash(ResolveUrl(listing.url, CanonicalHref(answer.href))), answer.displayName};
        if (found.calendarUrl.empty() &&
            (info.displayName == name ||
             (info.displayName.empty() && LastHrefSegment(CanonicalHref(answer.href)) == SegmentEscape(name)))) {
            found.calendarUrl = info.url;
        }
        found.calendars.push_back(std::move(info));
    }
    if (!found.calendarUrl.empty()) return found;

    const std::string made = found.homeSetUrl + SegmentEscape(name) + "/";
    const HttpResponse response = http.Send(DavRequest("MKCALENDAR", made, nullptr, MkcalendarBody(name)));
    if (response.status != 201 && response.status != 200) {
        error = DavFailure("making the calendar " + made, response);
        return std::nullopt;
    }
    found.calendarUrl = made;
    found.created = true;
    found.calendars.push_back({made, name});
    return found;
}

}  // namespace memosync
