#pragma once

#include "sync/collection.h"
#include "sync/engine.h"

#include <functional>
#include <map>
#include <string>

// A collection held in memory, with a sync token per change, that counts its requests and can
// misbehave as servers and networks do.
class FakeCollection : public memosync::Collection {
public:
    struct Item {
        std::string etag;
        std::string ical;
        long version = 0;
    };
    std::map<std::string, Item> items;    // by href
    std::map<std::string, long> removed;  // href -> version of its removal
    int requests = 0;
    int puts = 0;
    int deletes = 0;
    bool offersToken = true;
    bool storeThenFail = false;                      // the next PUT stores, then answers 500
    std::function<void(FakeCollection&)> beforePut;  // runs once, before the next PUT (another device)
    int killAt = -1;                                 // the request that never returns (throws Killed)

    // Stores `ical` at `href` as another client would, with a fresh ETag.
    void Store(const std::string& href, const std::string& ical);

    std::optional<memosync::ChangeSet> Changes(const std::string& token, std::string& error) override;
    std::optional<std::vector<memosync::RemoteItem>> Fetch(const std::vector<std::string>& hrefs,
                                                           std::string& error) override;
    memosync::PutResult Put(const std::string& href, const std::string& ical, const std::string& ifMatch) override;
    memosync::PutOutcome Delete(const std::string& href, const std::string& ifMatch, std::string& error) override;
    std::string HrefFor(const std::string& uid) const override { return "/cal/" + uid + ".ics"; }

private:
    void Count();
    long version_ = 0;
    long etags_ = 0;
};

// Thrown where a test kills a pass.
struct Killed {};

// One device: its memo store and its state as the disk holds them, the sink of its passes.
class FakeDevice : public memosync::SyncSink {
public:
    std::string store;
    memosync::SyncState saved;
    int writes = 0;
    int killAt = -1;  // the write that never happens (throws Killed)
    int fromYear = 2025;
    int toYear = 2027;

    bool WriteStore(const std::string& bytes, std::string& error) override;
    bool SaveState(const memosync::SyncState& state, std::string& error) override;
    // Runs one pass from what the disk holds.
    memosync::SyncResult Sync(memosync::Collection& collection, bool acceptEmpty = false);
};
