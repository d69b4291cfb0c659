#include "sync/folder_pass.h"

#include "sync/caldav.h"
#include "sync/http.h"
#include "sync/state.h"

#include <cstdio>
#include <optional>
#include <utility>

namespace memosync {
namespace {

// The state goes to the collection's own folder; the store wherever the program keeps it.
class FolderSink final : public SyncSink {
public:
    FolderSink(std::string stateFolder, const StoreWriter& writeStore)
        : m_stateFolder(std::move(stateFolder)), m_writeStore(writeStore) {}

    bool WriteStore(const std::string& store, std::string& error) override { return m_writeStore(store, error); }
    bool SaveState(const SyncState& state, std::string& error) override {
        if (SaveSyncState(m_stateFolder, state)) return true;
        error = "cannot write the sync state in " + m_stateFolder;
        return false;
    }

private:
    std::string m_stateFolder;
    const StoreWriter& m_writeStore;
};

SyncResult Failed(std::string error) {
    SyncResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

SyncInput PassInputAt(std::string store, const std::tm& now, bool acceptEmpty) {
    SyncInput input;
    input.store = std::move(store);
    char minute[64];
    std::snprintf(minute, sizeof minute, "%04d-%02d-%02d %02d:%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                  now.tm_hour, now.tm_min);
    input.now = minute;
    input.fromYear = now.tm_year + 1900 - 1;
    input.toYear = now.tm_year + 1900 + 1;
    input.acceptEmpty = acceptEmpty;
    return input;
}

SyncResult RunFolderPass(const SyncConfig& config, const std::string& password, const SyncInput& input,
                         const StoreWriter& writeStore) {
    const std::string stateFolder = StateFolder(config.folder, config.calendarUrl);
    std::optional<SyncState> state = LoadSyncState(stateFolder);
    if (!state) return Failed("cannot read the sync state in " + stateFolder);
    HttpOptions options;
    options.user = config.user;
    options.password = password;
    options.caFile = config.caFile;
    HttpClient http(options);
    CalDavCollection collection(http, config.calendarUrl);
    FolderSink sink(stateFolder, writeStore);
    return Sync(input, collection, *state, sink);
}

}  // namespace memosync
