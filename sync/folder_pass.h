#pragma once

#include "sync/config.h"
#include "sync/engine.h"

#include <ctime>
#include <functional>
#include <string>

// One pass of a data folder set up for sync, as both programs run it.
namespace memosync {

// Writes the memo store a pass gives; false and `error` set when it could not.
using StoreWriter = std::function<bool(const std::string& store, std::string& error)>;

// Returns the input of a pass over the memo store `store` (a memo's lines end in CR LF, as in
// memory) at the local time `now`: the marker's minute, and the year before `now`'s to the year
// after as the synced years.
SyncInput PassInputAt(std::string store, const std::tm& now, bool acceptEmpty);

// Runs one pass for `config` with `password` ("" for a server without credentials): its
// collection's state, the pass over the calendar server with the state saved after each step and
// the store written through `writeStore`. What keeps the pass from starting is the result's error.
SyncResult RunFolderPass(const SyncConfig& config, const std::string& password, const SyncInput& input,
                         const StoreWriter& writeStore);

}  // namespace memosync
