#pragma once

#include "sync/config.h"

#include <optional>
#include <string>

// The password of a folder's set-up: in the desktop's Secret Service (libsecret, schema
// org.velmora.Velmora.CalDAV, attributes folder, url and user), or the first line a command prints.
namespace memosync {

// Returns the first line `command` (run by /bin/sh) writes to its standard output; std::nullopt
// and a one-line `error` when it cannot run, ends with a failure or prints nothing.
std::optional<std::string> RunPasswordCommand(const std::string& command, std::string& error);

// Returns the password of `config`: its command's, else the one the Secret Service keeps for it;
// std::nullopt and a one-line `error` when there is none or it cannot be read.
std::optional<std::string> LookUpPassword(const SyncConfig& config, std::string& error);

// Keeps `password` for `config` in the Secret Service's default collection; false and `error`
// when the service is unreachable or refuses.
bool StorePassword(const SyncConfig& config, const std::string& password, std::string& error);

// Removes the password the Secret Service keeps for `config`; true when it is gone or was never
// there, false and `error` when the service could not be asked.
bool ClearPassword(const SyncConfig& config, std::string& error);

}  // namespace memosync
