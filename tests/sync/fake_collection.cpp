#include "tests/sync/fake_collection.h"

#include <utility>

void FakeCollection::Count() {
    if (requests++ == killAt) throw Killed{};
}

void FakeCollection::Store(const std::string& href, const std::string& ical) {
    items[href] = Item{"\"e" + std::to_string(++etags_) + "\"", ical, ++version_};
    removed.erase(href);
}

std::optional<memosync::ChangeSet> FakeCollection::Changes(const std::string& token, std::string&) {
    Count();
    memosync::ChangeSet changes;
    long since = 0;
    const bool incremental = offersToken && token.starts_with("v");
    if (incremental) since = std::stol(token.substr(1));
    changes.full = !incremental;
    for (const auto& [href, item] : items) {
        if (item.version <= since) continue;
        changes.changedHrefs.push_back(href);
        changes.etags[href] = item.etag;
    }
    for (const auto& [href, version] : removed) {
        if (incremental && version > since) changes.removedHrefs.push_back(href);
    }
    if (offersToken) changes.newToken = "v" + std::to_string(version_);
    return changes;
}

std::optional<std::vector<memosync::RemoteItem>> FakeCollection::Fetch(const std::vector<std::string>& hrefs,
                                                                       std::string&) {
    Count();
    std::vector<memosync::RemoteItem> out;
    for (const std::string& href : hrefs) {
        const auto it = items.find(href);
        if (it != items.end()) out.push_back({href, it->second.etag, it->second.ical});
    }
    return out;
}

memosync::PutResult FakeCollection::Put(const std::string& href, const std::string& ical, const std::string& ifMatch) {
    if (beforePut) std::exchange(beforePut, nullptr)(*this);
    Count();
    ++puts;
    const auto it = items.find(href);
    if (ifMatch.empty() ? it != items.end() : it == items.end() || it->second.etag != ifMatch) {
        return {memosync::PutOutcome::PreconditionFailed, "", ""};
    }
    Store(href, ical);
    if (std::exchange(storeThenFail, false)) return {memosync::PutOutcome::Failed, "", "500 Internal Server Error"};
    return {memosync::PutOutcome::Stored, items[href].etag, ""};
}

memosync::PutOutcome FakeCollection::Delete(const std::string& href, const std::string& ifMatch, std::string&) {
    Count();
    ++deletes;
    const auto it = items.find(href);
    if (it == items.end()) return memosync::PutOutcome::Stored;
    if (!ifMatch.empty() && it->second.etag != ifMatch) return memosync::PutOutcome::PreconditionFailed;
    items.erase(it);
    removed[href] = ++version_;
    return memosync::PutOutcome::Stored;
}

bool FakeDevice::WriteStore(const std::string& bytes, std::string&) {
    if (writes++ == killAt) throw Killed{};
    store = bytes;
    return true;
}

bool FakeDevice::SaveState(const memosync::SyncState& state, std::string&) {
    if (writes++ == killAt) throw Killed{};
    // Through the file's text, as the disk keeps it.
    saved = *memosync::ParseSyncState(memosync::FormatSyncState(state));
    return true;
}

memosync::SyncResult FakeDevice::Sync(memosync::Collection& collection, bool acceptEmpty) {
    memosync::SyncState state = saved;
    const memosync::SyncInput input{.store = store,
                                    .now = "2026-12-09 10:12",
                                    .fromYear = fromYear,
                                    .toYear = toYear,
                                    .acceptEmpty = acceptEmpty,
                                    .maxRetries = 3};
    return memosync::Sync(input, collection, state, *this);
}
