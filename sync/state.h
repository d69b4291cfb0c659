#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the last pass left for the next one, per collection.
namespace memosync {

// One item both sides agreed on at the last pass.
struct ItemState {
    std::string href;
    std::string etag;
    std::string base;  // the memo as both sides last agreed on it: UTF-8, exactly the server's characters
};

// A day merged locally whose store write may or may not have happened when the pass was killed:
// if the store holds `merged`, the server's `theirs` (at `etag`) is the day's base from then on.
struct PendingDay {
    std::string merged;  // the day's memo as written to the store (code page 932)
    std::string theirs;  // the server's text it was merged with (UTF-8)
    std::string etag;
    std::string href;
};

// One memo line that mirrors an event made elsewhere.
struct EventLine {
    std::string date;  // YYYYMMDD
    std::string text;  // UTF-8, one line, as the event was last read ("10:00 歯医者")
};

// An event made elsewhere (a UID of another calendar), as both sides last agreed on it.
struct EventItem {
    std::string etag;
    bool whole = false;            // shows on more than one day: edited only from its own calendar
    std::vector<EventLine> lines;  // within the synced years, in the order the event gives them
};

// An event's lines journalled before the memo store was written: once the store holds them (or,
// when `gone`, no longer holds the old ones), they are the event's state.
struct PendingEvent {
    bool gone = false;
    EventItem item;
};

struct SyncState {
    std::string token;                                  // the collection's sync token, "" for none
    std::map<std::string, ItemState> days;              // by date "YYYYMMDD"
    std::map<std::string, PendingDay> pending;          // the journal, by date
    std::map<std::string, std::string> others;          // href -> ETag of items no memo mirrors, seen already
    std::map<std::string, EventItem> events;            // by href: events made elsewhere that memo lines mirror
    std::map<std::string, PendingEvent> pendingEvents;  // the journal of their lines, by href
    std::string eventYears;  // the years their lines were read for ("2025-2027"), "" before any
};

// Returns the state as its file holds it (a first line naming the layout, then one line a field,
// backslash escapes for breaks, tabs and backslashes).
std::string FormatSyncState(const SyncState& state);
// Returns the state `text` holds, or std::nullopt when it is no such file.
std::optional<SyncState> ParseSyncState(std::string_view text);

// Returns the folder of one collection's state: "${XDG_STATE_HOME:-$HOME/.local/state}/velmora/sync/"
// and a hash of the data folder and collection URL; "" when there is no absolute base.
std::string StateFolder(const std::string& dataFolder, const std::string& collectionUrl);
// Returns the state saved in `folder` (an empty one when there is none), std::nullopt when the file
// is there but unreadable or not the user's own.
std::optional<SyncState> LoadSyncState(const std::string& folder);
// Saves `state` in `folder` atomically (0600 in a 0700 folder); false when a step failed.
bool SaveSyncState(const std::string& folder, const SyncState& state);

}  // namespace memosync
