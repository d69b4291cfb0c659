#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

// The note beside a data folder's lock file that says which command holds the lock, so that a
// calendar started meanwhile can say what holds the folder instead of taking it for itself.
inline constexpr const char* kFolderHolderFile = ".velmora.holder";

// The program a note names.
struct FolderHolder {
    std::string program;  // "velmora-cal"
    pid_t pid = 0;
};

// Writes the note "velmora-cal\nPID\n" for this process into the folder `folder` ("": the current
// directory), replacing a note there whole; returns false when it cannot be written.
bool WriteFolderHolder(const std::string& folder);
// Removes the note of the folder; only the holder of the lock may.
void RemoveFolderHolder(const std::string& folder);
// Returns what the note of the folder names when that is velmora-cal and its process lives, else std::nullopt.
std::optional<FolderHolder> ReadFolderHolder(const std::string& folder);
