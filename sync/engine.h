#pragma once

#include "sync/collection.h"
#include "sync/state.h"

#include <string>
#include <vector>

// One sync pass between the memo store and one collection.
namespace memosync {

struct SyncInput {
    std::string store;         // the memo store as the memo file holds it (code page 932 records)
    std::string now;           // local time "YYYY-MM-DD HH:MM", for the marker above the other side's lines
    int fromYear = 0;          // the calendar years whose days events made elsewhere show on, as 2025..2027;
    int toYear = 0;            // both 0: the year of `now`, the one before and the one after
    bool acceptEmpty = false;  // mirror a side that looks emptied (every item gone at once)
    int maxRetries = 3;        // 412 answers one item may get before the pass gives up on it
};

// Where a pass writes what it decided, in the order that survives a kill at any point: the state's
// journal first, then the memo store, then the state again after each request.
class SyncSink {
public:
    virtual ~SyncSink() = default;
    // Replaces the memo file by `store`; false and `error` set when it could not.
    virtual bool WriteStore(const std::string& store, std::string& error) = 0;
    // Saves `state` atomically; false and `error` set when it could not.
    virtual bool SaveState(const SyncState& state, std::string& error) = 0;
};

// An item the pass left alone because its iCalendar text could not be read.
struct SkippedItem {
    std::string href;
    std::string reason;  // one line
};

struct SyncResult {
    bool ok = false;
    std::string error;    // one line, when !ok
    int up = 0;           // memos stored on the server
    int down = 0;         // memos taken from the server into the store
    int merged = 0;       // memos changed on both sides and merged without a conflict
    int keptBoth = 0;     // memos whose both versions were kept under a marker line
    int deletedUp = 0;    // server items deleted because their memo was deleted here
    int deletedDown = 0;  // memos deleted because their item was deleted on the server
    int puts = 0;         // PUT and DELETE requests sent
    int deletes = 0;
    bool refusedEmpty = false;  // a side looked emptied and acceptEmpty was not given: nothing moved
    std::vector<SkippedItem> skipped;
    int otherEvents = 0;    // events of other UIDs (made elsewhere) read from the server
    int eventsDown = 0;     // of them, those whose memo lines this pass changed
    int eventsUp = 0;       // events edited on the server because their line was edited here
    int eventsDeleted = 0;  // events deleted on the server because their line was deleted here
};

// Runs one pass: finishes what an interrupted pass journalled, takes the server's changes, merges
// each day changed on either side, writes the store through `sink`, then sends the PUTs and
// DELETEs (a 412 fetches, merges and retries, at most `maxRetries` times), saving `state` after
// each. A pass with no change on either side sends no request but Changes.
SyncResult Sync(const SyncInput& input, Collection& collection, SyncState& state, SyncSink& sink);

}  // namespace memosync
