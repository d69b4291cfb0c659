#include "sync/config.h"

#include "model/file_system_calls.h"
#include "model/own_folder.h"
#include "model/private_file.h"
#include "model/stable_hash.h"
#include "model/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace memosync {
namespace {

constexpr std::string_view kConfigLayout = "velmora-sync-config 1";
constexpr std::size_t kMaxConfigFile = std::size_t{64} << 10;

// The folder's set-up is found again on every build and machine: a stable hash names it.
std::string ConfigFolder() {
    const std::string velmora = UserFolder("XDG_CONFIG_HOME", ".config");
    return velmora.empty() ? velmora : velmora + "/sync";
}

std::string ConfigFileName(const std::string& dataFolder) { return StableHashHex(dataFolder) + ".conf"; }

std::vector<std::pair<const char*, std::string SyncConfig::*>> ConfigKeys() {
    return {{"folder", &SyncConfig::folder}, {"url", &SyncConfig::url},
            {"user", &SyncConfig::user},     {"calendar", &SyncConfig::calendarUrl},
            {"ca", &SyncConfig::caFile},     {"password-command", &SyncConfig::passwordCommand}};
}

}  // namespace

std::string FormatSyncConfig(const SyncConfig& config) {
    std::string out(kConfigLayout);
    out += '\n';
    for (const auto& [key, field] : ConfigKeys()) out += std::string(key) + "=" + config.*field + "\n";
    return out;
}

std::optional<SyncConfig> ParseSyncConfig(std::string_view text) {
    if (text.substr(0, kConfigLayout.size()) != kConfigLayout || text.size() <= kConfigLayout.size() ||
        text[kConfigLayout.size()] != '\n')
        return std::nullopt;
    text.remove_prefix(kConfigLayout.size() + 1);
    SyncConfig config;
    const auto keys = ConfigKeys();
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // a cut-off file
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        // A key this version does not know is left for the version that wrote it.
        for (const auto& [key, field] : keys)
            if (line.substr(0, equals) == key) config.*field = std::string(line.substr(equals + 1));
    }
    if (config.folder.empty() || config.calendarUrl.empty()) return std::nullopt;
    return config;
}

std::string SyncConfigPath(const std::string& dataFolder) {
    const std::string folder = ConfigFolder();
    return folder.empty() ? std::string() : folder + "/" + ConfigFileName(dataFolder);
}

ConfigLoad LoadSyncConfig(const std::string& dataFolder, SyncConfig& config) {
    const std::string path = SyncConfigPath(dataFolder);
    if (path.empty()) return ConfigLoad::Missing;
    WholeFileFault fault = WholeFileFault::None;
    const auto text =
        ReadWholeFile(AT_FDCWD, path, {.noFollow = true, .ownOnly = true, .maxBytes = kMaxConfigFile}, &fault);
    if (!text) return fault == WholeFileFault::Open && errno == ENOENT ? ConfigLoad::Missing : ConfigLoad::Unreadable;
    std::optional<SyncConfig> parsed = ParseSyncConfig(*text);
    // Two folders whose names hash alike never share a set-up: the file names its folder.
    if (!parsed || parsed->folder != dataFolder) return ConfigLoad::Unreadable;
    config = std::move(*parsed);
    return ConfigLoad::Loaded;
}

bool SaveSyncConfig(const SyncConfig& config) {
    return WriteUserFile(ConfigFolder(), ConfigFileName(config.folder), FormatSyncConfig(config), true);
}

bool RemoveSyncConfig(const std::string& dataFolder) {
    const std::string path = SyncConfigPath(dataFolder);
    if (path.empty()) return true;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace memosync
