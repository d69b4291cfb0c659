#pragma once

#include <optional>
#include <string>
#include <string_view>

// The sync set-up of one data folder, under ${XDG_CONFIG_HOME:-~/.config}/velmora/sync/: where its
// calendar is and how to get the password. The password itself is never in it.
namespace memosync {

struct SyncConfig {
    std::string folder;           // the data folder, an absolute path
    std::string url;              // the server's address as the user gave it
    std::string user;             // "" when the server asks for no credentials
    std::string calendarUrl;      // the calendar collection found at the set-up
    std::string caFile;           // a CA to trust besides the system's ones, "" for none
    std::string passwordCommand;  // "" when the password is in the Secret Service
};

// Returns the set-up as its file holds it: a first line naming the layout, then "key=value" lines.
std::string FormatSyncConfig(const SyncConfig& config);
// Returns the set-up `text` holds, or std::nullopt when it is no such file.
std::optional<SyncConfig> ParseSyncConfig(std::string_view text);

// Returns the file of `dataFolder`'s set-up: "${XDG_CONFIG_HOME:-$HOME/.config}/velmora/sync/" and a
// hash of the folder, ".conf"; "" when there is no absolute base.
std::string SyncConfigPath(const std::string& dataFolder);

enum class ConfigLoad {
    Loaded,
    Missing,     // the folder is not set up
    Unreadable,  // the file is there but cannot be read, is not the user's own, or is no set-up
};
// Reads the set-up of `dataFolder` into `config`.
ConfigLoad LoadSyncConfig(const std::string& dataFolder, SyncConfig& config);
// Saves `config` atomically (0600 in a 0700 folder of the user's own); false when a step failed.
bool SaveSyncConfig(const SyncConfig& config);
// Removes the set-up of `dataFolder`; true when it is gone (or was never there).
bool RemoveSyncConfig(const std::string& dataFolder);

}  // namespace memosync
