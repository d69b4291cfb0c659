#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// One calendar collection on a server, as the sync pass sees it: what changed since a token, the
// items themselves, and conditional writes. The pass knows nothing else of the protocol.
namespace memosync {

// One item of the collection: its href (as the server names it), ETag and UTF-8 VCALENDAR text.
struct RemoteItem {
    std::string href;
    std::string etag;
    std::string ical;
};

// What changed on the server since a token.
struct ChangeSet {
    bool full = false;  // true: `changedHrefs` lists every item the collection holds
    std::vector<std::string> changedHrefs;
    std::vector<std::string> removedHrefs;
    std::map<std::string, std::string> etags;  // href -> ETag for changedHrefs, where the server said it
    std::string newToken;                      // "" when the server has none
};

enum class PutOutcome {
    Stored,              // the server holds the item now
    PreconditionFailed,  // 412: the item is not as If-Match / If-None-Match expected
    Failed,              // anything else; `error` says what
};

struct PutResult {
    PutOutcome outcome = PutOutcome::Failed;
    std::string etag;   // the stored item's ETag (read back when the answer had none); "" when unknown
    std::string error;  // one line, when Failed
};

class Collection {
public:
    virtual ~Collection() = default;
    // Returns what changed since `token` ("" = no token: a full listing); std::nullopt and `error`
    // set when the server could not tell. A refused token falls back to a full listing inside.
    virtual std::optional<ChangeSet> Changes(const std::string& token, std::string& error) = 0;
    // Returns the items of `hrefs` (fetched in batches); an href the server no longer has is left
    // out; std::nullopt and `error` set when the fetch failed.
    virtual std::optional<std::vector<RemoteItem>> Fetch(const std::vector<std::string>& hrefs, std::string& error) = 0;
    // Stores `ical` at `href` with If-Match: `ifMatch`, or If-None-Match: * when `ifMatch` is "".
    virtual PutResult Put(const std::string& href, const std::string& ical, const std::string& ifMatch) = 0;
    // Deletes `href` with If-Match: `ifMatch` ("" = unconditional); a 404 counts as Stored (gone).
    virtual PutOutcome Delete(const std::string& href, const std::string& ifMatch, std::string& error) = 0;
    // Returns the href a new item of `uid` gets: the collection's path + uid + ".ics".
    virtual std::string HrefFor(const std::string& uid) const = 0;
};

}  // namespace memosync
